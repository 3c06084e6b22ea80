#include "app/main_dlg.h"

#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/tuning_dlg.h"
#include "app_test_util.h"
#include "io/input_file.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "plot/residual_dlg.h"
#include "res/string_table.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <new>

namespace {

QString Message(int id)
{
    return QString::fromUtf8(LoadString(id));
}

// n lines of design rows, then n lines of observation and weight.
QByteArray InputFile(int n, int u)
{
    QByteArray text;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < u; ++j)
            text += QByteArray::number(j == 0 ? 1.0 : double(i + j)) + ' ';
        text += "\r\n";
    }
    for (int i = 0; i < n; ++i)
        text += QByteArray::number(2.0 * i + 1.0) + " 1\r\n";
    return text;
}

class ComputeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        input = dir.filePath(QStringLiteral("daten.EIN"));
        output = dir.filePath(QStringLiteral("ergebnis.AUS"));
        dialog.show();
        QApplication::setActiveWindow(&dialog);
    }

    QLineEdit* Edit(int id) { return platform::FindControlAs<QLineEdit>(&dialog, id); }

    void Name(const QString& in, const QString& out)
    {
        Edit(CMainDlg::kInputEdit)->setText(in);
        Edit(CMainDlg::kOutputEdit)->setText(out);
    }

    void ChooseNorm(int id)
    {
        platform::FindControlAs<QRadioButton>(dialog.NormPanel(), id)->click();
    }

    void ChooseEstimator(int id)
    {
        QTest::mouseClick(platform::FindControl(&dialog, CMainDlg::kFamilyEaRadio), Qt::LeftButton);
        platform::FindControlAs<QRadioButton>(dialog.MEstimatorPanel(), id)->click();
    }

    void Compute() { QTest::mouseClick(platform::FindControl(&dialog, CMainDlg::kComputeButton), Qt::LeftButton); }

    QByteArray OnlyCommand()
    {
        EXPECT_EQ(seams.lpCommands.size(), 1u);
        return seams.lpCommands.empty() ? QByteArray() : seams.lpCommands.back().first;
    }

    QTemporaryDir dir;
    QString input;
    QString output;
    Seams seams;
    CMainDlg dialog;
};

TEST_F(ComputeTest, WithoutBothFileNamesNothingIsRead)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, QString());
    dialog.OnCompute();  // the button is disabled; the command guards itself
    EXPECT_EQ(seams.messages, QStringList{Message(106)});
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 1);
    EXPECT_TRUE(seams.lpCommands.empty());
}

TEST_F(ComputeTest, ReaderMessagesEndTheCommandBeforeAnyMethodDialog)
{
    const QString empty = dir.filePath(QStringLiteral("leer.EIN"));
    const QString odd = dir.filePath(QStringLiteral("ungerade.EIN"));
    const QString missing = dir.filePath(QStringLiteral("fehlt.EIN"));
    ASSERT_TRUE(WriteFile(empty, ""));
    ASSERT_TRUE(WriteFile(odd, "1 2\r\n3 4\r\n5 1\r\n"));
    ChooseEstimator(1018);
    for (const QString& name : {empty, odd, missing}) {
        Matrix a, l, p;
        const int expected = ReadInputFile(QFile::encodeName(name).toStdString(), a, l, p);
        ASSERT_NE(expected, 0);
        seams.messages.clear();
        Name(name, output);
        Compute();
        EXPECT_EQ(seams.messages, QStringList{Message(expected)}) << name.toStdString();
    }
    EXPECT_EQ(seams.modalCount, 0);
    EXPECT_FALSE(QFile::exists(output));
}

TEST_F(ComputeTest, FailedReadKeepsTheProblemReadBefore)
{
    ASSERT_TRUE(WriteFile(input, InputFile(4, 2)));
    Name(input, output);
    Compute();
    ASSERT_EQ(dialog.DesignMatrix.Rows(), 4);
    const QString broken = dir.filePath(QStringLiteral("kaputt.EIN"));
    ASSERT_TRUE(WriteFile(broken, "1 x\r\n2\r\n"));
    Name(broken, output);
    Compute();
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 4);
    EXPECT_EQ(dialog.DesignMatrix.Columns(), 2);
}

