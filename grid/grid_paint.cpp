#include "grid/grid_ctrl.h"

#include "platform/draw_3d_rect.h"
#include "platform/text_format.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <tuple>

// Painting: only the cells that meet the area to repaint are drawn, so a
// line scroll costs one strip and a screen costs its visible cells.

// The non-fixed rows and columns that show (first > last: none), and where
// the drawn cells end.
struct CGridCtrl::VisibleRange {
    int firstRow = 0;
    int lastRow = -1;
    int firstColumn = 0;
    int lastColumn = -1;
    int right = 0;
    int bottom = 0;
};

namespace {

// The first and last index whose extent meets [from, to) in offsets from
// index 0, or (0, -1).
template <class At>
std::pair<int, int> Meeting(int from, int to, int count, At&& at)
{
    if (to <= from)
        return {0, -1};
    const int first = at(from);
    if (first < 0)
        return {0, -1};
    const int last = at(to - 1);
    return {first, last < 0 ? count - 1 : last};
}

} // namespace

CGridCtrl::VisibleRange CGridCtrl::Visible() const
{
    const QRect client = ClientRect();
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    VisibleRange visible;
    std::tie(visible.firstRow, visible.lastRow) =
        Meeting(fixedHeight + scrollY, client.height() + scrollY, GetNumRows(),
                [this](int y) { return cells.RowAtOffset(y); });
    std::tie(visible.firstColumn, visible.lastColumn) =
        Meeting(fixedWidth + scrollX, client.width() + scrollX, GetNumColumns(),
                [this](int x) { return cells.ColumnAtOffset(x); });
    visible.bottom = visible.lastRow >= visible.firstRow ? cells.RowTop(visible.lastRow + 1) - scrollY : fixedHeight;
    visible.right =
        visible.lastColumn >= visible.firstColumn ? cells.ColumnLeft(visible.lastColumn + 1) - scrollX : fixedWidth;
    return visible;
}

void CGridCtrl::paintEvent(QPaintEvent* event)
{
    if (!redraw)
        return;
    QPainter painter(this);
    PaintAll(painter, event->rect());
    // The square between the two scroll bars.
    if (!verticalBar->isHidden() && !horizontalBar->isHidden())
        painter.fillRect(QRect(verticalBar->x(), horizontalBar->y(), verticalBar->width(), horizontalBar->height()),
                         SystemColour(QPalette::Window));
}

void CGridCtrl::PaintAll(QPainter& painter, const QRect& area)
{
    const QRect client = ClientRect();
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    const VisibleRange visible = Visible();
    const int right = std::max(visible.right, fixedWidth);
    const int bottom = std::max(visible.bottom, fixedHeight);

    painter.setClipRect(client);
    painter.fillRect(QRect(0, 0, fixedWidth, bottom), fixedBackground);
    painter.fillRect(QRect(fixedWidth, 0, right - fixedWidth, fixedHeight), fixedBackground);
    painter.fillRect(QRect(fixedWidth, fixedHeight, right - fixedWidth, bottom - fixedHeight), textBackground);
    if (right <= area.right())
        painter.fillRect(QRect(right, area.top(), area.right() + 1 - right, area.height()), outsideColour);
    if (bottom <= area.bottom())
        painter.fillRect(QRect(area.left(), bottom, right - area.left(), area.bottom() + 1 - bottom), outsideColour);

    // Each part of the grid in its own clip, so that cells scrolled under
    // the fixed ones do not show.
    const auto paintPart = [&](int firstRow, int lastRow, int firstColumn, int lastColumn, const QRect& part) {
        const QRect clip = part.intersected(client).intersected(area);
        if (clip.isEmpty())
            return;
        painter.setClipRect(clip);
        for (int row = firstRow; row <= lastRow; ++row)
            for (int column = firstColumn; column <= lastColumn; ++column) {
                const QRect rect = CellRect({row, column});
                if (!rect.intersects(clip))
                    continue;
                if (cells.IsFixed({row, column}))
                    PaintFixedCell(painter, row, column, rect);
                else
                    PaintCell(painter, row, column, rect);
            }
    };
    const int fixedRows = GetNumFixedRows();
    const int fixedColumns = GetNumFixedColumns();
    paintPart(0, fixedRows - 1, 0, fixedColumns - 1, QRect(0, 0, fixedWidth, fixedHeight));
    paintPart(0, fixedRows - 1, visible.firstColumn, visible.lastColumn,
              QRect(fixedWidth, 0, client.width() - fixedWidth, fixedHeight));
    paintPart(visible.firstRow, visible.lastRow, 0, fixedColumns - 1,
              QRect(0, fixedHeight, fixedWidth, client.height() - fixedHeight));
    paintPart(visible.firstRow, visible.lastRow, visible.firstColumn, visible.lastColumn,
              QRect(fixedWidth, fixedHeight, client.width() - fixedWidth, client.height() - fixedHeight));

    painter.setClipRect(QRect(fixedWidth, fixedHeight, client.width() - fixedWidth, client.height() - fixedHeight));
    PaintGridLines(painter, visible);
    painter.setClipRect(client);
    PaintTrackingLine(painter);
    painter.setClipping(false);
}

