#pragma once

#include "res/control_ids.h"

#include <QWidget>

namespace platform {
class DataExchange;
}

// The four norms (L1, L2, Loo, any factor) as one radio group with the
// factor field for "Beliebig; Normfaktor:", a child panel of the main
// dialog's method area.
class CNormPanel : public QWidget {
    Q_OBJECT

public:
    using ControlId = res::norm_panel::ControlId;
    using enum ControlId;

    explicit CNormPanel(QWidget* parent = nullptr);

    // Re-read the radio group and then the factor field. A factor text that
    // is not a number is reported; the selection is updated all the same
    // and the factor keeps its previous value.
    int GetSelection();        // 0 L1, 1 L2, 2 Loo, 3 any; -1 when none is checked
    double GetNormFactor();

    // The factor as read last; reading it does not re-read the field.
    double NormFactor = 0.0;

    // Gives the factor field the focus with its text selected, as after a
    // validation message.
    void FocusNormFactor();

private:
    void Exchange(platform::DataExchange& dx);

    int Selection = 0;
};