TEST_F(ComputeTest, NoCheckedMethodGivesMessage107)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    auto uncheckAll = [](QWidget* panel) {
        QButtonGroup* group = platform::FindControlAs<QRadioButton>(panel, 1014)->group();
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons())
            button->setChecked(false);
        group->setExclusive(true);
    };
    uncheckAll(dialog.NormPanel());
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(107)});
    EXPECT_TRUE(seams.lpCommands.empty());

    seams.messages.clear();
    ChooseEstimator(1014);
    uncheckAll(dialog.MEstimatorPanel());
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(107)});
    EXPECT_EQ(seams.modalCount, 0);
}

TEST_F(ComputeTest, NormCommandTextNamesFilesDimensionsFactorAndIterations)
{
    // 12 observations, 3 unknowns, "L2-Norm (Normfaktor 2)", 1000 iterations.
    ASSERT_TRUE(WriteFile(input, InputFile(12, 3)));
    Name(input, output);
    ChooseNorm(1015);
    Compute();
    const QByteArray expected = QFile::encodeName(input) + ' ' + QFile::encodeName(output) + " 12 3 2.000000 1000 ";
    EXPECT_EQ(OnlyCommand(), expected);
    EXPECT_EQ(seams.lpCommands.back().second, 255);
    EXPECT_EQ(seams.messages, QStringList{Message(116)});
}

TEST_F(ComputeTest, NormFactorsOfEveryChoice)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("50"));
    const std::pair<int, const char*> choices[] = {{1014, " 1.000000 50 "}, {1016, " 25.000000 50 "}};
    for (const auto& [id, tail] : choices) {
        seams.lpCommands.clear();
        ChooseNorm(id);
        Compute();
        EXPECT_TRUE(OnlyCommand().endsWith(QByteArray(" 3 2") + tail)) << OnlyCommand().toStdString();
    }
    seams.lpCommands.clear();
    ChooseNorm(1017);
    platform::FindControlAs<QLineEdit>(dialog.NormPanel(), 1018)->setText(QStringLiteral("1.5"));
    Compute();
    EXPECT_TRUE(OnlyCommand().endsWith(" 3 2 1.500000 50 "));
}

TEST_F(ComputeTest, BadNumberFieldsAreReportedAndTheCommandGoesOnWithTheOldValues)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("zehn"));
    ChooseNorm(1017);
    platform::FindControlAs<QLineEdit>(dialog.NormPanel(), 1018)->setText(QStringLiteral("2,5"));
    Compute();
    // The norm factor keeps its previous value 0, which is then refused.
    EXPECT_EQ(seams.messages,
              (QStringList{platform::IntegerMessage(), platform::NumberMessage(), Message(kStringNormFactorBelowOne)}));
    EXPECT_TRUE(seams.lpCommands.empty());
}

// A factor below 1, the field's initial 0 included, never reaches the
// library: the message says why and the field gets the focus.
TEST_F(ComputeTest, NormFactorBelowOneIsRefusedBeforeTheLibrary)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    ChooseNorm(1017);
    auto* factor = platform::FindControlAs<QLineEdit>(dialog.NormPanel(), 1018);
    for (const char* text : {"", "0.999999", "-3"}) {
        if (*text != '\0')
            factor->setText(QString::fromLatin1(text));
        seams.messages.clear();
        Edit(CMainDlg::kIterationsEdit)->setFocus();
        Compute();
        EXPECT_EQ(seams.messages, QStringList{Message(kStringNormFactorBelowOne)}) << text;
        EXPECT_TRUE(seams.lpCommands.empty()) << text;
        EXPECT_EQ(QApplication::focusWidget(), factor) << text;
        EXPECT_EQ(factor->selectedText(), factor->text()) << text;
    }
    factor->setText(QStringLiteral("1"));
    Compute();
    EXPECT_TRUE(OnlyCommand().endsWith(" 3 2 1.000000 1000 "));
}

TEST_F(ComputeTest, NamesWithBlanksOrQuotesAreQuotedForTheLibrary)
{
    const QString spaced = dir.filePath(QStringLiteral("meine daten.EIN"));
    const QString quoted = dir.filePath(QStringLiteral("er\"gebnis.AUS"));
    ASSERT_TRUE(WriteFile(spaced, InputFile(2, 1)));
    Name(spaced, quoted);
    Compute();
    const QByteArray expected = '"' + QFile::encodeName(spaced) + "\" \"" +
                                QFile::encodeName(quoted).replace("\"", "\\\"") + "\" 2 1 1.000000 1000 ";
    EXPECT_EQ(OnlyCommand(), expected);
}

