#include "app/main_dlg.h"
#include "editor/dimensions_dlg.h"

#include "editor/editor_test_util.h"
#include "io/input_file.h"
#include "platform/local_file_name.h"
#include "platform/string_text.h"
#include "test_support.h"

#include <QLineEdit>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using editor_test::ClickButton;
using editor_test::ClickTab;
using editor_test::GridOf;
using editor_test::kDesign;
using editor_test::kObservations;
using editor_test::ShowActive;
using editor_test::TypeIntoCell;
using test_support::FromRows;
using test_support::Utf8;
using test_support::ReadBytes;
using test_support::WriteBytes;

std::string Field(const char* text)
{
    const std::string value(text);
    return std::string(15 - value.size(), ' ') + value;
}

// The create and edit commands of the main dialog, driven end to end: the
// dimensions dialog, the editor and the save dialog answer as the test
// says, and every message is recorded.
class DataCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        seams.modal = [this](QDialog& shown) {
            ShowActive(shown);
            if (auto* dimensions = dynamic_cast<CDimensionsDlg*>(&shown); dimensions && onDimensions)
                onDimensions(*dimensions);
            if (auto* editor = dynamic_cast<CDataEditDlg*>(&shown); editor && onEditor)
                onEditor(*editor);
            shown.hide();
            return shown.result();
        };
    }

    // The save dialog answers the names in turn, then Cancel.
    void AnswerSaveDialog(std::vector<QString> names) { saveAnswers = std::move(names); }

    void ClickMain(int id) { QTest::mouseClick(platform::FindControl(&dialog, id), Qt::LeftButton); }

    void EditFile(const std::string& path)
    {
        platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)->setText(QString::fromStdString(path));
        ClickMain(CMainDlg::kEditDataButton);
    }

    test_support::TempFolder folder;
    test_support::Seams seams;
    std::function<void(CDimensionsDlg&)> onDimensions;
    std::function<void(CDataEditDlg&)> onEditor;
    std::vector<QString> saveAnswers;
    std::vector<platform::FileDialogRequest> saveRequests;
    platform::ScopedHandler<QString(const platform::FileDialogRequest&)> saveDialog{
        platform::FileDialogSeam(), [this](const platform::FileDialogRequest& request) {
            saveRequests.push_back(request);
            if (saveAnswers.empty())
                return QString();
            const QString answer = saveAnswers.front();
            saveAnswers.erase(saveAnswers.begin());
            return answer;
        }};
    CMainDlg dialog;
};

TEST_F(DataCommandTest, CreateOffersTenByTenAndSavesTypedValuesInFixedFields)
{
    const std::string path = folder.Path("neu.EIN");
    AnswerSaveDialog({QString::fromStdString(path)});
    int designRows = 0, designColumns = 0, observationColumns = 0;
    onDimensions = [](CDimensionsDlg& shown) { ClickButton(shown, CDimensionsDlg::kOkButton); };
    onEditor = [&](CDataEditDlg& shown) {
        designRows = GridOf(shown, kDesign).GetNumRows();
        designColumns = GridOf(shown, kDesign).GetNumColumns();
        observationColumns = GridOf(shown, kObservations).GetNumColumns();
        TypeIntoCell(GridOf(shown, kDesign), {1, 1}, QStringLiteral("1"));
        TypeIntoCell(GridOf(shown, kDesign), {1, 2}, QStringLiteral("-2.5"));
        ClickTab(shown, kObservations);
        TypeIntoCell(GridOf(shown, kObservations), {1, 1}, QStringLiteral("3"));
        TypeIntoCell(GridOf(shown, kObservations), {1, 2}, QStringLiteral("0.5"));
        ClickButton(shown, CDataEditDlg::kOkButton);
    };
    ClickMain(CMainDlg::kCreateDataButton);
    EXPECT_EQ(designRows, 11);
    EXPECT_EQ(designColumns, 11);
    EXPECT_EQ(observationColumns, 3);
    ASSERT_EQ(saveRequests.size(), 1u);
    EXPECT_EQ(saveRequests[0].mode, platform::FileDialogMode::Save);
    EXPECT_EQ(saveRequests[0].title, QStringLiteral("Speichern unter..."));
    EXPECT_EQ(saveRequests[0].nameFilters.value(0), QStringLiteral("Eingabedatei (*.EIN) (*.ein)"));
    EXPECT_TRUE(seams.messages.isEmpty());

    // Row 1 as typed, the rest as offered: zeros and weights of 1.
    std::string zeros;
    for (int j = 2; j < 10; ++j)
        zeros += Field("0.00000") + " ";
    const std::string written = ReadBytes(path);
    EXPECT_EQ(written.substr(0, 162), Field("1.00000") + " " + Field("-2.50000") + " " + zeros + "\r\n");
    EXPECT_EQ(written.substr(written.size() - 2 * 34), Field("0.00000") + "  " + Field("1.00000") + "\r\n" +
                                                       Field("0.00000") + "  " + Field("1.00000") + "\r\n");
    EXPECT_NE(written.find(Field("3.00000") + "  " + Field("0.50000") + "\r\n"), std::string::npos);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 20);
    // The new file is the input file now.
    EXPECT_EQ(dialog.InputFileName, QString::fromStdString(path));
    EXPECT_EQ(platform::FindControlAs<QLineEdit>(&dialog, CMainDlg::kInputEdit)->text(), QString::fromStdString(path));
    EXPECT_TRUE(platform::FindControl(&dialog, CMainDlg::kEditDataButton)->isEnabled());
}

