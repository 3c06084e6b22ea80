#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "qt_test_support.h"
#include "core/methods.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

using test_support::Seams;
using test_support::Utf8;

// Runs the tuning dialog with text typed into its field and OK pressed;
// returns the dialog's result.
int RunTuning(CTuningDlg& tuning, Seams& seams, const QString& typed, QString* offered = nullptr)
{
    seams.modal = [&](QDialog& shown) {
        auto* edit = platform::FindControlAs<QLineEdit>(&shown, CTuningDlg::kTuningEdit);
        if (offered)
            *offered = edit->text();
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::mouseClick(platform::FindControl(&shown, CTuningDlg::kOkButton), Qt::LeftButton);
        return shown.result();
    };
    return tuning.DoModal();
}

TEST(TuningDlg, AcceptsZeroToOneHundredMillionInclusive)
{
    for (const char* accepted : {"0", "100000000", "1.5", " 2.795 "}) {
        Seams seams;
        CTuningDlg tuning;
        tuning.TuningConstant = 4.685;
        QString offered;
        EXPECT_EQ(RunTuning(tuning, seams, QString::fromLatin1(accepted), &offered), QDialog::Accepted) << accepted;
        EXPECT_EQ(offered, QStringLiteral("4.685"));
        EXPECT_EQ(tuning.TuningConstant, std::stod(accepted)) << accepted;
        EXPECT_TRUE(seams.messages.isEmpty()) << accepted;
    }
}

TEST(TuningDlg, RefusesOutOfRangeAndNonNumbersAndStaysOpen)
{
    const std::pair<const char*, QString> refused[] = {
        {"-0.1", platform::RangeMessage(kLowestTuningConstant, kHighestTuningConstant)},
        {"100000001", platform::RangeMessage(kLowestTuningConstant, kHighestTuningConstant)},
        {"1,5", QStringLiteral("Geben Sie bitte eine Zahl ein.")},
        {"", QStringLiteral("Geben Sie bitte eine Zahl ein.")},
    };
    for (const auto& [text, message] : refused) {
        Seams seams;
        CTuningDlg tuning;
        tuning.TuningConstant = 1.5;
        EXPECT_EQ(RunTuning(tuning, seams, QString::fromLatin1(text)), QDialog::Rejected) << text;
        EXPECT_EQ(seams.messages, QStringList{message}) << text;
        EXPECT_EQ(tuning.TuningConstant, 1.5) << text;
    }
}

TEST(TuningDlg, CancelLeavesTheConstant)
{
    Seams seams;
    CTuningDlg tuning;
    tuning.TuningConstant = 2.385;
    seams.modal = [](QDialog& shown) {
        platform::FindControlAs<QLineEdit>(&shown, CTuningDlg::kTuningEdit)->setText(QStringLiteral("kaputt"));
        QTest::mouseClick(platform::FindControl(&shown, CTuningDlg::kCancelButton), Qt::LeftButton);
        return shown.result();
    };
    EXPECT_EQ(tuning.DoModal(), QDialog::Rejected);
    EXPECT_EQ(tuning.TuningConstant, 2.385);
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_EQ(tuning.windowTitle(), QStringLiteral("Tuningkonstante"));
}

