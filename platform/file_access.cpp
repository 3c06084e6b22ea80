#include "platform/file_access.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

// Opens and closes again; EISDIR for a folder. O_NONBLOCK: a pipe without
// a writer answers at once instead of waiting for one.
int ReadAccessError(const QString& fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    // A name with a NUL byte would name a different, shorter file.
    if (path.isEmpty() || path.contains('\0'))
        return path.isEmpty() ? ENOENT : EINVAL;
    const int descriptor = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    // A folder opens for reading, but it is no file to show or read.
    struct stat status {};
    const bool folder = ::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode);
    ::close(descriptor);
    return folder ? EISDIR : 0;
}

} // namespace platform
