#include "app/main_dlg.h"

#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "app/tuning_dlg.h"
#include "qt_test_support.h"
#include "test_support.h"
#include "io/input_file.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/file_access.h"
#include "plot/residual_dlg.h"
#include "core/methods.h"
#include "core/number_text.h"
#include "core/report.h"
#include "platform/string_text.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <new>

namespace {

using test_support::Seams;
using test_support::Utf8;
using test_support::WriteFile;

using platform::LoadText;

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

    // Runs the estimator with OK in the tuning dialog and the residual plot.
    void ComputeAcceptingEveryDialog(int estimatorId)
    {
        ChooseEstimator(estimatorId);
        seams.modal = [](QDialog& shown) {
            shown.accept();
            return shown.result();
        };
        Compute();
    }

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
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringChooseFiles)});
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 1);
    EXPECT_TRUE(seams.lpCommands.empty());
}

// The reader's message stays the main text; below it the file's name and,
// for a file that cannot be opened or read, the system's reason.
TEST_F(ComputeTest, ReaderMessagesEndTheCommandBeforeAnyMethodDialog)
{
    const QString empty = dir.filePath(QStringLiteral("leer.EIN"));
    const QString odd = dir.filePath(QStringLiteral("ungerade.EIN"));
    const QString missing = dir.filePath(QStringLiteral("fehlt.EIN"));
    ASSERT_TRUE(WriteFile(empty, ""));
    ASSERT_TRUE(WriteFile(odd, "1 2\r\n3 4\r\n5 1\r\n"));
    const QString noWeight = dir.filePath(QStringLiteral("gewicht.EIN"));
    ASSERT_TRUE(WriteFile(noWeight, "1\r\n2\r\n5 1\r\n6 0\r\n"));
    ChooseEstimator(CMEstimatorPanel::kHuberRadio);
    const std::pair<QString, const char*> cases[] = {
        {empty, ""},
        {odd, ""},
        {missing, "\nGrund: Datei oder Verzeichnis nicht gefunden"},
        {dir.path(), "\nGrund: Ist ein Verzeichnis"}, // opens, but cannot be read
        {noWeight, "\nZeile 4"},                       // the place of the fault
    };
    for (const auto& [name, reason] : cases) {
        Matrix a, l, p;
        const int expected = ReadInputFile(QFile::encodeName(name).toStdString(), a, l, p);
        ASSERT_NE(expected, 0);
        seams.messages.clear();
        seams.informativeTexts.clear();
        Name(name, output);
        Compute();
        EXPECT_EQ(seams.messages, QStringList{LoadText(expected)}) << name.toStdString();
        EXPECT_EQ(seams.informativeTexts, QStringList{Utf8("Eingabedatei: ") + name + Utf8(reason)});
    }
    EXPECT_EQ(seams.modalCount, 0);
    EXPECT_FALSE(QFile::exists(output));
}

// Values cut short are read as always; once, after reading, a warning box
// says how many and where the first one is, and the command goes on.
TEST_F(ComputeTest, ValuesCutShortAreSaidOnceAndTheRunGoesOn)
{
    ASSERT_TRUE(WriteFile(input, "1 2\r\n1 3,5\r\n1 4\r\n3.4 2,5\r\n5 1 ; note\r\n7 1\r\n"));
    Name(input, output);
    ComputeAcceptingEveryDialog(CMEstimatorPanel::kHuberRadio);
    EXPECT_EQ(seams.messages, (QStringList{Utf8("3 Werte der Eingabedatei wurden nicht ganz gelesen."),
                                           LoadText(kStringComputeSuccess)}));
    ASSERT_FALSE(seams.informativeTexts.isEmpty());
    EXPECT_EQ(seams.informativeTexts.front(), Utf8("Eingabedatei: ") + input + Utf8("\nZeile 2, Stelle 3: \"3,5\""));
    EXPECT_TRUE(QFile::exists(output));
    // A clean file says nothing.
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    seams.messages.clear();
    Compute();
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeSuccess)});
}

