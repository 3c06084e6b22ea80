#pragma once

#include <QApplication>

// The application: sets the C library's number format to "C" right after
// Qt has taken its locale from the environment (so that printf and scanf
// use "." everywhere) and gives Qt's own texts in German; then
// InitInstance runs the main dialog.
class CMainApp : public QApplication {
    Q_OBJECT

public:
    CMainApp(int& argc, char** argv);

    // Start-up: connects the help window, shows the start-up picture for a
    // moment, runs the main dialog modally and returns false when it has
    // closed, so the program ends. Static: it needs nothing of the
    // application object, so tests run it under their own application.
    static bool InitInstance();
};
