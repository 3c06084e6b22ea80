#pragma once

class CMainDlg;

// The compute command "Rechnen" of the main dialog: re-reads the dialog,
// reads the input file into its matrices and runs the chosen method, an
// M-estimator through the engine (after the tuning dialog) or a norm
// through the Lp library. Reports the outcome in a message box; running
// out of memory ends the command with its message and leaves the dialog's
// state as it was.
void RunComputeCommand(CMainDlg& dialog);
