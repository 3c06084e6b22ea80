#pragma once

#include "core/matrix.h"

#include <string>

// The .EIN input file: n design lines (u values separated by blanks),
// then n lines of observed value and weight. No header; n and u follow
// from the layout. The reader stops at the first empty line.
//
// Each operation returns 0 on success or the string id of the message to
// show (102, 103, 104, 118, 119); on failure the matrices are unchanged.
// Throws std::bad_alloc when the matrices cannot be allocated.
//
// Reading checks, in this order: empty name (103); count pass: cannot
// open or read (104), odd number of lines before the first empty line
// (102); column pass: cannot open or read (104), n = 0 (119), a first line
// of blanks only (102); value pass: cannot open or read (104), a design
// line with more values than the first line (102), a weight missing,
// <= 0 or not finite (118). Numbers are read like "%lf" in the "C" locale.
//
// Writing: 102 without touching the file when the shapes do not fit
// (design n x u with u >= 1, observations n x 1, weights n x n or n x 1);
// 104 when the file cannot be opened or not be written completely.
//
// With 104, systemError (when given) receives the errno of the failed
// open, read or write, so that a front end can say why; it is left alone
// with every other result.

// weights becomes n x n with the weights on the diagonal.
int ReadInputFile(const std::string& fileName, Matrix& designMatrix, Matrix& observations, Matrix& weights,
                  int* systemError = nullptr);

// weightVector becomes n x 1: for problems too large for an n x n matrix.
int ReadInputFileWeightVector(const std::string& fileName, Matrix& designMatrix, Matrix& observations,
                              Matrix& weightVector, int* systemError = nullptr);

// Writes the diagonal of weights (n x n). weights may also be n x 1.
int WriteInputFile(const std::string& fileName, const Matrix& designMatrix, const Matrix& observations,
                   const Matrix& weights, int* systemError = nullptr);
