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
// show (102, 103, 104, 118, 119, 136, 141); on failure the matrices are unchanged.
// Throws std::bad_alloc when the matrices cannot be allocated.
//
// Reading checks, in this order: empty name (103); a UTF-16 byte-order
// mark (141); count pass: cannot open or read (104), odd number of lines before the first empty line
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

// A value the reader cuts short. In the design block, a piece that is not
// wholly a number: the reader keeps what "%lf" reads of it, 0.0 when it
// does not begin with a number (stored files rely on that). In the block of
// observations, text after the weight ("2,5" leaves ",5", "1 ; note" leaves
// "; note"), which the reader never read. A caller may tell the user.
struct DesignPieceNotANumber {
    long long line = 0;     // counted from 1
    long long position = 0; // of the piece's first character in its line, from 1
    std::string_view piece; // in the block of observations: what follows the weight, without white space at its ends
    double value = 0.0;     // the value stored for it; for an observation line its weight
    bool afterWeight = false; // in the block of observations
};
using DesignPieceReport = std::function<void(const DesignPieceNotANumber&)>;

// Where the value pass found the fault it rejects the file for (102 for a
// design line with too many values, 118): the line, and for the design
// block the position of the first value too many. 0 where no line is to
// blame (the layout, a file that cannot be read). A file read without
// fault may still hold values that are not finite (1e309, inf, nan), which
// no computation survives: then the first of them, by its line and its
// number among the values of the line.
struct InputPlace {
    long long line = 0;     // counted from 1
    long long position = 0; // from 1; 0 in the block of observations
    long long value = 0;    // from 1, for a value that is not finite
};

// "Zeile 7, Stelle 5", "Zeile 7, Wert 2" or "Zeile 7"; empty for no place.
std::string PlaceText(const InputPlace& place);

// weights becomes n x n with the weights on the diagonal.
int ReadInputFile(const std::string& fileName, Matrix& designMatrix, Matrix& observations, Matrix& weights,
                  int* systemError = nullptr, const DesignPieceReport& report = nullptr, InputPlace* place = nullptr);

// weightVector becomes n x 1: for problems too large for an n x n matrix.
int ReadInputFileWeightVector(const std::string& fileName, Matrix& designMatrix, Matrix& observations,
                              Matrix& weightVector, int* systemError = nullptr,
                              const DesignPieceReport& report = nullptr, InputPlace* place = nullptr);

// Writes the diagonal of weights (n x n). weights may also be n x 1.
int WriteInputFile(const std::string& fileName, const Matrix& designMatrix, const Matrix& observations,
                   const Matrix& weights, OutputError* error = nullptr);
