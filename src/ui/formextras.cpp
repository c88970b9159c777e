// Gives effect to the dynamic properties of the window description (see
// formextras.h).
#include "ui/formextras.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTextOption>

namespace {

// List rows of one fixed height, as the list box of the original toolkit
// draws them, whatever the font.
class FixedRowHeightDelegate : public QStyledItemDelegate {
public:
    FixedRowHeightDelegate(int height, QObject *parent)
        : QStyledItemDelegate(parent), rowHeight(height)
    {
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(rowHeight);
        return size;
    }

private:
    int rowHeight;
};

void applyPixelFont(QWidget *w)
{
    const QVariant pixels = w->property("fontPixelSize");
    if (!pixels.isValid()) return;
    QFont font = w->font();
    font.setPixelSize(pixels.toInt());
    w->setFont(font);
}

void applyItemHeight(QWidget *w)
{
    auto *list = qobject_cast<QListWidget *>(w);
    const QVariant height = w->property("itemHeight");
    if (!list || !height.isValid()) return;
    list->setItemDelegate(new FixedRowHeightDelegate(height.toInt(), list));
    list->setUniformItemSizes(true);
}

void applyCentred(QWidget *w)
{
    auto *memo = qobject_cast<QPlainTextEdit *>(w);
    if (!memo || !w->property("centred").toBool()) return;
    QTextOption option = memo->document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    memo->document()->setDefaultTextOption(option);
}

} // namespace

void applyFormExtras(QWidget *root)
{
    // Parents first, so a child's own font size overrides what it inherits.
    applyPixelFont(root);
    const auto children = root->findChildren<QWidget *>();
    for (QWidget *w : children)
        applyPixelFont(w);
    for (QWidget *w : children) {
        applyItemHeight(w);
        applyCentred(w);
    }
}

void fitAutoSizeLabels(QWidget *root)
{
    const auto labels = root->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (!label->property("autoSize").toBool()) continue;
        const int width = label->fontMetrics().horizontalAdvance(label->text());
        label->resize(width, label->height());
    }
}
