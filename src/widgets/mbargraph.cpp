// Layout of the bar graph's parts for the four combinations of mode and
// orientation, the value text of the unsigned horizontal bar, and the painting
// of the parts.
#include "widgets/mbargraph.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>
#include <cmath>

#include "common/rounding.h"
#include "text/numberpattern.h"
#include "widgets/textrun.h"

namespace {

constexpr int defaultWidth = 105;
constexpr int defaultHeight = 17;

QStringView patternFor(int decimals)
{
    static constexpr char16_t const *patterns[] = {u"0", u"0.0", u"0.00", u"0.000", u"0.0000"};
    return QStringView(patterns[std::clamp(decimals, 0, 4)]);
}

} // namespace

// Repaints, when it goes, what changed among the parts since it came: the old
// and the new place of each part that moved, changed size or colour, or was
// shown or hidden.
class TMBarGraph::PartsWatch {
public:
    explicit PartsWatch(TMBarGraph &graph)
        : m_graph(graph), m_minusBar(graph.m_minusBar), m_plusBar(graph.m_plusBar),
          m_zeroMarker(graph.m_zeroMarker), m_valueText(graph.m_valueText)
    {
    }
    PartsWatch(const PartsWatch &) = delete;
    PartsWatch &operator=(const PartsWatch &) = delete;

    ~PartsWatch()
    {
        QRegion area;
        add(area, m_minusBar, m_graph.m_minusBar);
        add(area, m_plusBar, m_graph.m_plusBar);
        add(area, m_zeroMarker, m_graph.m_zeroMarker);
        add(area, m_valueText, m_graph.m_valueText);
        if (!area.isEmpty()) m_graph.update(area);
    }

private:
    template <typename Part> static void add(QRegion &area, const Part &before, const Part &after)
    {
        if (before == after) return;
        area += before.painted();
        area += after.painted();
    }

    TMBarGraph &m_graph;
    const MBGRectangle m_minusBar;
    const MBGRectangle m_plusBar;
    const MBGRectangle m_zeroMarker;
    const MBGText m_valueText;
};

void TMBarGraph::setBounds(MBGPart &part, int left, int top, int width, int height)
{
    // A negative extent (only on a control squeezed below its minimum size)
    // becomes empty rather than flipped.
    part.m_bounds = QRect(left, top, std::max(0, width), std::max(0, height));
}

