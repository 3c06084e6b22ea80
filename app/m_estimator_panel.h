#pragma once

#include "res/control_ids.h"

#include <QWidget>

namespace platform {
class DataExchange;
}

// The eight M-estimators (Andrews ... Welsch) as one radio group, a child
// panel of the main dialog's method area. The selection is read from the
// radio buttons only when asked for.
class CMEstimatorPanel : public QWidget {
    Q_OBJECT

public:
    using ControlId = res::m_estimator_panel::ControlId;
    using enum ControlId;

    explicit CMEstimatorPanel(QWidget* parent = nullptr);

    // Re-reads the radio group: 0 Andrews .. 7 Welsch, -1 when none is checked.
    int GetSelection();

private:
    void Exchange(platform::DataExchange& dx);

    int Selection = 0;
};
