#pragma once

#include "grid/cell_store.h"
#include "grid/cell_tip.h"
#include "grid/grid_item.h"
#include "grid/text_widths.h"
#include "res/dialog_templates.h"

#include <QColor>
#include <QList>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <utility>

class QMimeData;
class QScrollBar;

// A spreadsheet-like grid window: a table of text cells with fixed (header)
// rows at the top and fixed columns at the left, keyboard and mouse
// navigation, selection, row and column resizing, sizing to the contents,
// the clipboard, and drag and drop of cell text between grids. It owns its
// cells (CCellStore), paints them and handles all input itself.
//
// It tells its owner about events through the signal Notify (codes in
// grid_item.h); a handler's result is returned to where the grid sent it.
// A click on a cell is reported by Clicked.
class CGridCtrl : public QWidget {
    Q_OBJECT

public:
    enum class MouseMode {
        Idle,
        SelectingAll,
        SelectingColumns,
        SelectingRows,
        SelectingCells,
        HoverRowEdge,
        HoverColumnEdge,
        DraggingRowEdge,
        DraggingColumnEdge,
        EditPending,
        DragPending,
        DraggingText,
    };

    // The standard edit command ids, and the grid's own for whole rows and
    // columns (carried out by the owner, see LinesRequested).
    enum EditCommand : int {
        kCommandCopy = 57634,
        kCommandCut = 57635,
        kCommandPaste = 57637,
        kCommandSelectAll = 57642,
        kCommandUndo = 57643,
        kCommandRedo = 57644,
        kCommandInsertRows = 32801,
        kCommandDeleteRows = 32802,
        kCommandInsertColumns = 32803,
        kCommandDeleteColumns = 32804,
    };

    // Scroll requests, under the platform's names.
    enum ScrollCode : int {
        SB_LINEUP = 0,
        SB_LINEDOWN = 1,
        SB_PAGEUP = 2,
        SB_PAGEDOWN = 3,
        SB_THUMBPOSITION = 4,
        SB_THUMBTRACK = 5,
        SB_TOP = 6,
        SB_BOTTOM = 7,
    };
    static constexpr int SB_LINELEFT = SB_LINEUP, SB_LINERIGHT = SB_LINEDOWN;
    static constexpr int SB_PAGELEFT = SB_PAGEUP, SB_PAGERIGHT = SB_PAGEDOWN;
    static constexpr int SB_LEFT = SB_TOP, SB_RIGHT = SB_BOTTOM;

    enum GridLines : int { kGridNone = 0, kGridHorizontal = 1, kGridVertical = 2, kGridBoth = 3 };

    static constexpr const char* kWindowClass = res::kGridWindowClass;
    static constexpr int kEditControlId = 8;
    // Wheel scroll lines that mean "a page per notch".
    static constexpr unsigned kWheelScrollsPages = 0xFFFFFFFFu;

    explicit CGridCtrl(int rows = 0, int columns = 0, int fixedRows = 0, int fixedColumns = 0,
                       QWidget* parent = nullptr);
    ~CGridCtrl() override;

    // Lets dialog templates create a grid for a custom control of class
    // "TolvarGridCtrl". Done once when the program starts; true when newly
    // registered.
    static bool RegisterWindowClass();
    // The grid that the template made for control id in dialog, set up for
    // interaction: system message font, drop target, title tip. nullptr when
    // that control is no grid.
    static CGridCtrl* BindToDialogControl(QWidget* dialog, int id);
    static QFont SystemMessageFont();

    // --- counts ---------------------------------------------------------
    bool SetNumRows(int rows) { return RepaintAfter(cells.SetNumRows(rows)); }
    bool SetNumColumns(int columns) { return RepaintAfter(cells.SetNumColumns(columns)); }
    bool SetNumFixedRows(int fixed) { return RepaintAfter(cells.SetNumFixedRows(fixed)); }
    bool SetNumFixedColumns(int fixed) { return RepaintAfter(cells.SetNumFixedColumns(fixed)); }
    int GetNumRows() const { return cells.GetNumRows(); }
    int GetNumColumns() const { return cells.GetNumColumns(); }
    int GetNumFixedRows() const { return cells.GetNumFixedRows(); }
    int GetNumFixedColumns() const { return cells.GetNumFixedColumns(); }
    bool IsValid(CellPos cell) const { return cells.IsValid(cell); }

