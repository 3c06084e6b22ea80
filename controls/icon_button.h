#pragma once

#include <QColor>
#include <QIcon>
#include <QPushButton>
#include <QSize>

// A flat push button that shows an icon, beside its caption or centred
// when it has none. At rest it has no border; while the mouse is over it
// (and the program has an active window, the mouse did not enter with the
// left button held, and the button is enabled) it rises with a light 3D
// border; while pressed it sinks and its icon and caption move by one
// pixel. A disabled button draws icon and caption embossed and never
// rises. No focus rectangle. A double click acts as two clicks. Fill and
// text colours are read from the palette once, when the button is built.
class CIconButton : public QPushButton {
    Q_OBJECT

public:
    explicit CIconButton(QWidget* parent = nullptr);

    // Icons of the program's resources (platform/icons.h). The normal icon
    // is the hover icon when normalIconId is 0.
    void LoadIcons(int hoverIconId, int normalIconId = 0);
    void SetIcons(const QIcon& hoverIcon, const QIcon& normalIcon, const QSize& iconSize);

    // Tooltip from the string table or as text; nothing happens for an
    // empty text. activate false keeps the text but shows no tooltip.
    void SetTip(int stringId, bool activate);
    void SetTip(const QString& text, bool activate);

    bool IsHover() const { return hover; }
    QSize IconSize() const { return iconSize; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void TrackHover(const QPoint& position, Qt::MouseButtons buttons);
    void SetHover(bool on);
    void DrawEmbossed(QPainter& painter, const QPixmap& image, const QPoint& at) const;
    QPixmap TextImage(const QString& text, const QSize& size) const;

    QIcon hoverIcon;
    QIcon normalIcon;
    QSize iconSize;
    bool hover = false;
    bool tipActive = false;
    QString tipText;
    // Read once: later palette changes do not reach the button's fill and text.
    QColor normalBackground;
    QColor normalText;
    QColor hoverBackground;
    QColor hoverText;
};
