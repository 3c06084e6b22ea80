#include "core/file_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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

} // namespace

std::string FollowLinks(const std::string& path)
{
    std::string current = path;
    for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
        struct stat status {};
        std::string target;
        if (lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode) || !ReadLink(current, target))
            return current;
        const std::filesystem::path link(current);
        const std::filesystem::path next(target);
        current = next.is_absolute() ? target : (link.parent_path() / next).string();
    }
    return current;
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
