#include "plot/residual_dlg.h"

#include "core/number_text.h"
#include "platform/data_exchange.h"
#include "platform/dialog_builder.h"
#include "platform/modal.h"
#include "platform/window_show.h"
#include "plot/residual_plot.h"
#include "res/dialog_templates.h"

#include <QApplication>
#include <QResizeEvent>

#include <cmath>
#include <string>

namespace {

QString FormatMagnitude(double magnitude)
{
    std::string text;
    AppendFixed(text, magnitude, 10, 3);
    return QString::fromStdString(text);
}

} // namespace

CResidualDlg::CResidualDlg(QWidget* parent) : QDialog(parent), residualVector(1, 1, 0.0)
{
    platform::BuildDialog(*this, res::kDialogResidual,
                          [this](const res::ControlTemplate& control, QWidget* dialog) -> QWidget* {
                              if (control.id != kPlotWindow)
                                  return nullptr;
                              plot = new CResidualPlot(dialog);
                              return plot;
                          });
    platform::ConnectOkCancel(*this);
    // The window may grow freely but never get smaller than it was built.
    setMinimumSize(size());
    setSizeGripEnabled(true);
}

void CResidualDlg::SetResiduals(const Matrix& residuals)
{
    residualVector = residuals;
}

Matrix CResidualDlg::GetResiduals() const
{
    return residualVector;
}

void CResidualDlg::ShowModal()
{
    InitDialog();
    CentreOverOwner();
    platform::ExecModal(*this);
}

void CResidualDlg::InitDialog()
{
    FormatMagnitudes();
    platform::UpdateData(this, false, [this](platform::DataExchange& dx) {
        dx.Text(kMinimumEdit, minimumText);
        dx.Text(kMaximumEdit, maximumText);
    });
}

// Smallest and largest |v_i|, both starting at |v_1|. The comparisons are
// the plain ones, so a NaN after the first element never wins and a NaN as
// the first element stays in both. Without any element the fields stay
// empty.
void CResidualDlg::FormatMagnitudes()
{
    if (!residualVector.IsValid() || residualVector.Rows() < 1 || residualVector.Columns() < 1) {
        minimumText.clear();
        maximumText.clear();
        return;
    }
    double minimum = std::fabs(residualVector(0, 0));
    double maximum = minimum;
    for (int i = 1; i < residualVector.Rows(); ++i) {
        const double magnitude = std::fabs(residualVector(i, 0));
        if (magnitude < minimum)
            minimum = magnitude;
        if (magnitude > maximum)
            maximum = magnitude;
    }
    minimumText = FormatMagnitude(minimum);
    maximumText = FormatMagnitude(maximum);
}

// Without a parent the dialog belongs to the program's main window: open it
// centred over the window that is active when it is shown.
void CResidualDlg::CentreOverOwner()
{
    if (parentWidget() || isVisible())
        return;
    const QWidget* owner = QApplication::activeWindow();
    if (!owner || owner == this)
        return;
    platform::CentreOver(*this, owner->frameGeometry());
}

// The first size event (while the window is being shown) only records the
// size; later ones move the controls by the change since the last one.
void CResidualDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (isMinimized())
        return;
    if (const std::optional<QSize> change = clientSize.Follow(event->size()))
        MoveControls(change->width(), change->height());
}

void CResidualDlg::MoveControls(int dx, int dy)
{
    if (plot)
        plot->resize(plot->width() + dx, plot->height() + dy);
    if (QWidget* ok = platform::FindControl(this, kOkButton))
        ok->move(ok->pos() + QPoint(dx, dy));
    for (const int id : {kMinimumLabel, kMaximumLabel, kMinimumEdit, kMaximumEdit}) {
        if (QWidget* control = platform::FindControl(this, id))
            control->move(control->pos() + QPoint(0, dy));
    }
}
