// Labels that fill their own background where it is one flat colour (see
// opaquelabels.h).
#include "ui/opaquelabels.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QSet>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QTimer>

#include <optional>
#include <tuple>

#include "widgets/textrun.h"

namespace {

const char *const kKeeperName = "OpaqueLabelKeeper";

// What a filling label paints beneath its text: the colour of its place, and
// the labels beneath it that overlap it. Those are painted again over the
// colour, so the fill does not hide their text where the two overlap.
struct Fill {
    QColor colour;
    QList<QPointer<QLabel>> beneath; // bottom first
};

// Where a label stands among its neighbours: all that decides what a reading
// of its background gives, beside the parents' own painting.
struct Place {
    QRect geometry;
    // The siblings overlapping it: which, where, and whether shown.
    QList<std::tuple<const QObject *, QRect, bool>> overlapping;
    bool operator==(const Place &) const = default;
};

Place placeOf(const QLabel *label)
{
    Place place{label->geometry(), {}};
    for (const QObject *child : label->parent()->children()) {
        if (child == label || !child->isWidgetType()) continue;
        const auto *sibling = static_cast<const QWidget *>(child);
        if (!sibling->isWindow() && sibling->geometry().intersects(place.geometry))
            place.overlapping.append({sibling, sibling->geometry(), sibling->isVisible()});
    }
    return place;
}

// Whether a label's text can have painted anything in these rows (in its own
// coordinates). A one-line plain text at the top of the label covers the
// rows of its glyphs' outlines from the baseline, no more; of any other text
// that is not known.
bool textMayReach(const QLabel *label, const QRect &rows)
{
    const QString text = label->text();
    const bool plain = label->textFormat() == Qt::PlainText ||
                       (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(text));
    if (!plain || label->wordWrap() || !(label->alignment() & Qt::AlignTop) ||
        text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('&')))
        return true;
    if (text.isEmpty()) return false;
    const QFontMetrics metrics = label->fontMetrics();
    const QRect ink = metrics.tightBoundingRect(text);
    const int baseline = label->contentsRect().top() + label->margin() + metrics.ascent();
    return rows.top() <= baseline + ink.bottom() && rows.bottom() >= baseline + ink.top();
}

// The flags QLabel draws its text with, when it is one line of plain text
// that it draws by the style (no frame, picture, indent, selection,
// mnemonic or word wrap, enabled, in a style that draws it plainly); none
// otherwise.
std::optional<int> plainTextFlags(const QLabel *label)
{
    const QString text = label->text();
    const bool plain = label->textFormat() == Qt::PlainText ||
                       (label->textFormat() == Qt::AutoText && !Qt::mightBeRichText(text));
    if (!plain || label->wordWrap() || label->frameWidth() != 0 || label->indent() > 0 ||
        label->buddy() || !label->isEnabled() || label->movie() || !label->pixmap().isNull() ||
        !label->picture().isNull() ||
        (label->textInteractionFlags() &
         (Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard)) ||
        text.isRightToLeft() || !TextRun::plainIn(label->style()))
        return std::nullopt;
    const int flags = int(label->alignment()) | Qt::TextForceLeftToRight;
    if (!TextRun::handles(flags, text)) return std::nullopt;
    return flags;
}

// Reads each label's background, fills it while it stays valid, and notices
// what could change it. Draws the text of the labels it watches from glyphs
// kept between paints, where QLabel would draw the same.
class OpaqueLabelKeeper : public QObject {
public:
    explicit OpaqueLabelKeeper(QWidget *root) : QObject(root)
    {
        setObjectName(QLatin1String(kKeeperName));
    }

    void watch(QLabel *label)
    {
        m_labels.insert(label, label);
        label->installEventFilter(this);
        QWidget *parent = label->parentWidget();
        if (parent && !m_parents.contains(parent)) {
            m_parents.insert(parent);
            parent->installEventFilter(this);
            connect(parent, &QObject::destroyed, this,
                    [this, parent] { m_parents.remove(parent); });
        }
        connect(label, &QObject::destroyed, this, [this, label] {
            m_labels.remove(label);
            m_fills.remove(label);
            m_runs.remove(label);
            m_known.remove(label);
        });
        if (label->isVisible()) markStale(label);
    }

    // Every label transparent again, as Qt would paint it by itself.
    void release()
    {
        for (QLabel *label : std::as_const(m_labels)) {
            label->removeEventFilter(this);
            if (m_fills.contains(label)) {
                label->setAttribute(Qt::WA_OpaquePaintEvent, false);
                label->update();
            }
        }
        for (QObject *parent : std::as_const(m_parents))
            parent->removeEventFilter(this);
        m_fills.clear();
        m_labels.clear();
        m_runs.clear();
        m_known.clear();
    }

