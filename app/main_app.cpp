#include "app/main_app.h"

#include "app/main_dlg.h"
#include "app/splash_dlg.h"
#include "platform/modal.h"
#include "platform/qt_texts.h"

#include <clocale>

CMainApp::CMainApp(int& argc, char** argv) : QApplication(argc, argv)
{
    std::setlocale(LC_NUMERIC, "C");
    setApplicationName(QStringLiteral("Tolvar"));
    platform::InstallGermanQtTexts(*this);
}

bool CMainApp::InitInstance()
{
    CSplashDlg splash;  // hidden after its moment, destroyed after the dialog
    splash.ShowForStart();
    CMainDlg dialog;
    platform::ExecModal(dialog);  // the result is not used
    return false;
}
