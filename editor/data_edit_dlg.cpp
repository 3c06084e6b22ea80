#include "editor/data_edit_dlg.h"

#include "editor/design_matrix_page.h"
#include "editor/dimensions_dlg.h"
#include "editor/observation_page.h"
#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "platform/message_box.h"
#include "platform/modal.h"
#include "platform/string_text.h"
#include "platform/tab_control.h"
#include "platform/window_show.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <new>
#include <utility>

namespace {

constexpr int kMinimumTabWidth = 125;  // pixels

constexpr int kPageTitles[] = {kStringDesignPage, kStringObservationPage};

QString PageTitle(int index)
{
    return platform::LoadText(kPageTitles[index]);
}

// Where a page lies in the tab control: below the row of tabs, inside the
// frame (pixels).
constexpr int kPageLeft = 7;
constexpr int kPageRightMargin = 3;
constexpr int kPageGapBelowTabs = 3;
constexpr int kPageBottomMargin = 2;

// The editor opens showing up to this many value columns and rows.
constexpr int kOpeningColumns = 12;
constexpr int kOpeningRows = 25;

constexpr int kMinimumCount = int(CDimensionsDlg::kMinimumCount);
constexpr int kMaximumCount = int(CDimensionsDlg::kMaximumCount);

// Where and how large the editor was last closed (empty: not yet).
QByteArray& Placement()
{
    static QByteArray placement;
    return placement;
}

} // namespace

CDataEditDlg::CDataEditDlg(QWidget* parent) : QDialog(parent)
{
    platform::BuildDialog(*this, res::kDialogDataEdit);
    TabCtrl = platform::FindControlAs<platform::TabControl>(this, kTabControl);
    platform::ConnectOkCancel(*this);
    // Sizes from here on move the buttons and grow the tabs, also the size
    // the editor opens with.
    ClientSize.Record(size());
    connect(TabCtrl, &platform::TabControl::SelectionChanged, this, &CDataEditDlg::OnSelChange);
    // It may grow freely but never get smaller than it was built.
    setMinimumSize(size());
    setSizeGripEnabled(true);
}

void CDataEditDlg::SetData(Matrix designMatrix, Matrix observations, Matrix weightVector)
{
    DesignMatrix = std::move(designMatrix);
    Observations = std::move(observations);
    Weights = std::move(weightVector);
    EditMode = true;
}

int CDataEditDlg::DoModal()
{
    InitDialog();
    return platform::ExecModal(*this);
}

void CDataEditDlg::InitDialog()
{
    Design = new CDesignMatrixPage(TabCtrl);
    Observation = new CObservationPage(TabCtrl);
    if (EditMode) {
        Design->SetMatrix(DesignMatrix);
        Observation->SetMatrices(Observations, Weights);
    } else {
        Design->ObservationCount = ObservationCount;
        Design->UnknownCount = UnknownCount;
        Observation->ObservationCount = ObservationCount;
    }
    TabCtrl->SetMinTabWidth(kMinimumTabWidth);
    for (int index : {kDesignPage, kObservationPage})
        TabCtrl->InsertItem(index, PageTitle(index));
    TabCtrl->SetCurSel(kDesignPage);

    Pages = {Design, Observation};
    for (CDataPage* page : Pages) {
        page->InitPage();
        PlacePage(*page);
        ConnectPage(*page);
    }
    UndoStack.applied = [this](CCellStore& store, const CellBlock& cells) { OnUndoApplied(store, cells); };
    Observation->hide();
    Design->show();
    Current = Design;
    Design->Activate();
    if (Placement().isEmpty() || !restoreGeometry(Placement()))
        SizeForData();
}

void CDataEditDlg::ConnectPage(CDataPage& page)
{
    CGridCtrl* grid = page.Grid();
    grid->SetUndoStack(&UndoStack);
    grid->AllowLineCommands(true, &page == Design);
    connect(grid, &CGridCtrl::LinesRequested, this,
            [this, &page](int command, const CellBlock& block) { OnLinesRequested(page, command, block); });
    connect(grid, &CGridCtrl::PasteBeyondGrid, this,
            [this, &page](int rows, int columns) { OnPasteBeyondGrid(page, rows, columns); });
    connect(grid, &CGridCtrl::PasteLeftOut, this, &CDataEditDlg::OnPasteLeftOut);
}

