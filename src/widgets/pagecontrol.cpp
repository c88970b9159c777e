// Tab visibility and user-change detection of TPageControl.
#include "widgets/pagecontrol.h"

#include <QEvent>
#include <QKeyEvent>
#include <QTabBar>

namespace {
bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return true;
    default:
        return false;
    }
}
// A tab bar that knows when it is handling the user's input: a change of the
// current page during that time is the user's.
class PageTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;
    bool handlingUserInput() const { return m_depth > 0; }

protected:
    bool event(QEvent *event) override
    {
        if (!isUserInput(event->type())) return QTabBar::event(event);
        ++m_depth;
        const bool handled = QTabBar::event(event);
        --m_depth;
        return handled;
    }

private:
    int m_depth = 0;
};
} // namespace

TPageControl::TPageControl(QWidget *parent) : QTabWidget(parent)
{
    setTabBar(new PageTabBar(this));
    connect(this, &QTabWidget::currentChanged, this, &TPageControl::pageChanged);
}

void TPageControl::setActivePageIndex(int index)
{
    if (count() == 0) return;
    setCurrentIndex(std::clamp(index, 0, count() - 1));
}

void TPageControl::setActivePage(QWidget *page)
{
    const int index = indexOf(page);
    if (index >= 0) setCurrentIndex(index);
}

void TPageControl::setTabVisible(int index, bool visible)
{
    if (index < 0 || index >= count() || QTabWidget::isTabVisible(index) == visible) return;
    // QTabWidget hides the page of a hidden tab and moves the current page
    // elsewhere; a page whose tab is hidden must stay the active one.
    const int active = currentIndex();
    // Keep the page's own marker in step, so it always tells the truth.
    widget(index)->setProperty(TabVisibleProperty, visible);
    QTabWidget::setTabVisible(index, visible);
    if (currentIndex() != active) setCurrentIndex(active);
    if (QWidget *page = currentWidget(); page && !page->isVisibleTo(this)) page->setVisible(true);
}

void TPageControl::setTabVisible(QWidget *page, bool visible)
{
    setTabVisible(indexOf(page), visible);
}

bool TPageControl::isTabVisible(QWidget *page) const
{
    const int index = indexOf(page);
    return index >= 0 && QTabWidget::isTabVisible(index);
}

void TPageControl::tabInserted(int index)
{
    QTabWidget::tabInserted(index);
    const QVariant visible = widget(index)->property(TabVisibleProperty);
    if (visible.isValid() && !visible.toBool()) setTabVisible(index, false);
}

void TPageControl::keyPressEvent(QKeyEvent *event)
{
    // Ctrl+Tab and Ctrl+PageDown arrive at the control, not at the tab bar.
    ++m_keyInput;
    QTabWidget::keyPressEvent(event);
    --m_keyInput;
}

void TPageControl::pageChanged()
{
    if (m_correcting) return;
    const bool byUser = m_keyInput > 0 || static_cast<PageTabBar *>(tabBar())->handlingUserInput();
    const int previous = indexOf(m_lastPage);
    if (byUser && currentIndex() >= 0 && !isTabVisible(currentIndex())) {
        // The tab bar's keys and wheel step onto hidden tabs too; the user
        // can only reach pages whose tab is shown, so skip on to the next
        // shown tab in the same direction, or stay where we were.
        const int step = currentIndex() < previous ? -1 : 1;
        int target = visibleNeighbour(currentIndex(), step);
        if (target < 0) target = visibleNeighbour(currentIndex(), -step);
        if (target < 0 || target == previous) target = previous;
        m_correcting = true;
        setCurrentIndex(target);
        m_correcting = false;
        if (currentIndex() == previous) return;
    }
    m_lastPage = currentWidget();
    if (byUser) emit OnChange();
}

int TPageControl::visibleNeighbour(int from, int step) const
{
    for (int i = from + step; i >= 0 && i < count(); i += step)
        if (isTabVisible(i) && isTabEnabled(i)) return i;
    return -1;
}
