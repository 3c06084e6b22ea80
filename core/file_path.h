#pragma once

#include <string>
#include <string_view>

// Names of files as the program's outputs and inputs meet them.

// Where a name leads once its symbolic links are followed: the name itself
// when it is no link, else the end of its chain of links, a relative target
// taken from the folder of its link. The end need not exist (a dangling
// link leads to the name it points at). A loop or a chain longer than 40
// links stops at the last name reached.
std::string FollowLinks(const std::string& path);

// The descriptor of this process that a name reaches its file through
// (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one
// of them), -1 for any other name. Such a name must be written through the
// descriptor itself: opening it anew would start at the file's beginning
// and lose what the shell's ">>" asked for.
int OwnDescriptorOf(const std::string& path);

// Whether two names denote one file. When both exist: the same device and
// inode, so that a symbolic link, "./" or a hard link are the file itself.
// Otherwise by name: both made absolute, their links followed and the
// links of their folders resolved. An empty name is no file.
bool IsSameFile(const std::string& first, const std::string& second);

// ASCII letters in lower case, for names typed in any case.
std::string AsciiLower(std::string_view text);

// What follows the last dot of a name's last component, in lower case ("" when
// it has no dot): the extension that chooses an output's format.
std::string LowerCaseExtension(std::string_view path);