// Large enough for the design page's first columns and rows, within the
// screen; never smaller than the template.
void CDataEditDlg::SizeForData()
{
    const CGridCtrl& grid = *Design->Grid();
    const CCellStore& cells = grid.Cells();
    const int bar = grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &grid);
    const int columns = std::min(cells.GetNumColumns(), kOpeningColumns + 1);
    const int rows = std::min(cells.GetNumRows(), kOpeningRows + 1);
    const QSize wanted(cells.ColumnLeft(columns) + (rows < cells.GetNumRows() ? bar : 0) + 2,
                       cells.RowTop(rows) + (columns < cells.GetNumColumns() ? bar : 0) + 2);
    QSize opening = size().expandedTo(size() + wanted - grid.size());
    if (const QScreen* shownOn = screen() ? screen() : QGuiApplication::primaryScreen())
        opening = opening.boundedTo(shownOn->availableSize() - (frameGeometry().size() - size()));
    resize(opening.expandedTo(minimumSize()));
}

void CDataEditDlg::ForgetPlacement()
{
    Placement().clear();
}

void CDataEditDlg::done(int result)
{
    Placement() = saveGeometry();
    QDialog::done(result);
}

void CDataEditDlg::PlacePage(CDataPage& page)
{
    const int top = TabCtrl->TabRowHeight() + kPageGapBelowTabs;
    page.setGeometry(kPageLeft, top, TabCtrl->width() - kPageLeft - kPageRightMargin,
                     TabCtrl->height() - top - kPageBottomMargin);
}

void CDataEditDlg::OnSelChange()
{
    ShowPage(TabCtrl->GetCurSel());
}

// The hidden page keeps everything typed into it.
void CDataEditDlg::ShowPage(int index)
{
    if (index < 0 || index >= int(Pages.size()))
        return;
    TabCtrl->SetCurSel(index);
    CDataPage* page = Pages[index];
    if (page != Current) {
        Current->hide();
        page->show();
        page->repaint();
        Current = page;
    }
    page->Activate();
}

// The editor closes only once the data are saved; otherwise it stays as it
// was, with the focus in its grid. Out of memory while the values are
// gathered, it says so and stays open with everything typed.
void CDataEditDlg::accept()
{
    if (!Design || !Observation)
        return;  // not run yet: no pages to read
    try {
        if (!ReadPages())
            return;
        if (Save && !Save(*this)) {
            Current->Activate();
            return;
        }
    } catch (const std::bad_alloc&) {
        platform::ShowMessage(platform::LoadText(kStringOutOfMemory), this);
        return;
    }
    QDialog::accept();
}

bool CDataEditDlg::ReadPages()
{
    RefusedCells refused;
    Matrix designMatrix;
    Matrix observations;
    Matrix weights;
    if (!Design->ReadGrid(designMatrix, refused)) {
        ShowRefusedCells(kDesignPage, refused);
        return false;
    }
    if (!Observation->ReadGrid(observations, weights, refused)) {
        ShowRefusedCells(kObservationPage, refused);
        return false;
    }
    DesignMatrix = std::move(designMatrix);
    Observations = std::move(observations);
    Weights = std::move(weights);
    return true;
}

void CDataEditDlg::ShowRefusedCells(int index, const RefusedCells& refused)
{
    ShowPage(index);
    Pages[index]->ShowRefusedCells(refused);
    const QString count = refused.size() > 1
                              ? platform::FormatText(kStringRefusedCellCount, {QString::number(refused.size())})
                              : QString();
    platform::ShowMessage(Pages[index]->RefusalText(refused.front(), PageTitle(index)), this,
                          platform::MessageIcon::Warning, count);
}