    // --- cells ----------------------------------------------------------
    bool WriteCell(const GridItem& item);
    // Also answers the grid's font for a cell without its own.
    bool ReadCell(GridItem& item) const;
    bool SetCellText(int row, int column, const QString& text);
    virtual QString GetCellText(int row, int column) const;
    bool SetCellState(int row, int column, unsigned state);
    unsigned GetCellState(int row, int column) const { return cells.GetCellState(row, column); }
    unsigned GetCellFormat(int row, int column) const { return cells.GetCellFormat(row, column); }
    bool SetCellFont(int row, int column, const QFont& font);
    QFont CellFont(int row, int column) const;
    // The images that cells name by index.
    void SetImageList(const QList<QPixmap>& images) { SetAndRepaint(imageList, images); }

    // --- sizes ----------------------------------------------------------
    bool ResizeRow(int row, int height) { return Resize(Qt::Vertical, row, height); }
    bool ResizeColumn(int column, int width) { return Resize(Qt::Horizontal, column, width); }
    int GetRowHeight(int row) const { return cells.GetRowHeight(row); }
    int GetColumnWidth(int column) const { return cells.GetColumnWidth(column); }
    bool FitRow(int row) { return Fit(Qt::Vertical, row); }
    bool FitColumn(int column) { return Fit(Qt::Horizontal, column); }
    void FitAll();
    // Text extent + 4 margins (+ image) wide, text height + 2 margins high;
    // fixed cells measured semi-bold.
    virtual QSize MeasureCell(int row, int column) const;
    int Margin() const { return margin; }
    int DefaultRowHeight() const { return cells.DefaultRowHeight(); }
    int DefaultColumnWidth() const { return cells.DefaultColumnWidth(); }
    // Sets the grid's font: every cell takes it, and margin, default row
    // height and column width follow it.
    void SetGridFont(const QFont& font);

    // --- focus and selection --------------------------------------------
    void SetCurrentCell(CellPos cell);
    CellPos GetCurrentCell() const { return cells.FocusCell(); }
    void SelectRange(const CellBlock& range);
    CellBlock GetSelectionBounds() const { return cells.GetSelectionBounds(); }
    void SelectEverything();
    void ScrollIntoView(CellPos cell);
    bool IsCellFullyShown(CellPos cell) const;
    bool CanEditCell(CellPos cell) const { return cells.CanEditCell(cell); }
    void MarkModified(CellPos cell);
    bool IsModified() const { return cells.Modified; }

