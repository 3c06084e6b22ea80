#include "platform/modal.h"

#include <QDialog>

#include <utility>

namespace platform {

namespace {
ModalHandler& CurrentHandler()
{
    static ModalHandler handler;
    return handler;
}
} // namespace

int ExecModal(QDialog& dialog)
{
    if (CurrentHandler())
        return CurrentHandler()(dialog);
    return dialog.exec();
}

ModalHandler SetModalHandler(ModalHandler handler)
{
    return std::exchange(CurrentHandler(), std::move(handler));
}

} // namespace platform
