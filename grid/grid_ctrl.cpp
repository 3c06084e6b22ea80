#include "grid/grid_ctrl.h"

#include "grid/cell_editor.h"
#include "platform/dialog_builder.h"

#include <QApplication>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>

// Construction, attributes, cell access, sizes, focus and selection, and
// scrolling. Painting, input and data transfer have files of their own.

namespace {

// Dialog templates can name the grid's window class from the start.
[[maybe_unused]] const bool classRegistered = CGridCtrl::RegisterWindowClass();

} // namespace

const std::pair<QColor CGridCtrl::*, QPalette::ColorRole> CGridCtrl::kSystemColourRoles[5] = {
    {&CGridCtrl::textColour, QPalette::Text},           {&CGridCtrl::textBackground, QPalette::Base},
    {&CGridCtrl::outsideColour, QPalette::Dark},        {&CGridCtrl::fixedTextColour, QPalette::ButtonText},
    {&CGridCtrl::fixedBackground, QPalette::Button},
};

CGridCtrl::CGridCtrl(int rows, int columns, int fixedRows, int fixedColumns, QWidget* parent)
    : QWidget(parent), verticalBar(new QScrollBar(Qt::Vertical, this)),
      horizontalBar(new QScrollBar(Qt::Horizontal, this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);

    systemColours = palette();
    for (const auto& [colour, role] : kSystemColourRoles)
        this->*colour = systemColours.color(QPalette::Active, role);
    wheelLines = unsigned(QApplication::wheelScrollLines());
    UpdateTextWidths();

    cells.notify = [this](int code, CellPos cell) { return SendNotify(code, cell); };
    cells.cellChanged = [this](CellPos cell) { RedrawCell(cell); };
    cells.layoutChanged = [this] { RepaintAfterChange(); };

    for (QScrollBar* bar : {verticalBar, horizontalBar}) {
        const Qt::Orientation orientation = bar->orientation();
        bar->setFocusPolicy(Qt::NoFocus);
        bar->hide();
        connect(bar, &QScrollBar::actionTriggered, this,
                [this, orientation](int action) { OnScrollBarAction(orientation, action); });
        connect(bar, &QScrollBar::valueChanged, this, [this, orientation](int value) {
            if (value != ScrollPos(orientation))
                Scroll(orientation, SB_THUMBTRACK, value);
        });
    }
    autoScroll.setInterval(25);
    connect(&autoScroll, &QTimer::timeout, this, &CGridCtrl::OnAutoScrollTimer);

    SetNumRows(rows);
    SetNumColumns(columns);
    SetNumFixedRows(fixedRows);
    SetNumFixedColumns(fixedColumns);
}

CGridCtrl::~CGridCtrl()
{
    // An open editor loses the focus while the window goes; its report
    // must not reach a grid that is half destroyed.
    for (CCellEditor* editor : findChildren<CCellEditor*>(Qt::FindDirectChildrenOnly))
        editor->disconnect(this);
    delete titleTip.data();  // unless its window went first
}

bool CGridCtrl::RegisterWindowClass()
{
    return platform::RegisterWindowClass(QString::fromLatin1(kWindowClass),
                                         [](QWidget* dialog) -> QWidget* { return new CGridCtrl(0, 0, 0, 0, dialog); });
}

QFont CGridCtrl::SystemMessageFont()
{
    return QApplication::font();
}

CGridCtrl* CGridCtrl::BindToDialogControl(QWidget* dialog, int id)
{
    auto* grid = platform::FindControlAs<CGridCtrl>(dialog, id);
    if (!grid)
        return nullptr;
    grid->SetGridFont(SystemMessageFont());
    grid->SetupInteraction();
    return grid;
}

void CGridCtrl::SetupInteraction()
{
    if (titleTips && !titleTip) {
        titleTip = new CCellTip;
        titleTip->CreateTipWindow(this);
    }
    RegisterDropTarget();
}

void CGridCtrl::RegisterDropTarget()
{
    if (!dropTargetRegistered) {
        setAcceptDrops(true);
        dropTargetRegistered = true;
    }
}

int CGridCtrl::SendNotify(int code, CellPos cell)
{
    return Notify(code, cell.row, cell.column);
}

// --- font and colours -----------------------------------------------------

