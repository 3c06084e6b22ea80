#pragma once

#include <functional>

class QDialog;

namespace platform {

// Every modal dialog of the program runs through ExecModal, so that a test
// can answer it (accept, reject, inspect) without a person. Without a
// handler the dialog runs its own modal loop (QDialog::exec).
int ExecModal(QDialog& dialog);

using ModalHandler = std::function<int(QDialog& dialog)>;

// Installs handler for every later ExecModal; an empty handler restores
// the real modal loop. Returns the handler that was installed before.
ModalHandler SetModalHandler(ModalHandler handler);

} // namespace platform