TEST_F(ComputeTest, LongCommandGetsABufferOfItsOwnLength)
{
    const QString longName = dir.filePath(QString(240, QLatin1Char('x')) + QStringLiteral(".EIN"));
    ASSERT_TRUE(WriteFile(longName, InputFile(2, 1)));
    Name(longName, output);
    Compute();
    const QByteArray command = OnlyCommand();
    EXPECT_GT(command.size(), 254);
    EXPECT_TRUE(command.startsWith(QFile::encodeName(longName) + ' '));
    EXPECT_TRUE(command.endsWith(" 2 1 1.000000 1000 "));
    EXPECT_EQ(seams.lpCommands.back().second, command.size() + 1);
}

TEST_F(ComputeTest, LibraryFailureAndMissingLibraryAreNotReportedAsSuccess)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    seams.lpResult = 3;
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(117)});

    seams.messages.clear();
    seams.lpResult = platform::kLpLibraryMissing;
    Compute();
    ASSERT_EQ(seams.messages.size(), 1);
    EXPECT_TRUE(seams.messages[0].contains(QStringLiteral("libnormex.so"))) << seams.messages[0].toStdString();
}

TEST_F(ComputeTest, OutOfMemoryIsReportedAndTheStateStays)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    platform::SetLpHandler([](char*, int) -> int { throw std::bad_alloc(); });
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(120)});
    EXPECT_EQ(dialog.InputFileName, input);
    EXPECT_EQ(dialog.OutputFileName, output);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ComputeTest, TuningCancelComputesNothingAndSaysNothing)
{
    ASSERT_TRUE(WriteFile(input, InputFile(5, 2)));
    Name(input, output);
    ChooseEstimator(1015);
    QString offered;
    seams.modal = [&](QDialog& shown) {
        auto* tuning = dynamic_cast<CTuningDlg*>(&shown);
        EXPECT_NE(tuning, nullptr);
        offered = platform::FindControlAs<QLineEdit>(&shown, 1029)->text();
        platform::FindControlAs<QLineEdit>(&shown, 1029)->setText(QStringLiteral("9"));
        shown.reject();
        return shown.result();
    };
    Compute();
    EXPECT_EQ(offered, QStringLiteral("4.685"));  // Biweight's default
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_FALSE(QFile::exists(output));
    Compute();
    EXPECT_EQ(offered, QStringLiteral("4.685"));  // the default again, not the 9 typed before
}

TEST_F(ComputeTest, HuberRunWritesTheReportAndShowsTheResiduals)
{
    // One unknown, A all ones, l = 1, 2, 3, 4, 100: Huber with c = 1.5
    // pulls the estimate from the mean 22 down to about 3.
    ASSERT_TRUE(WriteFile(input, "1\r\n1\r\n1\r\n1\r\n1\r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n100 1\r\n"));
    Name(input, output);
    ChooseEstimator(1018);
    QStringList shown;
    Matrix residuals;
    seams.modal = [&](QDialog& dialogShown) {
        if (auto* tuning = dynamic_cast<CTuningDlg*>(&dialogShown)) {
            shown << QStringLiteral("tuning ") + platform::FindControlAs<QLineEdit>(tuning, 1029)->text();
            tuning->accept();
            return tuning->result();
        }
        if (auto* plot = dynamic_cast<CResidualDlg*>(&dialogShown)) {
            shown << QStringLiteral("plot");
            residuals = plot->GetResiduals();
            EXPECT_TRUE(QFile::exists(output)) << "the report is written before the plot shows";
            return int(QDialog::Accepted);
        }
        shown << QStringLiteral("other");
        return int(QDialog::Rejected);
    };
    Compute();
    EXPECT_EQ(shown, (QStringList{QStringLiteral("tuning 1.5"), QStringLiteral("plot")}));
    EXPECT_EQ(seams.messages, QStringList{Message(116)});
    ASSERT_EQ(residuals.Rows(), 5);
    // Every adjusted observation l + v is the same estimate, near 3.
    const double observed[] = {1, 2, 3, 4, 100};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(observed[i] + residuals(i, 0), 3.0, 0.05) << i;
    QFile report(output);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_GT(report.size(), 100);
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 5);
}