TEST_F(ComputeTest, FailedReadKeepsTheProblemReadBefore)
{
    dialog.DesignMatrix = Matrix(4, 2, 1.0);  // as the data editor leaves it
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
        QButtonGroup* group = platform::FindControlAs<QRadioButton>(panel, CNormPanel::kL1Radio)->group();
        group->setExclusive(false);
        for (QAbstractButton* button : group->buttons())
            button->setChecked(false);
        group->setExclusive(true);
    };
    uncheckAll(dialog.NormPanel());
    Compute();
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringChooseMethod)});
    EXPECT_TRUE(seams.lpCommands.empty());

    seams.messages.clear();
    ChooseEstimator(CMEstimatorPanel::kAndrewsRadio);
    uncheckAll(dialog.MEstimatorPanel());
    Compute();
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringChooseMethod)});
    EXPECT_EQ(seams.modalCount, 0);
}

TEST_F(ComputeTest, NormCommandTextNamesFilesDimensionsFactorAndIterations)
{
    // 12 observations, 3 unknowns, "L2-Norm (Normfaktor 2)", 1000 iterations.
    ASSERT_TRUE(WriteFile(input, InputFile(12, 3)));
    Name(input, output);
    ChooseNorm(CNormPanel::kL2Radio);
    Compute();
    const QByteArray expected = QFile::encodeName(input) + ' ' + QFile::encodeName(output) + " 12 3 2.000000 1000 ";
    EXPECT_EQ(OnlyCommand(), expected);
    EXPECT_EQ(seams.lpCommands.back().second, 255);
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeSuccess)});
}

TEST_F(ComputeTest, NormFactorsOfEveryChoice)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("50"));
    const std::pair<int, const char*> choices[] = {{CNormPanel::kL1Radio, " 1.000000 50 "}, {CNormPanel::kChebyshevRadio, " 25.000000 50 "}};
    for (const auto& [id, tail] : choices) {
        seams.lpCommands.clear();
        ChooseNorm(id);
        Compute();
        EXPECT_TRUE(OnlyCommand().endsWith(QByteArray(" 3 2") + tail)) << OnlyCommand().toStdString();
    }
    seams.lpCommands.clear();
    ChooseNorm(CNormPanel::kAnyFactorRadio);
    platform::FindControlAs<QLineEdit>(dialog.NormPanel(), CNormPanel::kNormFactorEdit)->setText(QStringLiteral("1.5"));
    Compute();
    EXPECT_TRUE(OnlyCommand().endsWith(" 3 2 1.500000 50 "));
}

TEST_F(ComputeTest, BadNumberFieldsAreReportedAndTheCommandGoesOnWithTheOldValues)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("zehn"));
    ChooseNorm(CNormPanel::kAnyFactorRadio);
    platform::FindControlAs<QLineEdit>(dialog.NormPanel(), CNormPanel::kNormFactorEdit)->setText(QStringLiteral("2,5"));
    Compute();
    // The norm factor keeps its previous value 0, which is then refused.
    EXPECT_EQ(seams.messages,
              (QStringList{platform::IntegerMessage(), platform::NumberMessage(), LoadText(kStringNormFactorBelowOne)}));
    EXPECT_TRUE(seams.lpCommands.empty());
}

// A factor below 1, the field's initial 0 included, never reaches the
// library: the message says why and the field gets the focus.
TEST_F(ComputeTest, NormFactorBelowOneIsRefusedBeforeTheLibrary)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    ChooseNorm(CNormPanel::kAnyFactorRadio);
    auto* factor = platform::FindControlAs<QLineEdit>(dialog.NormPanel(), CNormPanel::kNormFactorEdit);
    for (const char* text : {"", "0.999999", "-3"}) {
        if (*text != '\0')
            factor->setText(QString::fromLatin1(text));
        seams.messages.clear();
        Edit(CMainDlg::kIterationsEdit)->setFocus();
        Compute();
        EXPECT_EQ(seams.messages, QStringList{LoadText(kStringNormFactorBelowOne)}) << text;
        EXPECT_TRUE(seams.lpCommands.empty()) << text;
        EXPECT_EQ(QApplication::focusWidget(), factor) << text;
        EXPECT_EQ(factor->selectedText(), factor->text()) << text;
    }
    factor->setText(QStringLiteral("1"));
    Compute();
    EXPECT_TRUE(OnlyCommand().endsWith(" 3 2 1.000000 1000 "));
}

