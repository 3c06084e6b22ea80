#include "app/lp_command.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/status_dlg.h"
#include "app/tuning_dlg.h"
#include "app_test_util.h"
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

// Runs the tuning dialog with text typed into its field and OK pressed;
// returns the dialog's result.
int RunTuning(CTuningDlg& tuning, Seams& seams, const QString& typed, QString* offered = nullptr)
{
    seams.modal = [&](QDialog& shown) {
        auto* edit = platform::FindControlAs<QLineEdit>(&shown, 1029);
        if (offered)
            *offered = edit->text();
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::mouseClick(platform::FindControl(&shown, 1), Qt::LeftButton);
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
        {"-0.1", QStringLiteral("Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein.")},
        {"100000001", QStringLiteral("Geben Sie bitte eine Zahl zwischen 0 und 100000000 ein.")},
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
        platform::FindControlAs<QLineEdit>(&shown, 1029)->setText(QStringLiteral("kaputt"));
        QTest::mouseClick(platform::FindControl(&shown, 2), Qt::LeftButton);
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
            EXPECT_EQ(edit, platform::FindControl(&shown, 1029));
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
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&estimators, 1014)->isChecked());
    EXPECT_EQ(estimators.GetSelection(), 0);
    platform::FindControlAs<QRadioButton>(&estimators, 1021)->click();
    EXPECT_EQ(estimators.GetSelection(), 7);
    platform::FindControlAs<QRadioButton>(&estimators, 1019)->click();
    EXPECT_EQ(estimators.GetSelection(), 5);
    EXPECT_FALSE(estimators.isWindow());

    Seams seams;
    CNormPanel norms(&host);
    EXPECT_TRUE(platform::FindControlAs<QRadioButton>(&norms, 1014)->isChecked());
    auto* factor = platform::FindControlAs<QLineEdit>(&norms, 1018);
    EXPECT_EQ(factor->text(), QStringLiteral("0"));
    factor->setText(QStringLiteral("-1e300"));
    EXPECT_EQ(norms.GetNormFactor(), -1e300);  // no range check
    // With "Loo" checked the factor text is still read and checked.
    platform::FindControlAs<QRadioButton>(&norms, 1016)->click();
    factor->setText(QStringLiteral("abc"));
    EXPECT_EQ(norms.GetSelection(), 2);
    EXPECT_EQ(seams.messages, QStringList{platform::NumberMessage()});
    EXPECT_EQ(norms.NormFactor(), -1e300);
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
    auto* label = platform::FindControlAs<QLabel>(&status, 1030);
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

TEST(LpCommand, FormatOfTheCommandText)
{
    char expected[255];
    std::snprintf(expected, sizeof expected, "%s %s %d %d %lf %d ", "a.ein", "b.aus", 12, 3, 2.0, 1000);
    EXPECT_EQ(BuildLpCommand("a.ein", "b.aus", 12, 3, 2.0, 1000), expected);
    std::snprintf(expected, sizeof expected, "%s %s %d %d %lf %d ", "/x/in", "/x/out", 1, 1, 1.0 / 3.0, -5);
    EXPECT_EQ(BuildLpCommand("/x/in", "/x/out", 1, 1, 1.0 / 3.0, -5), expected);
    EXPECT_EQ(BuildLpCommand("i", "o", 2, 1, 25.0, 0), "i o 2 1 25.000000 0 ");
}

TEST(LpCommand, QuotingOnlyWhereABlankOrQuoteWouldSplitTheName)
{
    EXPECT_EQ(QuoteFileName("/daten/a.ein"), "/daten/a.ein");
    EXPECT_EQ(QuoteFileName("C:\\daten\\a.ein"), "C:\\daten\\a.ein");
    EXPECT_EQ(QuoteFileName("/meine daten/a.ein"), "\"/meine daten/a.ein\"");
    EXPECT_EQ(QuoteFileName("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(QuoteFileName("x y\\z"), "\"x y\\\\z\"");
    EXPECT_EQ(QuoteFileName("a\tb"), "\"a\tb\"");
    // Without its quotes an empty name would vanish and shift every field.
    EXPECT_EQ(QuoteFileName(""), "\"\"");
    EXPECT_EQ(BuildLpCommand("a.ein", "", 2, 1, 1.0, 10), "a.ein \"\" 2 1 1.000000 10 ");
}

TEST(LpCommand, BufferIs255BytesOrTheTextsLengthPlusOne)
{
    const std::string shortText = "a b 1 1 1.000000 10 ";
    const std::vector<char> small = LpCommandBuffer(shortText);
    EXPECT_EQ(small.size(), 255u);
    EXPECT_EQ(std::string(small.data()), shortText);

    const std::string exact(254, 'x');
    EXPECT_EQ(LpCommandBuffer(exact).size(), 255u);
    const std::string longer(255, 'y');
    const std::vector<char> large = LpCommandBuffer(longer);
    EXPECT_EQ(large.size(), 256u);
    EXPECT_EQ(std::string(large.data()), longer);
}

} // namespace