    // --- attributes -----------------------------------------------------
    QColor TextColour() const { return textColour; }
    QColor TextBackground() const { return textBackground; }
    QColor OutsideColour() const { return outsideColour; }
    QColor FixedTextColour() const { return fixedTextColour; }
    QColor FixedBackground() const { return fixedBackground; }
    QColor GridLineColour() const { return gridLineColour; }
    void SetTextColour(const QColor& colour) { SetAndRepaint(textColour, colour); }
    void SetTextBackground(const QColor& colour) { SetAndRepaint(textBackground, colour); }
    void SetOutsideColour(const QColor& colour) { SetAndRepaint(outsideColour, colour); }
    void SetFixedTextColour(const QColor& colour) { SetAndRepaint(fixedTextColour, colour); }
    void SetFixedBackground(const QColor& colour) { SetAndRepaint(fixedBackground, colour); }
    void SetGridLineColour(const QColor& colour) { SetAndRepaint(gridLineColour, colour); }
    int GetGridLines() const { return gridLines; }
    void SetGridLines(int lines) { SetAndRepaint(gridLines, lines); }
    bool IsEditable() const { return cells.Editable; }
    void SetEditable(bool on) { cells.Editable = on; }
    bool IsSelectionEnabled() const { return cells.SelectionEnabled; }
    void EnableSelection(bool on);
    bool IsListMode() const { return listMode; }
    void SetListMode(bool on) { listMode = on; }
    bool IsDragAndDropAllowed() const { return dragAndDrop; }
    // A grid that allows it is also a drop target, bound or not.
    void AllowDragAndDrop(bool on);
    bool IsRedrawAllowed() const { return redraw; }
    void AllowRedraw(bool on);
    bool HandlesTabKey() const { return handleTab; }
    void SetHandleTabKey(bool on) { handleTab = on; }
    bool TitleTipsEnabled() const { return titleTips; }
    void EnableTitleTips(bool on) { titleTips = on; }
    bool IsRowResizeAllowed() const { return rowResize; }
    void AllowRowResize(bool on) { rowResize = on; }
    bool IsColumnResizeAllowed() const { return columnResize; }
    void AllowColumnResize(bool on) { columnResize = on; }
    int ResizeCaptureRange() const { return captureRange; }
    void SetResizeCaptureRange(int pixels) { captureRange = pixels; }
    unsigned WheelScrollLines() const { return wheelLines; }
    void SetWheelScrollLines(unsigned lines) { wheelLines = lines; }

    // --- undo, rows and columns ------------------------------------------
    // The stack that hears the user's changes (shared by the grids of one
    // owner); none: no undo.
    void SetUndoStack(CUndoStack* stack) { cells.undo = stack; }
    CUndoStack* UndoStack() const { return cells.undo; }
    // Offers the row (column) commands, which the owner carries out.
    void AllowLineCommands(bool rows, bool columns);
    // Widens each column of block that the user did not size to its widest
    // cell in block.
    void WidenColumns(const CellBlock& block);
    // The same for the cells whose text changed since the last time.
    void WidenChangedColumns() { WidenColumns(cells.TakeChangedBounds()); }

    // --- commands -------------------------------------------------------
    bool CommandEnabled(int command) const;
    // Runs an edit command when it is enabled; false otherwise.
    bool ExecuteCommand(int command);
    virtual void ClearSelectedCells();
    // The selection's clipboard text as a data source, or nullptr.
    virtual QMimeData* CopySelection() const;
    virtual bool PasteText(CellPos target, const QMimeData* data);
    virtual void CutCommand();
    virtual void CopyCommand();
    virtual void PasteCommand();
    virtual void SelectAllCommand();

    // --- scrolling and geometry -----------------------------------------
    void OnVScroll(int code, int thumb = 0);
    void OnHScroll(int code, int thumb = 0);
    int ScrollPos(Qt::Orientation orientation) const;
    int ScrollMax(Qt::Orientation orientation) const;
    // The window without its scroll bars (also its contentsRect()).
    QRect ClientRect() const { return contentsRect(); }
    // The cell's whole rectangle in client coordinates (null if invalid).
    QRect CellRect(CellPos cell) const;
    // The cell under a client point; invalid outside the cells.
    CellPos CellAt(const QPoint& point) const;
    // Where a cell's text may go: the cell less a margin at each side and
    // its image. The title tip shows texts wider than this.
    QRect TextRect(CellPos cell) const;

    // --- editing --------------------------------------------------------
    // Opens the in-place editor on a cell that is editable and shown whole
    // (scrolling it into view first), with the key or character that
    // started editing (platform/virtual_keys.h).
    virtual void StartEdit(int row, int column, unsigned firstKey);
    // The title tip window; nullptr until the grid is bound with tips on.
    CCellTip* TitleTip() const { return titleTip; }