void CGridCtrl::SetGridFont(const QFont& newFont)
{
    // A different font reaches ApplyFont through changeEvent; the same one
    // must still give every cell the grid's font.
    const QFont before = font();
    setFont(newFont);
    if (font() == before && font().resolveMask() == before.resolveMask())
        ApplyFont();
}

void CGridCtrl::ApplyFont()
{
    cells.ClearCellFonts();
    UpdateTextWidths();
    const QFontMetrics& metrics = normalWidths->Metrics();
    margin = metrics.horizontalAdvance(QLatin1Char(' '));
    cells.SetDefaultSize(Qt::Vertical, metrics.height() + std::max(0, metrics.leading()) + 2 * margin);
    cells.SetDefaultSize(Qt::Horizontal, 2 * (margin + 6 * metrics.averageCharWidth()));
    update();
}

void CGridCtrl::UpdateTextWidths()
{
    normalWidths = std::make_unique<TextWidths>(font());
    boldWidths = std::make_unique<TextWidths>(SemiBold(font()));
}

QFont CGridCtrl::SemiBold(QFont font)
{
    font.setWeight(QFont::DemiBold);
    return font;
}

bool CGridCtrl::OnFocusLine(CellPos cell) const
{
    const CellPos focus = GetCurrentCell();
    return cells.IsFixed(cell) && IsValid(focus) && (focus.row == cell.row || focus.column == cell.column);
}

QFont CGridCtrl::ShownFont(CellPos cell) const
{
    const QFont font = CellFont(cell.row, cell.column);
    return OnFocusLine(cell) ? SemiBold(font) : font;
}

void CGridCtrl::FollowSystemColours()
{
    const QPalette now = palette();
    for (const auto& [colour, role] : kSystemColourRoles)
        if (this->*colour == systemColours.color(QPalette::Active, role))
            this->*colour = now.color(QPalette::Active, role);
    systemColours = now;
    update();
}

void CGridCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange)
        ApplyFont();
    else if (event->type() == QEvent::PaletteChange)
        FollowSystemColours();
    QWidget::changeEvent(event);
}

void CGridCtrl::EnableSelection(bool on)
{
    cells.ClearSelection();
    cells.SelectionEnabled = on;
}

void CGridCtrl::AllowDragAndDrop(bool on)
{
    dragAndDrop = on;
    if (on)
        RegisterDropTarget();
}

void CGridCtrl::AllowRedraw(bool on)
{
    redraw = on;
    RepaintAfterChange();
}

// --- counts and cells -----------------------------------------------------

void CGridCtrl::RepaintAfterChange()
{
    if (!redraw)
        return;
    RecomputeScrollBars();
    update();
}

bool CGridCtrl::WriteCell(const GridItem& item)
{
    return cells.WriteCell(item);
}

bool CGridCtrl::ReadCell(GridItem& item) const
{
    if (!cells.ReadCell(item))
        return false;
    if (item.mask & kItemFont)
        item.font = CellFont(item.row, item.column);
    return true;
}

bool CGridCtrl::SetCellText(int row, int column, const QString& text)
{
    return cells.SetCellText(row, column, text);
}

QString CGridCtrl::GetCellText(int row, int column) const
{
    return cells.GetCellText(row, column);
}

bool CGridCtrl::SetCellState(int row, int column, unsigned state)
{
    return cells.SetCellState(row, column, state);
}

bool CGridCtrl::SetCellFont(int row, int column, const QFont& cellFont)
{
    return cells.SetCellFont(row, column, cellFont);
}

QFont CGridCtrl::CellFont(int row, int column) const
{
    const CellExtras* own = cells.Extras(row, column);
    return own && own->font ? *own->font : font();
}

// --- sizes ----------------------------------------------------------------

bool CGridCtrl::Resize(Qt::Orientation orientation, int index, int size)
{
    const bool done = cells.SetSize(orientation, index, size);
    if (done)
        RepaintAfterChange();
    return done;
}

QSize CGridCtrl::MeasureCell(int row, int column) const
{
    const CCell* cell = cells.Cell(row, column);
    if (!cell)
        return {};
    const bool fixed = cells.IsFixed({row, column});
    const CellExtras* own = cells.Extras(row, column);
    QSize text;
    if (own && own->font)
        text = TextExtent(QFontMetrics(fixed ? SemiBold(*own->font) : *own->font), cell->text.ToString());
    else if (const TextWidths& widths = fixed ? *boldWidths : *normalWidths; auto latin1 = cell->text.Latin1())
        text = {widths.Width(*latin1), widths.Height(*latin1)};
    else
        text = TextExtent(widths.Metrics(), cell->text.ToString());
    QSize image(0, 0);
    if (const QPixmap* shown = CellImage(own))
        image = shown->size();
    return {text.width() + 4 * margin + image.width(), std::max(text.height() + 2 * margin, image.height())};
}

