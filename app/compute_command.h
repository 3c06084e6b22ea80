#pragma once

#include "io/input_file.h"

class CMainDlg;

// The compute command "Rechnen" of the main dialog: re-reads the dialog,
// reads the input file into its matrices and runs the chosen method, an
// M-estimator through the engine (after the tuning dialog) or a norm
// through the Lp library. Reports the outcome in a message box; running
// out of memory ends the command with its message. The problem moves into
// the run, with the weights as a vector, and the dialog gives its memory
// back when the run has ended.
void RunComputeCommand(CMainDlg& dialog);

// Reads the input file named in the dialog into its three matrices, the
// weights as an n x 1 vector. On failure shows the reader's message,
// leaves the matrices as they were and returns false. notFinite, when
// given, receives the place of the first value that is not finite.
bool ReadProblem(CMainDlg& dialog, InputPlace* notFinite = nullptr);
