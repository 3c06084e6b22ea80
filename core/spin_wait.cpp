#include "core/spin_wait.h"

#include <thread>

void Relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

void WaitRound(int round)
{
    constexpr int kPatientRounds = 1024;
    if (round < kPatientRounds)
        Relax();
    else
        std::this_thread::yield();
}
