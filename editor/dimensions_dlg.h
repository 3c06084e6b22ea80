#pragma once

#include "res/control_ids.h"

#include <QDialog>

namespace platform {
class DataExchange;
}

// "Dimensionen": asks for the numbers of observations and unknowns of new
// input data. Each count has an up-down control beside its field. OK
// accepts only whole numbers from kMinimumCount to kMaximumCount;
// Cancel, Escape and the close box leave both counts as they were.
class CDimensionsDlg : public QDialog {
    Q_OBJECT

public:
    using ControlId = res::dimensions_dlg::ControlId;
    using enum ControlId;

    // A count of 0 would write a file that cannot be read back.
    static constexpr unsigned kMinimumCount = 1;
    static constexpr unsigned kMaximumCount = 5000;

    explicit CDimensionsDlg(QWidget* parent = nullptr);

    // Shows the counts, sets the up-down controls to the range and the
    // counts, and runs the dialog modally (platform::ExecModal).
    int DoModal();

    // Re-reads both fields; closes with OK only when both are accepted.
    void accept() override;

    unsigned ObservationCount = 10;
    unsigned UnknownCount = 10;

private:
    void Exchange(platform::DataExchange& dx);
};
