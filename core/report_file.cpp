#include "core/report_file.h"

namespace {
constexpr std::size_t kFlushSize = 1 << 20;
}

bool ReportFile::Open(const std::string& path)
{
    buffer.clear();
    return output.Open(path);
}

void ReportFile::WriteString(std::string_view text)
{
    if (!output.IsOpen())
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

void ReportFile::Flush()
{
    if (!buffer.empty())
        output.Write(buffer);
    buffer.clear();
}

bool ReportFile::Close()
{
    if (!output.IsOpen())
        return !Failed();
    Flush();
    return output.Commit();
}