TEST_F(ComputeTest, LibraryFailureAndMissingLibraryAreNotReportedAsSuccess)
{
    ASSERT_TRUE(WriteFile(input, InputFile(3, 2)));
    Name(input, output);
    seams.lpResult = 3;
    Compute();
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)});
    // The library gives no cause, and the output file shows none.
    EXPECT_EQ(seams.informativeTexts, QStringList{Utf8("Ausgabedatei: ") + output});

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
    platform::LpSeam().Install([](char*, int) -> int { throw std::bad_alloc(); });  // Seams restores it
    Compute();
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringOutOfMemory)});
    EXPECT_EQ(dialog.InputFileName, input);
    EXPECT_EQ(dialog.OutputFileName, output);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(ComputeTest, TuningCancelComputesNothingAndSaysNothing)
{
    ASSERT_TRUE(WriteFile(input, InputFile(5, 2)));
    Name(input, output);
    ChooseEstimator(CMEstimatorPanel::kBiweightRadio);
    QString offered;
    seams.modal = [&](QDialog& shown) {
        auto* tuning = dynamic_cast<CTuningDlg*>(&shown);
        EXPECT_NE(tuning, nullptr);
        offered = platform::FindControlAs<QLineEdit>(&shown, CTuningDlg::kTuningEdit)->text();
        platform::FindControlAs<QLineEdit>(&shown, CTuningDlg::kTuningEdit)->setText(QStringLiteral("9"));
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
    ChooseEstimator(CMEstimatorPanel::kHuberRadio);
    QStringList shown;
    Matrix residuals;
    seams.modal = [&](QDialog& dialogShown) {
        if (auto* tuning = dynamic_cast<CTuningDlg*>(&dialogShown)) {
            shown << QStringLiteral("tuning ") + platform::FindControlAs<QLineEdit>(tuning, CTuningDlg::kTuningEdit)->text();
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
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeSuccess)});
    ASSERT_EQ(residuals.Rows(), 5);
    // Every adjusted observation l + v is the same estimate, near 3.
    const double observed[] = {1, 2, 3, 4, 100};
    for (int i = 0; i < 5; ++i)
        EXPECT_NEAR(observed[i] + residuals(i, 0), 3.0, 0.05) << i;
    QFile report(output);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_GT(report.size(), 100);
    // The problem went into the run, and its memory is given back.
    for (const Matrix* kept : {&dialog.DesignMatrix, &dialog.Observations, &dialog.Weights}) {
        EXPECT_EQ(kept->Rows(), 1);
        EXPECT_EQ(kept->Columns(), 1);
    }
}

