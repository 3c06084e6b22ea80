#pragma once

// Helpers that the widget test programs of every folder share.

#include "platform/file_dialog.h"
#include "platform/help.h"
#include "platform/lp_library.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/seam.h"
#include "platform/shell_open.h"
#include "platform/text_editor.h"

#include <QApplication>
#include <QByteArray>
#include <QDialog>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <utility>
#include <vector>

// Readable QStrings and rectangles in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out)
{
    *out << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height() << ")";
}

namespace test_support {

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

// Records every target handed to the desktop opener instead of opening it.
class ShellOpenRecorder {
public:
    int result = platform::kOpenSucceeded; // what the opener answers
    std::vector<QString> targets;

private:
    platform::ScopedHandler<int(const QString&)> opener{platform::ShellOpenSeam(), [this](const QString& target) {
                                                            targets.push_back(target);
                                                            return result;
                                                        }};
};

// Records every message box of a test instead of showing it.
class MessageRecorder {
public:
    QStringList messages;
    std::vector<platform::MessageIcon> icons;
    QStringList informativeTexts; // one per message, empty where it has none

private:
    platform::ScopedHandler<void(const QString&, platform::MessageIcon, const QString&)> recorder{
        platform::MessageSeam(), [this](const QString& text, platform::MessageIcon icon, const QString& informative) {
            messages << text;
            icons.push_back(icon);
            informativeTexts << informative;
        }};
};

// Answers the yes/no questions of a test: the answers in turn, then
// `otherwise`; records every question.
class QuestionAnswerer {
public:
    QStringList questions;
    std::vector<bool> answers;
    bool otherwise = false;

private:
    platform::ScopedHandler<bool(const QString&)> answerer{platform::QuestionSeam(), [this](const QString& text) {
                                                               questions << text;
                                                               if (answers.empty())
                                                                   return otherwise;
                                                               const bool answer = answers.front();
                                                               answers.erase(answers.begin());
                                                               return answer;
                                                           }};
};

// A drag delivered to target as the window system delivers it: enter and
// move at one point (hovering runs after the move), then the drop when the
// move was accepted. What the target chose, or Qt::IgnoreAction.
inline Qt::DropAction DeliverDrop(QWidget& target, QPoint at, const QMimeData* data, Qt::DropActions actions,
                                  Qt::KeyboardModifiers modifiers = {}, const std::function<void()>& hovering = {})
{
    QDragEnterEvent enter(at, actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(&target, &enter);
    QDragMoveEvent move(at, actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(&target, &move);
    if (hovering)
        hovering();
    if (!move.isAccepted())
        return Qt::IgnoreAction;
    QDropEvent drop(at, actions, data, Qt::LeftButton, modifiers);
    QApplication::sendEvent(&target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

// What an X tool of x11-utils (xprop, xwininfo) says of a window.
inline QString AskX(const char* tool, const QWidget& window)
{
    QProcess process;
    process.start(QString::fromLatin1(tool), {QStringLiteral("-id"), QString::number(window.winId())});
    process.waitForFinished(5000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Where the window's inside is on the screen, as the X server knows it
// (Qt's own idea may lag behind).
inline QPoint XClientOrigin(const QWidget& window)
{
    const QString info = AskX("xwininfo", window);
    auto coordinate = [&](const char* axis) {
        const QString line = QStringLiteral("Absolute upper-left %1:\\s+(-?\\d+)").arg(QLatin1String(axis));
        return QRegularExpression(line).match(info).captured(1).toInt();
    };
    return QPoint(coordinate("X"), coordinate("Y"));
}

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
