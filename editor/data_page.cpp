#include "editor/data_page.h"

#include "core/number_text.h"
#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "platform/string_text.h"
#include "res/text_styles.h"

#include <QResizeEvent>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>

namespace {

// The platform's desktop colour (COLOR_BACKGROUND) around the cells.
constexpr QPalette::ColorRole kDesktopColour = QPalette::Mid;

// A grid nearer than this to the page's top (left) edge, or one that does
// not grow in that direction, counts as a small control when it is at most
// kSmallControl pixels high (wide): it moves with the page instead of growing.
constexpr int kEdgeDistance = 7;
constexpr int kSmallControl = 20;

// "%lf", or the shortest exact text where "%lf" would change the number.
QString ValueText(double value)
{
    std::string text;
    AppendFixedOrExact(text, value, 0, 6);
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

// Header cells are read-only; row 0 wraps its words, the rest is centred.
CCell NewCell(const QString& text, unsigned format, unsigned state)
{
    CCell cell;
    cell.text.Set(text);
    cell.format = format;
    cell.state = state;
    return cell;
}

// A number too large or too small for a double, not "inf" or "nan".
bool OutOfRange(NumberText read, std::string_view text)
{
    return read == NumberText::kOutOfRange &&
           std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

CDataPage::CDataPage(int templateId, QWidget* parent) : QWidget(parent)
{
    platform::BuildDialog(*this, templateId);
    // The editor gives the page the size of its tab's area.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    GridCtrl = CGridCtrl::BindToDialogControl(this, kGrid);
}

void CDataPage::InitPage()
{
    ClientSize.Record(size());
    ApplyGridSettings();
    FillGrid();
    GridCtrl->FitAll();
}

void CDataPage::ApplyGridSettings()
{
    GridCtrl->SetEditable(true);
    GridCtrl->AllowDragAndDrop(true);
    GridCtrl->SetListMode(false);
    GridCtrl->SetTextBackground(Qt::white);
    GridCtrl->SetOutsideColour(palette().color(QPalette::Active, kDesktopColour));
}

void CDataPage::FillCells(int rowCount, const QStringList& columnTitles,
                          const std::function<double(int i, int j)>& value)
{
    const int columnCount = int(columnTitles.size());
    GridCtrl->SetNumRows(rowCount + 1);
    GridCtrl->SetNumColumns(columnCount + 1);
    GridCtrl->SetNumFixedRows(1);
    GridCtrl->SetNumFixedColumns(1);
    auto writeHeader = [this](int row, int column, const QString& text, unsigned format) {
        GridItem header;
        header.row = row;
        header.column = column;
        header.mask = kItemText | kItemFormat;
        header.format = format;
        header.text = text;
        GridCtrl->WriteCell(header);
        GridCtrl->SetCellState(row, column, kCellReadOnly);
    };
    writeHeader(0, 0, platform::LoadText(kStringCornerHeader), res::DT_WORDBREAK);
    for (int j = 0; j < columnCount; ++j)
        writeHeader(0, j + 1, columnTitles[j], res::DT_WORDBREAK);

    GridItem item;
    item.mask = kItemText | kItemFormat;
    item.format = res::DT_CENTER;
    const QString rowTitle = platform::LoadText(kStringRowHeader);
    for (int i = 0; i < rowCount; ++i) {
        writeHeader(i + 1, 0, NumberedTitle(rowTitle, i + 1), res::DT_CENTER);
        item.row = i + 1;
        for (int j = 0; j < columnCount; ++j) {
            item.column = j + 1;
            item.text = ValueText(value(i, j));
            GridCtrl->WriteCell(item);
        }
    }
}

QString CDataPage::NumberedTitle(const QString& title, int number)
{
    return QString(title).replace(QLatin1String("%s"), QString::number(number));
}

CellLines CDataPage::NewLines(Qt::Orientation orientation, int at, int count) const
{
    const CCellStore& cells = GridCtrl->Cells();
    CellLines lines;
    lines.orientation = orientation;
    lines.at = at;
    if (orientation == Qt::Vertical) {
        std::vector<CCell> row{NewCell(QString(), res::DT_CENTER, kCellReadOnly)};
        for (int j = 1; j < cells.GetNumColumns(); ++j)
            row.push_back(NewCell(ValueText(NewValue(j)), res::DT_CENTER, 0));
        lines.cells.assign(std::size_t(count), row);
        lines.sizes.assign(std::size_t(count), cells.GetRowHeight(std::min(at, cells.GetNumRows() - 1)));
    } else {
        const QString text = ValueText(NewValue(at));
        std::vector<CCell> column{NewCell(QString(), res::DT_WORDBREAK, kCellReadOnly)};
        for (int i = 1; i < cells.GetNumRows(); ++i)
            column.push_back(NewCell(text, res::DT_CENTER, 0));
        lines.cells.assign(std::size_t(count), column);
        lines.sizes.assign(std::size_t(count), cells.GetColumnWidth(std::min(at, cells.GetNumColumns() - 1)));
    }
    return lines;
}

void CDataPage::Renumber()
{
    CCellStore& cells = GridCtrl->Cells();
    for (int j = 1; j < cells.GetNumColumns(); ++j)
        if (!cells.Cell(0, j)->text.Equals(ColumnTitle(j)))
            cells.SetCellText(0, j, ColumnTitle(j));
    const QString rowTitle = platform::LoadText(kStringRowHeader);
    for (int i = 1; i < cells.GetNumRows(); ++i)
        if (const QString title = NumberedTitle(rowTitle, i); !cells.Cell(i, 0)->text.Equals(title))
            cells.SetCellText(i, 0, title);
    // The longest titles are the last ones.
    GridCtrl->WidenColumns({0, 0, cells.GetNumRows() - 1, 0});
    GridCtrl->WidenColumns({0, cells.GetNumColumns() - 1, 0, cells.GetNumColumns() - 1});
}

bool CDataPage::ReadValues(Matrix& values, RefusedCells& refused,
                           const std::function<int(int j, double value)>& check) const
{
    const CCellStore& cells = GridCtrl->Cells();
    const int rows = cells.GetNumRows() - 1;
    const int columns = cells.GetNumColumns() - 1;
    values = Matrix(rows, columns, 0.0);
    if (!values.IsValid())
        throw std::bad_alloc();
    std::string wide;
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < columns; ++j) {
            const CCell* cell = cells.Cell(i + 1, j + 1);
            std::string_view text;
            if (const auto latin1 = cell->text.Latin1()) {
                text = *latin1;
            } else {
                wide = cell->text.ToString().toStdString();
                text = wide;
            }
            const NumberText read = ReadWholeNumber(text, values(i, j));
            const int why = read != NumberText::kValid ? (OutOfRange(read, text) ? kStringCellOutOfRange
                                                                                 : kStringCellNotANumber)
                            : check                    ? check(j + 1, values(i, j))
                                                       : 0;
            if (why != 0)
                refused.push_back({{i + 1, j + 1}, why});
        }
    return refused.empty();
}

// Runs of refused cells within a row become one block each.
void CDataPage::ShowRefusedCells(const RefusedCells& refused)
{
    if (refused.empty())
        return;
    std::vector<CellBlock> blocks;
    for (const RefusedCell& cell : refused) {
        const CellPos at = cell.cell;
        if (!blocks.empty() && blocks.back().maxRow == at.row && blocks.back().maxColumn + 1 == at.column)
            blocks.back().maxColumn = at.column;
        else
            blocks.push_back({at.row, at.column, at.row, at.column});
    }
    GridCtrl->Cells().SelectBlocks(blocks);
    FocusCell(refused.front().cell);
}

void CDataPage::Activate()
{
    if (!GridCtrl->IsValid(GridCtrl->GetCurrentCell()))
        GridCtrl->SetCurrentCell({1, 1});
    GridCtrl->setFocus(Qt::OtherFocusReason);
}

void CDataPage::FocusCell(CellPos cell)
{
    GridCtrl->SetCurrentCell(cell);
    GridCtrl->ScrollIntoView(cell);
    GridCtrl->setFocus(Qt::OtherFocusReason);
}

QString CDataPage::RefusalText(const RefusedCell& refused, const QString& pageTitle) const
{
    return platform::FormatText(refused.stringId, {pageTitle, GridCtrl->GetCellText(refused.cell.row, 0),
                                                   GridCtrl->GetCellText(0, refused.cell.column)});
}

// The page's controls follow its size: the grid grows with it (a small one
// moves instead), anything else moves by the change.
void CDataPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const QSize size = event->size();
    if (!ClientSize.Recorded() || size.width() < 2 || size.height() < 2)
        return;
    const QSize change = *ClientSize.Follow(size);
    FollowSize(change.width(), change.height());
}

// Only the page's own controls: the grid's scroll bars are its own business.
void CDataPage::FollowSize(int dx, int dy)
{
    for (QObject* child : children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (!control || control->isWindow())
            continue;
        const QRect r = control->geometry();
        const bool small = ((r.top() < kEdgeDistance || dy <= 0) && r.height() <= kSmallControl) ||
                           ((r.left() < kEdgeDistance || dx <= 0) && r.width() <= kSmallControl);
        if (control == GridCtrl && !small)
            control->resize(r.width() + dx, r.height() + dy);
        else
            control->move(r.topLeft() + QPoint(dx, dy));
        update();
    }
}
