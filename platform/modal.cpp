#include "platform/modal.h"

#include <QDialog>

namespace platform {

Seam<int(QDialog& dialog)>& ModalSeam()
{
    static Seam<int(QDialog& dialog)> seam;
    return seam;
}

int ExecModal(QDialog& dialog)
{
    if (const auto& handler = ModalSeam().Handler())
        return handler(dialog);
    return dialog.exec();
}

} // namespace platform
