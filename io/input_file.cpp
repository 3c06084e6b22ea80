#include "io/input_file.h"

#include "core/background_task.h"
#include "core/helper_thread.h"
#include "core/number_text.h"
#include "io/input_source.h"
#include "io/line_reader.h"
#include "res/string_table.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// A weight this small counts as "tiny"; when every weight is tiny, the
// file's weights are taken as equal and all become 1.0.
constexpr double kTinyWeight = 1e-16;

// 104, the message of a failed open or read; its cause (the errno of the
// failure) goes to the caller's systemError.
int OpenFailure(int* systemError, int errorNumber)
{
    if (systemError != nullptr)
        *systemError = errorNumber;
    return kStringInputFileOpenError;
}

// n observations and u unknowns, as the layout of the file gives them, and
// line starts spread over the file, for reading it in parts.
struct Layout {
    int observations = 0;
    int unknowns = 0;
    std::vector<LineMark> marks;
};

// Files from this size on are counted in two halves at once.
constexpr unsigned long long kCountInTwoHalves = 8 * kLineMarkSpacing;

// What counting one stretch found, and the errno when it could not read.
struct StretchCount {
    bool read = false;
    int errorNumber = 0;
    LinesCounted counted;
};

StretchCount CountStretch(const InputSource& input, const LineStretch& stretch)
{
    StretchCount count;
    const std::unique_ptr<ByteSource> pass = input.Pass(stretch.origin);
    if (!pass) {
        count.errorNumber = errno;
        return count;
    }
    count.read = CountLines(*pass, stretch, count.counted);
    count.errorNumber = pass->ErrorNumber();
    return count;
}

// The lines of a large file counted in two halves at once: the second
// half counts from the first line that starts in it, the first half the
// lines that start before. The second counts only when the first found no
// empty line.
StretchCount CountInTwoHalves(const InputSource& input, unsigned long long middle)
{
    StretchCount second;
    StretchCount first;
    {
        BackgroundTask task([&] { second = CountStretch(input, {middle - 1, true, ~0ull}); },
                            HelperPlacement::kAwayFromCaller);
        first = CountStretch(input, {0, false, middle});
        task.Wait();
    }
    if (!first.read || first.counted.emptyLine)
        return first;
    if (!second.read)
        return second;
    for (LineMark mark : second.counted.marks) {
        mark.line += first.counted.lines;
        first.counted.marks.push_back(mark);
    }
    first.counted.lines += second.counted.lines;
    return first;
}

// The count pass: n is half the number of lines before the first empty line.
int CountPass(const InputSource& input, unsigned long long& lineCount, std::vector<LineMark>& marks,
              int* systemError)
{
    const unsigned long long size = input.Size();
    const StretchCount count = size >= kCountInTwoHalves ? CountInTwoHalves(input, size / 2) : CountStretch(input, {});
    if (!count.read)
        return OpenFailure(systemError, count.errorNumber);
    lineCount = count.counted.lines;
    marks = count.counted.marks;
    return lineCount % 2 != 0 ? kStringInputFileError : 0;
}

// The column pass: u is the number of values in the first line.
int ColumnPass(const InputSource& input, unsigned long long& valueCount, int* systemError)
{
    const std::unique_ptr<ByteSource> pass = input.Pass();
    if (!pass)
        return OpenFailure(systemError, errno);
    if (!CountValuesInFirstLine(*pass, valueCount))
        return OpenFailure(systemError, pass->ErrorNumber());
    return 0;
}

int ReadLayout(const InputSource& input, Layout& layout, int* systemError)
{
    unsigned long long lineCount = 0;
    if (const int result = CountPass(input, lineCount, layout.marks, systemError))
        return result;
    unsigned long long valueCount = 0;
    if (const int result = ColumnPass(input, valueCount, systemError))
        return result;
    const unsigned long long observationCount = lineCount / 2;
    if (observationCount == 0)
        return kStringNoObservations;
    // A first line of blanks alone names no unknown.
    if (valueCount == 0)
        return kStringInputFileError;
    // No matrix can hold more rows or columns than an int counts.
    if (observationCount > INT_MAX || valueCount > INT_MAX)
        throw std::bad_alloc();
    layout.observations = static_cast<int>(observationCount);
    layout.unknowns = static_cast<int>(valueCount);
    return 0;
}

