#pragma once

#include <QWidget>

// The plot window of the residual dialog: takes the place of the dialog's
// bordered static 1034 and paints the residuals (plot/residual_painter.h).
// It keeps no data: every paint asks its parent CResidualDlg for a copy of
// the residual vector; without such a parent it draws the empty plot.
class CResidualPlot : public QWidget {
    Q_OBJECT
public:
    explicit CResidualPlot(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
