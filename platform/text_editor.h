#pragma once

#include "platform/seam.h"

#include <QString>
#include <QStringList>

// The platform's text editor: $TOLVAR_EDITOR, else $VISUAL, else the first
// graphical editor found on PATH. The variables may carry arguments
// ("kate -b"). The editor runs as a child process and the caller waits
// until it ends, so the editor must not detach (gvim gets "-f").
namespace platform {

// The editor's command line without the file name; empty when none is found.
QStringList FindTextEditor();

// Runs the editor on fileName and waits for it. False when no editor could
// be found or started. A name starting with '-' is passed as "./name", so
// that the editor does not take it for an option.
bool RunTextEditor(const QString& fileName);

Seam<bool(const QString& fileName)>& TextEditorSeam();

} // namespace platform