Matrix NewMatrix(int rows, int columns)
{
    Matrix matrix(rows, columns, 0.0);
    if (!matrix.IsValid())
        throw std::bad_alloc();
    return matrix;
}

// The problem as read, before it replaces the caller's matrices.
struct Problem {
    Matrix designMatrix;
    Matrix observations;
    Matrix weightVector;
};

Problem NewProblem(const Layout& layout)
{
    return Problem{NewMatrix(layout.observations, layout.unknowns), NewMatrix(layout.observations, 1),
                   NewMatrix(layout.observations, 1)};
}

// Tells the caller about a piece that is not wholly a number: nothing but
// white space may follow what "%lf" took of it.
void CheckPiece(const char* piece, const char* stop, const char* pieceEnd, double value, std::string_view line,
                int k, const DesignPieceReport& report)
{
    if (stop != nullptr && std::all_of(stop, pieceEnd, IsCSpace))
        return;
    DesignPieceNotANumber notANumber;
    notANumber.line = static_cast<long long>(k) + 1;
    notANumber.position = (piece - line.data()) + 1;
    notANumber.piece = std::string_view(piece, static_cast<std::size_t>(pieceEnd - piece));
    notANumber.value = value;
    report(notANumber);
}

// The pieces of a design line start where a byte other than the space
// character follows a space or the line's start. Their starts are found
// 64 bytes at a time from a mask of the spaces, so that each piece is read
// from its own start and the reading of one piece need not wait for the
// end of the one before; the pieces are then read one after the other
// from a copy of the line followed by spaces, so that every read may look
// ahead past the line's end.
constexpr std::size_t kMaskBytes = 64;
constexpr std::size_t kLookAhead = kMaskBytes + 32;

// Bit i set where block[i] is a space; 64 bytes must be readable.
std::uint64_t SpaceMask(const char* block)
{
#if defined(__SSE2__)
    const __m128i spaces = _mm_set1_epi8(' ');
    std::uint64_t mask = 0;
    for (std::size_t part = 0; part < kMaskBytes / 16; ++part) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * part));
        const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, spaces)));
        mask |= static_cast<std::uint64_t>(bits) << (16 * part);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kMaskBytes; ++i)
        mask |= static_cast<std::uint64_t>(block[i] == ' ') << i;
    return mask;
#endif
}

class DesignLineReader {
public:
    // Pieces are separated by runs of the space character only; a tab
    // belongs to its piece, which is read up to it. A piece that is no
    // number leaves its element at 0.0. False when the line holds more than
    // u pieces, with the first piece too many at ExtraPosition().
    bool Read(std::string_view line, int k, double* row, int unknowns, const DesignPieceReport& report);
    long long ExtraPosition() const { return extraPosition; }

private:
    std::vector<char> padded; // the line, then kLookAhead spaces
    long long extraPosition = 0;
};

bool DesignLineReader::Read(std::string_view line, int k, double* row, int unknowns, const DesignPieceReport& report)
{
    padded.resize(line.size() + kLookAhead);
    std::memcpy(padded.data(), line.data(), line.size());
    std::memset(padded.data() + line.size(), ' ', kLookAhead);
    const char* const text = padded.data();
    const char* const end = text + line.size();
    const std::string_view copy(text, line.size());
    int column = 0;
    std::uint64_t spaceBefore = 1; // the line's start counts as one
    for (const char* block = text; block < end; block += kMaskBytes) {
        const std::uint64_t spaces = SpaceMask(block);
        for (std::uint64_t starts = ~spaces & ((spaces << 1) | spaceBefore); starts != 0; starts &= starts - 1) {
            const char* const piece = block + std::countr_zero(starts);
            if (column == unknowns) {
                extraPosition = (piece - text) + 1;
                return false;
            }
            // The spaces after the line end a number at the line's end too.
            const char* const stop = ReadPlainDecimal(piece, end + kLookAhead, row[column]);
            if (stop != nullptr && *stop == ' ') {
                ++column;
                continue;
            }
            const auto pieceLength = static_cast<std::size_t>(end - piece);
            const auto* blank = static_cast<const char*>(std::memchr(piece, ' ', pieceLength));
            const char* pieceEnd = blank != nullptr ? blank : end;
            const char* numberEnd = ReadNumberPrefix(piece, pieceEnd, row[column]);
            if (report && numberEnd != pieceEnd)
                CheckPiece(piece, numberEnd, pieceEnd, row[column], copy, k, report);
            ++column;
        }
        spaceBefore = spaces >> 63;
    }
    return true;
}