    int opaqueCount() const { return int(m_fills.size()); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        QLabel *label = m_labels.value(watched); // none for a parent
        const bool isLabel = label != nullptr;
        switch (event->type()) {
        case QEvent::Paint: {
            if (!isLabel) return false;
            if (m_sampling.contains(label)) return true; // left out of a reading
            const auto fill = m_fills.constFind(label);
            const std::optional<int> flags = plainTextFlags(label);
            if (fill == m_fills.cend() && !flags) return false;
            QPainter painter(label);
            if (fill != m_fills.cend())
                paintBackground(painter, label, *fill, static_cast<QPaintEvent *>(event)->rect());
            if (!flags) return false; // QLabel paints its text, once this painter has gone
            paintText(painter, label, *flags);
            return true;
        }
        case QEvent::Move:
        case QEvent::Resize:
            if (isLabel) {
                relocate(label);
                // A label that moved onto a neighbour must not hide it.
                for (QLabel *other : std::as_const(m_labels))
                    if (other != label && other->parent() == label->parent() &&
                        other->geometry().intersects(label->geometry()))
                        relocate(other);
            }
            if (event->type() == QEvent::Resize && m_parents.contains(watched)) {
                m_known.clear();
                markChildrenStale(watched);
            }
            return false;
        case QEvent::Show:
        case QEvent::ParentChange:
        case QEvent::PaletteChange:
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
            // These reach every label below a parent that changed, too; what
            // was read before may not hold any more anywhere.
            m_known.clear();
            if (isLabel) markStale(label);
            return false;
        default:
            return false;
        }
    }

private:
    // Transparent until its background is read again: a label that moved or
    // whose surroundings changed repaints what lies beneath it.
    void markStale(QLabel *label)
    {
        if (m_fills.remove(label)) {
            label->setAttribute(Qt::WA_OpaquePaintEvent, false);
            label->update();
        }
        if (!m_stale.contains(label)) m_stale.append(label);
        if (!m_scheduled) {
            m_scheduled = true;
            // After the layout requests and resizes the change has set off.
            QTimer::singleShot(0, this, [this] { sampleStale(); });
        }
    }

    // A label that moved or changed size, or whose neighbour did: at a place
    // among neighbours where its background was read before, it fills as it
    // did then (or stays transparent) at once, without a new reading; labels
    // whose width follows their number mostly go back and forth between a
    // few places. Elsewhere it is read again.
    void relocate(QLabel *label)
    {
        const auto known = m_known.constFind(label);
        if (known != m_known.cend()) {
            const Place place = placeOf(label);
            for (const auto &[where, fill] : *known) {
                if (where != place) continue;
                m_stale.removeAll(label);
                if (fill) {
                    m_fills.insert(label, *fill);
                    label->setAttribute(Qt::WA_OpaquePaintEvent, true);
                } else if (m_fills.remove(label)) {
                    label->setAttribute(Qt::WA_OpaquePaintEvent, false);
                    label->update();
                }
                return;
            }
        }
        markStale(label);
    }

    void markChildrenStale(QObject *parent)
    {
        for (QObject *child : parent->children())
            if (auto *label = qobject_cast<QLabel *>(child); label && m_labels.contains(label))
                markStale(label);
    }

    void sampleStale()
    {
        m_scheduled = false;
        const QList<QPointer<QLabel>> stale = std::exchange(m_stale, {});
        for (const QPointer<QLabel> &label : stale) {
            if (!label || !m_labels.contains(label) || !label->isVisible()) continue;
            std::optional<Fill> fill = backgroundBeneath(label);
            QList<std::pair<Place, std::optional<Fill>>> &known = m_known[label];
            if (known.size() >= kKnownPlaces) known.removeFirst();
            known.append({placeOf(label), fill});
            if (fill) {
                m_fills.insert(label, std::move(*fill));
                label->setAttribute(Qt::WA_OpaquePaintEvent, true);
            }
        }
    }

    // The label's text as QLabel::paintEvent draws it (see plainTextFlags).
    void paintText(QPainter &painter, QLabel *label, int flags)
    {
        QRect place = label->contentsRect();
        const int margin = label->margin();
        place.adjust(margin, margin, -margin, -margin);
        QStyleOption option;
        option.initFrom(label);
        painter.setPen(QPen(option.palette.brush(label->foregroundRole()), painter.pen().widthF()));
        m_runs[label].draw(painter, place, flags, label->text());
    }

