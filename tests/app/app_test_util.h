#pragma once

#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/lp_library.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/text_editor.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>
#include <utility>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Replaces every modal thing of the program for one test and records what
// it was asked: message boxes, file dialogs, the text editor, the library
// call, help and modal dialogs. Restores the real ones afterwards.
class Seams {
public:
    Seams()
    {
        previousMessage = platform::SetMessageHandler(
            [this](const QString& text, platform::MessageIcon) { messages << text; });
        previousFile = platform::SetFileDialogHandler([this](const platform::FileDialogRequest& request) {
            fileRequests.push_back(request);
            return fileAnswer;
        });
        previousEditor = platform::SetTextEditorHandler([this](const QString& name) {
            editedFiles << name;
            return true;
        });
        previousLp = platform::SetLpHandler([this](char* command, int length) {
            lpCommands.emplace_back(QByteArray(command), length);
            return lpResult;
        });
        previousHelp = platform::SetHelpHandler({[this](QWidget*) { ++helpShown; }, [] {}});
        previousModal = platform::SetModalHandler([this](QDialog& dialog) {
            ++modalCount;
            return modal ? modal(dialog) : int(QDialog::Rejected);
        });
    }
    ~Seams()
    {
        platform::SetMessageHandler(previousMessage);
        platform::SetFileDialogHandler(previousFile);
        platform::SetTextEditorHandler(previousEditor);
        platform::SetLpHandler(previousLp);
        platform::SetHelpHandler(previousHelp);
        platform::SetModalHandler(previousModal);
    }

    QStringList messages;
    std::vector<platform::FileDialogRequest> fileRequests;
    QString fileAnswer;  // empty: the user cancels
    QStringList editedFiles;
    std::vector<std::pair<QByteArray, int>> lpCommands;
    int lpResult = 0;
    int helpShown = 0;
    int modalCount = 0;
    platform::ModalHandler modal;  // answers modal dialogs; none: Cancel

private:
    platform::MessageHandler previousMessage;
    platform::FileDialogHandler previousFile;
    platform::TextEditorHandler previousEditor;
    platform::LpHandler previousLp;
    platform::HelpHandler previousHelp;
    platform::ModalHandler previousModal;
};

inline QString Utf8(const char* text)
{
    return QString::fromUtf8(text);
}

inline bool WriteFile(const QString& name, const QByteArray& content)
{
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(content) == content.size();
}