// "%lf%lf": observed value, then weight, separated by any white space. The
// second conversion starts where the first one stopped, so an observed
// value that is no number (or "1,5") leaves the weight missing. rest: where
// the weight ends.
bool ReadObservationLine(std::string_view line, double& value, double& weight, const char*& rest)
{
    const char* const end = line.data() + line.size();
    const char* stop = ReadNumberPrefix(line.data(), end, value);
    rest = stop != nullptr ? ReadNumberPrefix(stop, end, weight) : nullptr;
    return rest != nullptr;
}

// Tells the caller of text after the weight, which the reader leaves alone.
void CheckObservationRest(const char* rest, std::string_view line, int k, double weight,
                          const DesignPieceReport& report)
{
    const char* end = line.data() + line.size();
    rest = std::find_if_not(rest, end, IsCSpace);
    if (rest == end)
        return;
    while (IsCSpace(end[-1]))
        --end;
    DesignPieceNotANumber cut;
    cut.line = static_cast<long long>(k) + 1;
    cut.position = (rest - line.data()) + 1;
    cut.piece = std::string_view(rest, static_cast<std::size_t>(end - rest));
    cut.value = weight;
    cut.afterWeight = true;
    report(cut);
}

bool IsValidWeight(double weight)
{
    return std::isfinite(weight) && weight > 0.0;
}

// The next of the 2n counted lines. The file may have changed since the
// count pass; a line that is now missing or empty makes the file faulty.
int NextCountedLine(LineReader& reader, std::string_view& line)
{
    if (!reader.Next(line))
        return reader.Failed() ? kStringInputFileOpenError : kStringInputFileError;
    return line.empty() ? kStringInputFileError : 0;
}

// What reading a run of the counted lines found: 0 or the message, the
// errno when the file could not be read (104), and the weights below
// kTinyWeight.
struct LinesRead {
    int result = 0;
    int errorNumber = 0;
    int tinyWeights = 0;
    InputPlace place; // of the fault behind result
};

// Reads the counted lines first .. last - 1 into problem: the n design
// lines, then the n lines of observed value and weight.
LinesRead ReadLines(LineReader& reader, int first, int last, Problem& problem, const DesignPieceReport& report)
{
    const int n = problem.observations.Rows();
    const int unknowns = problem.designMatrix.Columns();
    LinesRead read;
    std::string_view line;
    DesignLineReader designLine;
    for (int k = first; k < last && read.result == 0; ++k) {
        read.result = NextCountedLine(reader, line);
        if (read.result != 0)
            break;
        if (k < n) {
            if (!designLine.Read(line, k, problem.designMatrix[k], unknowns, report)) {
                read.result = kStringInputFileError;
                read.place = {static_cast<long long>(k) + 1, designLine.ExtraPosition()};
            }
            continue;
        }
        double& weight = problem.weightVector(k - n, 0);
        const char* rest = nullptr;
        if (!ReadObservationLine(line, problem.observations(k - n, 0), weight, rest) || !IsValidWeight(weight)) {
            read.result = kStringMissingWeight;
            read.place = {static_cast<long long>(k) + 1, 0};
            continue;
        }
        if (report)
            CheckObservationRest(rest, line, k, weight, report);
        if (weight < kTinyWeight)
            ++read.tinyWeights;
    }
    if (read.result == kStringInputFileOpenError)
        read.errorNumber = reader.ErrorNumber();
    return read;
}

// The counted lines [start.line, last) by one reader from the mark start.
LinesRead ReadLinesFrom(const InputSource& input, const LineMark& start, int last, Problem& problem,
                        const DesignPieceReport& report)
{
    const std::unique_ptr<ByteSource> pass = input.Pass(start.offset);
    if (!pass) {
        LinesRead failed;
        failed.result = kStringInputFileOpenError;
        failed.errorNumber = errno;
        return failed;
    }
    LineReader reader(*pass);
    return ReadLines(reader, static_cast<int>(start.line), last, problem, report);
}

