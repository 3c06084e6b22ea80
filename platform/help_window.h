#pragma once

#include <QTextBrowser>

// The program's German help text (res/help) in a window of its own.
class CHelpWindow : public QTextBrowser {
    Q_OBJECT

public:
    static constexpr char kHelpPage[] = "qrc:/help/tolvar.html";

    // A window beside owner: it stays usable while owner runs modally and
    // is destroyed with owner.
    explicit CHelpWindow(QWidget* owner);
};

// Shows the help window for owner, creating it the first time and raising
// it afterwards; owner may be null (then the window stands alone).
CHelpWindow* ShowHelpWindow(QWidget* owner);

// The help window now open, or nullptr.
CHelpWindow* CurrentHelpWindow();

// Closes the help window if one is open; the main dialog calls this when it
// is destroyed, so that no help outlives the program's only dialog.
void CloseHelpWindow();
