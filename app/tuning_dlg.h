#pragma once

#include "res/control_ids.h"

#include <QDialog>

namespace platform {
class DataExchange;
}

// "Tuningkonstante": confirms or changes the tuning constant of an
// M-estimator. OK accepts only a number from kLowestTuningConstant to
// kHighestTuningConstant (core/methods.h); Cancel,
// Escape and the close box leave TuningConstant untouched.
class CTuningDlg : public QDialog {
    Q_OBJECT

public:
    using ControlId = res::tuning_dlg::ControlId;
    using enum ControlId;

    explicit CTuningDlg(QWidget* parent = nullptr);

    // Shows TuningConstant in the field and runs the dialog modally
    // (platform::ExecModal). QDialog::Accepted or QDialog::Rejected.
    int DoModal();

    // Re-reads the field; closes with OK only when it is accepted.
    void accept() override;

    double TuningConstant = 0.0;

private:
    void Exchange(platform::DataExchange& dx);
};
