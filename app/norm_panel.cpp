#include "app/norm_panel.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"

#include <QLineEdit>

CNormPanel::CNormPanel(QWidget* parent) : QWidget(parent)
{
    platform::BuildDialog(*this, res::kDialogNormPanel);
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { Exchange(dx); });
}

void CNormPanel::Exchange(platform::DataExchange& dx)
{
    dx.RadioGroup(kL1Radio, Selection);
    dx.Double(kNormFactorEdit, NormFactor);
}

int CNormPanel::GetSelection()
{
    platform::UpdateData(this, true, [this](platform::DataExchange& dx) { Exchange(dx); });
    return Selection;
}

void CNormPanel::FocusNormFactor()
{
    auto* edit = platform::FindControlAs<QLineEdit>(this, kNormFactorEdit);
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

double CNormPanel::GetNormFactor()
{
    platform::UpdateData(this, true, [this](platform::DataExchange& dx) { Exchange(dx); });
    return NormFactor;
}