TMBarGraph::TMBarGraph(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("MBarGraph"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundRole(QPalette::Button); // the system button face
    setAutoFillBackground(true);
    setMinimumSize(30, 5);
    resize(defaultWidth, defaultHeight);

    // The signed horizontal layout at full scale, bars hidden; the first
    // property write or resize lays the control out for real.
    const int x0 = 1;
    const int xMid = roundHalfEvenInt((defaultWidth - 1) / 2.0);
    const int xPlusStart = xMid + 3;
    const int xMax = defaultWidth - 1;
    setBounds(m_minusBar, x0, 1, xMid - x0, defaultHeight - 2);
    setBounds(m_zeroMarker, xMid + 1, 1, 1, defaultHeight - 2);
    setBounds(m_plusBar, xPlusStart, 1, xMax - xPlusStart, defaultHeight - 2);
    m_minusBar.m_shown = false;
    m_plusBar.m_shown = false;

    m_valueText.m_text = QStringLiteral("0%");
    m_valueText.m_font = font();
    const QFontMetrics metrics(m_valueText.m_font);
    m_valueText.m_bounds =
        QRect(0, 0, metrics.horizontalAdvance(m_valueText.m_text), metrics.height());
}

TMBarGraph::~TMBarGraph() = default;

void TMBarGraph::setMBGOrientation(TMBGOrientation orientation)
{
    m_orientation = orientation;
    if (orientation == TMBGOrientation::orientationVertical)
        setMinimumSize(6, 30);
    else
        setMinimumSize(30, 6);
    layoutPass(true);
}

void TMBarGraph::showNoValue()
{
    const PartsWatch watch(*this);
    m_showsValue = false;
    m_valueText.m_shown = false;
    hideBars();
}

void TMBarGraph::setMBGValue(double value)
{
    const PartsWatch watch(*this);
    const bool wasEmpty = !m_showsValue;
    m_showsValue = true;
    m_value = value;
    if (std::isnan(value) || value < -1.0)
        m_clampedValue = -1.0;
    else if (value > 1.0)
        m_clampedValue = 1.0;
    else
        m_clampedValue = value;
    if (wasEmpty) m_valueText.m_shown = m_showText;
    layoutPass(wasEmpty);
}

void TMBarGraph::setMBGMinusColorAt0(TColor color)
{
    m_minusColorAt0 = color;
    layoutPass(true);
}

void TMBarGraph::setMBGMinusColorAt1(TColor color)
{
    m_minusColorAt1 = color;
    layoutPass(true);
}

void TMBarGraph::setMBGPlusColorAt0(TColor color)
{
    m_plusColorAt0 = color;
    layoutPass(true);
}

void TMBarGraph::setMBGPlusColorAt1(TColor color)
{
    m_plusColorAt1 = color;
    layoutPass(true);
}

void TMBarGraph::setMBGMode(TMBGMode mode)
{
    m_mode = mode;
    layoutPass(true);
}

void TMBarGraph::setMBGShowText(bool show)
{
    const PartsWatch watch(*this);
    m_showText = show;
    m_valueText.m_shown = show && m_showsValue;
    layoutPass(true);
}

void TMBarGraph::setMBGInverseText(bool inverse)
{
    m_inverseText = inverse;
    layoutPass(true);
}

void TMBarGraph::setMBGTextPosition(TMBGTextPosition position)
{
    m_textPosition = position;
    layoutPass(true);
}

void TMBarGraph::setMBGTextLeft(int left)
{
    m_textLeft = left;
    layoutPass(true);
}

void TMBarGraph::setMBGTextTop(int top)
{
    m_textTop = top;
    layoutPass(true);
}

void TMBarGraph::setMBGDecimals(int decimals)
{
    m_decimals = std::clamp(decimals, 0, 4);
    layoutPass(true);
}

void TMBarGraph::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    layoutPass(true);
}

void TMBarGraph::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = event->rect();
    for (const MBGRectangle *bar : {&m_minusBar, &m_plusBar, &m_zeroMarker})
        if (bar->painted().intersects(area)) paintRectangle(painter, *bar);
    if (m_valueText.painted().intersects(area)) paintText(painter);
}

// As a framed, filled child control would paint itself: the fill, then a
// one-pixel black outline (top and bottom rows, then the columns between),
// as plain rectangle fills, which cost a fraction of the style's drawing.
void TMBarGraph::paintRectangle(QPainter &painter, const MBGRectangle &part) const
{
    const QRect r = part.m_bounds;
    painter.fillRect(r, kxcolor::toQColor(part.m_brush, palette()));
    const QColor pen(Qt::black);
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), pen);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), pen);
    if (r.height() > 2) {
        painter.fillRect(QRect(r.left(), r.top() + 1, 1, r.height() - 2), pen);
        painter.fillRect(QRect(r.right(), r.top() + 1, 1, r.height() - 2), pen);
    }
}