// The dialog opens with the default selected, as a dialog's first edit
// field is: typing replaces it instead of running into it ("1.5" + "2"
// must not become 1.52). Run through the real modal loop; Enter is OK.
TEST(TuningDlg, TypingReplacesThePresetDefault)
{
    Seams seams;
    seams.modal = [](QDialog& shown) {
        QTimer::singleShot(0, &shown, [&shown] {
            QApplication::setActiveWindow(&shown);
            EXPECT_TRUE(QTest::qWaitForWindowActive(&shown));
            QWidget* edit = QApplication::focusWidget();
            EXPECT_EQ(edit, platform::FindControl(&shown, CTuningDlg::kTuningEdit));
            QTest::keyClicks(edit, QStringLiteral("2"));
            QTest::keyClick(edit, Qt::Key_Return);
            if (shown.isVisible())
                shown.reject();
        });
        return shown.exec();
    };
    CTuningDlg tuning;
    tuning.TuningConstant = 1.5;
    EXPECT_EQ(tuning.DoModal(), QDialog::Accepted);
    EXPECT_EQ(tuning.TuningConstant, 2.0);
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST(MethodPanels, StartWithTheFirstChoiceAndReadTheChecksOnlyWhenAsked)
{
    QWidget host;
    CMEstimatorPanel estimators(&host);
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&estimators, CMEstimatorPanel::kAndrewsRadio)->isChecked());
    EXPECT_EQ(estimators.GetSelection(), 0);
    platform::FindControlAs<QRadioButton>(&estimators, CMEstimatorPanel::kWelschRadio)->click();
    EXPECT_EQ(estimators.GetSelection(), 7);
    platform::FindControlAs<QRadioButton>(&estimators, CMEstimatorPanel::kLogisticRadio)->click();
    EXPECT_EQ(estimators.GetSelection(), 5);
    EXPECT_FALSE(estimators.isWindow());

    Seams seams;
    CNormPanel norms(&host);
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&norms, CNormPanel::kL1Radio)->isChecked());
    auto* factor = platform::FindControlAs<QLineEdit>(&norms, CNormPanel::kNormFactorEdit);
    EXPECT_EQ(factor->text(), QStringLiteral("0"));
    factor->setText(QStringLiteral("-1e300"));
    EXPECT_EQ(norms.GetNormFactor(), -1e300);  // no range check
    // With "Loo" checked the factor text is still read and checked.
    platform::FindControlAs<QRadioButton>(&norms, CNormPanel::kChebyshevRadio)->click();
    factor->setText(QStringLiteral("abc"));
    EXPECT_EQ(norms.GetSelection(), 2);
    EXPECT_EQ(seams.messages, QStringList{platform::NumberMessage()});
    EXPECT_EQ(norms.NormFactor, -1e300);
}

TEST(StatusDlg, ShowsThePassTextWithoutCloseBoxAndHides)
{
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    CStatusDlg status(&owner);
    EXPECT_FALSE(status.IsBuilt());
    status.SetText("vorher");  // no window yet: only the text is kept
    status.Show();
    ASSERT_TRUE(status.IsBuilt());
    EXPECT_TRUE(status.isVisible());
    EXPECT_EQ(status.windowTitle(), QStringLiteral("Status"));
    EXPECT_FALSE(status.windowFlags() & Qt::WindowCloseButtonHint);
    auto* label = platform::FindControlAs<QLabel>(&status, CStatusDlg::kStatusText);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("vorher"));
    EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);

    char text[64];
    std::snprintf(text, sizeof text, "Berechnung l\xc3\xa4uft...\nIteration: %d", 7);
    status.SetText(text);
    EXPECT_EQ(label->text(), Utf8("Berechnung läuft...\nIteration: 7"));
    EXPECT_FALSE(status.close());  // the user cannot close it
    EXPECT_TRUE(status.isVisible());
    status.Hide();
    EXPECT_FALSE(status.isVisible());
}

// The engine runs no event loop while it computes: what the screen shows
// of the window must change at SetText itself.
TEST(StatusDlg, EachNewTextReachesTheScreenWithoutAnEventLoop)
{
    QWidget owner;
    owner.resize(400, 300);
    owner.show();
    CStatusDlg status(&owner);
    status.Show();
    QScreen* screen = status.screen();
    ASSERT_NE(screen, nullptr);
    auto onScreen = [&] { return screen->grabWindow(status.winId()).toImage().convertToFormat(QImage::Format_RGB32); };
    auto drawnNow = [&] { return status.grab().toImage().convertToFormat(QImage::Format_RGB32); };

    status.SetText("Berechnung l\xc3\xa4uft...\nIteration: 1");
    const QImage first = onScreen();
    EXPECT_EQ(first, drawnNow());
    status.SetText("Berechnung l\xc3\xa4uft...\nIteration: 2");
    const QImage second = onScreen();
    EXPECT_NE(second, first);
    EXPECT_EQ(second, drawnNow());
}

} // namespace