    // --- interaction state ----------------------------------------------
    MouseMode GetMouseMode() const { return mouseMode; }
    CellPos DropTargetCell() const { return dropTarget; }
    // The auto-scroll timer (every 25 ms while a mouse selection is under
    // way) and one tick of it.
    bool AutoScrollRunning() const { return autoScroll.isActive(); }
    void OnAutoScrollTimer();
    // The grid's key-down for a virtual key (platform/virtual_keys.h);
    // false when the key is left to the default handling.
    bool HandleKey(unsigned virtualKey, bool shift, bool control);

    // The data without a window, for the owner that fills or reads many
    // cells and for tests.
    CCellStore& Cells() { return cells; }
    const CCellStore& Cells() const { return cells; }

signals:
    // Notification code (grid_item.h) about a cell; the handler's result.
    int Notify(int code, int row, int column);
    // A row or column command for the lines of block (rows or columns of
    // the selection, or of the focus cell).
    void LinesRequested(int command, const CellBlock& block);
    // A paste needs this many more rows and columns; the owner may add
    // them before it goes on.
    void PasteBeyondGrid(int rows, int columns);
    // A paste left this many values out: they had no cell.
    void PasteLeftOut(int values);
    // The left button went up after a click on a cell.
    void Clicked();

protected:
    // Sends a notification to whoever listens and returns its result.
    int SendNotify(int code, CellPos cell);
    virtual void FixedColumnClicked(CellPos cell);
    virtual void FixedRowClicked(CellPos cell);
    // Stores an edited text that differs from the cell's, marking the cell
    // modified.
    virtual void EndEdit(const GridItem& item);
    virtual void CreateEditControl(const QRect& rect, unsigned style, int id, int row, int column,
                                   const QString& text, unsigned firstKey);
    virtual void PaintAll(QPainter& painter, const QRect& area);
    virtual void PaintFixedCell(QPainter& painter, int row, int column, const QRect& rect);
    virtual void PaintCell(QPainter& painter, int row, int column, const QRect& rect);

    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    template <class Attribute>
    void SetAndRepaint(Attribute& attribute, const Attribute& value)
    {
        attribute = value;
        update();
    }
    void SetupInteraction();
    void RegisterDropTarget();
    void ApplyFont();
    void UpdateTextWidths();
    // Header texts are semi-bold on the focus cell's row and column, and
    // measured so.
    static QFont SemiBold(QFont font);
    bool OnFocusLine(CellPos cell) const;
    // The font a cell's text shows in: CellFont, semi-bold on the focus line.
    QFont ShownFont(CellPos cell) const;
    void FollowSystemColours();
    void RecomputeScrollBars();
    void PlaceScrollBars(bool vertical, bool horizontal);
    void OnScrollBarAction(Qt::Orientation orientation, int action);
    void Scroll(Qt::Orientation orientation, int code, int thumb);
    void MoveTo(Qt::Orientation orientation, int position, bool moveDrawnPixels);
    // The first non-fixed row (column) whose leading edge is not scrolled
    // away.
    int TopLeft(Qt::Orientation orientation) const;
    int TopLeftRow() const { return TopLeft(Qt::Vertical); }
    void ScrollToShow(Qt::Orientation orientation, int index);
    bool Fit(Qt::Orientation orientation, int index);
    bool Resize(Qt::Orientation orientation, int index, int size);
    void RedrawCell(CellPos cell);
    void RedrawHeadersOf(CellPos cell);
    void RepaintAfterChange();
    bool RepaintAfter(bool done)
    {
        RepaintAfterChange();
        return done;
    }

    // Painting helpers.
    // A system colour: the same whether the window is active or not.
    QColor SystemColour(QPalette::ColorRole role) const { return palette().color(QPalette::Active, role); }
    struct VisibleRange;
    VisibleRange Visible() const;
    // The image a cell names, or nullptr (none, or not in the list).
    const QPixmap* CellImage(const CellExtras* own) const
    {
        return own && own->image >= 0 && own->image < imageList.size() ? &imageList[own->image] : nullptr;
    }
    // A cell rectangle less a margin at each side and the image.
    QRect TextArea(QRect rect, const QPixmap* image) const;
    void PaintCellText(QPainter& painter, int row, int column, QRect rect, const QFont& font);
    void PaintGridLines(QPainter& painter, const VisibleRange& visible);
    void PaintTrackingLine(QPainter& painter);

