#pragma once

// Helpers that the widget test programs of every folder share.

#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/lp_library.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/seam.h"
#include "platform/text_editor.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

#include <ostream>
#include <utility>
#include <vector>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace test_support {

// Records every message box of a test instead of showing it.
class MessageRecorder {
public:
    QStringList messages;
    std::vector<platform::MessageIcon> icons;

private:
    platform::ScopedHandler<void(const QString&, platform::MessageIcon)> recorder{
        platform::MessageSeam(), [this](const QString& text, platform::MessageIcon icon) {
            messages << text;
            icons.push_back(icon);
        }};
};

// Replaces every modal thing of the program for one test and records what
// it was asked: message boxes, file dialogs, the text editor, the library
// call, help and modal dialogs. The real ones come back when it ends.
class Seams : public MessageRecorder {
public:
    std::vector<platform::FileDialogRequest> fileRequests;
    QString fileAnswer;  // empty: the user cancels
    QStringList editedFiles;
    bool editorStarts = true;
    std::vector<std::pair<QByteArray, int>> lpCommands;
    int lpResult = 0;
    int helpShown = 0;
    int modalCount = 0;
    std::function<int(QDialog&)> modal;  // answers modal dialogs; none: Cancel

private:
    platform::ScopedHandler<QString(const platform::FileDialogRequest&)> fileDialog{
        platform::FileDialogSeam(), [this](const platform::FileDialogRequest& request) {
            fileRequests.push_back(request);
            return fileAnswer;
        }};
    platform::ScopedHandler<bool(const QString&)> editor{platform::TextEditorSeam(), [this](const QString& name) {
                                                              editedFiles << name;
                                                              return editorStarts;
                                                          }};
    platform::ScopedHandler<int(char*, int)> lp{platform::LpSeam(), [this](char* command, int length) {
                                                    lpCommands.emplace_back(QByteArray(command), length);
                                                    return lpResult;
                                                }};
    platform::ScopedHandler<void(QWidget*)> help{platform::HelpSeam(), [this](QWidget*) { ++helpShown; }};
    platform::ScopedHandler<int(QDialog&)> modalLoop{platform::ModalSeam(), [this](QDialog& dialog) {
                                                         ++modalCount;
                                                         return modal ? modal(dialog) : int(QDialog::Rejected);
                                                     }};
};

} // namespace test_support
