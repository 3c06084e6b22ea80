#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// The report file: created anew (an existing file is cut to zero length),
// written in text mode as the program's report format demands, so every
// "\n" becomes CR LF on every platform. Bytes are written as given; the
// callers pass Windows-1252 text. Output is buffered; a write error is
// remembered and reported by Close.
class ReportFile {
public:
    ReportFile() = default;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile();

    bool Open(const std::string& path);
    bool IsOpen() const { return file != nullptr; }
    void WriteString(std::string_view text);
    // Flushes and closes; false when any write failed.
    bool Close();
    bool Failed() const { return failed; }
    // The errno of the first failed open, write or close; 0 while none failed.
    int ErrorNumber() const { return errorNumber; }

private:
    void Flush();
    void Fail();

    std::FILE* file = nullptr;
    std::string buffer;
    bool failed = false;
    int errorNumber = 0;
};
