// The input file reader on any bytes: both weight forms agree, an accepted
// file has the shape the reader promises, and writing it back and reading
// that again gives the same shape and the same numbers.

#include "fuzz/fuzz_support.h"

#include "core/matrix.h"
#include "io/input_file.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

// The square weight form allocates n x n: only for files this short.
constexpr long kSquareFormLineLimit = 200;

bool SameBits(double a, double b)
{
    return std::isnan(a) ? std::isnan(b) : a == b && std::signbit(a) == std::signbit(b);
}

void CheckShape(const Matrix& A, const Matrix& l, const Matrix& p)
{
    const int n = A.Rows();
    FUZZ_CHECK(n >= 1 && A.Columns() >= 1);
    FUZZ_CHECK(l.Rows() == n && l.Columns() == 1);
    FUZZ_CHECK(p.Rows() == n && p.Columns() == 1);
    for (int i = 0; i < n; ++i)
        FUZZ_CHECK(std::isfinite(p(i, 0)) && p(i, 0) > 0.0);
}

// The n x n form holds the same design, observations and weights, the
// weights on its diagonal and zeros elsewhere; a refused file is refused
// with the same message.
void CheckSquareFormAgrees(const std::string& path, int vectorResult, const Matrix& A, const Matrix& l,
                           const Matrix& p)
{
    Matrix squareA;
    Matrix squareL;
    Matrix W;
    const int squareResult = ReadInputFile(path, squareA, squareL, W);
    FUZZ_CHECK(squareResult == vectorResult);
    if (squareResult != 0)
        return;
    const int n = A.Rows();
    FUZZ_CHECK(squareA.Rows() == n && squareA.Columns() == A.Columns() && W.Rows() == n && W.Columns() == n);
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < A.Columns(); ++k)
            FUZZ_CHECK(SameBits(squareA(i, k), A(i, k)));
        FUZZ_CHECK(SameBits(squareL(i, 0), l(i, 0)));
        for (int j = 0; j < n; ++j)
            FUZZ_CHECK(SameBits(W(i, j), i == j ? p(i, 0) : 0.0));
    }
}

// Written back, the file reads again as the very same numbers: the writer
// keeps every digit that five decimals would lose.
void CheckWriteAndReadBack(const Matrix& A, const Matrix& l, const Matrix& p)
{
    const std::string written = fuzz::ScratchPath("written.EIN");
    FUZZ_CHECK(WriteInputFile(written, A, l, p) == 0);
    Matrix againA;
    Matrix againL;
    Matrix againP;
    FUZZ_CHECK(ReadInputFileWeightVector(written, againA, againL, againP) == 0);
    FUZZ_CHECK(againA.Rows() == A.Rows() && againA.Columns() == A.Columns());
    for (int i = 0; i < A.Rows(); ++i) {
        for (int k = 0; k < A.Columns(); ++k)
            FUZZ_CHECK(SameBits(A(i, k), againA(i, k)));
        FUZZ_CHECK(SameBits(l(i, 0), againL(i, 0)));
        FUZZ_CHECK(SameBits(p(i, 0), againP(i, 0)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzz::ScratchPath("input.EIN");
    fuzz::WriteBytes(path, data, size);
    Matrix A;
    Matrix l;
    Matrix p;
    const int result = ReadInputFileWeightVector(path, A, l, p);
    if (std::count(data, data + size, '\n') < kSquareFormLineLimit)
        CheckSquareFormAgrees(path, result, A, l, p);
    if (result != 0)
        return 0;
    CheckShape(A, l, p);
    CheckWriteAndReadBack(A, l, p);
    return 0;
}
