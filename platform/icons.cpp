#include "platform/icons.h"

#include "platform/resources.h"

#include <QFile>

namespace platform {

QString IconPath(int id)
{
    RegisterResources();
    return QStringLiteral(":/icons/%1.svg").arg(id);
}

QIcon LoadIcon(int id)
{
    const QString path = IconPath(id);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

} // namespace platform
