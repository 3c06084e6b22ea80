#include "platform/help_window.h"

#include "app/main_dlg.h"
#include "qt_test_support.h"

#include "core/estimator.h"
#include "core/number_text.h"
#include "core/residual_scale.h"
#include "io/input_file.h"

#include <QDialog>
#include <QFile>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

using test_support::Seams;

class HelpWindowTest : public ::testing::Test {
protected:
    void TearDown() override { CloseHelpWindow(); }

    static QString HelpHtml()
    {
        QFile file(QStringLiteral(":/help/tolvar.html"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll());
    }
};

TEST_F(HelpWindowTest, ShowsTheHelpTextOnceBesideItsOwner)
{
    QDialog owner;
    CHelpWindow* help = ShowHelpWindow(&owner);
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->isWindow());
    EXPECT_EQ(help->parentWidget(), &owner);
    EXPECT_TRUE(help->toPlainText().contains(QStringLiteral("Die Eingabedatei")));
    EXPECT_EQ(ShowHelpWindow(&owner), help);
    EXPECT_EQ(CurrentHelpWindow(), help);
}

// F1 in the main dialog opens the help beside it; destroying the main
// dialog closes the help with it.
TEST_F(HelpWindowTest, F1OpensHelpThatEndsWithTheMainDialog)
{
    Seams seams;
    platform::HelpSeam().Install({});  // the real help window; Seams restores the recorder
    auto dialog = std::make_unique<CMainDlg>();
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    QTest::keyClick(dialog.get(), Qt::Key_F1);
    QPointer<CHelpWindow> help = CurrentHelpWindow();
    ASSERT_FALSE(help.isNull());
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->parentWidget(), dialog.get());

    dialog.reset();
    EXPECT_TRUE(help.isNull() || !help->isVisible());
    EXPECT_EQ(CurrentHelpWindow(), nullptr);
}

// Every M-estimator of the method table with the default constant that the
// compute command offers, and every norm of the norm panel.
TEST_F(HelpWindowTest, NamesEveryMethodWithItsDefault)
{
    const QString html = HelpHtml();
    ASSERT_FALSE(html.isEmpty());
    for (int code = kFirstEstimator; code < kFirstEstimator + kEstimatorCount; ++code) {
        const MethodInfo& method = kMethods[code];
        const QRegularExpression row(
            QStringLiteral("<td>%1</td>.*<td>%2</td></tr>")
                .arg(QLatin1String(method.reportName),
                     QRegularExpression::escape(QString::fromStdString(FormatGeneral(method.defaultTuningConstant)))));
        EXPECT_TRUE(row.match(html).hasMatch()) << method.reportName;
    }
    const QString range = QStringLiteral("von %1 bis %2").arg(QString::fromStdString(FormatGeneral(kLowestTuningConstant)),
                                                             QString::fromStdString(FormatGeneral(kHighestTuningConstant)));
    EXPECT_TRUE(html.contains(range)) << range.toStdString();
    for (const char* norm : {"L1-Norm", "L2-Norm", "Loo-Norm", "Normfaktor"})
        EXPECT_TRUE(html.contains(QLatin1String(norm))) << norm;
}

// The formulas of the results, the spread's divisor of the code and every
// word the results files use for how a run ended.
TEST_F(HelpWindowTest, DescribesTheResultOptionsAndTheirFormulas)
{
    const QString html = HelpHtml();
    EXPECT_TRUE(html.contains(QString::fromUtf8(
        "s<sub>0</sub> = \u221a( \u03a3 w<sub>i</sub> p<sub>i</sub> v<sub>i</sub>\u00b2 / (n \u2212 u) )")));
    EXPECT_TRUE(html.contains(QString::fromUtf8("s<sub>j</sub> = s<sub>0</sub> \u00b7 \u221aQ<sub>jj</sub>")));
    EXPECT_TRUE(html.contains(QStringLiteral("median(v)|) / %1").arg(FormatGeneral(kMadNormalisation).c_str())));
    EXPECT_TRUE(html.contains(QStringLiteral("= %1;").arg(FormatShortest(kNormalQuartile).c_str())));
    for (RunEnd end : {RunEnd::kCriterion, RunEnd::kPassLimit, RunEnd::kSinglePass, RunEnd::kNotFinite,
                       RunEnd::kOptimum, RunEnd::kShortOfOptimum, RunEnd::kScaleZero})
        EXPECT_TRUE(html.contains(QStringLiteral("<code>%1</code>").arg(RunEndName(end)))) << RunEndName(end);
}

// The example input file of the help reads as a straight line through six
// points with a gross error of +10 on the last one, and the robust methods
// give what the help promises: a = 1, b = 2, correction -10 on the last.
TEST_F(HelpWindowTest, ExampleInputFileGivesWhatTheHelpSays)
{
    const QString html = HelpHtml();
    const QRegularExpressionMatch example = QRegularExpression(QStringLiteral("<pre>\\n(.*?)</pre>"),
                                                               QRegularExpression::DotMatchesEverythingOption)
                                                .match(html);
    ASSERT_TRUE(example.hasMatch());
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("beispiel.ein"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(example.captured(1).toUtf8());
    file.close();

    Matrix A, l, P;
    ASSERT_EQ(ReadInputFile(path.toStdString(), A, l, P), 0);
    ASSERT_EQ(A.Rows(), 6);
    ASSERT_EQ(A.Columns(), 2);
    for (int code : {kMethodTalwar, kMethodBiweight}) {
        CEstimator engine;
        engine.SetOutputFile(dir.filePath(QStringLiteral("beispiel.aus")).toStdString());
        engine.TuningConstant = kMethods[code].defaultTuningConstant;
        ASSERT_EQ(engine.Run(A, l, P, code, 0.0, 1000, 1e-5), kRunSuccess);
        EXPECT_NEAR(engine.Solution()(0, 0), 1.0, 1e-9) << code;
        EXPECT_NEAR(engine.Solution()(1, 0), 2.0, 1e-9) << code;
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(engine.Corrections()(i, 0), 0.0, 1e-9) << code << " " << i;
        EXPECT_NEAR(engine.Corrections()(5, 0), -10.0, 1e-9) << code;
    }
}

} // namespace
