#pragma once

#include "qt_test_support.h"

#include <QByteArray>
#include <QFile>
#include <QString>

using test_support::Seams;

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
