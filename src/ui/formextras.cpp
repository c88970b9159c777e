// Gives effect to the dynamic properties of the window description (see
// formextras.h).
#include "ui/formextras.h"

#include <QEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHash>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSet>
#include <QStyledItemDelegate>
#include <QTextOption>

#include <optional>

#include "widgets/digitshape.h"

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

bool isAutoSize(const QLabel *label)
{
    return label->property("autoSize").toBool();
}

bool keepsInSpace(const QLabel *label)
{
    return label->property("shrinkToFit").toBool();
}

// A label whose box or font follows its text, with its two flags read once.
struct FittedLabel {
    QLabel *label;
    bool autoSize;
    bool inSpace;
};

std::optional<FittedLabel> fittedLabel(QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (!label) return std::nullopt;
    const FittedLabel fitted{label, isAutoSize(label), keepsInSpace(label)};
    if (!fitted.autoSize && !fitted.inSpace) return std::nullopt;
    return fitted;
}

enum class Anchor { Left, ByAlignment };

// The widths last measured for the labels, by label.
using WidthMemos = QHash<const QLabel *, TextMeasureMemo<int>>;

// The smallest character height a value is shrunk to; below it, it is elided.
constexpr int kSmallestPixels = 8;

int pixelSizeOf(const QFont &font)
{
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

// The font the description gives a label that keeps inside its space, kept
// aside before it is first shrunk.
QFont describedFont(QLabel *label)
{
    QVariant kept = label->property("kxDescribedFont");
    if (!kept.isValid()) {
        kept = label->font();
        label->setProperty("kxDescribedFont", kept);
    }
    return kept.value<QFont>();
}

// Width of an auto-size label to its text. Following a new text, a
// right-justified label keeps its right edge, so numbers stay aligned on
// their last digit as they grow; the first fit keeps the described place.
// An empty label keeps its box, so the next text stands where the last one
// did. Measuring lays the text out; with memos, a text unchanged or changed
// only in its digits keeps the width measured last.
//
// A label that keeps inside its space (a value beside a caption or at a
// frame's edge) never grows beyond it: its maximum width, or for a label of
// fixed size its width. A text too wide is set in a smaller font, down to
// kSmallestPixels, and beyond that elided in the middle, with the whole text
// as the label's tool tip.
void fitLabel(const FittedLabel &fitted, Anchor anchor, WidthMemos *memos = nullptr)
{
    QLabel *const label = fitted.label;
    const QString text = label->text();
    if (text.isEmpty()) return;
    const bool inSpace = fitted.inSpace;
    if (inSpace && text == label->property("kxElided").toString()) return; // fitted already
    const QFont described = inSpace ? describedFont(label) : label->font();
    auto advance = [&text](const QFont &font) {
        return QFontMetrics(font).horizontalAdvance(text);
    };
    auto measure = [&] {
        return inSpace ? advance(described) : label->fontMetrics().horizontalAdvance(text);
    };
    int width = memos ? (*memos)[label].get(described, text, measure) : measure();

    if (inSpace) {
        const int space = fitted.autoSize ? label->maximumWidth() : label->width();
        QFont font = described;
        QString shown = text;
        for (int pixels = pixelSizeOf(described); width > space && pixels > kSmallestPixels;) {
            font.setPixelSize(--pixels);
            width = advance(font);
        }
        if (width > space) {
            shown = QFontMetrics(font).elidedText(text, Qt::ElideMiddle, space);
            width = QFontMetrics(font).horizontalAdvance(shown);
        }
        if (label->font() != font) {
            label->setFont(font);
            // A smaller text stands on the same baseline as the described one.
            const int drop = QFontMetrics(described).ascent() - QFontMetrics(font).ascent();
            label->setContentsMargins(0, drop, 0, 0);
        }
        if (shown != text) {
            label->setProperty("kxElided", shown);
            label->setToolTip(text);
            label->setText(shown);
        } else if (!label->toolTip().isEmpty()) {
            label->setProperty("kxElided", QVariant());
            label->setToolTip(QString());
        }
        if (!fitted.autoSize) return;
    }

    if (width == label->width()) return;
    const int right = label->x() + label->width();
    const bool keepRight = anchor == Anchor::ByAlignment && (label->alignment() & Qt::AlignRight);
    const int left = keepRight ? right - width : label->x();
    label->setGeometry(left, label->y(), width, label->height());
}

// Keeps the auto-size labels of one parent fitted to their texts. A label
// whose text changes asks its parent for a new layout (a posted layout
// request, while the parent is shown); a parent shown again may hold labels
// whose text changed while it was hidden.
class AutoSizeFollower : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::ChildAdded:
        case QEvent::ChildRemoved:
            m_labels.remove(watched); // looked up again at the next fit
            break;
        case QEvent::LayoutRequest:
        case QEvent::Show:
            for (const FittedLabel &label : QList(labelsOf(watched)))
                fitLabel(label, Anchor::ByAlignment, &m_widths);
            break;
        default:
            break;
        }
        return false;
    }

private:
    // The auto-size labels of a parent, found once: reading a label's flag
    // costs a property look-up by name, and the window asks after every
    // reply. The flag belongs to the window description, set before the
    // follower starts; a child added or removed renews the list.
    const QList<FittedLabel> &labelsOf(QObject *parent)
    {
        auto found = m_labels.find(parent);
        if (found == m_labels.end()) {
            QList<FittedLabel> labels;
            for (QObject *child : parent->children())
                if (const std::optional<FittedLabel> label = fittedLabel(child)) labels << *label;
            found = m_labels.insert(parent, labels);
        }
        return *found;
    }

    QHash<const QObject *, QList<FittedLabel>> m_labels;
    // A width depends only on the font and the text, so the memo of a
    // deleted label is right for whichever label comes to its address.
    WidthMemos m_widths;
};

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
    // One follower for every parent of auto-size labels.
    auto *follower = new AutoSizeFollower(root);
    QSet<QObject *> parents;
    for (QLabel *label : root->findChildren<QLabel *>())
        if (fittedLabel(label) && label->parent() && !parents.contains(label->parent())) {
            parents.insert(label->parent());
            label->parent()->installEventFilter(follower);
        }
}

void fitAutoSizeLabels(QWidget *root)
{
    const auto labels = root->findChildren<QLabel *>();
    for (QLabel *label : labels)
        if (const std::optional<FittedLabel> fitted = fittedLabel(label))
            fitLabel(*fitted, Anchor::Left);
}
