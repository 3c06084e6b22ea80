#include "core/report_file.h"

#include <cerrno>

namespace {
constexpr std::size_t kFlushSize = 1 << 20;
}

ReportFile::~ReportFile()
{
    Close();
}

bool ReportFile::Open(const std::string& path)
{
    Close();
    failed = false;
    errorNumber = 0;
    // A name with a NUL byte would create a different, shorter name.
    if (path.empty() || path.find('\0') != std::string::npos) {
        errorNumber = path.empty() ? ENOENT : EINVAL;
        return false;
    }
    file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        errorNumber = errno;
    return file != nullptr;
}

void ReportFile::WriteString(std::string_view text)
{
    if (file == nullptr)
        return;
    std::size_t start = 0;
    for (std::size_t lf = text.find('\n'); lf != std::string_view::npos; lf = text.find('\n', start)) {
        buffer.append(text.substr(start, lf - start));
        buffer.append("\r\n");
        start = lf + 1;
    }
    buffer.append(text.substr(start));
    if (buffer.size() >= kFlushSize)
        Flush();
}

void ReportFile::Fail()
{
    if (!failed)
        errorNumber = errno;
    failed = true;
}

void ReportFile::Flush()
{
    if (file != nullptr && !buffer.empty() && !failed) {
        if (std::fwrite(buffer.data(), 1, buffer.size(), file) != buffer.size())
            Fail();
    }
    buffer.clear();
}

bool ReportFile::Close()
{
    if (file == nullptr)
        return !failed;
    Flush();
    if (std::fclose(file) != 0)
        Fail();
    file = nullptr;
    return !failed;
}
