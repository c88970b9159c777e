// TPageControl: the window's notebook. Each page's tab can be hidden while
// the page itself stays usable (wizards switch hidden pages from code), and
// OnChange reports only the user's changes of page, never the program's.
#pragma once

#include <QPointer>
#include <QTabWidget>

class TPageControl : public QTabWidget {
    Q_OBJECT
    Q_PROPERTY(int ActivePageIndex READ ActivePageIndex WRITE setActivePageIndex)
    Q_PROPERTY(QWidget *ActivePage READ ActivePage WRITE setActivePage)

public:
    // A page added with this dynamic property set to false gets a hidden tab;
    // a form sets it on the page widget (stdset="0").
    static constexpr const char *TabVisibleProperty = "TabVisible";

    explicit TPageControl(QWidget *parent = nullptr);

    int ActivePageIndex() const { return currentIndex(); }
    // Clamps to the pages present. Fires no OnChange.
    void setActivePageIndex(int index);

    QWidget *ActivePage() const { return currentWidget(); }
    // Ignored for a widget that is not one of the pages. Fires no OnChange.
    void setActivePage(QWidget *page);

    // Shows or hides a page's tab without changing the active page.
    void setTabVisible(int index, bool visible);
    void setTabVisible(QWidget *page, bool visible);
    bool isTabVisible(QWidget *page) const;
    using QTabWidget::isTabVisible;

signals:
    // The user picked another page on the tab bar (mouse, wheel or keys).
    void OnChange();

protected:
    void tabInserted(int index) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void pageChanged();
    int visibleNeighbour(int from, int step) const;

    // Non-zero while the control itself handles a key press.
    int m_keyInput = 0;
    bool m_correcting = false;
    QPointer<QWidget> m_lastPage;
};
