#pragma once

#include "core/ordered_text.h"
#include "core/output_file.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

// The report's line end as it reaches the file.
inline constexpr std::string_view kReportLineEnd = "\r\n";

// Appends the rows first .. last - 1 of a table to text, in file form:
// kReportLineEnd after each row.
using MakeRows = std::function<void(std::size_t first, std::size_t last, TextPiece& text)>;

// The report file, written in text mode as the program's report format
// demands, so every "\n" becomes CR LF on every platform. Bytes are written
// as given; the callers pass Windows-1252 text. Output is buffered; a write
// error is remembered and reported by Close. The report goes to a temporary
// file beside its name (core/output_file.h): Close puts it in place, and a
// report never closed (the object destroyed first) leaves any previous
// file as it was.
class ReportFile {
public:
    ReportFile() = default;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    bool Open(const std::string& path, OutputDurability durability = OutputDurability::kRenamed);
    bool IsOpen() const { return output.IsOpen(); }
    void WriteString(std::string_view text);
    // Writes the rows 0 .. rows - 1 of a table made by makeRows, about
    // bytesPerRow each. A long table is made on two threads in pieces and
    // written piece by piece in order (core/ordered_text.h).
    void WriteTable(std::size_t rows, std::size_t bytesPerRow, const MakeRows& makeRows);
    // Flushes and puts the report in place; false when anything failed.
    bool Close();
    bool Failed() const { return static_cast<bool>(output.Error()); }
    // Why opening, writing or closing failed.
    const OutputError& Error() const { return output.Error(); }

private:
    void Flush();

    OutputFile output;
    std::string buffer;
};
