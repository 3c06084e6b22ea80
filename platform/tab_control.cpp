#include "platform/tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace platform {

class TabControl::MinimumWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;
    int minimumTabWidth = 0;

protected:
    QSize tabSizeHint(int index) const override
    {
        QSize size = QTabBar::tabSizeHint(index);
        size.setWidth(std::max(size.width(), minimumTabWidth));
        return size;
    }
};

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar(new MinimumWidthTabBar(this))
{
    bar->setDrawBase(false);  // the frame below is drawn here
    bar->setExpanding(false);
    // Dragged text held over another tab for a moment (the style's delay,
    // half a second) opens that tab, so that it can be dropped there.
    bar->setAcceptDrops(true);
    bar->setChangeCurrentOnDrag(true);
    connect(bar, &QTabBar::currentChanged, this, [this] {
        if (!selectingFromProgram)
            emit SelectionChanged();
    });
    setFocusProxy(bar);
    setFocusPolicy(bar->focusPolicy());
}

int TabControl::InsertItem(int index, const QString& text)
{
    // The first tab becomes the current one by itself: no user's choice.
    selectingFromProgram = true;
    const int inserted = bar->insertTab(index, text);
    selectingFromProgram = false;
    PlaceTabBar();
    return inserted;
}

void TabControl::SetMinTabWidth(int pixels)
{
    bar->minimumTabWidth = pixels;
    // The bar measures its tabs again only when their texts change.
    for (int i = 0; i < bar->count(); ++i)
        bar->setTabText(i, bar->tabText(i));
    PlaceTabBar();
}

int TabControl::GetCurSel() const
{
    return bar->currentIndex();
}

void TabControl::SetCurSel(int index)
{
    selectingFromProgram = true;
    bar->setCurrentIndex(index);
    selectingFromProgram = false;
}

int TabControl::TabRowHeight() const
{
    return bar->sizeHint().height();
}

QTabBar* TabControl::TabBar() const
{
    return bar;
}

void TabControl::PlaceTabBar()
{
    const QSize hint = bar->sizeHint();
    bar->setGeometry(0, 0, std::min(hint.width(), width()), hint.height());
}

void TabControl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceTabBar();
}

void TabControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
    const int top = std::max(0, TabRowHeight() - overlap);
    frame.rect = QRect(0, top, width(), height() - top);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = bar->sizeHint();
    frame.tabBarRect = bar->geometry();
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

} // namespace platform
