#include "editor/dimensions_dlg.h"

#include "editor_test_util.h"
#include "platform/string_text.h"
#include "platform/up_down_control.h"

#include <QLineEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using editor_test::ClickButton;

QLineEdit* Edit(const CDimensionsDlg& dialog, int id)
{
    return platform::FindControlAs<QLineEdit>(&dialog, id);
}

platform::UpDownControl* Spin(const CDimensionsDlg& dialog, int id)
{
    return platform::FindControlAs<platform::UpDownControl>(&dialog, id);
}

int RunDimensions(CDimensionsDlg& dialog, const std::function<void(CDimensionsDlg&)>& body)
{
    return editor_test::RunModal(dialog, body);
}

TEST(DimensionsDlg, OffersTenAndTenWithUpDownControlsFromOneTo5000)
{
    CDimensionsDlg dialog;
    const int result = RunDimensions(dialog, [](CDimensionsDlg& shown) {
        EXPECT_EQ(shown.windowTitle(), QStringLiteral("Dimensionen"));
        const std::pair<int, int> pairs[] = {{CDimensionsDlg::kObservationCountEdit, CDimensionsDlg::kObservationCountSpin},
                                             {CDimensionsDlg::kUnknownCountEdit, CDimensionsDlg::kUnknownCountSpin}};
        for (const auto& [edit, spin] : pairs) {
            EXPECT_EQ(Edit(shown, edit)->text(), QStringLiteral("10"));
            EXPECT_EQ(Spin(shown, spin)->Buddy(), Edit(shown, edit));
            EXPECT_EQ(Spin(shown, spin)->Lower(), 1);
            EXPECT_EQ(Spin(shown, spin)->Upper(), 5000);
            EXPECT_EQ(Spin(shown, spin)->GetPos(), 10);
        }
        EXPECT_TRUE(Edit(shown, CDimensionsDlg::kObservationCountEdit)->hasFocus());
        ClickButton(shown, CDimensionsDlg::kOkButton);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(dialog.ObservationCount, 10u);
    EXPECT_EQ(dialog.UnknownCount, 10u);
}

// Up and Down in the field, and the arrows beside it, step from the number
// typed there, never beyond the range.
TEST(DimensionsDlg, ArrowsStepFromTheTypedNumberWithinTheRange)
{
    const struct {
        const char* typed;
        Qt::Key key;
        const char* shown;
    } cases[] = {
        {"10", Qt::Key_Up, "11"},   {"10", Qt::Key_Down, "9"},    {"1", Qt::Key_Down, "1"},
        {"5000", Qt::Key_Up, "5000"}, {"4999", Qt::Key_Up, "5000"}, {"77", Qt::Key_Down, "76"},
        {"9999", Qt::Key_Down, "4999"}, {"abc", Qt::Key_Up, "11"},
    };
    CDimensionsDlg dialog;
    RunDimensions(dialog, [&](CDimensionsDlg& shown) {
        QLineEdit* edit = Edit(shown, CDimensionsDlg::kUnknownCountEdit);
        for (const auto& c : cases) {
            Spin(shown, CDimensionsDlg::kUnknownCountSpin)->SetPos(10);
            edit->setText(QString::fromLatin1(c.typed));
            QTest::keyClick(edit, c.key);
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.typed;
        }
        edit->setText(QStringLiteral("20"));
        auto* up = Spin(shown, CDimensionsDlg::kUnknownCountSpin)->findChildren<QToolButton*>().value(0);
        ASSERT_NE(up, nullptr);
        QTest::mouseClick(up, Qt::LeftButton);
        EXPECT_EQ(edit->text(), QStringLiteral("21"));
        shown.reject();
    });
}

// A count of 0 would write a file that cannot be read back; more than 5000
// are refused too. The field keeps the focus and the dialog stays open.
TEST(DimensionsDlg, RefusesCountsOutsideOneTo5000AndTextsThatAreNoCount)
{
    const QString range = platform::FormatText(kStringNumberRange, {QStringLiteral("1"), QStringLiteral("5000")});
    const QString positive = platform::LoadText(kStringNotAPositiveInteger);
    const struct {
        const char* typed;
        QString message;  // empty: accepted
        unsigned count;
    } cases[] = {
        {"0", range, 0},         {"5001", range, 0},       {"99999999999", range, 0}, {"-3", positive, 0},
        {"abc", positive, 0},    {"", positive, 0},        {"2,5", positive, 0},      {"2.5", positive, 0},
        {" 7 ", QString(), 7},   {"5000", QString(), 5000}, {"1", QString(), 1},
    };
    for (const int id : {CDimensionsDlg::kObservationCountEdit, CDimensionsDlg::kUnknownCountEdit})
        for (const auto& c : cases) {
            test_support::MessageRecorder messages;
            CDimensionsDlg dialog;
            const int result = RunDimensions(dialog, [&](CDimensionsDlg& shown) {
                Edit(shown, id)->setText(QString::fromLatin1(c.typed));
                ClickButton(shown, CDimensionsDlg::kOkButton);
                if (!c.message.isEmpty()) {
                    EXPECT_TRUE(Edit(shown, id)->hasFocus()) << c.typed;
                    EXPECT_EQ(Edit(shown, id)->selectedText(), Edit(shown, id)->text()) << c.typed;
                    EXPECT_FALSE(shown.isHidden()) << c.typed;
                    shown.reject();
                }
            });
            const unsigned& count = id == CDimensionsDlg::kObservationCountEdit ? dialog.ObservationCount : dialog.UnknownCount;
            if (c.message.isEmpty()) {
                EXPECT_EQ(result, QDialog::Accepted) << c.typed;
                EXPECT_TRUE(messages.messages.isEmpty()) << c.typed;
                EXPECT_EQ(count, c.count) << c.typed;
            } else {
                EXPECT_EQ(result, QDialog::Rejected) << c.typed;
                EXPECT_EQ(messages.messages, QStringList{c.message}) << c.typed;
                EXPECT_EQ(count, 10u) << c.typed;
            }
        }
}

} // namespace
