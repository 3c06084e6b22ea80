#pragma once

#include "platform/message_box.h"

#include <QString>
#include <QStringList>

#include <ostream>

// Readable QStrings in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Records every message box of a test instead of showing it.
class MessageRecorder {
public:
    MessageRecorder()
        : previous(platform::SetMessageHandler(
              [this](const QString& text, platform::MessageIcon) { messages << text; }))
    {
    }
    ~MessageRecorder() { platform::SetMessageHandler(previous); }

    QStringList messages;

private:
    platform::MessageHandler previous;
};
