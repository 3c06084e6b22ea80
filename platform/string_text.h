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

// "Grund: <the system's reason for errorNumber>".
inline QString ReasonText(int errorNumber)
{
    return FormatText(kStringReasonLabel, {QString::fromStdString(SystemErrorText(errorNumber))});
}

// The informative text of a message about a file: the label (string
// labelId, "Eingabedatei: %s" or "Ausgabedatei: %s") with the file's name
// and, when errorNumber is not 0, the system's reason below it.
inline QString FileFaultText(int labelId, const QString& fileName, int errorNumber)
{
    const QString named = FormatText(labelId, {fileName});
    return errorNumber == 0 ? named : named + QLatin1Char('\n') + ReasonText(errorNumber);
}

} // namespace platform
