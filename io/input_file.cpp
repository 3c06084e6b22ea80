#include "io/input_file.h"

#include "core/number_text.h"
#include "io/line_reader.h"
#include "res/string_table.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>

namespace {

// A weight this small counts as "tiny"; when every weight is tiny, the
// file's weights are taken as equal and all become 1.0.
constexpr double kTinyWeight = 1e-16;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle OpenFile(const std::string& fileName, const char* mode)
{
    // A name with a NUL byte would open a different, shorter name.
    if (fileName.find('\0') != std::string::npos) {
        errno = EINVAL;
        return nullptr;
    }
    return FileHandle(std::fopen(fileName.c_str(), mode));
}

// 104, the message of a failed open, read or write; its cause (errno at
// the moment of failure) goes to the caller's systemError.
int OpenFailure(int* systemError, int errorNumber)
{
    if (systemError != nullptr)
        *systemError = errorNumber;
    return kStringInputFileOpenError;
}

// n observations and u unknowns, as the layout of the file gives them.
struct Layout {
    int observations = 0;
    int unknowns = 0;
};

// The count pass: n is half the number of lines before the first empty line.
int CountPass(const std::string& fileName, unsigned long long& lineCount, int* systemError)
{
    const FileHandle file = OpenFile(fileName, "rb");
    if (!file || !CountLinesBeforeEmptyLine(file.get(), lineCount))
        return OpenFailure(systemError, errno);
    return lineCount % 2 != 0 ? kStringInputFileError : 0;
}

// The column pass: u is the number of values in the first line.
int ColumnPass(const std::string& fileName, unsigned long long& valueCount, int* systemError)
{
    const FileHandle file = OpenFile(fileName, "rb");
    if (!file || !CountValuesInFirstLine(file.get(), valueCount))
        return OpenFailure(systemError, errno);
    return 0;
}

int ReadLayout(const std::string& fileName, Layout& layout, int* systemError)
{
    if (fileName.empty())
        return kStringNoInputFile;
    unsigned long long lineCount = 0;
    if (const int result = CountPass(fileName, lineCount, systemError))
        return result;
    unsigned long long valueCount = 0;
    if (const int result = ColumnPass(fileName, valueCount, systemError))
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

// Pieces are separated by runs of the space character only; a tab belongs
// to its piece, which is read up to it. A piece that is no number leaves
// its element at 0.0. False when the line holds more than u pieces.
bool ReadDesignLine(std::string_view line, double* row, int unknowns)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    int column = 0;
    for (;;) {
        while (p != end && *p == ' ')
            ++p;
        if (p == end)
            return true;
        if (column == unknowns)
            return false;
        const auto* blank = static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(end - p)));
        const char* pieceEnd = blank != nullptr ? blank : end;
        ReadNumberPrefix(p, pieceEnd, row[column]);
        ++column;
        p = pieceEnd;
    }
}

