#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/icons.h"
#include "platform/lp_library.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/string_text.h"
#include "platform/text_editor.h"
#include "res/dialog_templates.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>

namespace {

// Sets an environment variable for one test and restores it afterwards.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const QByteArray& value)
        : name(name), had(qEnvironmentVariableIsSet(name)), saved(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentScope()
    {
        if (had)
            qputenv(name, saved);
        else
            qunsetenv(name);
    }

private:
    const char* name;
    bool had;
    QByteArray saved;
};

TEST(FileDialogFilter, ConvertsBarSeparatedPairsToNameFilters)
{
    EXPECT_EQ(platform::ConvertFileFilter(QStringLiteral("Eingabedatei (*.EIN) |*.ein|Alle Dateien (*.*) |*.*||")),
              (QStringList{QStringLiteral("Eingabedatei (*.EIN) (*.ein)"), QStringLiteral("Alle Dateien (*.*) (*)")}));
    EXPECT_EQ(platform::ConvertFileFilter(QStringLiteral("Daten|*.ein;*.txt||")),
              QStringList{QStringLiteral("Daten (*.ein *.txt)")});
    EXPECT_TRUE(platform::ConvertFileFilter(QString()).isEmpty());
}

TEST(FileDialogSeam, HandlerReceivesTheRequestAndAnswersForTheUser)
{
    platform::FileDialogRequest seen{};
    QString chosen;
    {
        platform::ScopedHandler answer(platform::FileDialogSeam(), [&](const platform::FileDialogRequest& request) {
            seen = request;
            return QStringLiteral("/daten/a.ein");
        });
        chosen = platform::ChooseFile(nullptr, platform::FileDialogMode::Open, QStringLiteral("Titel"),
                                      QStringLiteral("*.EIN"), QStringLiteral("E (*.EIN) |*.ein||"));
    }
    EXPECT_EQ(chosen, QStringLiteral("/daten/a.ein"));
    EXPECT_EQ(seen.title, QStringLiteral("Titel"));
    EXPECT_EQ(seen.initialName, QStringLiteral("*.EIN"));
    EXPECT_EQ(seen.nameFilters, QStringList{QStringLiteral("E (*.EIN) (*.ein)")});
}

// The real dialog, answered through the modal seam: a name that does not
// exist yet (a new output file) is taken, with its full path.
TEST(FileDialog, OpenDialogTakesANewNameAndCancelGivesNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString newName = dir.filePath(QStringLiteral("neu.AUS"));
    QString title;
    QStringList filters;
    std::function<int(QDialog&)> answer = [&](QDialog& shown) {
        auto* dialog = dynamic_cast<QFileDialog*>(&shown);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return int(QDialog::Rejected);
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->setDirectory(dir.path());
        dialog->selectFile(QStringLiteral("neu.AUS"));
        shown.accept();  // QFileDialog::accept checks the name as a click on its button does
        return shown.result();
    };
    platform::ScopedHandler modal(platform::ModalSeam(), [&](QDialog& shown) { return answer(shown); });
    const QString chosen = platform::ChooseFile(nullptr, platform::FileDialogMode::Open,
                                                QStringLiteral("Ausgabedatei w\u00e4hlen ..."), QStringLiteral("*.AUS"),
                                                QStringLiteral("Ausgabedatei (*.AUS) |*.aus|Alle Dateien (*.*) |*.*||"));
    answer = [](QDialog& shown) {
        shown.reject();
        return shown.result();
    };
    const QString cancelled = platform::ChooseFile(nullptr, platform::FileDialogMode::Open, QStringLiteral("T"),
                                                   QStringLiteral("*.EIN"), QStringLiteral("E |*.ein||"));

    EXPECT_EQ(chosen, newName);
    EXPECT_FALSE(QFile::exists(newName));
    EXPECT_EQ(title, QStringLiteral("Ausgabedatei w\u00e4hlen ..."));
    EXPECT_EQ(filters, (QStringList{QStringLiteral("Ausgabedatei (*.AUS) (*.aus)"), QStringLiteral("Alle Dateien (*.*) (*)")}));
    EXPECT_TRUE(cancelled.isEmpty());
}

// The real box, answered through the modal seam: the main text above,
// the file and the reason as its informative text below.
TEST(MessageBox, ShowsTheInformativeTextBelowTheMessage)
{
    QString title, text, informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    platform::ScopedHandler modal(platform::ModalSeam(), [&](QDialog& shown) {
        auto* box = dynamic_cast<QMessageBox*>(&shown);
        EXPECT_NE(box, nullptr);
        if (box) {
            title = box->windowTitle();
            text = box->text();
            informative = box->informativeText();
            icon = box->icon();
        }
        return int(QMessageBox::Ok);
    });
    platform::ShowMessage(platform::LoadText(kStringComputeError), nullptr, platform::MessageIcon::Warning,
                          platform::FileFaultText(kStringOutputFileLabel, QStringLiteral("/daten/x.AUS"), ENOSPC));
    EXPECT_EQ(title, QStringLiteral("Tolvar"));
    EXPECT_EQ(text, QString::fromUtf8("Bei der Berechnung ist ein Fehler aufgetreten!"));
    EXPECT_EQ(informative, QString::fromUtf8("Ausgabedatei: /daten/x.AUS\nGrund: Kein Speicherplatz mehr"));
    EXPECT_EQ(icon, QMessageBox::Warning);
    // A reason the table does not hold keeps its number.
    EXPECT_EQ(platform::ReasonText(99999), QStringLiteral("Grund: Systemfehler Nr. 99999"));
}

TEST(TextEditor, OwnVariableBeforeVisualAndArgumentsKept)
{
    EnvironmentScope own("TOLVAR_EDITOR", "myeditor --wait");
    EnvironmentScope visual("VISUAL", "othereditor");
    EXPECT_EQ(platform::FindTextEditor(), (QStringList{QStringLiteral("myeditor"), QStringLiteral("--wait")}));
    EnvironmentScope ownUnset("TOLVAR_EDITOR", QByteArray());
    EXPECT_EQ(platform::FindTextEditor(), QStringList{QStringLiteral("othereditor")});
}

// A stand-in editor: a shell script with body, its path handed over in
// TOLVAR_EDITOR. "%1" in body is the file the script leaves its mark in.
class StandInEditor {
public:
    explicit StandInEditor(const QString& body)
        : script(dir.filePath(QStringLiteral("editor.sh"))), mark(dir.filePath(QStringLiteral("mark")))
    {
        QFile file(script);
        if (file.open(QIODevice::WriteOnly))
            file.write((QStringLiteral("#!/bin/sh\n") + body.arg(mark)).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // What the script wrote, or an empty optional when it wrote nothing yet.
    std::optional<QString> Mark() const
    {
        QFile written(mark);
        if (!written.open(QIODevice::ReadOnly))
            return std::nullopt;
        return QString::fromUtf8(written.readAll());
    }

    QTemporaryDir dir;
    QString script;
    QString mark;
    EnvironmentScope own{"TOLVAR_EDITOR", QFile::encodeName(script)};
};

TEST(TextEditor, RunsTheEditorOnTheFileAndWaitsForItsEnd)
{
    // It takes a while and then leaves a mark.
    StandInEditor editor(QStringLiteral("sleep 0.3\necho \"$1\" > '%1'\n"));
    ASSERT_TRUE(editor.dir.isValid());
    const QString target = editor.dir.filePath(QStringLiteral("daten mit blank.EIN"));
    ASSERT_TRUE(platform::RunTextEditor(target));
    const std::optional<QString> mark = editor.Mark();
    ASSERT_TRUE(mark.has_value()) << "returned before the editor ended";
    EXPECT_EQ(mark->trimmed(), target);
}

TEST(TextEditor, RelativeNameStartingWithADashIsNoOption)
{
    StandInEditor editor(QStringLiteral("printf '%s' \"$1\" > '%1'\n"));
    ASSERT_TRUE(editor.dir.isValid());
    ASSERT_TRUE(platform::RunTextEditor(QStringLiteral("-n daten.EIN")));
    const std::optional<QString> mark = editor.Mark();
    ASSERT_TRUE(mark.has_value());
    EXPECT_EQ(*mark, QStringLiteral("./-n daten.EIN"));
}

TEST(TextEditor, MissingEditorProgramIsReportedAsNotStarted)
{
    EnvironmentScope own("TOLVAR_EDITOR", "/nonexistent/editor");
    EXPECT_FALSE(platform::RunTextEditor(QStringLiteral("/daten/x")));
}

TEST(LpLibrary, MissingLibraryIsReportedNotCalled)
{
    platform::SetLpLibraryPath(QStringLiteral("/nonexistent/libnormex.so"));
    char command[] = "a b 1 1 1.000000 10 ";
    EXPECT_EQ(platform::CallLp(command, sizeof command), platform::kLpLibraryMissing);
    platform::SetLpLibraryPath(QString());
}

// Scoped handlers nest and each puts back what it found, so that one test
// cannot leave its answer behind for the next; the program's call reaches
// the innermost one.
TEST(Seam, ScopedHandlersNestAndRestore)
{
    QStringList calls;
    {
        platform::ScopedHandler outer(platform::LpSeam(), [&](char* command, int) {
            calls << QStringLiteral("outer:") + QString::fromLatin1(command);
            return 1;
        });
        {
            platform::ScopedHandler inner(platform::LpSeam(), [&](char*, int length) {
                calls << QStringLiteral("inner:%1").arg(length);
                return 2;
            });
            char command[255] = "x y 2 1 2.000000 5 ";
            EXPECT_EQ(platform::CallLp(command, 255), 2);
        }
        char command[] = "a";
        EXPECT_EQ(platform::CallLp(command, 2), 1);
    }
    EXPECT_FALSE(platform::LpSeam().Handler());
    EXPECT_EQ(calls, (QStringList{QStringLiteral("inner:255"), QStringLiteral("outer:a")}));
}

TEST(Icons, EveryIconResourceOfTheProgramLoads)
{
    for (int id : {res::kIconProgram, res::kIconChooseFile, res::kIconEditFile, res::kIconEditData, res::kIconCompute,
                   res::kIconCreateData, res::kIconAbout, res::kIconExit}) {
        const QIcon icon = platform::LoadIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        EXPECT_FALSE(icon.pixmap(16, 16).toImage().isNull()) << id;
    }
    EXPECT_TRUE(platform::LoadIcon(4711).isNull());
}

} // namespace