// ---- Reading the counted lines in stretches between the line starts the
// count pass marked, on two threads at once: each takes the next stretch
// nobody has taken, so both finish together however the work of a line
// varies (design lines and observation lines, page faults). A stretch holds
// back its messages about pieces that are no number; once all are read they
// are passed on in the order of the file, up to the first stretch that
// ended in an error, as reading from start to end would. A stretch that
// cannot be used (too many such pieces, its pass cannot be opened, or it
// ended elsewhere than where the next one starts because the file changed)
// and everything after it is read again by one reader from its start, as
// if the file were read in one.

// Files with fewer marks are read by one reader: a thread would cost more.
constexpr std::size_t kMarksForStretches = 8;
// Stretches of a file at most: the last one taken decides how long the
// other thread waits.
constexpr std::size_t kStretchesAtMost = 32;
// Pieces that are no number a stretch holds back at most.
constexpr std::size_t kHeldPiecesAtMost = 1000;

struct HeldPiece {
    DesignPieceNotANumber notANumber;
    std::string piece;
};

struct Stretch {
    LineMark start;
    LineMark end; // the start of the next stretch; for the last, line 2n and no offset
    bool last = false;
    bool usable = false;
    LinesRead read;
    std::vector<HeldPiece> held;

    void Read(const InputSource& input, Problem& problem, bool withReport);
    void PassOn(const DesignPieceReport& report) const;
};

void Stretch::Read(const InputSource& input, Problem& problem, bool withReport)
{
    const std::unique_ptr<ByteSource> pass = input.Pass(start.offset);
    if (!pass)
        return;
    LineReader reader(*pass);
    // Thrown out of the reading when the pieces held would be too many.
    struct TooManyPieces {};
    DesignPieceReport hold;
    if (withReport) {
        hold = [this](const DesignPieceNotANumber& notANumber) {
            if (held.size() == kHeldPiecesAtMost)
                throw TooManyPieces();
            held.push_back(HeldPiece{notANumber, std::string(notANumber.piece)});
        };
    }
    try {
        read = ReadLines(reader, static_cast<int>(start.line), static_cast<int>(end.line), problem, hold);
    } catch (const TooManyPieces&) {
        return;
    }
    usable = last || read.result != 0 || start.offset + reader.Offset() == end.offset;
}

void Stretch::PassOn(const DesignPieceReport& report) const
{
    for (const HeldPiece& kept : held) {
        DesignPieceNotANumber notANumber = kept.notANumber;
        notANumber.piece = kept.piece;
        report(notANumber);
    }
}

// The stretches between marks of the counted lines, evenly spread over
// them; none for a short file.
std::vector<Stretch> Stretches(const Layout& layout)
{
    const auto counted = 2ull * static_cast<unsigned long long>(layout.observations);
    std::size_t usable = 0;
    while (usable < layout.marks.size() && layout.marks[usable].line < counted)
        ++usable;
    if (usable < kMarksForStretches)
        return {};
    const std::size_t count = std::min(kStretchesAtMost, usable + 1);
    std::vector<Stretch> stretches(count);
    for (std::size_t s = 1; s < count; ++s) {
        const LineMark& mark = layout.marks[(s * usable) / count];
        stretches[s - 1].end = mark;
        stretches[s].start = mark;
    }
    stretches.back().end.line = counted;
    stretches.back().last = true;
    return stretches;
}

// Reads the stretches on this thread and a helper, each taking the next
// one; a stretch that cannot be used stops the taking of those after it.
void ReadStretches(const InputSource& input, std::vector<Stretch>& stretches, Problem& problem, bool withReport)
{
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> stop{stretches.size()};
    const auto work = [&] {
        for (std::size_t s = next++; s < stop.load(); s = next++) {
            stretches[s].Read(input, problem, withReport);
            if (!stretches[s].usable) {
                std::size_t current = stop.load();
                while (s < current && !stop.compare_exchange_weak(current, s)) {
                }
            }
        }
    };
    std::thread helper = StartHelperThread(work, HelperPlacement::kAwayFromCaller);
    work();
    if (helper.joinable())
        helper.join();
}