// The widest (highest) cell of a column (row) gives its size.
bool CGridCtrl::Fit(Qt::Orientation orientation, int index)
{
    if (index < 0 || index >= cells.Axis(orientation).Count())
        return false;
    const bool rows = orientation == Qt::Vertical;
    int size = 0;
    for (int other = 0; other < cells.Axis(Across(orientation)).Count(); ++other) {
        const QSize extent = rows ? MeasureCell(index, other) : MeasureCell(other, index);
        size = std::max(size, rows ? extent.height() : extent.width());
    }
    cells.SetSize(orientation, index, size);
    RecomputeScrollBars();
    update();
    return true;
}

void CGridCtrl::WidenColumns(const CellBlock& block)
{
    if (!IsValid(CellPos{block.minRow, block.minColumn}) || !IsValid(CellPos{block.maxRow, block.maxColumn}))
        return;
    bool widened = false;
    for (int column = block.minColumn; column <= block.maxColumn; ++column) {
        if (cells.IsColumnUserSized(column))
            continue;
        int width = GetColumnWidth(column);
        for (int row = block.minRow; row <= block.maxRow; ++row)
            width = std::max(width, MeasureCell(row, column).width());
        if (width > GetColumnWidth(column)) {
            cells.SetColumnWidth(column, width);
            widened = true;
        }
    }
    if (widened)
        RepaintAfterChange();
}

void CGridCtrl::AllowLineCommands(bool rows, bool columns)
{
    rowCommands = rows;
    columnCommands = columns;
}

void CGridCtrl::FitAll()
{
    std::vector<int> widths(GetNumColumns(), 0);
    for (int row = 0; row < GetNumRows(); ++row) {
        int height = 0;
        for (int column = 0; column < GetNumColumns(); ++column) {
            const QSize extent = MeasureCell(row, column);
            height = std::max(height, extent.height());
            widths[column] = std::max(widths[column], extent.width());
        }
        cells.SetRowHeight(row, height);
    }
    for (int column = 0; column < GetNumColumns(); ++column)
        cells.SetColumnWidth(column, widths[column]);
    RepaintAfterChange();
}

// --- focus and selection --------------------------------------------------

void CGridCtrl::SetCurrentCell(CellPos cell)
{
    const CellPos old = cells.FocusCell();
    if (!IsValid(cell))
        cell = {};
    if (cell == old)
        return;
    if (IsValid(old))
        SendNotify(kNotifyFocusChanging, old);
    cells.SetFocusCell(cell);
    RedrawHeadersOf(old);
    if (IsValid(cell)) {
        RedrawHeadersOf(cell);
        SendNotify(kNotifyFocusChanged, cell);
    }
}

void CGridCtrl::SelectRange(const CellBlock& range)
{
    cells.SelectRange(range);
}

void CGridCtrl::SelectEverything()
{
    cells.SelectRange(cells.NonFixedBlock());
}

void CGridCtrl::MarkModified(CellPos cell)
{
    cells.MarkModified(cell);
}

void CGridCtrl::RedrawCell(CellPos cell)
{
    if (!redraw || !isVisible())
        return;
    const QRect rect = CellRect(cell);
    if (rect.intersects(ClientRect()))
        update(rect.adjusted(0, 0, 1, 1));  // and the grid lines right and below
}

void CGridCtrl::RedrawHeadersOf(CellPos cell)
{
    if (!IsValid(cell))
        return;
    for (int row = 0; row < GetNumFixedRows(); ++row)
        RedrawCell({row, cell.column});
    for (int column = 0; column < GetNumFixedColumns(); ++column)
        RedrawCell({cell.row, column});
}

// --- geometry -------------------------------------------------------------

QRect CGridCtrl::CellRect(CellPos cell) const
{
    if (!IsValid(cell))
        return {};
    const int x = cells.ColumnLeft(cell.column) - (cell.column >= GetNumFixedColumns() ? scrollX : 0);
    const int y = cells.RowTop(cell.row) - (cell.row >= GetNumFixedRows() ? scrollY : 0);
    return QRect(x, y, GetColumnWidth(cell.column), GetRowHeight(cell.row));
}

