// Buttons, layout and selection bookkeeping of TRadioGroup.
#include "widgets/radiogroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QKeyEvent>
#include <QRadioButton>

TRadioGroup::TRadioGroup(QWidget *parent)
    : QGroupBox(parent), m_layout(new QGridLayout(this)), m_buttons(new QButtonGroup(this))
{
    // Compact margins: the frames are small (two items in 169 × 57 pixels).
    m_layout->setContentsMargins(4, 0, 2, 0);
    m_layout->setSpacing(0);
    // Exclusivity is ours: QButtonGroup's exclusive mode cannot show "none".
    m_buttons->setExclusive(false);
    connect(m_buttons, &QButtonGroup::idClicked, this, &TRadioGroup::userChose);
}

void TRadioGroup::setColumns(int columns)
{
    columns = std::clamp(columns, 1, 16);
    if (columns == m_columns) return;
    m_columns = columns;
    arrange();
}

void TRadioGroup::setItems(const QStringList &items)
{
    const bool sameCount = items.size() == m_items.size();
    m_items = items;
    // New captions for the same number of items (a language switch) keep
    // the buttons, and with them their place in the window's focus chain.
    if (sameCount) {
        for (int i = 0; i < m_items.size(); ++i)
            m_buttons->button(i)->setText(m_items[i]);
    } else {
        rebuild();
    }
    int index = m_itemIndex < m_items.size() ? m_itemIndex : -1;
    if (index == -1 && m_pendingIndex >= 0 && !m_items.isEmpty())
        index = std::min(m_pendingIndex, int(m_items.size()) - 1);
    m_pendingIndex = -1;
    selectIndex(index);
}

void TRadioGroup::setItemIndex(int index)
{
    if (m_items.isEmpty()) {
        m_pendingIndex = std::max(index, -1);
        return;
    }
    selectIndex(std::clamp(index, -1, int(m_items.size()) - 1));
}

void TRadioGroup::selectIndex(int index)
{
    const bool changed = index != m_itemIndex;
    m_itemIndex = index;
    showSelection();
    if (changed) emit OnClick();
}

QRadioButton *TRadioGroup::button(int i) const
{
    return qobject_cast<QRadioButton *>(m_buttons->button(i));
}

void TRadioGroup::rebuild()
{
    for (QAbstractButton *b : m_buttons->buttons()) {
        m_buttons->removeButton(b);
        delete b;
    }
    for (int i = 0; i < m_items.size(); ++i) {
        auto *b = new QRadioButton(m_items[i], this);
        b->setAutoExclusive(false);
        b->installEventFilter(this);
        m_buttons->addButton(b, i);
    }
    arrange();
    placeButtonsInFocusChain();
}

void TRadioGroup::placeButtonsInFocusChain()
{
    // A new widget joins the end of its window's focus chain; the buttons
    // belong where the group stands, after the control that comes before it.
    QWidget *before = previousInFocusChain();
    while (before != this && (isAncestorOf(before) || !(before->focusPolicy() & Qt::TabFocus)))
        before = before->previousInFocusChain();
    if (before == this) return; // nothing before it takes the focus
    for (QAbstractButton *b : m_buttons->buttons()) {
        QWidget::setTabOrder(before, b);
        before = b;
    }
}

void TRadioGroup::arrange()
{
    const auto buttons = m_buttons->buttons();
    for (QAbstractButton *b : buttons)
        m_layout->removeWidget(b);
    // Items run down the first column, then the next, like the classic control.
    const int count = int(m_items.size());
    const int rows = (count + m_columns - 1) / std::max(m_columns, 1);
    for (int i = 0; i < count; ++i)
        m_layout->addWidget(m_buttons->button(i), rows ? i % rows : 0, rows ? i / rows : 0);
}

void TRadioGroup::showSelection()
{
    for (int i = 0; i < m_items.size(); ++i)
        m_buttons->button(i)->setChecked(i == m_itemIndex);
    offerTabStop();
}

void TRadioGroup::offerTabStop()
{
    // Only the checked button takes the focus from Tab. A button given the
    // focus (a click, an arrow key) takes the Tab stop for itself while it
    // has it; it comes back here when the focus moves on.
    const int stop = std::max(m_itemIndex, 0);
    for (int i = 0; i < m_items.size(); ++i) {
        QAbstractButton *b = m_buttons->button(i);
        b->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

bool TRadioGroup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusOut) offerTabStop();
    if (event->type() != QEvent::KeyPress) return QGroupBox::eventFilter(watched, event);
    // The arrows move the focus to the item before or after, without choosing it.
    const int key = static_cast<QKeyEvent *>(event)->key();
    const int step = key == Qt::Key_Up || key == Qt::Key_Left      ? -1
                     : key == Qt::Key_Down || key == Qt::Key_Right ? 1
                                                                   : 0;
    const int from = m_buttons->id(qobject_cast<QAbstractButton *>(watched));
    const int to = from + step;
    if (step == 0 || from < 0 || to < 0 || to >= m_items.size())
        return QGroupBox::eventFilter(watched, event);
    m_buttons->button(to)->setFocus(Qt::OtherFocusReason);
    return true;
}

void TRadioGroup::userChose(int index)
{
    // A click on the selected button would uncheck it (non-exclusive group):
    // put it back, the selection has not changed.
    if (index == m_itemIndex) {
        showSelection();
        return;
    }
    selectIndex(index);
}
