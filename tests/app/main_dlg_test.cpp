#include "app/main_dlg.h"

#include "app/about_dlg.h"
#include "app/m_estimator_panel.h"
#include "app/norm_panel.h"
#include "qt_test_support.h"
#include "controls/icon_button.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/string_text.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using test_support::Seams;
using test_support::Utf8;
using test_support::WriteFile;

class MainDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QLineEdit* Edit(int id) { return platform::FindControlAs<QLineEdit>(&dialog, id); }
    QRadioButton* Radio(int id) { return platform::FindControlAs<QRadioButton>(&dialog, id); }
    bool Enabled(int id) { return platform::FindControl(&dialog, id)->isEnabled(); }
    void Click(int id) { QTest::mouseClick(platform::FindControl(&dialog, id), Qt::LeftButton); }

    Seams seams;
    CMainDlg dialog;
};

TEST_F(MainDlgTest, StartsWithTheNormFamilyAndTheDefaults)
{
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tolvar"));
    EXPECT_TRUE(Radio(CMainDlg::kFamilyLpRadio)->isChecked());
    EXPECT_FALSE(Radio(CMainDlg::kFamilyEaRadio)->isChecked());
    EXPECT_TRUE(dialog.NormPanel()->isVisible());
    EXPECT_FALSE(dialog.MEstimatorPanel()->isVisible());
    EXPECT_EQ(Edit(CMainDlg::kIterationsEdit)->text(), QStringLiteral("1000"));
    EXPECT_EQ(Edit(CMainDlg::kStopCriterionEdit)->text(), QStringLiteral("1e-05"));
    for (int id : {CMainDlg::kEditInputButton, CMainDlg::kEditOutputButton, CMainDlg::kEditDataButton,
                   CMainDlg::kComputeButton})
        EXPECT_FALSE(Enabled(id)) << id;
    for (int id : {CMainDlg::kChooseInputButton, CMainDlg::kChooseOutputButton, CMainDlg::kCreateDataButton,
                   CMainDlg::kAboutButton, CMainDlg::kEndButton})
        EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_TRUE(Edit(CMainDlg::kInputEdit)->hasFocus());
    EXPECT_EQ(dialog.DesignMatrix.Rows(), 1);
    EXPECT_EQ(dialog.DesignMatrix.Columns(), 1);
}