TEST_F(DataCommandTest, CancelAtAnyOfTheThreeDialogsWritesNothing)
{
    const std::string path = folder.Path("nie.EIN");
    for (int cancelled = 0; cancelled < 3; ++cancelled) {
        seams.messages.clear();
        AnswerSaveDialog(cancelled == 2 ? std::vector<QString>{} : std::vector<QString>{QString::fromStdString(path)});
        onDimensions = [&](CDimensionsDlg& shown) {
            ClickButton(shown, cancelled == 0 ? CDimensionsDlg::kCancelButton : CDimensionsDlg::kOkButton);
        };
        bool stillOpen = false;
        onEditor = [&](CDataEditDlg& shown) {
            ClickButton(shown, cancelled == 1 ? CDataEditDlg::kCancelButton : CDataEditDlg::kOkButton);
            stillOpen = shown.isVisible();
        };
        saveRequests.clear();
        ClickMain(CMainDlg::kCreateDataButton);
        EXPECT_EQ(saveRequests.size(), cancelled == 2 ? 1u : 0u) << cancelled;
        // A cancelled save dialog goes back to the editor.
        EXPECT_EQ(stillOpen, cancelled == 2) << cancelled;
        EXPECT_TRUE(test_support::FolderEntries(folder.Path()).empty()) << cancelled;
        EXPECT_TRUE(seams.messages.isEmpty()) << cancelled;
        EXPECT_TRUE(dialog.InputFileName.isEmpty()) << cancelled;
    }
}

// Values that five decimals give back stay byte for byte; others come back
// whole instead of rounded (1e-07 was saved as 0 before).
TEST_F(DataCommandTest, EditRoundTripKeepsOrdinaryFilesByteForByteAndLosesNoDigit)
{
    const std::string path = folder.Path("alt.EIN");
    WriteBytes(path, ReadBytes(test_support::ExampleFile("levelling_network.EIN")));
    const std::string original = ReadBytes(path);
    onEditor = [](CDataEditDlg& shown) { ClickButton(shown, CDataEditDlg::kOkButton); };
    EditFile(path);
    EXPECT_TRUE(ReadBytes(path) == original);
    EXPECT_TRUE(saveRequests.empty());

    WriteBytes(path, "1.234567 1e-07\r\n2 3\r\n1.5 1\r\n2.5 2\r\n");
    EditFile(path);
    EXPECT_EQ(ReadBytes(path), Field("1.234567") + " " + Field("1e-07") + " \r\n" + Field("2.00000") + " " +
                                   Field("3.00000") + " \r\n" + Field("1.50000") + "  " + Field("1.00000") + "\r\n" +
                                   Field("2.50000") + "  " + Field("2.00000") + "\r\n");
    EXPECT_TRUE(test_support::SameMatrix(dialog.DesignMatrix, FromRows({{1.234567, 1e-07}, {2, 3}})));
    EXPECT_TRUE(seams.messages.isEmpty());
}

