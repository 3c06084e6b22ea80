#pragma once

class QCoreApplication;

// Qt's own texts (file dialogs, the context menu of edit fields, standard
// buttons) in German whatever the desktop's language, as the program's own
// texts are.
namespace platform {

// Installs Qt's German translation "qtbase_de" from Qt's translation folder
// into application and makes German Qt's default locale (names of file
// types, sizes and dates in the file dialog); a second call changes nothing.
// The program's own numbers do not depend on the locale. False when the
// translation is not installed (Debian package qt6-translations-l10n).
bool InstallGermanQtTexts(QCoreApplication& application);

} // namespace platform
