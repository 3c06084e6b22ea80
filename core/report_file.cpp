#include "core/report_file.h"

#include <algorithm>

namespace {
constexpr std::size_t kFlushSize = 1 << 20;
// A piece of a table: large enough that a write costs little next to the
// making, small enough that the pieces in flight stay a few megabytes.
constexpr std::size_t kTablePieceBytes = 1 << 20;
// Below this a second thread costs more than it saves.
constexpr std::size_t kTableHelperBytes = 4 << 20;
} // namespace

bool ReportFile::Open(const std::string& path, OutputDurability durability)
{
    buffer.clear();
    return output.Open(path, durability);
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

void ReportFile::WriteTable(std::size_t rows, std::size_t bytesPerRow, const MakeRows& makeRows)
{
    if (!output.IsOpen() || rows == 0)
        return;
    Flush();
    bytesPerRow = std::max<std::size_t>(bytesPerRow, 1);
    const std::size_t rowsPerPiece = std::max<std::size_t>(kTablePieceBytes / bytesPerRow, 1);
    const std::size_t pieces = (rows + rowsPerPiece - 1) / rowsPerPiece;
    const bool withHelper = rows >= kTableHelperBytes / bytesPerRow;
    MakeTextInOrder(
        pieces,
        [&](std::size_t piece, TextPiece& text) {
            const std::size_t first = piece * rowsPerPiece;
            makeRows(first, std::min(rows, first + rowsPerPiece), text);
        },
        [this](std::string_view text) { output.Write(text); }, withHelper);
}
