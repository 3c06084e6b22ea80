#include "platform/up_down_control.h"

#include "core/number_text.h"
#include "res/dialog_templates.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

namespace platform {

UpDownControl::UpDownControl(unsigned style, QWidget* parent)
    : QWidget(parent), style(style), up(new QToolButton(this)), down(new QToolButton(this))
{
    for (QToolButton* arrow : {up, down}) {
        arrow->setAutoRepeat(true);  // held down, it keeps stepping
        arrow->setFocusPolicy(Qt::NoFocus);
        arrow->setArrowType(arrow == up ? Qt::UpArrow : Qt::DownArrow);
        connect(arrow, &QToolButton::clicked, this, [this, arrow] { Step(arrow == up ? 1 : -1); });
    }
    setFocusPolicy(Qt::NoFocus);
}

void UpDownControl::SetBuddy(QLineEdit* edit)
{
    if (buddy)
        buddy->removeEventFilter(this);
    buddy = edit;
    if (buddy && (style & res::UDS_ARROWKEYS))
        buddy->installEventFilter(this);
}

void UpDownControl::SetRange(int lowest, int highest)
{
    low = std::min(lowest, highest);
    high = std::max(lowest, highest);
    position = Clamped(position);
}

int UpDownControl::Clamped(int value) const
{
    return std::clamp(value, low, high);
}

void UpDownControl::SetPos(int newPosition)
{
    position = Clamped(newPosition);
    if (buddy && (style & res::UDS_SETBUDDYINT))
        buddy->setText(QString::number(position));
}

// A typed number counts as the position the step starts from; a text that
// is no number leaves the last position.
void UpDownControl::Step(int delta)
{
    int typed = 0;
    if (buddy && (style & res::UDS_SETBUDDYINT) &&
        ReadWholeInteger(buddy->text().toStdString(), typed) == NumberText::kValid)
        position = Clamped(typed);
    const long long next = static_cast<long long>(position) + delta;
    SetPos(static_cast<int>(std::clamp<long long>(next, low, high)));
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDownControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    up->setGeometry(0, 0, width(), half);
    down->setGeometry(0, half, width(), height() - half);
}

} // namespace platform
