#include "platform/file_access.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Opens and closes again; 0 or errno (EISDIR for a folder). O_NONBLOCK: a pipe without a reader
// answers at once instead of waiting for one.
int OpenError(const QString& fileName, int flags)
{
    const QByteArray path = QFile::encodeName(fileName);
    // A name with a NUL byte would name a different, shorter file.
    if (path.isEmpty() || path.contains('\0'))
        return path.isEmpty() ? ENOENT : EINVAL;
    const int descriptor = ::open(path.constData(), flags | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errno;
    // A folder opens for reading, but it is no file to show or read.
    struct stat status {};
    const bool folder = ::fstat(descriptor, &status) == 0 && S_ISDIR(status.st_mode);
    ::close(descriptor);
    return folder ? EISDIR : 0;
}

} // namespace

int ReadAccessError(const QString& fileName)
{
    return OpenError(fileName, O_RDONLY);
}

int WriteAccessError(const QString& fileName)
{
    // Without O_CREAT and O_TRUNC the open neither creates nor cuts the file.
    const int error = OpenError(fileName, O_WRONLY | O_APPEND);
    if (error != ENOENT || fileName.isEmpty())
        return error;
    // The file is missing: its folder must exist and take a new file, for
    // the program's effective user.
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    return ::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0 ? 0 : errno;
}

} // namespace platform