void CGridCtrl::PaintGridLines(QPainter& painter, const VisibleRange& visible)
{
    painter.setPen(QPen(gridLineColour, 0));
    const int fixedWidth = cells.FixedColumnWidth();
    const int fixedHeight = cells.FixedRowHeight();
    if (gridLines & kGridVertical)
        for (int column = visible.firstColumn; column <= visible.lastColumn; ++column) {
            const int x = cells.ColumnLeft(column + 1) - scrollX - 1;
            painter.drawLine(x, fixedHeight, x, visible.bottom - 1);
        }
    if (gridLines & kGridHorizontal)
        for (int row = visible.firstRow; row <= visible.lastRow; ++row) {
            const int y = cells.RowTop(row + 1) - scrollY - 1;
            painter.drawLine(fixedWidth, y, visible.right - 1, y);
        }
}

void CGridCtrl::PaintTrackingLine(QPainter& painter)
{
    if (trackingLine < 0)
        return;
    const QRect client = ClientRect();
    const QRect line = mouseMode == MouseMode::DraggingColumnEdge ? QRect(trackingLine, 0, 2, client.height())
                                                                  : QRect(0, trackingLine, client.width(), 2);
    painter.setCompositionMode(QPainter::CompositionMode_Difference);  // inverted
    painter.fillRect(line, Qt::white);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void CGridCtrl::PaintFixedCell(QPainter& painter, int row, int column, const QRect& rect)
{
    const CellExtras* own = cells.Extras(row, column);
    painter.fillRect(rect, own && own->background.isValid() ? own->background : fixedBackground);
    if (OnFocusLine({row, column}))
        platform::Draw3dRect(painter, rect, SystemColour(QPalette::Shadow),
                             SystemColour(QPalette::Midlight));  // sunken
    else
        platform::Draw3dRect(painter, rect, SystemColour(QPalette::Light), SystemColour(QPalette::Shadow));  // raised
    painter.setPen(own && own->foreground.isValid() ? own->foreground : fixedTextColour);
    PaintCellText(painter, row, column, rect.adjusted(1, 1, -1, -1), ShownFont({row, column}));
}

void CGridCtrl::PaintCell(QPainter& painter, int row, int column, const QRect& rect)
{
    const CellExtras* own = cells.Extras(row, column);
    const QColor background = own && own->background.isValid() ? own->background : textBackground;
    QColor text = own && own->foreground.isValid() ? own->foreground : textColour;
    const unsigned state = GetCellState(row, column);
    // The frame lies inside the cell, clear of the grid lines.
    const QRect frame(rect.left(), rect.top(), rect.width() - 2, rect.height() - 2);
    if (GetCurrentCell() == CellPos{row, column}) {
        painter.fillRect(rect, background);
        painter.setPen(Qt::black);
        painter.drawRect(frame);
    } else if (state & kCellSelected) {
        painter.fillRect(rect, SystemColour(QPalette::Highlight));
        text = SystemColour(QPalette::HighlightedText);
    } else {
        painter.fillRect(rect, background);
    }
    if (state & kCellDropTarget) {
        painter.setPen(Qt::black);
        painter.drawRect(frame);
    }
    painter.setPen(text);
    PaintCellText(painter, row, column, rect.adjusted(1, 1, -1, -1), CellFont(row, column));
}

QRect CGridCtrl::TextArea(QRect rect, const QPixmap* image) const
{
    rect.adjust(margin, 0, -margin, 0);
    if (image)
        rect.setLeft(rect.left() + image->width() + margin + 1);
    return rect;
}

void CGridCtrl::PaintCellText(QPainter& painter, int row, int column, QRect rect, const QFont& cellFont)
{
    const QPixmap* image = CellImage(cells.Extras(row, column));
    if (image)
        painter.drawPixmap(rect.topLeft() + QPoint(margin, 0), *image);
    const CCell* cell = cells.Cell(row, column);
    if (cell->text.IsEmpty())
        return;
    painter.setFont(cellFont);
    painter.drawText(TextArea(rect, image), platform::DrawTextFlags(cell->format), cell->text.ToString());
}