    // The fill, then the labels beneath as Qt would paint them there: each
    // one's text on that same colour, at its place. Mostly a neighbour's text
    // keeps clear of the rows the two share, and the fill is all there is.
    static void paintBackground(QPainter &painter, QLabel *label, const Fill &fill,
                                const QRect &area)
    {
        painter.fillRect(area, fill.colour);
        for (const QPointer<QLabel> &below : fill.beneath) {
            if (!below || !below->isVisible()) continue;
            const QRect part = below->geometry().translated(-label->pos()) & area;
            const QRect partOfBelow = part.translated(label->pos() - below->pos());
            if (part.isEmpty() || !textMayReach(below, partOfBelow)) continue;
            const qreal ratio = label->devicePixelRatio();
            QImage image(part.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(fill.colour);
            below->render(&image, QPoint(), QRegion(partOfBelow), QWidget::DrawChildren);
            painter.drawImage(part.topLeft(), image);
        }
    }

    // The colour beneath the label: the window rendered at its place without
    // the label, without the labels above it (they paint over the fill as
    // they painted over the parents) and without the text labels beneath it
    // (the label paints them again over its fill), when it is one opaque
    // colour. Any other control below the label that overlaps it would be
    // hidden by the fill, and any other transparent control above would be
    // painted into the reading: no fill then.
    std::optional<Fill> backgroundBeneath(QLabel *label)
    {
        const QRect place = label->geometry();
        if (place.isEmpty()) return std::nullopt;
        const QObjectList &siblings = label->parent()->children();
        const qsizetype own = siblings.indexOf(label);
        QRegion covered; // by opaque controls above, in the label's coordinates
        QList<QLabel *> leftOut{label};
        Fill fill;
        for (qsizetype i = 0; i < siblings.size(); ++i) {
            if (i == own || !siblings[i]->isWidgetType()) continue;
            auto *sibling = static_cast<QWidget *>(siblings[i]);
            if (sibling->isWindow() || !sibling->geometry().intersects(place)) continue;
            if (i < own) { // beneath, shown or not
                QLabel *below = m_labels.value(sibling);
                if (!below) return std::nullopt;
                fill.beneath.append(below);
                leftOut.append(below);
                continue;
            }
            if (!sibling->isVisible()) continue;
            if (paintsOpaque(sibling))
                covered += sibling->geometry().translated(-place.topLeft());
            else if (auto *above = qobject_cast<QLabel *>(sibling))
                leftOut.append(above);
            else
                return std::nullopt;
        }

        QWidget *window = label->window();
        const qreal ratio = window->devicePixelRatio();
        QImage image(label->size() * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        const QRect inWindow(label->mapTo(window, QPoint(0, 0)), label->size());
        // A filling label beneath is left out as well: what its parents paint
        // there is read, not a hole where Qt expects the label to paint.
        QList<QLabel *> filling;
        for (QLabel *out : std::as_const(leftOut))
            if (out->testAttribute(Qt::WA_OpaquePaintEvent)) {
                out->setAttribute(Qt::WA_OpaquePaintEvent, false);
                filling.append(out);
            }
        m_sampling = leftOut;
        window->render(&image, QPoint(), QRegion(inWindow),
                       QWidget::DrawWindowBackground | QWidget::DrawChildren);
        m_sampling.clear();
        for (QLabel *out : std::as_const(filling))
            out->setAttribute(Qt::WA_OpaquePaintEvent, true);

        std::optional<QRgb> colour;
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (!covered.isEmpty() && covered.contains(QPoint(int(x / ratio), int(y / ratio))))
                    continue;
                if (!colour) colour = line[x];
                if (line[x] != *colour) return std::nullopt;
            }
        }
        if (!colour || qAlpha(*colour) != 255) return std::nullopt;
        fill.colour = QColor::fromRgb(*colour);
        return fill;
    }

    // Whether Qt paints nothing beneath this control: a palette fill of an
    // opaque colour, or a control that says it paints all of itself.
    static bool paintsOpaque(const QWidget *w)
    {
        return w->testAttribute(Qt::WA_OpaquePaintEvent) ||
               (w->autoFillBackground() && w->palette().brush(w->backgroundRole()).isOpaque());
    }

    QHash<const QObject *, QLabel *> m_labels; // the labels watched, by themselves
    QSet<QObject *> m_parents;
    QHash<QLabel *, Fill> m_fills;         // the labels that fill, and with what
    QList<QPointer<QLabel>> m_stale;       // to read again, once the window has settled
    QList<QLabel *> m_sampling;            // not painted while a background is read
    QHash<const QLabel *, TextRun> m_runs; // each label's text, laid out
    // Readings at the last few places of each label, until anything but a
    // label's place changes.
    static constexpr qsizetype kKnownPlaces = 6;
    QHash<const QLabel *, QList<std::pair<Place, std::optional<Fill>>>> m_known;
    bool m_scheduled = false;
};

OpaqueLabelKeeper *keeperOf(const QWidget *root)
{
    return root->findChild<OpaqueLabelKeeper *>(QLatin1String(kKeeperName),
                                                Qt::FindDirectChildrenOnly);
}

} // namespace

void applyOpaqueLabels(QWidget *root)
{
    if (keeperOf(root)) return;
    auto *keeper = new OpaqueLabelKeeper(root);
    for (QLabel *label : root->findChildren<QLabel *>())
        // Labels that fill from the palette are opaque already.
        if (!label->autoFillBackground() && !label->testAttribute(Qt::WA_OpaquePaintEvent))
            keeper->watch(label);
}

void removeOpaqueLabels(QWidget *root)
{
    if (OpaqueLabelKeeper *keeper = keeperOf(root)) {
        keeper->release();
        delete keeper;
    }
}

int opaqueLabelCount(const QWidget *root)
{
    const OpaqueLabelKeeper *keeper = keeperOf(root);
    return keeper ? keeper->opaqueCount() : 0;
}