void CDataEditDlg::reject()
{
    if (Current && HasChanges() && !platform::AskYesNo(platform::LoadText(kStringDiscardChanges), this)) {
        Current->Activate();
        return;
    }
    QDialog::reject();
}

// Once framed and active, the editor makes sure it knows where it is, so
// that a drop lands under the pointer from the first one on.
bool CDataEditDlg::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::WindowActivate && !placeLearned) {
        placeLearned = true;
        platform::LearnTruePlace(*this);
    }
    return handled;
}

// Ctrl+Page Down and Ctrl+Page Up turn to the next and the previous page,
// as a spreadsheet turns its sheets.
void CDataEditDlg::keyPressEvent(QKeyEvent* event)
{
    const bool pageKey = event->key() == Qt::Key_PageDown || event->key() == Qt::Key_PageUp;
    if (Current && pageKey && (event->modifiers() & Qt::ControlModifier)) {
        const int step = event->key() == Qt::Key_PageDown ? 1 : -1;
        ShowPage(std::clamp(TabCtrl->GetCurSel() + step, 0, int(Pages.size()) - 1));
        return;
    }
    QDialog::keyPressEvent(event);
}

// --- rows and columns -----------------------------------------------------

int CDataEditDlg::ValueRows() const
{
    return Design->Grid()->GetNumRows() - 1;
}

int CDataEditDlg::ValueColumns() const
{
    return Design->Grid()->GetNumColumns() - 1;
}

bool CDataEditDlg::InsertRows(int at, int count)
{
    return ChangeLines(Qt::Vertical, true, at, count);
}

bool CDataEditDlg::DeleteRows(int at, int count)
{
    return ChangeLines(Qt::Vertical, false, at, count);
}

bool CDataEditDlg::InsertColumns(int at, int count)
{
    return ChangeLines(Qt::Horizontal, true, at, count);
}

bool CDataEditDlg::DeleteColumns(int at, int count)
{
    return ChangeLines(Qt::Horizontal, false, at, count);
}

// Rows on both pages, columns on the design page; at counts from 1, the
// first value row or column.
bool CDataEditDlg::ChangeLines(Qt::Orientation orientation, bool insert, int at, int count)
{
    const bool rows = orientation == Qt::Vertical;
    const int now = rows ? ValueRows() : ValueColumns();
    const int after = insert ? now + count : now - count;
    if (count <= 0 || at < 1 || at > (insert ? now + 1 : now - count + 1))
        return false;
    if (after < kMinimumCount || after > kMaximumCount) {
        platform::ShowMessage(platform::FormatText(kStringNumberRange, {QString::number(kMinimumCount),
                                                                         QString::number(kMaximumCount)}),
                              this);
        return false;
    }
    {
        UndoScope step(&UndoStack);
        for (CDataPage* page : Pages) {
            if (!rows && page != Design)
                continue;
            CCellStore& cells = page->Grid()->Cells();
            if (insert)
                cells.InsertLines(page->NewLines(orientation, at, count));
            else
                cells.RemoveLines(orientation, at, count);
            page->Renumber();
        }
    }
    CDataPage& shown = rows || Current == Design ? *Current : *Design;
    ShowLines(shown, orientation, at, insert ? count : 1);
    return true;
}

// The lines just inserted (or the one that took the place of the deleted
// ones) selected, the first of them the focus cell.
void CDataEditDlg::ShowLines(CDataPage& page, Qt::Orientation orientation, int at, int count)
{
    CGridCtrl& grid = *page.Grid();
    const bool rows = orientation == Qt::Vertical;
    const int last = (rows ? grid.GetNumRows() : grid.GetNumColumns()) - 1;
    const int first = std::min(at, last);
    const int end = std::min(at + count - 1, last);
    const CellBlock block = rows ? CellBlock{first, 1, end, grid.GetNumColumns() - 1}
                                 : CellBlock{1, first, grid.GetNumRows() - 1, end};
    grid.SelectRange(block);
    page.FocusCell({block.minRow, block.minColumn});
}

