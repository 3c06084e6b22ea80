#pragma once

#include "platform/seam.h"

#include <QString>
#include <QStringList>

class QWidget;

// The file dialogs of the program, behind a seam. Filters come in the form
// "Description |pattern|Description |pattern||" and become Qt name
// filters; patterns match without regard to case, and "*.*" matches every
// file as it does on Windows.
namespace platform {

enum class FileDialogMode {
    Open,  // choose a name; the file need not exist (Qt's own dialog, which takes new names)
    Save,  // choose a name to write
};

struct FileDialogRequest {
    FileDialogMode mode;
    QString title;
    QString initialName;    // e.g. "*.EIN": only its extension is used
    QStringList nameFilters;  // converted Qt name filters
};

// The chosen full path, or an empty string when the user cancelled.
QString ChooseFile(QWidget* parent, FileDialogMode mode, const QString& title, const QString& initialName,
                   const QString& filter);

// "Eingabedatei (*.EIN) |*.ein|Alle Dateien (*.*) |*.*||" ->
// {"Eingabedatei (*.EIN) (*.ein)", "Alle Dateien (*.*) (*)"}
QStringList ConvertFileFilter(const QString& filter);

// A handler answers with the chosen path, or an empty string for Cancel.
Seam<QString(const FileDialogRequest& request)>& FileDialogSeam();

} // namespace platform