// Each radio button of the M-estimator panel offers its method's default
// constant and runs its method (the report's method line names it).
TEST_F(ComputeTest, EveryEstimatorOffersItsDefaultAndRunsItsMethod)
{
    const struct {
        int id;
        const char* method;
        const char* offered;
    } estimators[] = {
        {1014, "Andrews", "0.5"}, {1015, "Biweight", "4.685"}, {1016, "Cauchy", "2.385"}, {1017, "Fair", "1.4"},
        {1018, "Huber", "1.5"},   {1019, "Logistic", "1.205"}, {1020, "Talwar", "2.795"}, {1021, "Welsch", "2.985"},
    };
    // A straight line 2t + 1, t = 0 .. 5, with 10 added to the last value.
    ASSERT_TRUE(WriteFile(input, "1 0\r\n1 1\r\n1 2\r\n1 3\r\n1 4\r\n1 5\r\n"
                                 "1 1\r\n3 1\r\n5 1\r\n7 1\r\n9 1\r\n21 1\r\n"));
    Name(input, output);
    for (const auto& estimator : estimators) {
        ChooseEstimator(estimator.id);
        QString offered;
        seams.modal = [&](QDialog& shown) {
            if (auto* tuning = dynamic_cast<CTuningDlg*>(&shown))
                offered = platform::FindControlAs<QLineEdit>(tuning, 1029)->text();
            shown.accept();
            return shown.result();
        };
        Compute();
        EXPECT_EQ(offered, QString::fromLatin1(estimator.offered)) << estimator.method;
        QFile report(output);
        ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << estimator.method;
        const QByteArray methodLine = QByteArray("Berechnungsart: ") + estimator.method + " mit Tuning-Konstante";
        EXPECT_TRUE(report.readAll().contains(methodLine)) << estimator.method;
    }
}

TEST_F(ComputeTest, NonFiniteSolutionIsNotReportedAsSuccess)
{
    // Talwar with c = 2.795 on l = 1, 2, 3, 4, 100: every residual of the
    // first pass (about the mean 22) exceeds c, all weights become 0 and
    // the second pass has no finite solution.
    ASSERT_TRUE(WriteFile(input, "1\r\n1\r\n1\r\n1\r\n1\r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n100 1\r\n"));
    Name(input, output);
    ChooseEstimator(1020);
    seams.modal = [](QDialog& shown) {
        shown.accept();
        return shown.result();
    };
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(117)});
    EXPECT_TRUE(QFile::exists(output));
}

TEST_F(ComputeTest, UnwritableReportGives117)
{
    ASSERT_TRUE(WriteFile(input, InputFile(4, 2)));
    Name(input, dir.filePath(QStringLiteral("kein/ordner/x.AUS")));
    ChooseEstimator(1020);
    seams.modal = [](QDialog& shown) {
        shown.accept();
        return shown.result();
    };
    Compute();
    EXPECT_EQ(seams.messages, QStringList{Message(117)});
}

} // namespace

namespace {

// The real library beside the test programs, as the program loads it.
TEST(ComputeWithLibrary, L2NormThroughLibnormexWritesTheReport)
{
    const QString library = QStringLiteral(TOLVAR_BIN_DIR "/libnormex.so");
    if (!QFile::exists(library))
        GTEST_SKIP() << "libnormex.so not built";
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("gerade daten.EIN"));
    const QString output = dir.filePath(QStringLiteral("gerade.AUS"));
    ASSERT_TRUE(WriteFile(input, "1 0\r\n1 1\r\n1 2\r\n1 3\r\n1 1\r\n3 1\r\n5 1\r\n7 1\r\n"));
    Seams seams;
    platform::SetLpHandler({});  // the real call
    platform::SetLpLibraryPath(library);
    CMainDlg dialog;
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)->setText(input);
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kOutputEdit)->setText(output);
    platform::FindControlAs<QRadioButton>(dialog.NormPanel(), 1015)->click();
    dialog.OnCompute();
    platform::SetLpLibraryPath(QString());
    EXPECT_EQ(seams.messages, QStringList{Message(116)});
    QFile report(output);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_GT(report.size(), 0);
}

} // namespace
