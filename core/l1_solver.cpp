#include "core/matrix.h"
// Barrodale-Roberts L1 solver: being written.
void Matrix::SolveL1(Matrix, Matrix, Matrix&) {}
