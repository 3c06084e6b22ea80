#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

// System calls that a signal may interrupt before they did anything
// (EINTR) are tried again; descriptors are not passed on to programs
// started later.

inline int OpenRetrying(const char* path, int flags, mode_t mode = 0)
{
    int descriptor;
    do
        descriptor = open(path, flags | O_CLOEXEC, mode);
    while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

inline ssize_t ReadRetrying(int descriptor, char* buffer, std::size_t size)
{
    ssize_t count;
    do
        count = read(descriptor, buffer, size);
    while (count < 0 && errno == EINTR);
    return count;
}

// pread: up to size bytes from offset, the descriptor's own offset untouched.
inline ssize_t ReadAtRetrying(int descriptor, char* buffer, std::size_t size, off_t offset)
{
    ssize_t count;
    do
        count = pread(descriptor, buffer, size, offset);
    while (count < 0 && errno == EINTR);
    return count;
}

// Writes all size bytes, as many calls as it takes. False with errno set
// when a call fails (EIO when one writes nothing).
inline bool WriteAll(int descriptor, const char* bytes, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}
