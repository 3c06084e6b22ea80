#pragma once

#include "platform/seam.h"

#include <QString>

// Opening a link target (a URL, a "mailto:" address, a file) with the
// desktop, answered with the desktop shell's result codes: above 32 is
// success, 32 and below an error code (see OpenErrorText).
namespace platform {

inline constexpr int kOpenSucceeded = 42;
inline constexpr int kFileNotFound = 2;
inline constexpr int kNoAssociation = 31;
inline constexpr int kUnknownFailure = -1;

// The seam's handler if one is installed, else OpenWithDesktop.
int OpenTarget(const QString& target);

// Asks the desktop (QDesktopServices::openUrl) and maps its answer.
int OpenWithDesktop(const QString& target);

// The shell's message for a result code (English, as the shell words it).
QString OpenErrorText(int code);

Seam<int(const QString& target)>& ShellOpenSeam();

} // namespace platform