// As a label in the text's bounds would paint it: its font, clipped to its
// bounds, drawn by the style. Black is the button text of the palette, as on
// the other controls (black, greyed while disabled); the inverse colour is
// the same in every state.
void TMBarGraph::paintText(QPainter &painter) const
{
    const QString &text = m_valueText.m_text;
    QStyleOption option;
    option.initFrom(this);
    if (m_inverseText)
        option.palette.setColor(QPalette::ButtonText, kxcolor::toQColor(m_valueText.m_color));
    const Qt::LayoutDirection direction = text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    const int flags =
        int(QStyle::visualAlignment(direction, Qt::AlignLeft | Qt::AlignTop)) |
        (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
    painter.save();
    painter.setClipRect(m_valueText.m_bounds, Qt::IntersectClip);
    painter.setFont(m_valueText.m_font);
    const QPalette::ColorRole role = QPalette::ButtonText;
    if (isEnabled() && TextRun::plainIn(style()) && TextRun::handles(flags, text)) {
        painter.setPen(QPen(option.palette.brush(role), painter.pen().widthF()));
        m_textRun.draw(painter, m_valueText.m_bounds, flags, text);
    } else {
        style()->drawItemText(&painter, m_valueText.m_bounds, flags, option.palette, isEnabled(),
                              text, role);
    }
    painter.restore();
}

void TMBarGraph::showBar(MBGRectangle &bar, TColor color)
{
    bar.m_brush = color;
    bar.m_shown = true;
    (&bar == &m_plusBar ? m_minusBar : m_plusBar).m_shown = false;
}

void TMBarGraph::hideBars()
{
    m_minusBar.m_shown = false;
    m_plusBar.m_shown = false;
}

void TMBarGraph::layoutPass(bool force)
{
    const PartsWatch watch(*this);
    // Exact comparison on purpose: the window writes the value on every reply,
    // and only a real change may touch the bars.
    const bool recompute = force || m_clampedValue != m_lastLaidOut;
    const bool horizontal = m_orientation == TMBGOrientation::orientationHorizontal;
    if (m_mode == TMBGMode::modeSigned) {
        if (horizontal)
            layoutSignedHorizontal(recompute);
        else
            layoutSignedVertical(recompute);
    } else {
        if (horizontal)
            layoutUnsignedHorizontal(recompute);
        else
            layoutUnsignedVertical(recompute);
    }
    if (!m_showsValue) {
        hideBars(); // the frame and the zero marker alone
        return;
    }
    if (m_showText) layoutValueText(m_mode == TMBGMode::modeUnsigned && horizontal);
}

void TMBarGraph::layoutSignedHorizontal(bool recompute)
{
    m_zeroMarker.m_shown = true;
    const int x0 = 1;
    const int xMid = roundHalfEvenInt((width() - 1) / 2.0);
    const int xPlusStart = xMid + 3;
    const int xMax = width() - 1;
    const double v = m_clampedValue;
    if (recompute) {
        if (v < 0) {
            const int left = xMid + roundHalfEvenInt((xMid - x0) * v);
            setBounds(m_minusBar, left, 1, xMid - left, height() - 2);
            showBar(m_minusBar, kxcolor::blend(m_minusColorAt0, m_minusColorAt1, -v));
        }
        if (v > 0) {
            setBounds(m_plusBar, xPlusStart, 1, roundHalfEvenInt((xMax - xPlusStart) * v),
                      height() - 2);
            showBar(m_plusBar, kxcolor::blend(m_plusColorAt0, m_plusColorAt1, v));
        }
        m_lastLaidOut = v;
    }
    if (v == 0) hideBars();
    setBounds(m_zeroMarker, xMid + 1, 1, xPlusStart - xMid - 2, height() - 2);
}

void TMBarGraph::layoutSignedVertical(bool recompute)
{
    m_zeroMarker.m_shown = true;
    const int y0 = 1;
    const int yMid = roundHalfEvenInt((height() - 1) / 2.0);
    const int yMinusStart = yMid + 3;
    const int yMax = height() - 1;
    const double v = m_clampedValue;
    if (recompute) {
        if (v < 0) {
            setBounds(m_minusBar, 1, yMinusStart, width() - 2,
                      roundHalfEvenInt((yMinusStart - yMax) * v));
            showBar(m_minusBar, kxcolor::blend(m_minusColorAt0, m_minusColorAt1, -v));
        }
        if (v > 0) {
            setBounds(m_plusBar, 1, y0 + roundHalfEvenInt((1 - v) * (yMid - y0)), width() - 2,
                      roundHalfEvenInt((yMid - y0) * v));
            showBar(m_plusBar, kxcolor::blend(m_plusColorAt0, m_plusColorAt1, v));
        }
        m_lastLaidOut = v;
    }
    if (v == 0) hideBars();
    setBounds(m_zeroMarker, 1, yMid + 1, width() - 2, yMinusStart - yMid - 2);
}

void TMBarGraph::layoutUnsignedHorizontal(bool recompute)
{
    m_zeroMarker.m_shown = false;
    const int x0 = 1;
    const int xMax = width() - 1;
    const double v = m_clampedValue;
    if (recompute) {
        if (!(v > 0)) {
            hideBars();
        } else {
            setBounds(m_plusBar, x0, 1, roundHalfEvenInt((xMax - x0) * v), height() - 2);
            showBar(m_plusBar, kxcolor::blend(m_plusColorAt0, m_plusColorAt1, v));
        }
        m_lastLaidOut = v;
    }
}

void TMBarGraph::layoutUnsignedVertical(bool recompute)
{
    m_zeroMarker.m_shown = false;
    const int y0 = 1;
    const int yMax = height() - 1;
    const double v = m_clampedValue;
    if (recompute) {
        if (!(v > 0)) {
            hideBars();
        } else {
            setBounds(m_plusBar, 1, y0 + roundHalfEvenInt((1 - v) * (yMax - y0)), width() - 2,
                      roundHalfEvenInt((yMax - y0) * v));
            showBar(m_plusBar, kxcolor::blend(m_plusColorAt0, m_plusColorAt1, v));
        }
        m_lastLaidOut = v;
    }
}

// besideBar: the unsigned horizontal placement against the plus bar's end.
// In the other layouts the text has no bar end to follow: it is written the
// same way and stands at MBGTextLeft/MBGTextTop for tpFix, otherwise centred
// in the control, so it never shows a stale value from an earlier layout.
void TMBarGraph::layoutValueText(bool besideBar)
{
    // A copy: a later change of the control's font reaches the text at the
    // next pass, as the sizes computed here assume.
    const QFont textFont = font();
    m_valueText.m_font = textFont;

    const QString text = formatPattern(m_value * 100.0, patternFor(m_decimals)) + QLatin1Char('%');
    m_valueText.m_text = text;
    const QFontMetrics metrics(textFont);
    // Measuring lays the text out; a value that changes only its digits
    // mostly keeps the width.
    const int w = m_textWidth.get(textFont, text, [&] { return metrics.horizontalAdvance(text); });
    const int h = metrics.height();

    int left = 0;
    int top = 0;
    if (besideBar) {
        const QRect bar = m_plusBar.m_bounds; // a hidden bar keeps its last bounds
        const int barEnd = bar.left() + bar.width();
        switch (m_textPosition) {
        case TMBGTextPosition::tpInside:
            left = barEnd - w - 5;
            break;
        case TMBGTextPosition::tpOutside:
            left = barEnd + 5;
            break;
        case TMBGTextPosition::tpAuto:
            if (bar.width() < w + 10) m_textOutside = true;
            if (bar.width() > w + 20) m_textOutside = false;
            left = m_textOutside ? barEnd + 5 : barEnd - w - 5;
            break;
        case TMBGTextPosition::tpFix:
            left = m_textLeft;
            break;
        case TMBGTextPosition::tpCentre:
            left = roundHalfEvenInt((width() - 2) / 2.0) + bar.left() - roundHalfEvenInt(w / 2.0);
            break;
        }
        top = m_textPosition == TMBGTextPosition::tpFix
                  ? m_textTop
                  : roundHalfEvenInt((bar.height() - h) / 2.0) + bar.top();
    } else if (m_textPosition == TMBGTextPosition::tpFix) {
        left = m_textLeft;
        top = m_textTop;
    } else {
        left = roundHalfEvenInt((width() - w) / 2.0);
        top = roundHalfEvenInt((height() - h) / 2.0);
    }
    m_valueText.m_bounds = QRect(left, top, w, h);

    TColor textColor = kxcolor::black;
    if (m_inverseText) {
        const MBGRectangle &shown = !besideBar && m_minusBar.m_shown ? m_minusBar : m_plusBar;
        textColor = kxcolor::inverse(kxcolor::resolve(shown.m_brush, palette()));
    }
    m_valueText.m_color = textColor;
}
