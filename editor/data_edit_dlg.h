#pragma once

#include "core/matrix.h"
#include "grid/grid_item.h"
#include "grid/undo_stack.h"
#include "platform/size_change.h"
#include "res/control_ids.h"

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class CDataPage;
class CDesignMatrixPage;
class CObservationPage;
struct RefusedCell;
using RefusedCells = std::vector<RefusedCell>;

namespace platform {
class TabControl;
}

// "Daten bearbeiten": the data editor. A resizable window with a size grip
// whose tab control holds two pages, "Design-Matrix" and "Beobachtungen",
// each one grid. In create mode the grids hold ObservationCount x
// UnknownCount zeros and weights of 1; in edit mode (SetData) the problem's
// values. OK takes the grids back into the three matrices only when every
// value cell holds a number and every weight is above 0; otherwise it
// selects every wrong cell of the first page that has one, says what is
// wrong with the first (and how many there are), and stays open. Then it
// saves (Save): a save that fails or is cancelled returns to the editor as
// it was. Cancel, Escape and closing the window ask before changes are
// thrown away.
//
// Beyond the grids' own editing, the editor undoes and redoes every change
// of both pages (one stack), inserts and deletes rows on both pages at once
// (a row is an observation) and columns of the design page (a column is an
// unknown), each count staying within 1 to 5000, and adds the rows and
// columns a paste needs when the user agrees.
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
    void reject() override;
    void done(int result) override;

    // Saves the matrices that OK read; false keeps the editor open (the
    // save failed or was cancelled). None: OK closes at once.
    std::function<bool(CDataEditDlg& editor)> Save;

    // Rows (both pages) and columns (design page) inserted before, or
    // deleted from, value row (column) at, as one undo step. False with the
    // count message when the count would leave 1 to 5000.
    bool InsertRows(int at, int count);
    bool DeleteRows(int at, int count);
    bool InsertColumns(int at, int count);
    bool DeleteColumns(int at, int count);
    CUndoStack& Undo() { return UndoStack; }
    // Whether any cell changed since the editor opened (undo may take the
    // changes back).
    bool HasChanges() const { return !UndoStack.IsClean(); }

    // The editor opens where and as large as it was last closed; tests
    // start without that.
    static void ForgetPlacement();

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
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void InitDialog();
    void ConnectPage(CDataPage& page);
    void PlacePage(CDataPage& page);
    void SizeForData();
    void ShowPage(int index);
    bool ReadPages();
    void ShowRefusedCells(int index, const RefusedCells& refused);
    void FollowSize(int dx, int dy);
    void OnLinesRequested(CDataPage& page, int command, const CellBlock& block);
    void OnPasteBeyondGrid(CDataPage& page, int rows, int columns);
    void OnPasteLeftOut(int values);
    void OnUndoApplied(const CCellStore& store, const CellBlock& cells);
    bool ChangeLines(Qt::Orientation orientation, bool insert, int at, int count);
    void ShowLines(CDataPage& page, Qt::Orientation orientation, int at, int count);
    int ValueRows() const;
    int ValueColumns() const;

    platform::TabControl* TabCtrl = nullptr;
    CDesignMatrixPage* Design = nullptr;
    CObservationPage* Observation = nullptr;
    std::array<CDataPage*, 2> Pages{};
    CDataPage* Current = nullptr;
    platform::SizeChange ClientSize;
    CUndoStack UndoStack;
    bool placeLearned = false;
};
