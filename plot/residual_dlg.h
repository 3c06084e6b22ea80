#pragma once

#include "core/estimator.h"
#include "core/matrix.h"
#include "platform/size_change.h"
#include "res/control_ids.h"

#include <QDialog>
#include <QString>

class CResidualPlot;

// "Residuen der Lösung": the residuals of a solution as a plot, with the
// smallest and the largest magnitude in two read-only fields. Modal and
// resizable: it never gets smaller than it opened, and when it grows the
// plot grows with it, OK follows the lower-right corner and the four
// controls below the plot follow the lower edge.
class CResidualDlg : public QDialog, public IResidualView {
    Q_OBJECT
public:
    using ControlId = res::residual_dlg::ControlId;
    using enum ControlId;

    explicit CResidualDlg(QWidget* parent = nullptr);

    // Replaces the stored vector (n x 1) by a copy of residuals.
    void SetResiduals(const Matrix& residuals) override;
    // A copy of the stored vector; the plot reads it at every paint.
    Matrix GetResiduals() const;
    // Fills the two fields and runs the dialog modally (OK, Enter or Esc).
    void ShowModal() override;

    CResidualPlot* Plot() const { return plot; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitDialog();
    void FormatMagnitudes();
    void MoveControls(int dx, int dy);
    void CentreOverOwner();

    Matrix residualVector;
    QString maximumText;
    QString minimumText;
    platform::SizeChange clientSize;
    CResidualPlot* plot = nullptr;
};
