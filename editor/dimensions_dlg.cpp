#include "editor/dimensions_dlg.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/modal.h"
#include "platform/up_down_control.h"

#include <QLineEdit>

#include <utility>

CDimensionsDlg::CDimensionsDlg(QWidget* parent) : QDialog(parent)
{
    platform::BuildDialog(*this, res::kDialogDimensions);
    platform::ConnectOkCancel(*this);
}

void CDimensionsDlg::Exchange(platform::DataExchange& dx)
{
    dx.UnsignedInRange(kObservationCountEdit, ObservationCount, kMinimumCount, kMaximumCount);
    dx.UnsignedInRange(kUnknownCountEdit, UnknownCount, kMinimumCount, kMaximumCount);
}

int CDimensionsDlg::DoModal()
{
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { Exchange(dx); });
    const std::pair<int, unsigned> spins[] = {{kObservationCountSpin, ObservationCount},
                                              {kUnknownCountSpin, UnknownCount}};
    for (const auto& [spin, count] : spins)
        if (auto* upDown = platform::FindControlAs<platform::UpDownControl>(this, spin)) {
            upDown->SetRange(int(kMinimumCount), int(kMaximumCount));
            upDown->SetPos(int(count));
        }
    if (auto* first = platform::FindControlAs<QLineEdit>(this, kObservationCountEdit)) {
        first->setFocus();
        first->selectAll();
    }
    return platform::ExecModal(*this);
}

void CDimensionsDlg::accept()
{
    if (platform::UpdateData(this, true, [this](platform::DataExchange& dx) { Exchange(dx); }))
        QDialog::accept();
}
