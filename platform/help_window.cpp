#include "platform/help_window.h"

#include "platform/resources.h"

#include <QPointer>
#include <QUrl>

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
    platform::RegisterResources();
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