// Each radio button of the M-estimator panel, in order, offers its
// method's default constant from the method table and runs that method
// (the report's method line names it).
TEST_F(ComputeTest, EveryEstimatorOffersItsDefaultAndRunsItsMethod)
{
    // A straight line 2t + 1, t = 0 .. 5, with 10 added to the last value.
    ASSERT_TRUE(WriteFile(input, "1 0\r\n1 1\r\n1 2\r\n1 3\r\n1 4\r\n1 5\r\n"
                                 "1 1\r\n3 1\r\n5 1\r\n7 1\r\n9 1\r\n21 1\r\n"));
    Name(input, output);
    QTest::mouseClick(platform::FindControl(&dialog, CMainDlg::kFamilyEaRadio), Qt::LeftButton);
    const QList<QAbstractButton*> radios =
        platform::FindControlAs<QRadioButton>(dialog.MEstimatorPanel(), CMEstimatorPanel::kAndrewsRadio)
            ->group()
            ->buttons();
    ASSERT_EQ(radios.size(), kEstimatorCount);
    for (int index = 0; index < kEstimatorCount; ++index) {
        const MethodInfo& method = kMethods[kFirstEstimator + index];
        radios[index]->click();
        QString offered;
        seams.modal = [&](QDialog& shown) {
            if (auto* tuning = dynamic_cast<CTuningDlg*>(&shown))
                offered = platform::FindControlAs<QLineEdit>(tuning, CTuningDlg::kTuningEdit)->text();
            shown.accept();
            return shown.result();
        };
        Compute();
        EXPECT_EQ(offered.toStdString(), FormatGeneral(method.defaultTuningConstant)) << method.reportName;
        QFile report(output);
        ASSERT_TRUE(report.open(QIODevice::ReadOnly)) << method.reportName;
        std::string methodLine = "Berechnungsart: " + MethodText(method.code, method.defaultTuningConstant, 0);
        methodLine.pop_back();
        methodLine += "\r\n"; // the file's line end
        EXPECT_TRUE(report.readAll().contains(QByteArray::fromStdString(methodLine))) << method.reportName;
    }
}

TEST_F(ComputeTest, NonFiniteSolutionIsNotReportedAsSuccess)
{
    // Talwar with c = 2.795 on l = 1, 2, 3, 4, 100: every residual of the
    // first pass (about the mean 22) exceeds c, all weights become 0 and
    // the second pass has no finite solution.
    ASSERT_TRUE(WriteFile(input, "1\r\n1\r\n1\r\n1\r\n1\r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n100 1\r\n"));
    Name(input, output);
    ComputeAcceptingEveryDialog(CMEstimatorPanel::kTalwarRadio);
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)});
    EXPECT_TRUE(QFile::exists(output));
}

// A value of the file that is not finite: the message names the first.
TEST_F(ComputeTest, ANonFiniteValueOfTheFileIsNamedWithTheFailure)
{
    ASSERT_TRUE(WriteFile(input, "1\r\n1\r\n1\r\n1 1\r\ninf 1\r\n3 1\r\n"));
    Name(input, output);
    ComputeAcceptingEveryDialog(CMEstimatorPanel::kHuberRadio);
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)});
    EXPECT_EQ(seams.informativeTexts,
              QStringList{Utf8("Ausgabedatei: ") + output + Utf8("\nEingabedatei: ") + input + Utf8(", Zeile 5, Wert 1")});
}

// The report would replace its own input: refused with a message before
// the input is read, for both families, however the name reaches the file.
TEST_F(ComputeTest, AnOutputNamingTheInputIsRefusedBeforeTheComputation)
{
    const QByteArray data = InputFile(4, 2);
    ASSERT_TRUE(WriteFile(input, data));
    ASSERT_TRUE(QFile::link(input, dir.filePath(QStringLiteral("verweis.EIN"))));
    const QString names[] = {input, dir.path() + QStringLiteral("/./daten.EIN"),
                             dir.filePath(QStringLiteral("verweis.EIN"))};
    for (const bool lp : {false, true}) {
        if (lp)
            ChooseNorm(CNormPanel::kL2Radio);
        else
            ChooseEstimator(CMEstimatorPanel::kHuberRadio);
        for (const QString& name : names) {
            seams.messages.clear();
            Name(input, name);
            Compute();
            EXPECT_EQ(seams.messages, QStringList{LoadText(kStringSameFile)}) << name.toStdString();
        }
    }
    EXPECT_EQ(seams.modalCount, 0);
    EXPECT_TRUE(seams.lpCommands.empty());
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 1) << "the input was not even read";
    QFile file(input);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), data);
}