CellPos CGridCtrl::CellAt(const QPoint& point) const
{
    if (point.x() < 0 || point.y() < 0)
        return {};
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    const int column = cells.ColumnAtOffset(point.x() < fixedWidth ? point.x() : point.x() + scrollX);
    const int row = cells.RowAtOffset(point.y() < fixedHeight ? point.y() : point.y() + scrollY);
    if (row < 0 || column < 0)
        return {};
    return {row, column};
}

bool CGridCtrl::IsCellFullyShown(CellPos cell) const
{
    if (!IsValid(cell))
        return false;
    QRect area = ClientRect();
    if (cell.column >= GetNumFixedColumns())
        area.setLeft(cells.FixedColumnWidth());
    if (cell.row >= GetNumFixedRows())
        area.setTop(cells.FixedRowHeight());
    const QRect rect = CellRect(cell);
    // A cell larger than the area counts as shown from its start.
    const bool across = rect.left() >= area.left() && (rect.right() <= area.right() || rect.left() == area.left());
    const bool down = rect.top() >= area.top() && (rect.bottom() <= area.bottom() || rect.top() == area.top());
    return across && down;
}

// --- scrolling ------------------------------------------------------------

// Taking the focus may resize the grid again: that inner size is left alone.
void CGridCtrl::resizeEvent(QResizeEvent* event)
{
    if (handlingSize)
        return;
    handlingSize = true;
    setFocus();
    QWidget::resizeEvent(event);
    RecomputeScrollBars();
    handlingSize = false;
}

int CGridCtrl::ScrollPos(Qt::Orientation orientation) const
{
    return orientation == Qt::Vertical ? scrollY : scrollX;
}

int CGridCtrl::ScrollMax(Qt::Orientation orientation) const
{
    return (orientation == Qt::Vertical ? verticalBar : horizontalBar)->maximum();
}

void CGridCtrl::RecomputeScrollBars()
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    const int virtualWidth = cells.Axis(Qt::Horizontal).Total() - fixedWidth;
    const int virtualHeight = cells.Axis(Qt::Vertical).Total() - fixedHeight;
    // Each bar takes room from the other direction.
    bool vertical = false;
    bool horizontal = false;
    for (int pass = 0; pass < 3; ++pass) {
        vertical = virtualHeight > height() - (horizontal ? bar : 0) - fixedHeight;
        horizontal = virtualWidth > width() - (vertical ? bar : 0) - fixedWidth;
    }
    const int pageHeight = std::max(0, height() - (horizontal ? bar : 0) - fixedHeight);
    const int pageWidth = std::max(0, width() - (vertical ? bar : 0) - fixedWidth);
    const auto apply = [](QScrollBar* scrollBar, bool shown, int total, int page, int& position) {
        const QSignalBlocker quiet(scrollBar);
        scrollBar->setRange(0, shown ? total - page : 0);
        scrollBar->setPageStep(std::max(1, page));
        position = std::clamp(position, 0, scrollBar->maximum());
        scrollBar->setValue(position);
    };
    apply(verticalBar, vertical, virtualHeight, pageHeight, scrollY);
    apply(horizontalBar, horizontal, virtualWidth, pageWidth, scrollX);
    PlaceScrollBars(vertical, horizontal);
}

void CGridCtrl::PlaceScrollBars(bool vertical, bool horizontal)
{
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    setContentsMargins(0, 0, vertical ? bar : 0, horizontal ? bar : 0);
    verticalBar->setGeometry(width() - bar, 0, bar, height() - (horizontal ? bar : 0));
    horizontalBar->setGeometry(0, height() - bar, width() - (vertical ? bar : 0), bar);
    verticalBar->setVisible(vertical);
    horizontalBar->setVisible(horizontal);
}

void CGridCtrl::OnScrollBarAction(Qt::Orientation orientation, int action)
{
    int code;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: return;  // the thumb arrives through valueChanged
    }
    Scroll(orientation, code, 0);
    // The bar moves to where the grid scrolled, not by its own steps.
    (orientation == Qt::Vertical ? verticalBar : horizontalBar)->setSliderPosition(ScrollPos(orientation));
}

