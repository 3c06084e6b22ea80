#include "app/norm_panel.h"

#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"

#include <QLineEdit>

namespace {
constexpr int kFirstNormRadio = 1014;
constexpr int kNormFactorEdit = 1018;
} // namespace

CNormPanel::CNormPanel(QWidget* parent) : QWidget(parent)
{
    platform::BuildDialog(*this, res::kDialogNormPanel);
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) { Exchange(dx); });
}

void CNormPanel::Exchange(platform::DataExchange& dx)
{
    dx.RadioGroup(kFirstNormRadio, Selection);
    dx.Double(kNormFactorEdit, normFactor);
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
    return normFactor;
}