TEST_F(MainDlgTest, EveryButtonHasItsIconAndTooltip)
{
    const std::pair<int, int> tips[] = {
        {CMainDlg::kChooseInputButton, kStringTipChooseFile}, {CMainDlg::kEditInputButton, kStringTipEditFile},
        {CMainDlg::kCreateDataButton, kStringTipCreateData},  {CMainDlg::kEditDataButton, kStringTipEditData},
        {CMainDlg::kChooseOutputButton, kStringTipChooseFile}, {CMainDlg::kEditOutputButton, kStringTipEditFile},
        {CMainDlg::kComputeButton, kStringTipCompute},        {CMainDlg::kAboutButton, kStringTipAbout},
        {CMainDlg::kEndButton, kStringTipExit},
    };
    for (const auto& [id, tip] : tips) {
        auto* button = platform::FindControlAs<CIconButton>(&dialog, id);
        ASSERT_NE(button, nullptr) << id;
        EXPECT_EQ(button->toolTip(), platform::LoadText(tip)) << id;
        EXPECT_EQ(button->IconSize(), QSize(16, 16)) << id;
    }
    EXPECT_EQ(platform::FindControlAs<CIconButton>(&dialog, CMainDlg::kComputeButton)->text(), QStringLiteral("Rechnen"));
    EXPECT_EQ(platform::FindControlAs<CIconButton>(&dialog, CMainDlg::kAboutButton)->text(), Utf8("Über..."));
    EXPECT_EQ(platform::FindControlAs<CIconButton>(&dialog, CMainDlg::kEndButton)->text(), QStringLiteral("Ende"));
    EXPECT_TRUE(platform::FindControlAs<CIconButton>(&dialog, CMainDlg::kEndButton)->isDefault());
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST_F(MainDlgTest, TypingFileNamesFollowsTheEnablingRule)
{
    QTest::keyClicks(Edit(CMainDlg::kInputEdit), QStringLiteral("a"));
    EXPECT_TRUE(Enabled(CMainDlg::kEditInputButton));
    EXPECT_TRUE(Enabled(CMainDlg::kEditDataButton));
    EXPECT_FALSE(Enabled(CMainDlg::kComputeButton));
    EXPECT_FALSE(Enabled(CMainDlg::kEditOutputButton));

    QTest::keyClicks(Edit(CMainDlg::kOutputEdit), QStringLiteral("b"));
    EXPECT_TRUE(Enabled(CMainDlg::kEditOutputButton));
    EXPECT_TRUE(Enabled(CMainDlg::kComputeButton));

    QTest::keyClick(Edit(CMainDlg::kInputEdit), Qt::Key_Backspace);
    EXPECT_EQ(dialog.InputFileName, QString());
    EXPECT_FALSE(Enabled(CMainDlg::kEditInputButton));
    EXPECT_FALSE(Enabled(CMainDlg::kEditDataButton));
    EXPECT_FALSE(Enabled(CMainDlg::kComputeButton));
    EXPECT_TRUE(Enabled(CMainDlg::kEditOutputButton));
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(MainDlgTest, TypingAFileNameDoesNotNagAboutABadNumberField)
{
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("viele"));
    QTest::keyClicks(Edit(CMainDlg::kInputEdit), QStringLiteral("daten.ein"));
    EXPECT_TRUE(seams.messages.isEmpty());
    EXPECT_EQ(dialog.InputFileName, QStringLiteral("daten.ein"));
    EXPECT_TRUE(Edit(CMainDlg::kInputEdit)->hasFocus());
}

TEST_F(MainDlgTest, FamilySwitchingShowsOnePanelAndKeepsTypedText)
{
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("77x"));
    Click(CMainDlg::kFamilyEaRadio);
    EXPECT_TRUE(Radio(CMainDlg::kFamilyEaRadio)->isChecked());
    EXPECT_FALSE(Radio(CMainDlg::kFamilyLpRadio)->isChecked());
    EXPECT_TRUE(dialog.MEstimatorPanel()->isVisible());
    EXPECT_FALSE(dialog.NormPanel()->isVisible());
    EXPECT_EQ(dialog.FamilyEa, 0);
    EXPECT_EQ(dialog.FamilyLp, -1);

    Click(CMainDlg::kFamilyEaRadio);  // a second click changes nothing
    EXPECT_TRUE(Radio(CMainDlg::kFamilyEaRadio)->isChecked());
    EXPECT_FALSE(Radio(CMainDlg::kFamilyLpRadio)->isChecked());
    EXPECT_TRUE(dialog.MEstimatorPanel()->isVisible());
    EXPECT_EQ(dialog.FamilyEa, 0);

    Click(CMainDlg::kFamilyLpRadio);
    EXPECT_TRUE(Radio(CMainDlg::kFamilyLpRadio)->isChecked());
    EXPECT_FALSE(Radio(CMainDlg::kFamilyEaRadio)->isChecked());
    EXPECT_TRUE(dialog.NormPanel()->isVisible());
    EXPECT_FALSE(dialog.MEstimatorPanel()->isVisible());
    EXPECT_EQ(Edit(CMainDlg::kIterationsEdit)->text(), QStringLiteral("77x"));
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(MainDlgTest, ChoosingFilesUsesTheTitlesAndFiltersAndCancelKeepsTheOldName)
{
    const struct {
        int button;
        int edit;
        const char* title;
        const char* initialName;
        const char* filter;
        const char* answer;
        bool computeEnabled; // after this choice
    } choices[] = {
        {CMainDlg::kChooseInputButton, CMainDlg::kInputEdit, "Eingabedatei wählen ...", "*.EIN",
         "Eingabedatei (*.EIN) (*.ein)", "/daten/netz.EIN", false},
        {CMainDlg::kChooseOutputButton, CMainDlg::kOutputEdit, "Ausgabedatei wählen ...", "*.AUS",
         "Ausgabedatei (*.AUS) (*.aus)", "/daten/netz.AUS", true},
    };
    for (const auto& choice : choices) {
        seams.fileRequests.clear();
        seams.fileAnswer = QString::fromLatin1(choice.answer);
        Click(choice.button);
        ASSERT_EQ(seams.fileRequests.size(), 1u);
        EXPECT_EQ(seams.fileRequests[0].title, Utf8(choice.title));
        EXPECT_EQ(seams.fileRequests[0].initialName, QString::fromLatin1(choice.initialName));
        EXPECT_EQ(seams.fileRequests[0].nameFilters,
                  (QStringList{QString::fromLatin1(choice.filter), QStringLiteral("Alle Dateien (*.*) (*)")}));
        EXPECT_EQ(Edit(choice.edit)->text(), QString::fromLatin1(choice.answer));
        EXPECT_EQ(Enabled(CMainDlg::kComputeButton), choice.computeEnabled);
    }
    EXPECT_TRUE(Enabled(CMainDlg::kEditInputButton));
    EXPECT_EQ(dialog.OutputFileName, QStringLiteral("/daten/netz.AUS"));

    seams.fileAnswer.clear();
    Click(CMainDlg::kChooseInputButton);
    EXPECT_EQ(Edit(CMainDlg::kInputEdit)->text(), QStringLiteral("/daten/netz.EIN"));
    EXPECT_TRUE(Enabled(CMainDlg::kEditInputButton));
    EXPECT_TRUE(Enabled(CMainDlg::kComputeButton));
}

TEST_F(MainDlgTest, TextEditorStartsOnlyForAReadableFile)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("fehlt.EIN"));
    QTest::keyClicks(Edit(CMainDlg::kInputEdit), missing);
    Click(CMainDlg::kEditInputButton);
    EXPECT_EQ(seams.messages, QStringList{Utf8("Fehler beim Öffnen der Datei %1!").arg(missing)});
    EXPECT_EQ(seams.informativeTexts, QStringList{Utf8("Grund: Datei oder Verzeichnis nicht gefunden")});
    EXPECT_TRUE(seams.editedFiles.isEmpty());

    const QString present = dir.filePath(QStringLiteral("da.AUS"));
    ASSERT_TRUE(WriteFile(present, "Bericht\r\n"));
    QTest::keyClicks(Edit(CMainDlg::kOutputEdit), present);
    Click(CMainDlg::kEditOutputButton);
    EXPECT_EQ(seams.editedFiles, QStringList{present});
    EXPECT_EQ(seams.messages.size(), 1);

    // A directory cannot be read as a file either.
    Edit(CMainDlg::kOutputEdit)->setText(dir.path());
    Click(CMainDlg::kEditOutputButton);
    EXPECT_EQ(seams.editedFiles.size(), 1);
    ASSERT_EQ(seams.messages.size(), 2);
    EXPECT_EQ(seams.informativeTexts[1], Utf8("Grund: Ist ein Verzeichnis"));
}

