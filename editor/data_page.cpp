#include "editor/data_page.h"

#include "core/number_text.h"
#include "grid/grid_ctrl.h"
#include "platform/dialog_builder.h"
#include "platform/string_text.h"
#include "res/text_styles.h"

#include <QResizeEvent>

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
    std::string text;
    const QString rowTitle = platform::LoadText(kStringRowHeader);
    for (int i = 0; i < rowCount; ++i) {
        writeHeader(i + 1, 0, NumberedTitle(rowTitle, i + 1), res::DT_CENTER);
        item.row = i + 1;
        for (int j = 0; j < columnCount; ++j) {
            text.clear();
            AppendFixedOrExact(text, value(i, j), 0, 6);
            item.column = j + 1;
            item.text = QString::fromLatin1(text.data(), qsizetype(text.size()));
            GridCtrl->WriteCell(item);
        }
    }
}

QString CDataPage::NumberedTitle(const QString& title, int number)
{
    return QString(title).replace(QLatin1String("%s"), QString::number(number));
}

bool CDataPage::ReadValues(Matrix& values, RefusedCell& refused) const
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
            if (ReadWholeNumber(text, values(i, j)) != NumberText::kValid) {
                refused = {{i + 1, j + 1}, kStringCellNotANumber};
                return false;
            }
        }
    return true;
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
