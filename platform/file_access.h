#pragma once

#include <QString>

// Whether a file can be opened, asked before a command relies on it. Each
// answer is 0 or the errno that tells why not (platform::ReasonText turns
// it into the German reason). Neither check creates, cuts or changes a file.
namespace platform {

// 0 when fileName opens for reading.
int ReadAccessError(const QString& fileName);

// 0 when fileName can be written: an existing file opens for writing
// (appending, so nothing is cut), a missing one has a folder that takes
// new files.
int WriteAccessError(const QString& fileName);

} // namespace platform
