#include "platform/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static bool RegisterAll()
{
    Q_INIT_RESOURCE(icons);
    Q_INIT_RESOURCE(pictures);
    Q_INIT_RESOURCE(help);
    return true;
}

namespace platform {

void RegisterResources()
{
    static const bool registered = RegisterAll();
    (void)registered;
}

} // namespace platform