LinesRead ReadInStretches(const InputSource& input, std::vector<Stretch>& stretches, Problem& problem,
                          const DesignPieceReport& report)
{
    ReadStretches(input, stretches, problem, static_cast<bool>(report));
    int tinyWeights = 0;
    for (const Stretch& stretch : stretches) {
        if (!stretch.usable) {
            // From here on as one reader, which meets every fault itself.
            LinesRead rest =
                ReadLinesFrom(input, stretch.start, static_cast<int>(stretches.back().end.line), problem, report);
            rest.tinyWeights += tinyWeights;
            return rest;
        }
        if (report)
            stretch.PassOn(report);
        if (stretch.read.result != 0)
            return stretch.read;
        tinyWeights += stretch.read.tinyWeights;
    }
    LinesRead all;
    all.tinyWeights = tinyWeights;
    return all;
}

// The value pass reads the 2n counted lines; what follows the first empty
// line is never read.
int ValuePass(const InputSource& input, const Layout& layout, Problem& problem, int* systemError,
              const DesignPieceReport& report, InputPlace* place)
{
    const int n = layout.observations;
    std::vector<Stretch> stretches = Stretches(layout);
    const LinesRead read = stretches.empty() ? ReadLinesFrom(input, LineMark{}, 2 * n, problem, report)
                                             : ReadInStretches(input, stretches, problem, report);
    if (read.result == kStringInputFileOpenError)
        return OpenFailure(systemError, read.errorNumber);
    if (read.result != 0 && place != nullptr)
        *place = read.place;
    if (read.result != 0)
        return read.result;
    if (read.tinyWeights == n) {
        for (int k = 0; k < n; ++k)
            problem.weightVector(k, 0) = 1.0;
    }
    return 0;
}

// The first value of the file that is not finite, row by row: the design
// block, then the observed values (the weights are checked as read).
InputPlace FirstValueNotFinite(const Problem& problem)
{
    const int n = problem.observations.Rows();
    const int u = problem.designMatrix.Columns();
    for (int i = 0; i < n; ++i) {
        const double* row = problem.designMatrix[i];
        for (int j = 0; j < u; ++j)
            if (!std::isfinite(row[j]))
                return {static_cast<long long>(i) + 1, 0, static_cast<long long>(j) + 1};
    }
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(problem.observations(i, 0)))
            return {static_cast<long long>(n) + i + 1, 0, 1};
    return {};
}

// A UTF-16 file (its byte-order mark) would be read as bytes and give
// values nobody wrote; it is refused with its own message.
int CheckEncoding(const InputSource& input, int* systemError)
{
    const std::unique_ptr<ByteSource> pass = input.Pass();
    if (!pass)
        return OpenFailure(systemError, errno);
    unsigned char start[2] = {0, 0};
    const std::size_t read = pass->Read(reinterpret_cast<char*>(start), sizeof start);
    if (pass->Failed())
        return OpenFailure(systemError, pass->ErrorNumber());
    const bool utf16 = read == 2 && ((start[0] == 0xFF && start[1] == 0xFE) || (start[0] == 0xFE && start[1] == 0xFF));
    return utf16 ? kStringUtf16 : 0;
}

// The layout and the values of the file, into problem.
int ReadProblem(const std::string& fileName, Problem& problem, int* systemError, const DesignPieceReport& report,
                InputPlace* place)
{
    if (fileName.empty())
        return kStringNoInputFile;
    InputSource input;
    if (!input.Open(fileName))
        return OpenFailure(systemError, input.ErrorNumber());
    if (const int result = CheckEncoding(input, systemError))
        return result;
    Layout layout;
    if (const int result = ReadLayout(input, layout, systemError))
        return result;
    problem = NewProblem(layout);
    const int result = ValuePass(input, layout, problem, systemError, report, place);
    if (result == 0 && place != nullptr)
        *place = FirstValueNotFinite(problem);
    return result;
}

void TakeProblem(Problem& problem, Matrix& designMatrix, Matrix& observations)
{
    designMatrix = std::move(problem.designMatrix);
    observations = std::move(problem.observations);
}

