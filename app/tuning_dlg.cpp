#include "app/tuning_dlg.h"

#include "core/methods.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/modal.h"

CTuningDlg::CTuningDlg(QWidget* parent) : QDialog(parent)
{
    platform::BuildDialog(*this, res::kDialogTuning);
    platform::ConnectOkCancel(*this);
}

void CTuningDlg::Exchange(platform::DataExchange& dx)
{
    dx.DoubleInRange(kTuningEdit, TuningConstant, kLowestTuningConstant, kHighestTuningConstant);
}

int CTuningDlg::DoModal()
{
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { Exchange(dx); });
    if (QWidget* edit = platform::FindControl(this, kTuningEdit))
        edit->setFocus();
    return platform::ExecModal(*this);
}

void CTuningDlg::accept()
{
    if (platform::UpdateData(this, true, [this](platform::DataExchange& dx) { Exchange(dx); }))
        QDialog::accept();
}
