#include "core/matrix.h"

#include "core/number_text.h"
#include "core/report_file.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>

// A matrix of +0.0 takes its block zeroed from the allocator: a large
// block comes from the system already zero, and its pages are first
// touched by whoever writes them (the reader's threads), not here.
namespace {
bool IsPositiveZero(double value)
{
    return value == 0.0 && !std::signbit(value);
}

// Large blocks are mappings of their own, so that they come zeroed without
// being touched here, and go back to the system when freed. No transparent
// huge pages: on a virtual machine that hands free memory back to its host,
// a huge page is mostly memory the host must supply anew, and its first
// touch then costs several times what the small pages cost (measured:
// 160 MB in 0.3 to 0.4 s against 0.07 s).
constexpr std::size_t kMappedBlockBytes = std::size_t{8} << 20;

void* MapBlock(std::size_t bytes)
{
    void* const region = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return region == MAP_FAILED ? nullptr : region;
}

// The bytes of a block (one element at least).
std::size_t BlockBytes(int rows, int columns)
{
    return std::max<std::size_t>(static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns), 1) *
           sizeof(double);
}

// Storage for a block: a mapping when large (zeroed), else from the heap
// (zeroed on request); nullptr when there is none.
void* Obtain(std::size_t bytes, bool zeroed)
{
    if (bytes >= kMappedBlockBytes)
        return MapBlock(bytes);
    return zeroed ? std::calloc(1, bytes) : std::malloc(bytes);
}

void Give(void* storage, std::size_t bytes)
{
    if (storage != nullptr && bytes >= kMappedBlockBytes)
        munmap(storage, bytes);
    else
        std::free(storage);
}
} // namespace

Matrix::Matrix(int rows, int columns, double initial)
{
    Resize(rows, columns, initial);
}

Matrix::Matrix(const Matrix& other)
{
    if (other.IsValid() && Allocate(other.rowCount, other.columnCount, false))
        CopyElementsFrom(other);
}

Matrix::Matrix(Matrix&& other) noexcept
    : rowCount(std::exchange(other.rowCount, -1)),
      columnCount(std::exchange(other.columnCount, 0)),
      block(std::exchange(other.block, nullptr))
{
}

Matrix& Matrix::operator=(const Matrix& other)
{
    if (this == &other)
        return *this;
    if (!other.IsValid()) {
        Release();
        return *this;
    }
    Matrix copy(other);
    if (!copy.IsValid())
        throw std::bad_alloc();
    return *this = std::move(copy);
}

Matrix& Matrix::operator=(Matrix&& other) noexcept
{
    if (this != &other) {
        Release();
        rowCount = std::exchange(other.rowCount, -1);
        columnCount = std::exchange(other.columnCount, 0);
        block = std::exchange(other.block, nullptr);
    }
    return *this;
}

Matrix::~Matrix()
{
    Release();
}

int Matrix::Resize(int rows, int columns, double initial)
{
    Release();
    if (!Allocate(rows, columns, IsPositiveZero(initial)))
        return 1;
    if (!IsPositiveZero(initial))
        Fill(initial);
    return 0;
}

