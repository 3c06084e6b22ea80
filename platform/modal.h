#pragma once

#include "platform/seam.h"

class QDialog;

namespace platform {

// Every modal dialog of the program runs through ExecModal, so that a test
// can answer it (accept, reject, inspect) without a person. Without a
// handler the dialog runs its own modal loop (QDialog::exec).
int ExecModal(QDialog& dialog);

Seam<int(QDialog& dialog)>& ModalSeam();

} // namespace platform
