#include "core/helper_thread.h"

#if defined(__linux__)
#include <sched.h>
#endif

int CurrentProcessor()
{
#if defined(__linux__)
    return sched_getcpu();
#else
    return -1;
#endif
}

void LeaveProcessor(int processor)
{
#if defined(__linux__)
    if (processor < 0 || processor >= CPU_SETSIZE || sched_getcpu() != processor)
        return;
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0 || !CPU_ISSET(processor, &allowed) ||
        CPU_COUNT(&allowed) < 2)
        return;
    cpu_set_t others = allowed;
    CPU_CLR(processor, &others);
    // Setting the mask moves the thread at once; setting it back keeps it
    // where it now is.
    if (sched_setaffinity(0, sizeof others, &others) == 0)
        sched_setaffinity(0, sizeof allowed, &allowed);
#else
    (void)processor;
#endif
}
