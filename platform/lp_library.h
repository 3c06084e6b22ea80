#pragma once

#include "platform/seam.h"

#include <QString>

// The Lp-norm library libnormex.so with its entry point
//   extern "C" int LP(char* command, int length);
// loaded at run time from the directory of the executable. LP returns 0 on
// success.
namespace platform {

inline constexpr int kLpLibraryMissing = -1000;

// Calls LP. kLpLibraryMissing when the library or its entry point cannot be
// loaded (nothing was computed).
int CallLp(char* command, int length);

// Where the library is looked for; empty: beside the executable.
void SetLpLibraryPath(const QString& path);
QString LpLibraryPath();

Seam<int(char* command, int length)>& LpSeam();

} // namespace platform
