#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace platform {

// A 3D frame one pixel wide inside rect: topLeft colours the top and left
// edges, bottomRight the bottom and right edges (raised: light then dark;
// sunken: the other way round).
inline void Draw3dRect(QPainter& painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight)
{
    painter.setPen(topLeft);
    painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
    painter.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
    painter.setPen(bottomRight);
    painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
    painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
}

} // namespace platform
