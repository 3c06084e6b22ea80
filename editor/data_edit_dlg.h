#pragma once

#include "core/matrix.h"
#include "platform/size_change.h"
#include "res/control_ids.h"

#include <QDialog>

#include <array>

class CDataPage;
class CDesignMatrixPage;
class CObservationPage;
struct RefusedCell;

namespace platform {
class TabControl;
}

// "Daten bearbeiten": the data editor. A resizable window with a size grip
// whose tab control holds two pages, "Design-Matrix" and "Beobachtungen",
// each one grid. In create mode the grids hold ObservationCount x
// UnknownCount zeros and weights of 1; in edit mode (SetData) the problem's
// values. OK takes the grids back into the three matrices only when every
// value cell holds a number and every weight is above 0; otherwise it says
// which cell is wrong, shows it as the focus cell of its page and the
// editor stays open. Cancel and Escape leave the matrices as they were.
class CDataEditDlg : public QDialog {
    Q_OBJECT

public:
    using ControlId = res::data_edit_dlg::ControlId;
    using enum ControlId;

    enum PageIndex : int { kDesignPage = 0, kObservationPage = 1 };

    explicit CDataEditDlg(QWidget* parent = nullptr);

    // Edit mode: the editor shows these (weights as an n x 1 vector).
    void SetData(Matrix designMatrix, Matrix observations, Matrix weightVector);

    // Creates and fills the pages and runs the editor modally
    // (platform::ExecModal). Throws std::bad_alloc when the grids do not
    // fit into memory.
    int DoModal();

    void accept() override;

    // The tab control told that the user chose another tab.
    void OnSelChange();

    platform::TabControl* Tabs() const { return TabCtrl; }
    CDesignMatrixPage* DesignPage() const { return Design; }
    CObservationPage* ObservationPage() const { return Observation; }
    CDataPage* CurrentPage() const { return Current; }

    Matrix DesignMatrix;
    Matrix Observations;
    Matrix Weights;  // n x 1
    bool EditMode = false;  // SetData was called
    int ObservationCount = 0;
    int UnknownCount = 0;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void InitDialog();
    // Reads both pages into the matrices and closes with OK, or shows the
    // first cell that holds no acceptable value.
    void AcceptValues();
    void PlacePage(CDataPage& page);
    void ShowPage(int index);
    void ShowRefusedCell(int index, const RefusedCell& refused);
    void FollowSize(int dx, int dy);

    platform::TabControl* TabCtrl = nullptr;
    CDesignMatrixPage* Design = nullptr;
    CObservationPage* Observation = nullptr;
    std::array<CDataPage*, 2> Pages{};
    CDataPage* Current = nullptr;
    platform::SizeChange ClientSize;
};
