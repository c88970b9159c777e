// Which fonts set their digits alike, and whether two number texts differ in
// nothing but such digits.
#include "widgets/digitshape.h"

#include <QFontMetricsF>
#include <QHash>
#include <QRectF>
#include <vector>

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// What a text's layout gives: the advance that widths are measured with,
// and the box a label sizes itself to (line layout, not glyph ink).
struct Extent {
    qreal advance;
    QRectF box;
    bool operator==(const Extent &) const = default;
};

class DigitMetrics {
public:
    explicit DigitMetrics(const QFont &font) : m_font(font), m_metrics(font)
    {
        m_alike = allAlike([](QChar d) { return QString(d); });
        if (!m_alike) return;
        // Digits of one advance may still kern in pairs ("11" in many fonts).
        for (int first = 0; first < 10; ++first)
            for (int second = 0; second < 10; ++second)
                m_pairs[first][second] =
                    extent(QString(QChar(u'0' + first)) + QChar(u'0' + second));
    }

    const QFont &font() const { return m_font; }
    // Every digit alone lays out alike.
    bool digitsAlike() const { return m_alike; }

    // Whether two pairs of digits lay out alike.
    bool pairsAlike(QChar a1, QChar a2, QChar b1, QChar b2) const
    {
        return m_pairs[a1.unicode() - u'0'][a2.unicode() - u'0'] ==
               m_pairs[b1.unicode() - u'0'][b2.unicode() - u'0'];
    }

    // Whether no digit is told apart next to the non-digit c, on either side.
    bool alikeNextTo(QChar c)
    {
        const auto known = m_neighbours.constFind(c.unicode());
        if (known != m_neighbours.cend()) return *known;
        const bool alike = allAlike([c](QChar d) { return QString(c) + d; }) &&
                           allAlike([c](QChar d) { return QString(d) + c; });
        m_neighbours.insert(c.unicode(), alike);
        return alike;
    }

private:
    template <typename MakeText> bool allAlike(MakeText makeText) const
    {
        const Extent first = extent(makeText(u'0'));
        for (char16_t d = u'1'; d <= u'9'; ++d)
            if (!(extent(makeText(d)) == first)) return false;
        return true;
    }

    Extent extent(const QString &text) const
    {
        return {
            m_metrics.horizontalAdvance(text),
            m_metrics.boundingRect(QRectF(0, 0, 2000, 2000), Qt::AlignLeft | Qt::AlignTop, text)};
    }

    QFont m_font;
    QFontMetricsF m_metrics;
    bool m_alike = false;
    Extent m_pairs[10][10] = {};
    QHash<char16_t, bool> m_neighbours;
};

// The fonts seen so far; a window uses a handful.
DigitMetrics &metricsFor(const QFont &font)
{
    thread_local std::vector<DigitMetrics> known;
    for (DigitMetrics &metrics : known)
        if (metrics.font() == font) return metrics;
    return known.emplace_back(font);
}

} // namespace

bool laysOutAlike(const QFont &font, QStringView before, QStringView after)
{
    if (before.size() != after.size()) return false;
    bool digitsDiffer = false;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        if (!isDigit(before[i]) || !isDigit(after[i])) return false;
        digitsDiffer = true;
    }
    if (!digitsDiffer) return true;

    DigitMetrics &metrics = metricsFor(font);
    if (!metrics.digitsAlike()) return false;
    // Only an exchanged digit's neighbours can kern differently with it.
    auto sameNeighbourhood = [&](qsizetype left, qsizetype right) {
        if (left < 0 || right >= after.size()) return true;
        if (isDigit(after[left]) && isDigit(after[right]))
            return metrics.pairsAlike(before[left], before[right], after[left], after[right]);
        return metrics.alikeNextTo(isDigit(after[left]) ? after[right] : after[left]);
    };
    for (qsizetype i = 0; i < before.size(); ++i)
        if (before[i] != after[i] && (!sameNeighbourhood(i - 1, i) || !sameNeighbourhood(i, i + 1)))
            return false;
    return true;
}
