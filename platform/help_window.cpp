#include "platform/help_window.h"

#include <QPointer>
#include <QUrl>

// The help text lives in a static library; its resource registration must
// be referenced to be linked in. Outside any namespace, as Qt requires.
static void RegisterHelpResource()
{
    Q_INIT_RESOURCE(help);
}

namespace {

QPointer<CHelpWindow>& OpenWindow()
{
    static QPointer<CHelpWindow> window;
    return window;
}

} // namespace

CHelpWindow::CHelpWindow(QWidget* owner)
    : QTextBrowser(owner)
{
    RegisterHelpResource();
    setWindowFlags(Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Tolvar – Hilfe"));
    setOpenExternalLinks(false);
    setSource(QUrl(QString::fromLatin1(kHelpPage)));
    resize(640, 560);
}

CHelpWindow* ShowHelpWindow(QWidget* owner)
{
    QPointer<CHelpWindow>& window = OpenWindow();
    if (!window || window->parentWidget() != owner) {
        if (window)
            window->close();
        window = new CHelpWindow(owner);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

CHelpWindow* CurrentHelpWindow()
{
    return OpenWindow();
}

void CloseHelpWindow()
{
    if (QPointer<CHelpWindow>& window = OpenWindow())
        window->close();
}
