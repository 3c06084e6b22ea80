#pragma once

#include <cstddef>
#include <vector>

class ReportFile;

// Dense matrix of doubles. The rows lie one after the other in one block
// owned by the matrix, so a copy is always deep and nothing is shared; row
// i starts i * Columns() elements into it. No table of row pointers: for
// the reader's n x 1 vectors such a table was as large as the vector, and
// its first touch a noticeable part of reading a large file. A vector is a
// matrix with one column. Element access is unchecked; callers guarantee
// sizes.
//
// Storage exhaustion makes construction and Resize yield an invalid matrix
// (Rows() == -1, no storage); every loop over its rows then runs zero
// times. Assignment cannot leave its target half-built and throws
// std::bad_alloc instead.
class Matrix {
public:
    Matrix() : Matrix(1, 1, 0.0) {}
    Matrix(int rows, int columns, double initial);
    Matrix(const Matrix& other);
    Matrix(Matrix&& other) noexcept;
    Matrix& operator=(const Matrix& other);
    Matrix& operator=(Matrix&& other) noexcept;
    virtual ~Matrix();

    // Rebuilds the matrix as rows x columns filled with initial.
    // 0 on success, 1 when storage was not obtained (matrix invalid).
    int Resize(int rows, int columns, double initial);

    int Rows() const { return rowCount; }
    int Columns() const { return columnCount; }
    bool IsValid() const { return rowCount >= 0; }

    // The rows lie one after the other in one block: element (i, j) is
    // Data()[i * Columns() + j]. The hot loops of the engine use this.
    double* Data() { return block; }
    const double* Data() const { return block; }

    double* operator[](int row) { return block + RowOffset(row); }
    const double* operator[](int row) const { return block + RowOffset(row); }
    double& operator()(int row, int column) { return (*this)[row][column]; }
    double operator()(int row, int column) const { return (*this)[row][column]; }

    // Plain triple loop; each element summed over k ascending from 0.0.
    Matrix operator*(const Matrix& right) const;
    Matrix operator-(const Matrix& right) const;
    Matrix Transpose() const;

    // In-place inverse by Gauss-Jordan exchange steps without pivoting.
    // A zero pivot spreads infinities and NaNs; the result is always 1.
    int Invert();

    // Every element as "%25.15f", a line end after each row and one more
    // after the last row. Always 0.
    int Print(ReportFile& file) const;

    // L1 solution of A x = b by the Barrodale-Roberts simplex; called on
    // the solution vector x. Afterwards x is N x 1 and residuals is M x 1
    // with residuals(i) = a(i) x - b(i). With basic: M flags, true for the
    // basic observations, those the solution passes through (their
    // residuals are 0); empty when no solution was computed. With sides: M
    // entries, the sign the simplex gives each residual outside the basis
    // (+1 or -1, for a residual of 0 too), 0 for the basic ones.
    void SolveL1(Matrix A, Matrix b, Matrix& residuals, std::vector<bool>* basic = nullptr,
                 std::vector<signed char>* sides = nullptr);

private:
    // The block zeroed on request.
    bool Allocate(int rows, int columns, bool zeroed);
    void Release();
    void Fill(double value);
    void CopyElementsFrom(const Matrix& other);
    std::ptrdiff_t RowOffset(int row) const
    {
        return static_cast<std::ptrdiff_t>(row) * static_cast<std::ptrdiff_t>(columnCount);
    }

    int rowCount = -1;
    int columnCount = 0;
    double* block = nullptr;
};

// True when every element is finite (no infinity, no NaN).
bool AllFinite(const Matrix& matrix);
