#include "platform/icons.h"

#include <QFile>

// Resources of a static library are registered only when named once.
static void RegisterIconResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)registered;
}

namespace platform {

QIcon LoadIcon(int id)
{
    RegisterIconResources();
    const QString path = QStringLiteral(":/icons/%1.svg").arg(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace platform
