#pragma once

#include "io/input_source.h"

#include <string>
#include <string_view>
#include <vector>

// Reads a pass of the input line by line in large chunks, so that a file
// of any size is never held in memory as a whole; only a line that crosses
// a chunk boundary is copied. A line ends at LF, and one CR just before the LF is
// dropped (a CR elsewhere, also one just before the end of the file, is
// part of the line). A last line without LF counts as a line.
class LineReader {
public:
    explicit LineReader(ByteSource& source);

    // The next line, valid until the following call. False at the end of
    // the file or after a read error.
    bool Next(std::string_view& line);

    // True when reading stopped because the file could not be read (for
    // example because it is a directory).
    bool Failed() const { return source.Failed(); }
    // The errno of that read error; 0 while none happened.
    int ErrorNumber() const { return source.ErrorNumber(); }
    // Bytes of the pass taken up to the end of the last line returned,
    // its line end included.
    unsigned long long Offset() const { return chunkStart + position; }

private:
    bool Refill();
    std::string_view Finish(std::string_view line);

    ByteSource& source;
    std::vector<char> chunk;      // where a source that copies puts the bytes, sized by it
    std::string_view bytes;       // the bytes of the pass at hand
    std::size_t position = 0;     // in bytes
    unsigned long long chunkStart = 0; // bytes of the pass before the chunk
    std::string carry;
    bool atEnd = false;
};

// Where a line starts: its number (from 0) and the bytes of the pass
// before it.
struct LineMark {
    unsigned long long line = 0;
    unsigned long long offset = 0;
};

// Line starts about every kLineMarkSpacing bytes, for reading the lines
// of a pass in parts from there.
inline constexpr unsigned long long kLineMarkSpacing = 1 << 20;

// Counting the lines before the first empty line (or before the end of
// the file), with the first line start after every kLineMarkSpacing bytes
// among the lines counted, over a stretch of a pass, so that two threads
// can count the two halves of a file: the source begins at byte origin of
// the pass; with fromNextLine the line that the source begins within is
// left to the one before; counting stops once a line starts at stopAt or
// later. The whole pass is the default stretch.
struct LineStretch {
    unsigned long long origin = 0;
    bool fromNextLine = false;
    unsigned long long stopAt = ~0ull;
};

struct LinesCounted {
    unsigned long long lines = 0; // before an empty line, or all the stretch has
    bool emptyLine = false;       // an empty line ended the count
    std::vector<LineMark> marks;  // line numbers from the stretch's first line
};

// False after a read error.
bool CountLines(ByteSource& source, const LineStretch& stretch, LinesCounted& counted);

// The number of runs of characters other than the space character in the
// first line (0 for an empty file). False after a read error.
bool CountValuesInFirstLine(ByteSource& source, unsigned long long& count);
