#pragma once

#include "res/string_table.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

// The string table's texts as the widgets show them.
namespace platform {

// The text of id; empty for an id the table does not hold.
inline QString LoadText(int id)
{
    return QString::fromUtf8(LoadString(id));
}

// The text of id with each "%s" replaced by the next argument.
inline QString FormatText(int id, const QStringList& arguments)
{
    std::vector<std::string> texts;
    for (const QString& argument : arguments)
        texts.push_back(argument.toStdString());
    return QString::fromStdString(FormatString(id, texts));
}

} // namespace platform
