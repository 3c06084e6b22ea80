#pragma once

#include "platform/seam.h"

#include <QDialog>

// The start-up picture: a window without caption or border, centred on the
// screen, shown for a moment before the main dialog opens.
class CSplashDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kShowMs = 2000;
    static constexpr int kWidth = 399;
    static constexpr int kHeight = 304;

    CSplashDlg();

    // Shows the window and paints it at once, without running an event
    // loop (user input stays queued).
    void ShowPainted();

    // The start-up's sequence: show and paint, wait kShowMs, hide.
    void ShowForStart();

    // How the start-up waits while the picture shows. Without a handler it
    // sleeps and processes nothing; tests install their own.
    static platform::Seam<void(int milliseconds)>& WaitSeam();
};