bool Matrix::Allocate(int rows, int columns, bool zeroed)
{
    rowCount = -1;
    columnCount = columns;
    if (rows < 0 || columns < 0)
        return false;
    const std::size_t elements = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (columns != 0 && elements / static_cast<std::size_t>(columns) != static_cast<std::size_t>(rows))
        return false;
    if (elements > static_cast<std::size_t>(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(double))
        return false;
    block = static_cast<double*>(Obtain(BlockBytes(rows, columns), zeroed));
    if (block == nullptr)
        return false;
    rowCount = rows;
    return true;
}

void Matrix::Release()
{
    if (rowCount >= 0)
        Give(block, BlockBytes(rowCount, columnCount));
    block = nullptr;
    rowCount = -1;
}

void Matrix::Fill(double value)
{
    const std::size_t elements = static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(columnCount);
    for (std::size_t e = 0; e < elements; ++e)
        block[e] = value;
}

void Matrix::CopyElementsFrom(const Matrix& other)
{
    const std::size_t elements = static_cast<std::size_t>(rowCount) * static_cast<std::size_t>(columnCount);
    if (elements > 0)
        std::memcpy(block, other.block, elements * sizeof(double));
}

Matrix Matrix::operator*(const Matrix& right) const
{
    // An invalid operand's column count means nothing: no storage for it.
    if (!IsValid() || !right.IsValid())
        return Matrix(-1, 0, 0.0);
    Matrix result(rowCount, right.columnCount, 0.0);
    for (int i = 0; i < result.rowCount; ++i) {
        for (int j = 0; j < result.columnCount; ++j) {
            double sum = 0.0;
            for (int k = 0; k < columnCount; ++k)
                sum += (*this)[i][k] * right[k][j];
            result[i][j] = sum;
        }
    }
    return result;
}

Matrix Matrix::operator-(const Matrix& right) const
{
    if (!IsValid() || !right.IsValid())
        return Matrix(-1, 0, 0.0);
    Matrix result(rowCount, columnCount, 0.0);
    for (int i = 0; i < result.rowCount; ++i)
        for (int j = 0; j < columnCount; ++j)
            result[i][j] = (*this)[i][j] - right[i][j];
    return result;
}

Matrix Matrix::Transpose() const
{
    if (!IsValid())
        return Matrix(-1, 0, 0.0);
    Matrix result(columnCount, rowCount, 0.0);
    for (int i = 0; i < result.rowCount; ++i)
        for (int j = 0; j < result.columnCount; ++j)
            result[i][j] = (*this)[j][i];
    return result;
}

int Matrix::Invert()
{
    const int n = rowCount;
    for (int p = 0; p < n; ++p) {
        double* pivotRow = (*this)[p];
        pivotRow[p] = 1.0 / pivotRow[p];
        const double pivot = pivotRow[p];
        for (int j = 0; j < n; ++j)
            if (j != p)
                pivotRow[j] = -(pivot * pivotRow[j]);
        for (int i = 0; i < n; ++i) {
            if (i == p)
                continue;
            double* row = (*this)[i];
            const double oldColumnValue = row[p];
            for (int j = 0; j < n; ++j)
                if (j != p)
                    row[j] = row[j] + pivotRow[j] * oldColumnValue;
        }
        for (int i = 0; i < n; ++i)
            if (i != p)
                (*this)[i][p] = pivot * (*this)[i][p];
    }
    return 1;
}

int Matrix::Print(ReportFile& file) const
{
    constexpr int kWidth = 25;
    const auto columns = static_cast<std::size_t>(columnCount);
    const std::size_t rowRoom = columns * (kWidth + kFixedFieldRoom) + kReportLineEnd.size();
    file.WriteTable(static_cast<std::size_t>(std::max(rowCount, 0)), columns * kWidth + kReportLineEnd.size(),
                    [this, rowRoom](std::size_t first, std::size_t last, TextPiece& text) {
                        for (std::size_t i = first; i < last; ++i) {
                            char* out = text.Room(rowRoom);
                            const double* row = (*this)[static_cast<int>(i)];
                            out = WriteFixedFields(out, row, static_cast<std::size_t>(columnCount), kWidth, 15);
                            std::memcpy(out, kReportLineEnd.data(), kReportLineEnd.size());
                            text.Advance(out + kReportLineEnd.size());
                        }
                    });
    file.WriteString("\n");
    return 0;
}

bool AllFinite(const Matrix& matrix)
{
    for (int i = 0; i < matrix.Rows(); ++i)
        for (int j = 0; j < matrix.Columns(); ++j)
            if (!std::isfinite(matrix[i][j]))
                return false;
    return true;
}