// An output file that cannot be written ends the command with 117, the
// file's name and the reason, before the tuning dialog or the library
// call; nothing is created or cut.
TEST_F(ComputeTest, UnwritableOutputIsReportedBeforeAnyMethodDialog)
{
    ASSERT_TRUE(WriteFile(input, InputFile(4, 2)));
    const QString locked = dir.filePath(QStringLiteral("gesperrt"));
    const QString readOnly = dir.filePath(QStringLiteral("alt.AUS"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("gesperrt")));
    ASSERT_TRUE(WriteFile(readOnly, "alter Bericht"));
    // Writable, but its folder takes no temporary file to replace it with.
    const QString inLocked = locked + QStringLiteral("/offen.AUS");
    ASSERT_TRUE(WriteFile(inLocked, "alter Bericht"));
    ASSERT_EQ(chmod(QFile::encodeName(inLocked), 0666), 0);
    // The input stays readable for an ordinary user (root gives up its rights below).
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()), 0755) | chmod(QFile::encodeName(locked), 0555) |
                  chmod(QFile::encodeName(readOnly), 0444),
              0);
    const std::pair<QString, const char*> cases[] = {
        {dir.filePath(QStringLiteral("kein/ordner/x.AUS")), "Datei oder Verzeichnis nicht gefunden"},
        {dir.path(), "Ist ein Verzeichnis"},
        {locked + QStringLiteral("/neu.AUS"), "Keine Berechtigung"},
        {readOnly, "Keine Berechtigung"},
        {inLocked, "Keine Berechtigung"},
    };
    test_support::WithoutRoot ordinaryUser;
    ASSERT_TRUE(ordinaryUser.Entered());
    ASSERT_EQ(platform::ReadAccessError(input), 0) << "the temporary folder is closed to an ordinary user";
    for (const auto& [name, reason] : cases) {
        for (const bool estimator : {true, false}) {
            if (estimator)
                ChooseEstimator(CMEstimatorPanel::kHuberRadio);
            else
                QTest::mouseClick(platform::FindControl(&dialog, CMainDlg::kFamilyLpRadio), Qt::LeftButton);
            seams.messages.clear();
            seams.informativeTexts.clear();
            Name(input, name);
            Compute();
            const std::string context = name.toStdString() + (estimator ? " Huber" : " Lp");
            EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)}) << context;
            EXPECT_EQ(seams.informativeTexts, QStringList{Utf8("Ausgabedatei: ") + name + Utf8("\nGrund: ") + Utf8(reason)})
                << context;
        }
    }
    EXPECT_EQ(seams.modalCount, 0);
    EXPECT_TRUE(seams.lpCommands.empty());
    EXPECT_FALSE(QFile::exists(locked + QStringLiteral("/neu.AUS")));
    EXPECT_EQ(test_support::ReadBytes(readOnly.toStdString()), "alter Bericht");
    EXPECT_EQ(test_support::ReadBytes(inLocked.toStdString()), "alter Bericht");
}

// The check before the tuning dialog opens the output file without
// cutting it: cancelling the dialog leaves the old report as it was.
TEST_F(ComputeTest, CheckingTheOutputFileLeavesAnOldReport)
{
    ASSERT_TRUE(WriteFile(input, InputFile(4, 2)));
    ASSERT_TRUE(WriteFile(output, "alter Bericht"));
    Name(input, output);
    ChooseEstimator(CMEstimatorPanel::kHuberRadio);
    Compute(); // no modal answer: the tuning dialog is cancelled
    EXPECT_EQ(seams.modalCount, 1);
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_EQ(test_support::ReadBytes(output.toStdString()), "alter Bericht");
}

