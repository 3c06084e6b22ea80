#include "editor/dimensions_dlg.h"

#include "editor_test_util.h"
#include "platform/string_text.h"
#include "platform/up_down_control.h"

#include <QLineEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using editor_test::ClickButton;
using editor_test::RunModal;

QLineEdit* Edit(const CDimensionsDlg& dialog, int id)
{
    return platform::FindControlAs<QLineEdit>(&dialog, id);
}

// Up and Down in a field, and the arrows beside it, step from the number
// typed there within 1 to 5000; the fields start at 10.
TEST(DimensionsDlg, ArrowsStepFromTheTypedNumberWithinTheRange)
{
    const struct {
        const char* typed;
        Qt::Key key;
        const char* shown;
    } cases[] = {
        {"10", Qt::Key_Up, "11"},     {"10", Qt::Key_Down, "9"},      {"1", Qt::Key_Down, "1"},
        {"5000", Qt::Key_Up, "5000"}, {"9999", Qt::Key_Down, "4999"}, {"abc", Qt::Key_Up, "11"},
    };
    CDimensionsDlg dialog;
    RunModal(dialog, [&](CDimensionsDlg& shown) {
        for (int id : {CDimensionsDlg::kObservationCountEdit, CDimensionsDlg::kUnknownCountEdit})
            EXPECT_EQ(Edit(shown, id)->text(), QStringLiteral("10"));
        EXPECT_TRUE(Edit(shown, CDimensionsDlg::kObservationCountEdit)->hasFocus());
        QLineEdit* edit = Edit(shown, CDimensionsDlg::kUnknownCountEdit);
        auto* spin = platform::FindControlAs<platform::UpDownControl>(&shown, CDimensionsDlg::kUnknownCountSpin);
        ASSERT_EQ(spin->Buddy(), edit);
        for (const auto& c : cases) {
            spin->SetPos(10);
            edit->setText(QString::fromLatin1(c.typed));
            QTest::keyClick(edit, c.key);
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.typed;
        }
        edit->setText(QStringLiteral("20"));
        QTest::mouseClick(spin->findChildren<QToolButton*>().value(0), Qt::LeftButton);
        EXPECT_EQ(edit->text(), QStringLiteral("21"));
        shown.reject();
    });
}

// A count of 0 would write a file that cannot be read back. A refused field
// keeps the focus with its text selected, and the dialog stays open.
TEST(DimensionsDlg, AcceptsOnlyCountsFromOneTo5000)
{
    const QString range = platform::FormatText(kStringNumberRange, {QStringLiteral("1"), QStringLiteral("5000")});
    const QString positive = platform::LoadText(kStringNotAPositiveInteger);
    const struct {
        const char* typed;
        QString message;  // empty: accepted with count
        unsigned count;
    } cases[] = {
        {"0", range, 0},      {"5001", range, 0},        {"99999999999", range, 0}, {"-3", positive, 0},
        {"abc", positive, 0}, {"", positive, 0},         {"2,5", positive, 0},      {"2.5", positive, 0},
        {" 7 ", {}, 7},       {"5000", {}, 5000},        {"1", {}, 1},
    };
    for (const int id : {CDimensionsDlg::kObservationCountEdit, CDimensionsDlg::kUnknownCountEdit})
        for (const auto& c : cases) {
            test_support::MessageRecorder messages;
            CDimensionsDlg dialog;
            const int result = RunModal(dialog, [&](CDimensionsDlg& shown) {
                Edit(shown, id)->setText(QString::fromLatin1(c.typed));
                ClickButton(shown, CDimensionsDlg::kOkButton);
                if (!c.message.isEmpty()) {
                    EXPECT_TRUE(Edit(shown, id)->hasFocus() && shown.isVisible()) << c.typed;
                    EXPECT_EQ(Edit(shown, id)->selectedText(), Edit(shown, id)->text()) << c.typed;
                    shown.reject();
                }
            });
            const unsigned count = id == CDimensionsDlg::kObservationCountEdit ? dialog.ObservationCount : dialog.UnknownCount;
            EXPECT_EQ(result, c.message.isEmpty() ? QDialog::Accepted : QDialog::Rejected) << c.typed;
            EXPECT_EQ(messages.messages, c.message.isEmpty() ? QStringList() : QStringList{c.message}) << c.typed;
            EXPECT_EQ(count, c.message.isEmpty() ? c.count : 10u) << c.typed;
        }
}

} // namespace
