#include "io/input_file.h"
// Input file reader and writer: being written.
int ReadInputFile(const std::string&, Matrix&, Matrix&, Matrix&) { return 104; }
int ReadInputFileWeightVector(const std::string&, Matrix&, Matrix&, Matrix&) { return 104; }
int WriteInputFile(const std::string&, const Matrix&, const Matrix&, const Matrix&) { return 104; }
