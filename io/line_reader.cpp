#include "io/line_reader.h"

#include <cstring>

LineReader::LineReader(ByteSource& source) : source(source) {}

bool LineReader::Refill()
{
    if (atEnd)
        return false;
    chunkStart += bytes.size();
    position = 0;
    bytes = source.Next(chunk);
    if (bytes.empty()) {
        atEnd = true;
        return false;
    }
    return true;
}

std::string_view LineReader::Finish(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool LineReader::Next(std::string_view& line)
{
    carry.clear();
    bool haveCarry = false;
    for (;;) {
        if (position == bytes.size() && !Refill()) {
            // A last line without LF; a read error loses the line.
            if (!haveCarry || Failed())
                return false;
            line = carry;
            return true;
        }
        const char* start = bytes.data() + position;
        const std::size_t available = bytes.size() - position;
        const auto* lineFeed = static_cast<const char*>(std::memchr(start, '\n', available));
        if (lineFeed == nullptr) {
            carry.append(start, available);
            haveCarry = true;
            position = bytes.size();
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(lineFeed - start);
        position += length + 1;
        if (!haveCarry) {
            line = Finish(std::string_view(start, length));
            return true;
        }
        carry.append(start, length);
        line = Finish(carry);
        return true;
    }
}

bool CountLines(ByteSource& source, const LineStretch& stretch, LinesCounted& counted)
{
    std::vector<char> scratch;
    unsigned long long lines = 0;
    unsigned long long bufferStart = stretch.origin;
    unsigned long long nextMark = stretch.origin + kLineMarkSpacing;
    bool skipping = stretch.fromNextLine;
    // Only the first two bytes of a line matter: a line is empty when it
    // holds nothing or a single CR before its LF.
    std::size_t lineLength = 0;
    bool lineIsOneCR = false;
    for (;;) {
        const std::string_view bytes = source.Next(scratch);
        if (bytes.empty())
            break;
        const std::size_t filled = bytes.size();
        const char* p = bytes.data();
        const char* end = p + filled;
        if (skipping) {
            const auto* lineFeed = static_cast<const char*>(std::memchr(p, '\n', filled));
            if (lineFeed == nullptr) {
                bufferStart += filled;
                continue;
            }
            skipping = false;
            p = lineFeed + 1;
            const unsigned long long firstStart = bufferStart + static_cast<unsigned long long>(p - bytes.data());
            if (firstStart >= stretch.stopAt)
                return true;
            nextMark = firstStart + kLineMarkSpacing;
        }
        while (p != end) {
            const auto* lineFeed = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
            const char* stop = lineFeed != nullptr ? lineFeed : end;
            if (stop != p) {
                lineIsOneCR = lineLength == 0 && stop - p == 1 && *p == '\r';
                lineLength += static_cast<std::size_t>(stop - p);
                if (lineLength > 2)
                    lineLength = 2;
            }
            if (lineFeed == nullptr)
                break;
            if (lineLength == 0 || (lineLength == 1 && lineIsOneCR)) {
                counted.lines = lines;
                counted.emptyLine = true;
                return true;
            }
            ++lines;
            lineLength = 0;
            lineIsOneCR = false;
            p = lineFeed + 1;
            const unsigned long long lineStart = bufferStart + static_cast<unsigned long long>(p - bytes.data());
            if (lineStart >= stretch.stopAt) {
                counted.lines = lines;
                return true;
            }
            // The line that starts here (it may be the empty one).
            if (lineStart >= nextMark) {
                counted.marks.push_back({lines, lineStart});
                nextMark = lineStart + kLineMarkSpacing;
            }
        }
        bufferStart += filled;
    }
    if (source.Failed())
        return false;
    if (lineLength > 0)
        ++lines;
    counted.lines = skipping ? 0 : lines;
    return true;
}

namespace {

// Counts runs of non-blank characters; the previous character counts as a
// blank before the first one.
struct ValueCounter {
    unsigned long long count = 0;
    bool previousWasBlank = true;

    void Add(char c)
    {
        if (c == ' ') {
            previousWasBlank = true;
            return;
        }
        if (previousWasBlank)
            ++count;
        previousWasBlank = false;
    }
};

}  // namespace

bool CountValuesInFirstLine(ByteSource& source, unsigned long long& count)
{
    std::vector<char> scratch;
    ValueCounter counter;
    // A CR is held back until the next byte tells whether it ends the line.
    bool pendingCR = false;
    for (;;) {
        const std::string_view bytes = source.Next(scratch);
        if (bytes.empty())
            break;
        for (const char c : bytes) {
            if (c == '\n') {
                count = counter.count;
                return true;
            }
            if (pendingCR)
                counter.Add('\r');
            pendingCR = c == '\r';
            if (!pendingCR)
                counter.Add(c);
        }
    }
    if (source.Failed())
        return false;
    if (pendingCR)
        counter.Add('\r');
    count = counter.count;
    return true;
}
