// TRadioGroup: a captioned frame of radio buttons chosen by index. OnClick
// reports every change of ItemIndex, whether the user or the program made it,
// because the window's handlers keep labels in step with the selection.
// The group is one stop of the Tab key, on its checked button (the first
// while none is checked), so Space after Tab never changes the choice; the
// arrow keys move within it.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QGridLayout;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
    // Items before ItemIndex: a form must list the items first, since an
    // index beyond the items clamps.
    Q_PROPERTY(int Columns READ Columns WRITE setColumns)
    Q_PROPERTY(QStringList Items READ Items WRITE setItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE setItemIndex)

public:
    explicit TRadioGroup(QWidget *parent = nullptr);

    int Columns() const { return m_columns; }
    // Clamps to 1 … 16.
    void setColumns(int columns);

    QStringList Items() const { return m_items; }
    // Replaces the buttons. The selection stays on the same index if that
    // index still exists, else the group is left without a selection.
    void setItems(const QStringList &items);

    int ItemIndex() const { return m_itemIndex; }
    // -1 (or less) clears the selection; an index past the last item selects
    // the last item. While the group has no items at all, the index is kept
    // and applied when items arrive, so a form may set it before the items.
    void setItemIndex(int index);

    // The button of item i, for tests and focus handling.
    QRadioButton *button(int i) const;

signals:
    void OnClick();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void placeButtonsInFocusChain();
    void arrange();
    void showSelection();
    void offerTabStop();
    void selectIndex(int index);
    void userChose(int index);

    QStringList m_items;
    int m_itemIndex = -1;
    int m_pendingIndex = -1; // asked for while there were no items
    int m_columns = 1;
    QGridLayout *m_layout;
    QButtonGroup *m_buttons;
};
