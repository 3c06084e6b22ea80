#pragma once

#include <string>
#include <vector>

// The program's own numbered texts (UTF-8). Every front end, the desktop
// program and the command line, shows its messages from here.
enum StringId : int {
    kStringAboutMenu = 101,           // "Inf&o über Tolvar..."
    kStringInputFileError = 102,      // "Fehler in der Eingabedatei!!!"
    kStringNoInputFile = 103,         // "Keine Eingabedatei!!"
    kStringInputFileOpenError = 104,  // "Fehler beim Öffnen der Eingabedatei!!"
    kStringFileOpenError = 105,       // "Fehler beim Öffnen der Datei %s!"
    kStringChooseFiles = 106,         // "Wählen Sie zunächst Ein- und Ausgabedatei!!"
    kStringChooseMethod = 107,        // "Wählen Sie zunächst eine Berechnungsart!!"
    kStringTipEditData = 109,
    kStringTipEditFile = 110,
    kStringTipChooseFile = 111,
    kStringTipCompute = 112,
    kStringTipExit = 113,
    kStringTipAbout = 114,
    kStringTipCreateData = 115,
    kStringComputeSuccess = 116,      // "Die Berechnungen wurden erfolgreich abgeschlossen!"
    kStringComputeError = 117,        // "Bei der Berechnung ist ein Fehler aufgetreten!"
    kStringMissingWeight = 118,       // "Fehler in der Eingabedatei. Kein oder negatives Gewicht!!!"
    kStringNoObservations = 119,      // "Fehler in der Eingabedatei. Keine Beobachtungen vorhanden!"
    kStringOutOfMemory = 120,         // ours: a command ran out of memory
    kStringNoTextEditor = 121,        // ours: no text editor to open a file in
    kStringNoLpLibrary = 122,         // ours: the Lp library cannot be loaded
    // The validation messages of dialog fields and command-line options.
    kStringNotAnInteger = 124,        // "Geben Sie bitte eine ganze Zahl ein."
    kStringNotANumber = 125,          // "Geben Sie bitte eine Zahl ein."
    kStringNotAPositiveInteger = 126, // "Geben Sie bitte eine positive ganze Zahl ein."
    kStringNumberRange = 127,         // "Geben Sie bitte eine Zahl zwischen %s und %s ein."
    kStringNormFactorBelowOne = 128,  // ours: the Lp library refuses a norm factor below 1
    // The informative text under a message about a file.
    kStringInputFileLabel = 129,      // ours: "Eingabedatei: %s"
    kStringOutputFileLabel = 130,     // ours: "Ausgabedatei: %s"
    kStringReasonLabel = 131,         // ours: "Grund: %s"
    kStringSystemErrorNumber = 132,   // ours: a system error the program has no text for
    // The data editor's check of a cell on OK: page, row and column.
    kStringCellNotANumber = 133,      // ours: "%s, %s, %s: Geben Sie bitte eine Zahl ein ..."
    kStringWeightNotPositive = 134,   // ours: "%s, %s, %s: Das Gewicht muss größer als 0 sein."
    // The outputs' own failures.
    kStringSameFile = 135,            // ours: an output names the input file
    kStringFileWriteError = 136,      // ours: "Fehler beim Schreiben der Datei %s!"
    kStringPlotFormat = 137,          // ours: the plot is saved as PNG or SVG only
    // The grid's context menu.
    kStringMenuCut = 138,             // "Ausschneiden"
    kStringMenuCopy = 139,            // "Kopieren"
    kStringMenuPaste = 140,           // "Einfügen"
    kStringMenuSelectAll = 141,       // "Alles markieren"
    // The data editor's page titles and grid headers.
    kStringDesignPage = 142,          // "Design-Matrix"
    kStringObservationPage = 143,     // "Beobachtungen"
    kStringCornerHeader = 144,        // "Elemente"
    kStringColumnHeader = 145,        // "Spalte %s"
    kStringRowHeader = 146,           // "Zeile %s"
    kStringObservedValueHeader = 147, // "Beobachtung"
    kStringWeightHeader = 148,        // "Gewicht"
    // Places in the input file.
    kStringValuesCutShort = 149,      // ours: "%s Werte der Eingabedatei wurden nicht ganz gelesen."
    kStringLineAndPosition = 150,     // ours: "Zeile %s, Stelle %s"
    kStringLine = 151,                // ours: "Zeile %s"
    kStringUtf16 = 152,               // ours: a UTF-16 file is refused
    kStringLineAndValue = 153,        // ours: "Zeile %s, Wert %s"
    // The data editor beyond the cell check.
    kStringDiscardChanges = 154,      // ours: "Änderungen verwerfen?"
    kStringCellOutOfRange = 155,      // ours: "%s, %s, %s: Die Zahl liegt außerhalb ..."
    kStringRefusedCellCount = 156,    // ours: how many cells of the page OK refused
    kStringAddRowsAndColumns = 157,   // ours: a paste reaches beyond the last row and column
    kStringAddRows = 158,             // ours: ... beyond the last row
    kStringAddColumns = 159,          // ours: ... beyond the last column
    // What the check of a solution finds.
    kStringTooFewObservations = 160,  // ours: n < u, refused before any work
    kStringSingularNormals = 161,     // ours: the normal equations are numerically singular
    kStringFewDigits = 162,           // ours: "... nur auf etwa %d Stellen genau ..."
    kStringNotOptimal = 163,          // ours: the solution fails its optimality condition
    kStringOptimalityApproximate = 164, // ours: optimality holds only approximately
    // The data editor, continued.
    kStringValuesLeftOut = 165,       // ours: "%s Werte ... weggelassen."
    kStringUndo = 166,                // ours: the grid's context menu from here on
    kStringRedo = 167,
    kStringInsertRows = 168,
    kStringDeleteRows = 169,
    kStringInsertColumns = 170,
    kStringDeleteColumns = 171,
};

// The text of id, or an empty string for an id the table does not hold.
const char* LoadString(int id);

// Text of id with each "%s" replaced by the next argument (strings 105, 127).
std::string FormatString(int id, const std::vector<std::string>& arguments);
std::string FormatString(int id, const std::string& argument);

// The system's reason for the errno value errorNumber, in German whatever
// the machine's language ("Keine Berechtigung" for EACCES).
std::string SystemErrorText(int errorNumber);

// Text of id, which takes a file name, for path, followed by the system's
// reason for errorNumber (SystemErrorText) in brackets, as the command line
// says it: "Fehler beim Schreiben der Datei a.AUS! (Kein Speicherplatz mehr)".
std::string FormatFileError(int id, const std::string& path, int errorNumber);
