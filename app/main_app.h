#pragma once

#include <QApplication>

// The application: sets the C library's number format to "C" right after
// Qt has taken its locale from the environment (so that printf and scanf
// use "." everywhere), then InitInstance runs the main dialog.
class CMainApp : public QApplication {
    Q_OBJECT

public:
    CMainApp(int& argc, char** argv);

    // Start-up: connects the help window, runs the main dialog modally and
    // returns false when it has closed, so the program ends.
    bool InitInstance();
};
