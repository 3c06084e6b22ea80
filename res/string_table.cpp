#include "res/string_table.h"

#include <cerrno>

namespace {

struct StringEntry {
    int id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {kStringAboutMenu, "Inf&o über Tolvar..."},
    {kStringInputFileError, "Fehler in der Eingabedatei!!!"},
    {kStringNoInputFile, "Keine Eingabedatei!!"},
    {kStringInputFileOpenError, "Fehler beim Öffnen der Eingabedatei!!"},
    {kStringFileOpenError, "Fehler beim Öffnen der Datei %s!"},
    {kStringChooseFiles, "Wählen Sie zunächst Ein- und Ausgabedatei!!"},
    {kStringChooseMethod, "Wählen Sie zunächst eine Berechnungsart!!"},
    {kStringTipEditData, "Eingabe-Daten bearbeiten"},
    {kStringTipEditFile, "Datei bearbeiten"},
    {kStringTipChooseFile, "Datei wählen"},
    {kStringTipCompute, "Berechnung starten"},
    {kStringTipExit, "Tolvar beenden"},
    {kStringTipAbout, "Über Tolvar"},
    {kStringTipCreateData, "Eingabe-Daten erstellen"},
    {kStringComputeSuccess, "Die Berechnungen wurden erfolgreich abgeschlossen!"},
    {kStringComputeError, "Bei der Berechnung ist ein Fehler aufgetreten!"},
    {kStringMissingWeight, "Fehler in der Eingabedatei. Kein oder negatives Gewicht!!!"},
    {kStringNoObservations, "Fehler in der Eingabedatei. Keine Beobachtungen vorhanden!"},
    {kStringOutOfMemory, "Nicht genügend Arbeitsspeicher für diese Berechnung!"},
    {kStringNoTextEditor, "Es wurde kein Texteditor gefunden! Geben Sie ihn in der Umgebungsvariablen TOLVAR_EDITOR an."},
    {kStringNoLpLibrary, "Die Bibliothek %s konnte nicht geladen werden!"},
    {kStringNotAnInteger, "Geben Sie bitte eine ganze Zahl ein."},
    {kStringNotANumber, "Geben Sie bitte eine Zahl ein."},
    {kStringNotAPositiveInteger, "Geben Sie bitte eine positive ganze Zahl ein."},
    {kStringNumberRange, "Geben Sie bitte eine Zahl zwischen %s und %s ein."},
    {kStringNormFactorBelowOne, "Der Normfaktor muss mindestens 1 sein."},
    {kStringInputFileLabel, "Eingabedatei: %s"},
    {kStringOutputFileLabel, "Ausgabedatei: %s"},
    {kStringReasonLabel, "Grund: %s"},
    {kStringSystemErrorNumber, "Systemfehler Nr. %s"},
    {kStringCellNotANumber, "%s, %s, %s: Geben Sie bitte eine Zahl ein (mit Punkt als Dezimalzeichen)."},
    {kStringWeightNotPositive, "%s, %s, %s: Das Gewicht muss größer als 0 sein."},
    {kStringSameFile, "Ein- und Ausgabedatei sind dieselbe Datei!"},
    {kStringFileWriteError, "Fehler beim Schreiben der Datei %s!"},
    {kStringPlotFormat, "Das Bild kann nur als .png oder .svg gespeichert werden: %s"},
    {kStringMenuCut, "Ausschneiden"},
    {kStringMenuCopy, "Kopieren"},
    {kStringMenuPaste, "Einfügen"},
    {kStringMenuSelectAll, "Alles markieren"},
    {kStringDesignPage, "Design-Matrix"},
    {kStringObservationPage, "Beobachtungen"},
    {kStringCornerHeader, "Elemente"},
    {kStringColumnHeader, "Spalte %s"},
    {kStringRowHeader, "Zeile %s"},
    {kStringObservedValueHeader, "Beobachtung"},
    {kStringWeightHeader, "Gewicht"},
    {kStringValuesCutShort, "%s Werte der Eingabedatei wurden nicht ganz gelesen."},
    {kStringLineAndPosition, "Zeile %s, Stelle %s"},
    {kStringLine, "Zeile %s"},
    {kStringUtf16, "UTF-16 wird nicht unterstützt; bitte als UTF-8 oder Windows-1252 speichern."},
    {kStringLineAndValue, "Zeile %s, Wert %s"},
    {kStringTooFewObservations, "Weniger Beobachtungen als Unbekannte: die Lösung ist nicht eindeutig."},
    {kStringSingularNormals, "Die Normalgleichungen sind numerisch singulär."},
    {kStringFewDigits, "Die Lösung ist nur auf etwa %d Stellen genau (Normalgleichungen schlecht konditioniert)."},
    {kStringNotOptimal, "Die Lösung erfüllt die Optimalitätsbedingung nicht."},
    {kStringOptimalityApproximate, "Die Optimalität der Lösung ist nur näherungsweise nachgewiesen."},
    {kStringDiscardChanges, "Änderungen verwerfen?"},
    {kStringCellOutOfRange, "%s, %s, %s: Die Zahl liegt außerhalb des Bereichs, den Tolvar darstellen kann "
                            "(Betrag zwischen etwa 2.2e-308 und 1.8e308)."},
    {kStringRefusedCellCount, "Auf dieser Seite sind %s Zellen fehlerhaft; sie sind alle markiert."},
    {kStringAddRowsAndColumns, "Die eingefügten Werte reichen über die Tabelle hinaus. Sollen %s Zeile(n) "
                               "(Beobachtungen) und %s Spalte(n) (Unbekannte) angefügt werden?"},
    {kStringAddRows, "Die eingefügten Werte reichen über die Tabelle hinaus. Sollen %s Zeile(n) "
                     "(Beobachtungen) angefügt werden?"},
    {kStringAddColumns, "Die eingefügten Werte reichen über die Tabelle hinaus. Sollen %s Spalte(n) "
                        "(Unbekannte) angefügt werden?"},
    {kStringValuesLeftOut, "%s eingefügte Werte hatten keinen Platz in der Tabelle und wurden weggelassen."},
    {kStringUndo, "Rückgängig"},
    {kStringRedo, "Wiederholen"},
    {kStringInsertRows, "Zeilen einfügen"},
    {kStringDeleteRows, "Zeilen löschen"},
    {kStringInsertColumns, "Spalten einfügen"},
    {kStringDeleteColumns, "Spalten löschen"},
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
    {EBADF, "Ungültiger Dateideskriptor"},
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