TEST_F(DataCommandTest, EditOfAFileThatCannotBeReadOpensNoEditor)
{
    bool opened = false;
    onEditor = [&](CDataEditDlg& shown) {
        opened = true;
        ClickButton(shown, CDataEditDlg::kOkButton);
    };
    const std::string path = folder.Path("ungerade.EIN");
    WriteBytes(path, "1\r\n2 1\r\n3\r\n");
    EditFile(path);
    EXPECT_FALSE(opened);
    EXPECT_EQ(seams.messages, QStringList{platform::LoadText(kStringInputFileError)});
    EXPECT_EQ(ReadBytes(path), "1\r\n2 1\r\n3\r\n");
}

// Writing that fails keeps the old file whole, says so with the file and
// the system's reason, and offers the save dialog again, so that the edited
// data are not lost.
TEST_F(DataCommandTest, FailedWriteKeepsTheOldFileAndOffersTheSaveDialogAgain)
{
    const std::string path = folder.Path("alt.EIN");
    const std::string original = "1 2\r\n3 4\r\n5 1\r\n6 1\r\n";
    WriteBytes(path, original);
    const QString missingFolder = QString::fromStdString(folder.Path("fehlt/x.EIN"));
    AnswerSaveDialog({missingFolder});
    bool backInTheEditor = false;
    onEditor = [&](CDataEditDlg& shown) {
        TypeIntoCell(GridOf(shown, kDesign), {1, 1}, QStringLiteral("8"));
        ClickButton(shown, CDataEditDlg::kOkButton);
        // Writing failed and the user cancelled: the editor as it was.
        backInTheEditor = shown.isVisible() && GridOf(shown, kDesign).GetCellText(1, 1) == QStringLiteral("8") &&
                          GridOf(shown, kDesign).GetCurrentCell() == CellPos{1, 1} && GridOf(shown, kDesign).hasFocus();
    };
    {
        test_support::FileSizeLimit full(20);  // a disk that is full
        EditFile(path);
    }
    EXPECT_TRUE(backInTheEditor);
    const QString failed = platform::LoadText(kStringInputFileOpenError);
    const QString oldName = QString::fromStdString(path);
    EXPECT_EQ(seams.messages, (QStringList{Utf8("Fehler beim Schreiben der Datei ") + oldName + "!", failed}));
    EXPECT_EQ(seams.informativeTexts,
              (QStringList{Utf8("Eingabedatei: ") + oldName + Utf8("\nGrund: Die Datei ist zu gro\u00df"),
                           Utf8("Eingabedatei: ") + missingFolder + Utf8("\nGrund: Datei oder Verzeichnis nicht gefunden")}));
    EXPECT_EQ(saveRequests.size(), 2u);  // the second one cancelled
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(test_support::FolderEntries(folder.Path()), std::vector<std::string>{"alt.EIN"});
    EXPECT_EQ(dialog.InputFileName, QString::fromStdString(path));

    // The name offered again is used once writing succeeds there.
    onEditor = [](CDataEditDlg& shown) {
        TypeIntoCell(GridOf(shown, kDesign), {1, 1}, QStringLiteral("8"));
        ClickButton(shown, CDataEditDlg::kOkButton);
    };
    seams.messages.clear();
    const std::string rescue = folder.Path("gerettet.EIN");
    AnswerSaveDialog({missingFolder, QString::fromStdString(rescue)});
    onDimensions = [](CDimensionsDlg& shown) { ClickButton(shown, CDimensionsDlg::kOkButton); };
    ClickMain(CMainDlg::kCreateDataButton);
    EXPECT_EQ(seams.messages, QStringList{failed});
    EXPECT_EQ(ReadBytes(rescue).substr(0, 16), Field("8.00000") + " ");
    EXPECT_EQ(dialog.InputFileName, QString::fromStdString(rescue));
    EXPECT_EQ(ReadBytes(path), original);
}

} // namespace