TEST_F(MainDlgTest, MissingTextEditorIsReported)
{
    QTemporaryDir dir;
    const QString present = dir.filePath(QStringLiteral("da.EIN"));
    ASSERT_TRUE(WriteFile(present, "1\r\n"));
    seams.editorStarts = false;
    QTest::keyClicks(Edit(CMainDlg::kInputEdit), present);
    Click(CMainDlg::kEditInputButton);
    EXPECT_EQ(seams.messages, QStringList{platform::LoadText(kStringNoTextEditor)});
}

TEST_F(MainDlgTest, EnterInAFieldClosesWhenEveryFieldIsAccepted)
{
    Edit(CMainDlg::kStopCriterionEdit)->setText(QStringLiteral("0,001"));
    QTest::keyClick(Edit(CMainDlg::kInputEdit), Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(seams.messages, QStringList{platform::NumberMessage()});
    EXPECT_TRUE(Edit(CMainDlg::kStopCriterionEdit)->hasFocus());
    EXPECT_EQ(dialog.StopCriterion, 1e-5);

    Edit(CMainDlg::kStopCriterionEdit)->setText(QStringLiteral("0.001"));
    QTest::keyClick(Edit(CMainDlg::kStopCriterionEdit), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.StopCriterion, 0.001);
}

TEST_F(MainDlgTest, EndRefusesABadIterationCountAndKeepsTheOldOne)
{
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("12.5"));
    Click(CMainDlg::kEndButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(seams.messages, QStringList{platform::IntegerMessage()});
    EXPECT_EQ(dialog.MaxIterations, 1000);
    // Any integer is accepted, also 0 and negative ones.
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("-3"));
    Click(CMainDlg::kEndButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.MaxIterations, -3);
}

TEST_F(MainDlgTest, EscapeClosesWithoutReadingTheFields)
{
    Edit(CMainDlg::kIterationsEdit)->setText(QStringLiteral("kaputt"));
    QTest::keyClick(Edit(CMainDlg::kInputEdit), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(MainDlgTest, TabGoesThroughTheFieldsAndTheVisiblePanelInOrder)
{
    Edit(CMainDlg::kInputEdit)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), platform::FindControl(&dialog, CMainDlg::kChooseInputButton));

    Edit(CMainDlg::kStopCriterionEdit)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    EXPECT_EQ(QApplication::focusWidget()->parentWidget(), dialog.NormPanel());
    // The checked radio, the factor field, then ("Rechnen" being disabled) "Über...".
    QWidget* about = platform::FindControl(&dialog, CMainDlg::kAboutButton);
    for (int i = 0; i < 3 && QApplication::focusWidget() != about; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), about);
}

TEST_F(MainDlgTest, F1ShowsHelp)
{
    QTest::keyClick(Edit(CMainDlg::kInputEdit), Qt::Key_F1);
    EXPECT_EQ(seams.helpShown, 1);
}

TEST_F(MainDlgTest, AboutBoxFromTheButtonAndFromTheWindowMenuEntry)
{
    std::vector<QString> shown;
    seams.modal = [&](QDialog& box) {
        EXPECT_NE(dynamic_cast<CAboutDlg*>(&box), nullptr);
        shown.push_back(box.windowTitle());
        return int(QDialog::Accepted);
    };
    Click(CMainDlg::kAboutButton);
    QAction* entry = nullptr;
    for (QAction* action : dialog.actions())
        if (action->text() == Utf8("Inf&o über Tolvar..."))
            entry = action;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    entry->trigger();
    EXPECT_EQ(shown, (std::vector<QString>{Utf8("Info über Tolvar"), Utf8("Info über Tolvar")}));
}

} // namespace
