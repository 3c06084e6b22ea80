#include "controls/link_static.h"

#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "platform/text_format.h"

#include <QApplication>
#include <QCursor>
#include <QFontMetrics>
#include <QMouseEvent>

const QColor CLinkStatic::kUnvisitedColour(0, 0, 238);
const QColor CLinkStatic::kVisitedColour(85, 26, 139);
const QColor CLinkStatic::kHoverColour(255, 0, 0);

CLinkStatic::CLinkStatic(const QString& text, unsigned style, QWidget* parent)
    : QLabel(text, parent), StaticStyle(style)
{
    setTextFormat(Qt::PlainText);
    setAlignment(platform::StaticAlignment(style));
    setMouseTracking(true);
    setAutoFillBackground(true);  // the dialog face behind the text
    setCursor(Qt::PointingHandCursor);
    HoverTimer.setInterval(kHoverCheckMs);
    connect(&HoverTimer, &QTimer::timeout, this, &CLinkStatic::OnHoverCheck);
    ApplyColour();
}

void CLinkStatic::Attach()
{
    if (Attached)
        return;
    Attached = true;
    if (TargetText.isEmpty())
        TargetText = text();
    if (text().isEmpty())
        setText(TargetText);
    NormalFont = font();
    UnderlinedFont = NormalFont;
    UnderlinedFont.setUnderline(true);
    FitToText();
    setToolTip(TargetText);
}

void CLinkStatic::SetTarget(const QString& target)
{
    TargetText = target;
    if (!Attached)
        return;
    FitToText();
    setToolTip(TargetText);
}

void CLinkStatic::MarkVisited(bool visited)
{
    Visited = visited;
    ApplyColour();
}

QColor CLinkStatic::TextColour() const
{
    if (Over)
        return kHoverColour;
    return Visited ? kVisitedColour : kUnvisitedColour;
}

void CLinkStatic::ApplyColour()
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, TextColour());
    setPalette(colours);
    update();
}

// The frame around the text (the label's frame and margins) is kept; only
// the text area takes the size of the text. Centred styles move both edges
// by half the difference, truncated toward zero.
void CLinkStatic::FitToText()
{
    if (!Attached)
        return;
    QRect window = geometry();
    const QRect client = contentsRect();
    const int insetLeft = client.left();
    const int insetTop = client.top();
    const int insetRight = width() - (client.left() + client.width());
    const int insetBottom = height() - (client.top() + client.height());
    const QSize textSize = QFontMetrics(UnderlinedFont).size(0, text());

    const Qt::Alignment alignment = platform::StaticAlignment(StaticStyle);
    const int newHeight = textSize.height() + insetTop + insetBottom;
    if (alignment & Qt::AlignVCenter) {
        const int half = (window.height() - newHeight) / 2;
        window.setTop(window.top() + half);
        window.setBottom(window.bottom() - half);
    } else {
        window.setHeight(newHeight);
    }

    const int newWidth = textSize.width() + insetLeft + insetRight;
    if (alignment & Qt::AlignHCenter) {
        const int half = (window.width() - newWidth) / 2;
        window.setLeft(window.left() + half);
        window.setRight(window.right() - half);
    } else if (alignment & Qt::AlignRight) {
        window.setLeft(window.left() + window.width() - newWidth);
    } else {
        window.setWidth(newWidth);
    }
    setGeometry(window);
}

void CLinkStatic::ReportOpenError(int code)
{
    platform::ShowMessage(QStringLiteral("Unable to open hyperlink:\n\n") + platform::OpenErrorText(code), this,
                          platform::MessageIcon::Warning);
}

void CLinkStatic::showEvent(QShowEvent* event)
{
    Attach();
    QLabel::showEvent(event);
}

void CLinkStatic::mouseMoveEvent(QMouseEvent* event)
{
    if (!Over) {
        Over = true;
        setFont(UnderlinedFont);
        ApplyColour();
        HoverTimer.start();
    }
    QLabel::mouseMoveEvent(event);
}

// The hover ends when a check finds the cursor outside; a leave event alone
// does not end it, so a fast exit is caught by the next check.
void CLinkStatic::OnHoverCheck()
{
    if (rect().contains(mapFromGlobal(QCursor::pos())))
        return;
    Over = false;
    HoverTimer.stop();
    setFont(NormalFont);
    ApplyColour();
}

void CLinkStatic::mousePressEvent(QMouseEvent* event)
{
    Pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void CLinkStatic::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = Pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    Pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        OnClicked();
}

// The second press of a double click is no click of its own: a double
// click opens the target once.
void CLinkStatic::mouseDoubleClickEvent(QMouseEvent* event)
{
    Pressed = false;
    event->accept();
}

// 32 and below are failures, compared signed: negative codes fail too.
void CLinkStatic::OnClicked()
{
    Over = false;
    ApplyColour();
    const int result = platform::OpenTarget(TargetText);
    if (result > 32) {
        MarkVisited(true);
        return;
    }
    QApplication::beep();
    ReportOpenError(result);
}