void CGridCtrl::OnVScroll(int code, int thumb)
{
    Scroll(Qt::Vertical, code, thumb);
}

void CGridCtrl::OnHScroll(int code, int thumb)
{
    Scroll(Qt::Horizontal, code, thumb);
}

int CGridCtrl::TopLeft(Qt::Orientation orientation) const
{
    return cells.Axis(orientation).FirstShown(ScrollPos(orientation));
}

// Line steps use the row (column) at the top (left): down by its height, up
// by the height of the one before it.
void CGridCtrl::Scroll(Qt::Orientation orientation, int code, int thumb)
{
    if (!hasFocus())
        setFocus();
    HideTitleTip();
    const bool vertical = orientation == Qt::Vertical;
    const int position = ScrollPos(orientation);
    const int maximum = ScrollMax(orientation);
    const GridAxis& axis = cells.Axis(orientation);
    const int first = TopLeft(orientation);
    const int fixed = axis.FixedCount();
    const QRect client = ClientRect();
    const int page = (vertical ? client.height() : client.width()) - axis.FixedSize();
    switch (code) {
    case SB_LINEDOWN:
        if (position < maximum)
            MoveTo(orientation, std::min(position + axis.Size(first), maximum), true);
        break;
    case SB_LINEUP:
        if (position > 0 && first > fixed)
            MoveTo(orientation, std::max(position - axis.Size(first - 1), 0), true);
        break;
    case SB_PAGEDOWN:
        MoveTo(orientation, std::min(position + page, maximum), false);
        break;
    case SB_PAGEUP:
        MoveTo(orientation, std::max(position - page, 0), false);
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        MoveTo(orientation, std::clamp(thumb, 0, maximum), false);
        break;
    case SB_TOP:
        MoveTo(orientation, 0, false);
        break;
    case SB_BOTTOM:
        MoveTo(orientation, maximum, false);
        break;
    default:
        break;
    }
}

void CGridCtrl::MoveTo(Qt::Orientation orientation, int position, bool moveDrawnPixels)
{
    const bool vertical = orientation == Qt::Vertical;
    int& current = vertical ? scrollY : scrollX;
    const int delta = position - current;
    if (delta == 0)
        return;
    current = position;
    QScrollBar* bar = vertical ? verticalBar : horizontalBar;
    {
        const QSignalBlocker quiet(bar);
        bar->setValue(position);
    }
    if (!redraw)
        return;
    if (!moveDrawnPixels || !isVisible()) {
        update();
        return;
    }
    const QRect client = ClientRect();
    if (vertical) {
        const int top = cells.FixedRowHeight();
        scroll(0, -delta, QRect(0, top, client.width(), client.height() - top));
    } else {
        const int left = cells.FixedColumnWidth();
        scroll(-delta, 0, QRect(left, 0, client.width() - left, client.height()));
    }
}

// Line by line, as the scroll bars would, until the row (column) is shown
// whole, or from its start when it is larger than the area.
void CGridCtrl::ScrollToShow(Qt::Orientation orientation, int index)
{
    const GridAxis& axis = cells.Axis(orientation);
    if (index < axis.FixedCount())
        return;
    int& scroll = orientation == Qt::Vertical ? scrollY : scrollX;
    const QRect client = ClientRect();
    const int areaStart = axis.FixedSize();
    const int areaEnd = Along(orientation, client.right(), client.bottom());
    const int maximum = ScrollMax(orientation);
    const auto start = [&] { return axis.Start(index) - scroll; };
    while (start() + axis.Size(index) - 1 > areaEnd && start() > areaStart && scroll < maximum)
        scroll = std::min(scroll + std::max(1, axis.Size(TopLeft(orientation))), maximum);
    while (start() < areaStart && scroll > 0)
        scroll = std::max(scroll - std::max(1, axis.Size(TopLeft(orientation) - 1)), 0);
}

void CGridCtrl::ScrollIntoView(CellPos cell)
{
    if (!IsValid(cell))
        return;
    const int startX = scrollX;
    const int startY = scrollY;
    ScrollToShow(Qt::Horizontal, cell.column);
    ScrollToShow(Qt::Vertical, cell.row);
    if (scrollX == startX && scrollY == startY)
        return;
    for (QScrollBar* bar : {verticalBar, horizontalBar}) {
        const QSignalBlocker quiet(bar);
        bar->setValue(ScrollPos(bar->orientation()));
    }
    update();
}