// A full disk shows only while the report is written: the engine's cause.
TEST_F(ComputeTest, FullDiskWhileWritingTheReportNamesTheCause)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full";
    ASSERT_TRUE(WriteFile(input, InputFile(4, 2)));
    Name(input, QStringLiteral("/dev/full"));
    ComputeAcceptingEveryDialog(CMEstimatorPanel::kHuberRadio);
    EXPECT_EQ(seams.modalCount, 1); // the tuning dialog; no residual plot
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)});
    EXPECT_EQ(seams.informativeTexts, QStringList{Utf8("Ausgabedatei: /dev/full\nGrund: Kein Speicherplatz mehr")});
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
    platform::LpSeam().Install({});  // the real call; Seams restores the recorder
    platform::SetLpLibraryPath(library);
    CMainDlg dialog;
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)->setText(input);
    platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kOutputEdit)->setText(output);
    platform::FindControlAs<QRadioButton>(dialog.NormPanel(), CNormPanel::kL2Radio)->click();
    dialog.OnCompute();
    platform::SetLpLibraryPath(QString());
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeSuccess)});
    QFile report(output);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_GT(report.size(), 0);

    // A NaN in the design: L1 keeps the unknowns finite, but the table
    // shows "nan" for that row's correction. No success.
    ASSERT_TRUE(WriteFile(input, "1\r\n1\r\nnan\r\n1\r\n1 1\r\n2 1\r\n3 1\r\n4 1\r\n"));
    seams.messages.clear();
    platform::SetLpLibraryPath(library);
    platform::FindControlAs<QRadioButton>(dialog.NormPanel(), CNormPanel::kL1Radio)->click();
    dialog.OnCompute();
    platform::SetLpLibraryPath(QString());
    EXPECT_EQ(seams.messages, QStringList{LoadText(kStringComputeError)});
}

} // namespace

namespace {

// A polynomial fit of the given degree at 82 points between -9 and -3, the
// powers as design columns: degree 7 keeps a few digits, degree 10 none.
QByteArray PolynomialFit(int degree)
{
    QByteArray design;
    QByteArray observations;
    for (int i = 0; i < 82; ++i) {
        const double x = -9.0 + 6.0 * i / 81.0;
        for (int k = 0; k <= degree; ++k)
            design += QByteArray::number(std::pow(x, k), 'g', 17) + ' ';
        design += "\r\n";
        observations += QByteArray::number(1.0 / (1.0 + 0.01 * x * x) + 0.003 * std::sin(7.0 * i), 'g', 17) + " 1\r\n";
    }
    return design + observations;
}

} // namespace

// Every answer checks itself: fewer observations than unknowns are refused
// before any dialog or library call, a singular system fails with its
// cause, few correct digits are a success with a warning.
TEST_F(ComputeTest, TheCheckOfTheAnswerDecidesItsMessage)
{
    ASSERT_TRUE(WriteFile(input, InputFile(2, 5)));
    Name(input, output);
    ComputeAcceptingEveryDialog(CMEstimatorPanel::kHuberRadio);
    ChooseNorm(CNormPanel::kL1Radio);
    QTest::mouseClick(platform::FindControl(&dialog, CMainDlg::kFamilyLpRadio), Qt::LeftButton);
    Compute();
    EXPECT_EQ(seams.messages, QStringList(2, LoadText(kStringTooFewObservations)));
    EXPECT_TRUE(seams.lpCommands.empty());
    EXPECT_FALSE(QFile::exists(output));

    struct Case {
        int degree;
        QString message;
        QString informative;
    };
    const Case cases[] = {
        {10, LoadText(kStringComputeError), LoadText(kStringSingularNormals)},
        {7, LoadText(kStringComputeSuccess), Utf8("Die L\u00f6sung ist nur auf etwa ")},
        {2, LoadText(kStringComputeSuccess), QString()},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFile(input, PolynomialFit(c.degree)));
        seams.messages.clear();
        seams.informativeTexts.clear();
        ComputeAcceptingEveryDialog(CMEstimatorPanel::kHuberRadio);
        EXPECT_EQ(seams.messages, QStringList{c.message}) << c.degree;
        ASSERT_EQ(seams.informativeTexts.size(), 1) << c.degree;
        EXPECT_TRUE(c.informative.isEmpty() ? seams.informativeTexts[0].isEmpty()
                                            : seams.informativeTexts[0].startsWith(c.informative))
            << c.degree << ": " << seams.informativeTexts[0].toStdString();
    }
}