    // One user action as one undo step; the columns it widened fit after.
    template <class Action>
    void AsUserAction(Action&& action);
    CellBlock CommandLines() const;
    bool WholeColumnsSelected() const;
    void OnContextClick(const QPoint& point);

    // Editing and the title tip.
    void OnEndEdit(const GridItem& item);
    bool TypeCharacter(const QKeyEvent& event);
    void ShowTitleTip(const QPoint& point);
    void HideTitleTip();

    // Keyboard.
    CellPos NextCell(unsigned key, bool shift, bool& wrapped);
    void MoveFocusByKey(CellPos next, unsigned key, bool shift, bool wrapped);
    void ScrollAfterMove(unsigned key, bool shift, bool wrapped);

    // Mouse.
    void OnLButtonDown(const QPoint& point, Qt::KeyboardModifiers modifiers);
    void OnLButtonUp(const QPoint& point);
    void OnSelecting(CellPos cell);
    void HoverAt(const QPoint& point);
    // Column dividers (Qt::Horizontal) lie in the fixed rows, row dividers
    // (Qt::Vertical) in the fixed columns.
    bool OverDivider(Qt::Orientation orientation, const QPoint& point) const;
    bool OverColumnDivider(const QPoint& point) const { return OverDivider(Qt::Horizontal, point); }
    bool OverRowDivider(const QPoint& point) const { return OverDivider(Qt::Vertical, point); }
    int DividerIndex(Qt::Orientation orientation, const QPoint& point) const;
    void StartEdgeDrag(Qt::Orientation orientation);
    void MoveTrackingLine(int position);
    void FinishEdgeDrag(const QPoint& point);
    void EndMouseAction();
    void StartDrag();
    void DragOver(QDragMoveEvent* event, bool checkEditable);
    void SetDropTarget(CellPos cell);

    CCellStore cells;
    QList<QPixmap> imageList;
    int margin = 0;
    std::unique_ptr<TextWidths> normalWidths;
    std::unique_ptr<TextWidths> boldWidths;

    QColor textColour;
    QColor textBackground;
    QColor outsideColour;
    QColor fixedTextColour;
    QColor fixedBackground;
    QColor gridLineColour{192, 192, 192};
    QPalette systemColours;  // the system colours the five above came from
    // The five and their roles in the palette.
    static const std::pair<QColor CGridCtrl::*, QPalette::ColorRole> kSystemColourRoles[5];
    int gridLines = kGridBoth;
    bool listMode = false;
    bool dragAndDrop = false;
    bool redraw = true;
    bool handleTab = true;
    bool titleTips = true;
    bool rowResize = true;
    bool columnResize = true;
    int captureRange = 3;
    unsigned wheelLines = 3;
    bool dropTargetRegistered = false;
    bool rowCommands = false;
    bool columnCommands = false;
    QPointer<CCellTip> titleTip;

    QScrollBar* verticalBar;
    QScrollBar* horizontalBar;
    int scrollX = 0;
    int scrollY = 0;

    MouseMode mouseMode = MouseMode::Idle;
    CellPos selectionStart;
    CellPos clickCell;
    CellPos dropTarget;
    QPoint clickPoint;
    QPoint lastMousePoint;
    QTimer autoScroll;
    // Row or column being resized, its leading edge in client coordinates,
    // and the tracking line (-1: none).
    int resizedIndex = -1;
    int resizeStart = 0;
    int trackingLine = -1;
    bool handlingSize = false;  // inside resizeEvent
};

template <class Action>
void CGridCtrl::AsUserAction(Action&& action)
{
    {
        UndoScope step(cells.undo);
        action();
    }
    WidenChangedColumns();
}