// "%lf%lf": observed value, then weight, separated by any white space. The
// second conversion starts where the first one stopped, so an observed
// value that is no number (or "1,5") leaves the weight missing.
bool ReadObservationLine(std::string_view line, double& value, double& weight)
{
    const char* const end = line.data() + line.size();
    const char* stop = ReadNumberPrefix(line.data(), end, value);
    return stop != nullptr && ReadNumberPrefix(stop, end, weight) != nullptr;
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

int ReadDesignBlock(LineReader& reader, const Layout& layout, Matrix& designMatrix)
{
    std::string_view line;
    for (int k = 0; k < layout.observations; ++k) {
        if (const int result = NextCountedLine(reader, line))
            return result;
        if (!ReadDesignLine(line, designMatrix[k], layout.unknowns))
            return kStringInputFileError;
    }
    return 0;
}

int ReadObservationBlock(LineReader& reader, const Layout& layout, Problem& problem)
{
    std::string_view line;
    int tinyWeights = 0;
    for (int k = 0; k < layout.observations; ++k) {
        if (const int result = NextCountedLine(reader, line))
            return result;
        double& weight = problem.weightVector(k, 0);
        if (!ReadObservationLine(line, problem.observations(k, 0), weight) || !IsValidWeight(weight))
            return kStringMissingWeight;
        if (weight < kTinyWeight)
            ++tinyWeights;
    }
    if (tinyWeights == layout.observations) {
        for (int k = 0; k < layout.observations; ++k)
            problem.weightVector(k, 0) = 1.0;
    }
    return 0;
}

// The value pass reads the 2n counted lines; what follows the first empty
// line is never read.
int ValuePass(const std::string& fileName, const Layout& layout, Problem& problem, int* systemError)
{
    const FileHandle file = OpenFile(fileName, "rb");
    if (!file)
        return OpenFailure(systemError, errno);
    LineReader reader(file.get());
    int result = ReadDesignBlock(reader, layout, problem.designMatrix);
    if (result == 0)
        result = ReadObservationBlock(reader, layout, problem);
    // 104 from the blocks: the reader could not read on.
    return result == kStringInputFileOpenError ? OpenFailure(systemError, reader.ErrorNumber()) : result;
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

bool Flush(std::FILE* file, std::string& text)
{
    const bool written = text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
    text.clear();
    return written;
}

bool WriteLines(std::FILE* file, const Matrix& designMatrix, const Matrix& observations, const Matrix& weights)
{
    std::string text;
    text.reserve(kWriteChunkSize + 64);
    for (int i = 0; i < designMatrix.Rows(); ++i) {
        for (int j = 0; j < designMatrix.Columns(); ++j) {
            AppendFixed(text, designMatrix(i, j), 15, 5);
            text += ' ';
            if (text.size() >= kWriteChunkSize && !Flush(file, text))
                return false;
        }
        text += kLineEnd;
    }
    for (int i = 0; i < observations.Rows(); ++i) {
        AppendFixed(text, observations(i, 0), 15, 5);
        text += "  ";
        AppendFixed(text, WeightOf(weights, i), 15, 5);
        text += kLineEnd;
        if (text.size() >= kWriteChunkSize && !Flush(file, text))
            return false;
    }
    return Flush(file, text);
}

}  // namespace

int ReadInputFile(const std::string& fileName, Matrix& designMatrix, Matrix& observations, Matrix& weights,
                  int* systemError)
{
    Layout layout;
    if (const int result = ReadLayout(fileName, layout, systemError))
        return result;
    Problem problem = NewProblem(layout);
    Matrix weightMatrix = NewMatrix(layout.observations, layout.observations);
    if (const int result = ValuePass(fileName, layout, problem, systemError))
        return result;
    for (int k = 0; k < layout.observations; ++k)
        weightMatrix(k, k) = problem.weightVector(k, 0);
    TakeProblem(problem, designMatrix, observations);
    weights = std::move(weightMatrix);
    return 0;
}

int ReadInputFileWeightVector(const std::string& fileName, Matrix& designMatrix, Matrix& observations,
                              Matrix& weightVector, int* systemError)
{
    Layout layout;
    if (const int result = ReadLayout(fileName, layout, systemError))
        return result;
    Problem problem = NewProblem(layout);
    if (const int result = ValuePass(fileName, layout, problem, systemError))
        return result;
    TakeProblem(problem, designMatrix, observations);
    weightVector = std::move(problem.weightVector);
    return 0;
}

int WriteInputFile(const std::string& fileName, const Matrix& designMatrix, const Matrix& observations,
                   const Matrix& weights, int* systemError)
{
    if (!ShapesFit(designMatrix, observations, weights))
        return kStringInputFileError;
    FileHandle file = OpenFile(fileName, "wb");
    if (!file)
        return OpenFailure(systemError, errno);
    const bool written = WriteLines(file.get(), designMatrix, observations, weights);
    const int writeError = errno;
    // Closing flushes the last buffered bytes: a full disk shows here too.
    const bool closed = std::fclose(file.release()) == 0;
    if (written && closed)
        return 0;
    return OpenFailure(systemError, written ? errno : writeError);
}
