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
        if (!isUserInput(event->type()))
            return QTabBar::event(event);
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
    if (count() == 0)
        return;
    setCurrentIndex(std::clamp(index, 0, count() - 1));
}

void TPageControl::setActivePage(QWidget *page)
{
    const int index = indexOf(page);
    if (index >= 0)
        setCurrentIndex(index);
}

void TPageControl::setTabVisible(int index, bool visible)
{
    if (index < 0 || index >= count() || QTabWidget::isTabVisible(index) == visible)
        return;
    // QTabWidget hides the page of a hidden tab and moves the current page
    // elsewhere; a page whose tab is hidden must stay the active one.
    const int active = currentIndex();
    // Keep the page's own marker in step, so it always tells the truth.
    widget(index)->setProperty(TabVisibleProperty, visible);
    QTabWidget::setTabVisible(index, visible);
    if (currentIndex() != active)
        setCurrentIndex(active);
    if (QWidget *page = currentWidget(); page && !page->isVisibleTo(this))
        page->setVisible(true);
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
    if (visible.isValid() && !visible.toBool())
        setTabVisible(index, false);
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
    if (m_keyInput > 0 || static_cast<PageTabBar *>(tabBar())->handlingUserInput())
        emit OnChange();
}
