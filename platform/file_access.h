#pragma once

#include <QString>

// Whether a file can be opened for reading, asked before a command relies
// on it: 0 or the errno that tells why not (platform::ReasonText turns it
// into the German reason). The check changes no file. Whether a name can
// take an output: OutputAccessError (core/output_file.h).
namespace platform {

// 0 when fileName opens for reading.
int ReadAccessError(const QString& fileName);

} // namespace platform
