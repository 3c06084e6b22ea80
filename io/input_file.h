#pragma once

#include "core/matrix.h"
#include "core/output_file.h"

#include <functional>
#include <string>
#include <string_view>

// The .EIN input file: n design lines (u values separated by blanks),
// then n lines of observed value and weight. No header; n and u follow
// from the layout. The reader stops at the first empty line.
//
// Each operation returns 0 on success or the string id of the message to
// show (102, 103, 104, 118, 119, 136); on failure the matrices are unchanged.
// Throws std::bad_alloc when the matrices cannot be allocated.
//
// Reading checks, in this order: empty name (103); count pass: cannot
// open or read (104), odd number of lines before the first empty line
// (102); column pass: cannot open or read (104), n = 0 (119), a first line
// of blanks only (102); value pass: cannot open or read (104), a design
// line with more values than the first line (102), a weight missing,
// <= 0 or not finite (118). Numbers are read like "%lf" in the "C" locale.
// A UTF-8 byte-order mark at the start of the file is skipped. Standard
// input (/dev/stdin), pipes and other files that can be read only once are
// read once into a temporary copy (io/input_source.h).
//
// Writing: every number as "%15.5f" when five decimals give it back
// exactly, else in the shortest form that does, right-aligned in 15
// characters (so files of ordinary data look as they always did, and no
// digit is lost). 102 without touching the file when the shapes do not fit
// (design n x u with u >= 1, observations n x 1, weights n x n or n x 1);
// 104 when the file cannot be created, 136 (its text takes the file name)
// when writing it failed. The file is written beside its name, on the disk
// before it is put in place, and only when complete (core/output_file.h):
// on failure a previous file stays as it was.
//
// Why opening or reading failed (104): systemError, when given, receives
// the errno, so that a front end can say why; it is left alone with every
// other result. Why writing failed: error, when given, receives the stage
// and the errno.

// A design piece that is not wholly a number. The reader keeps what "%lf"
// reads of it, 0.0 when it does not begin with a number (stored files rely
// on that); a caller may tell the user.
struct DesignPieceNotANumber {
    long long line = 0;     // counted from 1
    long long position = 0; // of the piece's first character in its line, from 1
    std::string_view piece;
    double value = 0.0;     // the value stored for it
};
using DesignPieceReport = std::function<void(const DesignPieceNotANumber&)>;

// weights becomes n x n with the weights on the diagonal.
int ReadInputFile(const std::string& fileName, Matrix& designMatrix, Matrix& observations, Matrix& weights,
                  int* systemError = nullptr, const DesignPieceReport& report = nullptr);

// weightVector becomes n x 1: for problems too large for an n x n matrix.
int ReadInputFileWeightVector(const std::string& fileName, Matrix& designMatrix, Matrix& observations,
                              Matrix& weightVector, int* systemError = nullptr,
                              const DesignPieceReport& report = nullptr);

// Writes the diagonal of weights (n x n). weights may also be n x 1.
int WriteInputFile(const std::string& fileName, const Matrix& designMatrix, const Matrix& observations,
                   const Matrix& weights, OutputError* error = nullptr);
