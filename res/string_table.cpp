#include "res/string_table.h"

#include <cerrno>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {101, "Inf&o über Tolvar..."},
    {102, "Fehler in der Eingabedatei!!!"},
    {103, "Keine Eingabedatei!!"},
    {104, "Fehler beim Öffnen der Eingabedatei!!"},
    {105, "Fehler beim Öffnen der Datei %s!"},
    {106, "Wählen Sie zunächst Ein- und Ausgabedatei!!"},
    {107, "Wählen Sie zunächst eine Berechnungsart!!"},
    {109, "Eingabe-Daten bearbeiten"},
    {110, "Datei bearbeiten"},
    {111, "Datei wählen"},
    {112, "Berechnung starten"},
    {113, "Tolvar beenden"},
    {114, "Über Tolvar"},
    {115, "Eingabe-Daten erstellen"},
    {116, "Die Berechnungen wurden erfolgreich abgeschlossen!"},
    {117, "Bei der Berechnung ist ein Fehler aufgetreten!"},
    {118, "Fehler in der Eingabedatei. Kein oder negatives Gewicht!!!"},
    {119, "Fehler in der Eingabedatei. Keine Beobachtungen vorhanden!"},
    {120, "Nicht genügend Arbeitsspeicher für diese Berechnung!"},
    {121, "Es wurde kein Texteditor gefunden! Geben Sie ihn in der Umgebungsvariablen TOLVAR_EDITOR an."},
    {122, "Die Bibliothek %s konnte nicht geladen werden!"},
    {124, "Geben Sie bitte eine ganze Zahl ein."},
    {125, "Geben Sie bitte eine Zahl ein."},
    {126, "Geben Sie bitte eine positive ganze Zahl ein."},
    {127, "Geben Sie bitte eine Zahl zwischen %s und %s ein."},
    {128, "Der Normfaktor muss mindestens 1 sein."},
    {129, "Eingabedatei: %s"},
    {130, "Ausgabedatei: %s"},
    {131, "Grund: %s"},
    {132, "Systemfehler Nr. %s"},
    {133, "%s, %s, %s: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen)."},
    {134, "%s, %s, %s: Das Gewicht muss größer als 0 sein."},
    {135, "Ein- und Ausgabedatei sind dieselbe Datei!"},
    {136, "Fehler beim Schreiben der Datei %s!"},
    {137, "Das Bild kann nur als .png oder .svg gespeichert werden: %s"},
};

// The reasons a file cannot be opened, read or written. Our own table:
// strerror follows the locale, and not every machine carries the German
// system messages.
constexpr StringEntry kSystemErrors[] = {
    {EACCES, "Keine Berechtigung"},
    {EPERM, "Die Operation ist nicht erlaubt"},
    {ENOENT, "Datei oder Verzeichnis nicht gefunden"},
    {ENOTDIR, "Ist kein Verzeichnis"},
    {EISDIR, "Ist ein Verzeichnis"},
    {ENOSPC, "Kein Speicherplatz mehr"},
#ifdef EDQUOT
    {EDQUOT, "Das Speicherkontingent ist erschöpft"},
#endif
    {EROFS, "Das Dateisystem ist nur lesbar"},
    {EFBIG, "Die Datei ist zu groß"},
    {EIO, "Eingabe-/Ausgabefehler"},
    {ENAMETOOLONG, "Der Dateiname ist zu lang"},
    {ELOOP, "Zu viele Ebenen von symbolischen Verknüpfungen"},
    {EMFILE, "Zu viele offene Dateien"},
    {ENFILE, "Zu viele offene Dateien im System"},
    {ENXIO, "Kein solches Gerät oder keine solche Adresse"},
    {EBUSY, "Das Gerät oder die Ressource ist belegt"},
    {EINVAL, "Ungültiges Argument"},
};

} // namespace

const char* LoadString(int id)
{
    for (const StringEntry& entry : kStrings)
        if (entry.id == id)
            return entry.text;
    return "";
}

std::string SystemErrorText(int errorNumber)
{
    for (const StringEntry& entry : kSystemErrors)
        if (entry.id == errorNumber)
            return entry.text;
    return FormatString(kStringSystemErrorNumber, std::to_string(errorNumber));
}

std::string FormatString(int id, const std::vector<std::string>& arguments)
{
    std::string text = LoadString(id);
    std::size_t from = 0;
    for (const std::string& argument : arguments) {
        const std::size_t placeholder = text.find("%s", from);
        if (placeholder == std::string::npos)
            break;
        text.replace(placeholder, 2, argument);
        from = placeholder + argument.size();
    }
    return text;
}

std::string FormatString(int id, const std::string& argument)
{
    return FormatString(id, std::vector<std::string>{argument});
}

std::string FormatFileError(int id, const std::string& path, int errorNumber)
{
    return FormatString(id, path) + " (" + SystemErrorText(errorNumber) + ")";
}
