#include "core/file_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// The kernel's own limit on links followed in one lookup.
constexpr int kMostLinksFollowed = 40;

bool ReadLink(const std::string& path, std::string& target)
{
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
        if (length < 0)
            return false;
        if (static_cast<std::size_t>(length) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

// The name with its folders' links resolved, absolute and without "." and
// "..", for comparing names of which at least one does not exist.
std::string ComparableName(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(FollowLinks(path), error);
    if (error)
        return path;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

// The name a symbolic link leads to, a relative target taken from the
// folder of the link; false when name is no link.
bool NextInChain(std::string& name)
{
    struct stat status {};
    std::string target;
    if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode) || !ReadLink(name, target))
        return false;
    const std::filesystem::path next(target);
    name = next.is_absolute() ? target : (std::filesystem::path(name).parent_path() / next).string();
    return true;
}

bool AllDigits(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// The number N when name is the entry N of this process's folder of open
// descriptors (/proc/PID/fd or a thread's /proc/PID/task/TID/fd), reached
// by whatever name of that folder (/dev/fd, /proc/self/fd); else -1.
int OwnDescriptorEntry(const std::string& name)
{
    const std::filesystem::path entry(name);
    const std::string number = entry.filename().string();
    char folder[PATH_MAX];
    if (!AllDigits(number) || !entry.has_parent_path() || realpath(entry.parent_path().c_str(), folder) == nullptr)
        return -1;
    std::string_view rest(folder);
    const std::string own = "/proc/" + std::to_string(getpid());
    if (!rest.starts_with(own))
        return -1;
    rest.remove_prefix(own.size());
    if (rest.starts_with("/task/")) {
        rest.remove_prefix(6);
        const std::size_t slash = rest.find('/');
        if (slash == std::string_view::npos || !AllDigits(rest.substr(0, slash)))
            return -1;
        rest.remove_prefix(slash);
    }
    return rest == "/fd" ? std::atoi(number.c_str()) : -1;
}

} // namespace

std::string FollowLinks(const std::string& path)
{
    std::string current = path;
    for (int followed = 0; followed < kMostLinksFollowed && NextInChain(current); ++followed) {
    }
    return current;
}

int OwnDescriptorOf(const std::string& path)
{
    std::string current = path;
    for (int followed = 0; followed <= kMostLinksFollowed; ++followed) {
        if (const int descriptor = OwnDescriptorEntry(current); descriptor >= 0)
            return descriptor;
        if (!NextInChain(current))
            return -1;
    }
    return -1;
}

bool IsSameFile(const std::string& first, const std::string& second)
{
    if (first.empty() || second.empty())
        return false;
    struct stat firstStatus {};
    struct stat secondStatus {};
    if (stat(first.c_str(), &firstStatus) == 0 && stat(second.c_str(), &secondStatus) == 0)
        return firstStatus.st_dev == secondStatus.st_dev && firstStatus.st_ino == secondStatus.st_ino;
    return ComparableName(first) == ComparableName(second);
}

std::string AsciiLower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

std::string LowerCaseExtension(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : AsciiLower(name.substr(dot + 1));
}