void CDataEditDlg::OnLinesRequested(CDataPage& page, int command, const CellBlock& block)
{
    const int rows = block.maxRow - block.minRow + 1;
    const int columns = block.maxColumn - block.minColumn + 1;
    switch (command) {
    case CGridCtrl::kCommandInsertRows: InsertRows(block.minRow, rows); break;
    case CGridCtrl::kCommandDeleteRows: DeleteRows(block.minRow, rows); break;
    case CGridCtrl::kCommandInsertColumns:
        if (&page == Design)
            InsertColumns(block.minColumn, columns);
        break;
    case CGridCtrl::kCommandDeleteColumns:
        if (&page == Design)
            DeleteColumns(block.minColumn, columns);
        break;
    default: break;
    }
}

// A paste that reaches beyond the last row (column) may add the rows (on
// both pages) and the columns (design page) it needs, up to 5000 each; what
// still has no cell is left out and counted.
void CDataEditDlg::OnPasteBeyondGrid(CDataPage& page, int rows, int columns)
{
    if (&page != Design)
        columns = 0;
    rows = std::min(rows, kMaximumCount - ValueRows());
    columns = std::min(columns, kMaximumCount - ValueColumns());
    if (rows <= 0 && columns <= 0)
        return;
    const QString addRows = QString::number(rows);
    const QString addColumns = QString::number(columns);
    const QString question = rows > 0 && columns > 0
                                 ? platform::FormatText(kStringAddRowsAndColumns, {addRows, addColumns})
                             : rows > 0 ? platform::FormatText(kStringAddRows, {addRows})
                                        : platform::FormatText(kStringAddColumns, {addColumns});
    if (!platform::AskYesNo(question, this))
        return;
    if (rows > 0)
        ChangeLines(Qt::Vertical, true, ValueRows() + 1, rows);
    if (columns > 0)
        ChangeLines(Qt::Horizontal, true, ValueColumns() + 1, columns);
}

void CDataEditDlg::OnPasteLeftOut(int values)
{
    platform::ShowMessage(platform::FormatText(kStringValuesLeftOut, {QString::number(values)}), this,
                          platform::MessageIcon::Information);
}

// What undo or redo changed is shown: its page, its cells selected, the
// first of them the focus cell.
void CDataEditDlg::OnUndoApplied(const CCellStore& store, const CellBlock& cells)
{
    int index = 0;
    for (CDataPage* page : Pages) {
        page->Renumber();
        page->Grid()->WidenChangedColumns();
    }
    for (int i = 0; i < int(Pages.size()); ++i)
        if (&Pages[i]->Grid()->Cells() == &store)
            index = i;
    ShowPage(index);
    CGridCtrl& grid = *Pages[index]->Grid();
    const CellBlock shown{std::clamp(cells.minRow, 1, grid.GetNumRows() - 1),
                          std::clamp(cells.minColumn, 1, grid.GetNumColumns() - 1),
                          std::clamp(cells.maxRow, 1, grid.GetNumRows() - 1),
                          std::clamp(cells.maxColumn, 1, grid.GetNumColumns() - 1)};
    grid.SelectRange(shown);
    Pages[index]->FocusCell({shown.minRow, shown.minColumn});
}

// Every size moves the buttons and grows the tab control and both pages by
// the change from the one before.
void CDataEditDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (isMinimized())
        return;
    if (const std::optional<QSize> change = ClientSize.Follow(event->size()))
        FollowSize(change->width(), change->height());
}

void CDataEditDlg::FollowSize(int dx, int dy)
{
    for (int id : {kOkButton, kCancelButton})
        if (QWidget* button = platform::FindControl(this, id))
            button->move(button->pos() + QPoint(dx, dy));
    TabCtrl->resize(TabCtrl->width() + dx, TabCtrl->height() + dy);
    for (CDataPage* page : Pages)
        if (page) {
            page->resize(page->width() + dx, page->height() + dy);
            page->update();
        }
}
