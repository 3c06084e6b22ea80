#include "plot/residual_plot.h"

#include "core/matrix.h"
#include "plot/residual_dlg.h"
#include "plot/residual_painter.h"

#include <QPainter>

CResidualPlot::CResidualPlot(QWidget* parent) : QWidget(parent)
{
    // The painter covers every pixel: no background erase needed.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CResidualPlot::paintEvent(QPaintEvent* /*event*/)
{
    const auto* dialog = dynamic_cast<const CResidualDlg*>(parentWidget());
    const Matrix residuals = dialog ? dialog->GetResiduals() : Matrix(-1, 1, 0.0);
    QPainter painter(this);
    PaintResidualPlot(painter, residuals, size());
}
