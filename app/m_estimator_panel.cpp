#include "app/m_estimator_panel.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"

CMEstimatorPanel::CMEstimatorPanel(QWidget* parent) : QWidget(parent)
{
    platform::BuildDialog(*this, res::kDialogMEstimatorPanel);
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { Exchange(dx); });
}

void CMEstimatorPanel::Exchange(platform::DataExchange& dx)
{
    dx.RadioGroup(kAndrewsRadio, Selection);
}

int CMEstimatorPanel::GetSelection()
{
    platform::UpdateData(this, true, [this](platform::DataExchange& dx) { Exchange(dx); });
    return Selection;
}