// Weights n x n (diagonal) or n x 1; every other shape cannot be written.
bool ShapesFit(const Matrix& designMatrix, const Matrix& observations, const Matrix& weights)
{
    if (!designMatrix.IsValid() || !observations.IsValid() || !weights.IsValid())
        return false;
    const int n = observations.Rows();
    // A row without elements would be written as an empty line, which ends
    // the data for the reader.
    const bool designFits = designMatrix.Rows() == n && (n == 0 || designMatrix.Columns() >= 1);
    const bool weightsFit = weights.Rows() == n && (weights.Columns() == n || weights.Columns() == 1);
    return designFits && observations.Columns() >= 1 && weightsFit;
}

double WeightOf(const Matrix& weights, int i)
{
    return weights.Columns() == 1 ? weights(i, 0) : weights(i, i);
}

// Lines end with CR LF, as in the text mode of the platform the files
// come from.
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kWriteChunkSize = 1 << 20;

bool Flush(OutputFile& file, std::string& text)
{
    const bool written = file.Write(text);
    text.clear();
    return written;
}

bool WriteLines(OutputFile& file, const Matrix& designMatrix, const Matrix& observations, const Matrix& weights)
{
    std::string text;
    text.reserve(kWriteChunkSize + 64);
    for (int i = 0; i < designMatrix.Rows(); ++i) {
        for (int j = 0; j < designMatrix.Columns(); ++j) {
            AppendFixedOrExact(text, designMatrix(i, j), 15, 5);
            text += ' ';
            if (text.size() >= kWriteChunkSize && !Flush(file, text))
                return false;
        }
        text += kLineEnd;
    }
    for (int i = 0; i < observations.Rows(); ++i) {
        AppendFixedOrExact(text, observations(i, 0), 15, 5);
        text += "  ";
        AppendFixedOrExact(text, WeightOf(weights, i), 15, 5);
        text += kLineEnd;
        if (text.size() >= kWriteChunkSize && !Flush(file, text))
            return false;
    }
    return Flush(file, text);
}

}  // namespace

std::string PlaceText(const InputPlace& place)
{
    if (place.line == 0)
        return {};
    if (place.value != 0)
        return FormatString(kStringLineAndValue, {std::to_string(place.line), std::to_string(place.value)});
    if (place.position == 0)
        return FormatString(kStringLine, std::to_string(place.line));
    return FormatString(kStringLineAndPosition, {std::to_string(place.line), std::to_string(place.position)});
}

int ReadInputFile(const std::string& fileName, Matrix& designMatrix, Matrix& observations, Matrix& weights,
                  int* systemError, const DesignPieceReport& report, InputPlace* place)
{
    Problem problem;
    if (const int result = ReadProblem(fileName, problem, systemError, report, place))
        return result;
    const int n = problem.observations.Rows();
    Matrix weightMatrix = NewMatrix(n, n);
    for (int k = 0; k < n; ++k)
        weightMatrix(k, k) = problem.weightVector(k, 0);
    TakeProblem(problem, designMatrix, observations);
    weights = std::move(weightMatrix);
    return 0;
}

int ReadInputFileWeightVector(const std::string& fileName, Matrix& designMatrix, Matrix& observations,
                              Matrix& weightVector, int* systemError, const DesignPieceReport& report,
                              InputPlace* place)
{
    Problem problem;
    if (const int result = ReadProblem(fileName, problem, systemError, report, place))
        return result;
    TakeProblem(problem, designMatrix, observations);
    weightVector = std::move(problem.weightVector);
    return 0;
}

int WriteInputFile(const std::string& fileName, const Matrix& designMatrix, const Matrix& observations,
                   const Matrix& weights, OutputError* error)
{
    if (!ShapesFit(designMatrix, observations, weights))
        return kStringInputFileError;
    // The user's data cannot be made again: on the disk before it replaces the old file.
    OutputFile file;
    const bool written = file.Open(fileName, OutputDurability::kSynced) &&
                         WriteLines(file, designMatrix, observations, weights) && file.Commit();
    if (error != nullptr)
        *error = file.Error();
    if (written)
        return 0;
    return file.Error().stage == OutputError::kCreate ? kStringInputFileOpenError : kStringFileWriteError;
}
