#include "controls/icon_button.h"

#include "platform/draw_3d_rect.h"
#include "platform/icons.h"
#include "platform/string_text.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QSvgRenderer>

namespace {

// Size of an SVG icon resource as drawn (its own width and height).
QSize ResourceIconSize(int id)
{
    QSvgRenderer renderer(platform::IconPath(id));
    return renderer.isValid() ? renderer.defaultSize() : QSize(16, 16);
}

// The image's shape filled with one colour.
QPixmap Silhouette(const QPixmap& image, const QColor& colour)
{
    QPixmap result(image.size());
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.drawPixmap(0, 0, image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(result.rect(), colour);
    return result;
}

} // namespace

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent)
{
    const QPalette colours = QApplication::palette(this);
    normalBackground = colours.color(QPalette::Active, QPalette::Button);
    normalText = colours.color(QPalette::Active, QPalette::ButtonText);
    hoverBackground = normalBackground;
    hoverText = normalText;
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
}

void CIconButton::LoadIcons(int hoverIconId, int normalIconId)
{
    const QIcon hoverImage = platform::LoadIcon(hoverIconId);
    const QIcon normalImage = normalIconId != 0 ? platform::LoadIcon(normalIconId) : hoverImage;
    SetIcons(hoverImage, normalImage, ResourceIconSize(hoverIconId));
}

void CIconButton::SetIcons(const QIcon& hover, const QIcon& normal, const QSize& size)
{
    hoverIcon = hover;
    normalIcon = normal;
    iconSize = size;
    repaint();
}

void CIconButton::SetTip(int stringId, bool activate)
{
    const QString text = platform::LoadText(stringId);
    if (!text.isEmpty())
        SetTip(text, activate);
}

void CIconButton::SetTip(const QString& text, bool activate)
{
    if (text.isEmpty())
        return;
    tipText = text;
    tipActive = activate;
    setToolTip(activate ? tipText : QString());
}

void CIconButton::SetHover(bool on)
{
    if (hover == on)
        return;
    hover = on;
    update();
}

// Highlights only when the program is active and the mouse did not come in
// with the left button held; leaving the button makes it flat again. A
// disabled button takes no mouse input, so it never rises (Qt still sends
// it enter events).
void CIconButton::TrackHover(const QPoint& position, Qt::MouseButtons buttons)
{
    if (!isEnabled()) {
        SetHover(false);
        return;
    }
    if ((buttons & Qt::LeftButton) && !hover)
        return;
    const bool inside = rect().contains(position);
    if (!hover) {
        if (inside && QApplication::activeWindow() && parentWidget())
            SetHover(true);
        return;
    }
    if (!inside)
        SetHover(false);
}

void CIconButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    TrackHover(event->position().toPoint(), event->buttons());
}

void CIconButton::enterEvent(QEnterEvent* event)
{
    QPushButton::enterEvent(event);
    TrackHover(event->position().toPoint(), QApplication::mouseButtons());
}

void CIconButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    SetHover(false);
}

// Disabled under the mouse: flat at once, as no move will reach it any more.
void CIconButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        SetHover(false);
}

void CIconButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    SetHover(false);
}

// The second click of a double click is a press of its own.
void CIconButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void CIconButton::DrawEmbossed(QPainter& painter, const QPixmap& image, const QPoint& at) const
{
    painter.drawPixmap(at + QPoint(1, 1), Silhouette(image, palette().color(QPalette::Active, QPalette::Light)));
    painter.drawPixmap(at, Silhouette(image, palette().color(QPalette::Active, QPalette::Dark)));
}

QPixmap CIconButton::TextImage(const QString& text, const QSize& size) const
{
    const qreal ratio = devicePixelRatioF();
    QPixmap image(size * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font());
    painter.setPen(hover || isDown() ? hoverText : normalText);
    painter.drawText(QRect(QPoint(0, 0), size), Qt::TextShowMnemonic | Qt::TextSingleLine, text);
    return image;
}

void CIconButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    const bool pressed = isDown();
    const bool lit = hover || pressed;
    painter.fillRect(r, lit ? hoverBackground : normalBackground);

    const QColor light = palette().color(QPalette::Active, QPalette::Light);
    const QColor dark = palette().color(QPalette::Active, QPalette::Dark);
    if (pressed)
        platform::Draw3dRect(painter, r, dark, light);
    else if (hover)
        platform::Draw3dRect(painter, r, light, dark);

    QRect caption = r;
    const QString captionText = text();
    const QIcon& icon = lit ? hoverIcon : normalIcon;
    if (!icon.isNull()) {
        QPoint at(r.left() + (r.width() - iconSize.width()) / 2, r.top() + (r.height() - iconSize.height()) / 2);
        if (!captionText.isEmpty()) {
            at.setX(r.left() + 3);
            caption.setLeft(caption.left() + iconSize.width() + 3);
        }
        if (pressed)
            at += QPoint(1, 1);
        const QPixmap image = icon.pixmap(iconSize, devicePixelRatioF());
        if (isEnabled())
            painter.drawPixmap(at, image);
        else
            DrawEmbossed(painter, image, at);
    }

    if (!captionText.isEmpty()) {
        if (pressed)
            caption.translate(1, 1);
        const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic | Qt::TextSingleLine, captionText);
        const QPoint at(caption.left() + (caption.width() - textSize.width()) / 2,
                        caption.top() + (caption.height() - textSize.height()) / 2);
        const QPixmap image = TextImage(captionText, textSize);
        if (isEnabled())
            painter.drawPixmap(at, image);
        else
            DrawEmbossed(painter, image, at);
    }
}
