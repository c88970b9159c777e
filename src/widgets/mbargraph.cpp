// Layout of the bar graph's parts for the four combinations of mode and
// orientation, and the value text of the unsigned horizontal bar.
#include "widgets/mbargraph.h"

#include <QFontMetrics>
#include <QLabel>
#include <algorithm>
#include <cmath>

#include "common/rounding.h"
#include "widgets/numberpattern.h"

namespace {

constexpr int defaultWidth = 105;
constexpr int defaultHeight = 17;

// A part's bounds as the layout computes them; a negative extent (only on a
// control squeezed below its minimum size) becomes empty rather than flipped.
void setBounds(QWidget *part, int left, int top, int width, int height)
{
    part->setGeometry(left, top, std::max(0, width), std::max(0, height));
}

void setTextColor(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    if (palette.color(QPalette::WindowText) == color) return;
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

QStringView patternFor(int decimals)
{
    static constexpr char16_t const *patterns[] = {u"0", u"0.0", u"0.00", u"0.000", u"0.0000"};
    return QStringView(patterns[std::clamp(decimals, 0, 4)]);
}

} // namespace

MBGRectangle::MBGRectangle(TColor brush, QWidget *parent) : QFrame(parent), m_brush(brush)
{
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    // Own role: the control's button-face role would otherwise be inherited.
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Qt::black); // the pen
    pal.setColor(QPalette::Window, kxcolor::toQColor(brush, pal));
    setPalette(pal);
}

void MBGRectangle::setBrushColor(TColor brush)
{
    if (brush == m_brush) return;
    m_brush = brush;
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kxcolor::toQColor(brush, pal));
    setPalette(pal);
}

TMBarGraph::TMBarGraph(QWidget *parent)
    : QFrame(parent), m_minusBar(new MBGRectangle(kxcolor::blue, this)),
      m_plusBar(new MBGRectangle(kxcolor::red, this)),
      m_zeroMarker(new MBGRectangle(kxcolor::white, this)), m_valueText(new QLabel(this))
{
    setObjectName(QStringLiteral("MBarGraph"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setBackgroundRole(QPalette::Button); // the system button face
    setAutoFillBackground(true);
    setMinimumSize(30, 5);
    resize(defaultWidth, defaultHeight);

    m_minusBar->setObjectName(QStringLiteral("MinusBar"));
    m_plusBar->setObjectName(QStringLiteral("PlusBar"));
    m_zeroMarker->setObjectName(QStringLiteral("ZeroMarker"));
    m_valueText->setObjectName(QStringLiteral("ValueText"));

    // The signed horizontal layout at full scale, bars hidden; the first
    // property write or resize lays the control out for real.
    const int x0 = 1;
    const int xMid = roundHalfEvenInt((defaultWidth - 1) / 2.0);
    const int xPlusStart = xMid + 3;
    const int xMax = defaultWidth - 1;
    setBounds(m_minusBar, x0, 1, xMid - x0, defaultHeight - 2);
    setBounds(m_zeroMarker, xMid + 1, 1, 1, defaultHeight - 2);
    setBounds(m_plusBar, xPlusStart, 1, xMax - xPlusStart, defaultHeight - 2);
    m_minusBar->hide();
    m_plusBar->hide();

    m_valueText->setText(QStringLiteral("0%"));
    m_valueText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_valueText->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_valueText->adjustSize();
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
    m_showsValue = false;
    m_valueText->hide();
    hideBars();
}

void TMBarGraph::setMBGValue(double value)
{
    const bool wasEmpty = !m_showsValue;
    m_showsValue = true;
    m_value = value;
    if (std::isnan(value) || value < -1.0)
        m_clampedValue = -1.0;
    else if (value > 1.0)
        m_clampedValue = 1.0;
    else
        m_clampedValue = value;
    if (wasEmpty) m_valueText->setVisible(m_showText);
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
    m_showText = show;
    m_valueText->setVisible(show && m_showsValue);
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

void TMBarGraph::showBar(MBGRectangle *bar, TColor color)
{
    bar->setBrushColor(color);
    bar->show();
    (bar == m_plusBar ? m_minusBar : m_plusBar)->hide();
}

void TMBarGraph::hideBars()
{
    m_minusBar->hide();
    m_plusBar->hide();
}

void TMBarGraph::layoutPass(bool force)
{
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
    m_zeroMarker->show();
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
    m_zeroMarker->show();
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
    m_zeroMarker->hide();
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
    m_zeroMarker->hide();
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
    QFont textFont = font();
    // A copy, not an inherited font: a later change of the control's font
    // reaches the text at the next pass, as the sizes computed here assume.
    textFont.setResolveMask(QFont::AllPropertiesResolved);
    m_valueText->setFont(textFont);

    const QString text = formatPattern(m_value * 100.0, patternFor(m_decimals)) + QLatin1Char('%');
    m_valueText->setText(text);
    const QFontMetrics metrics(textFont);
    // Measuring lays the text out; a value that changes only its digits
    // mostly keeps the width.
    const int w = m_textWidth.get(textFont, text, [&] { return metrics.horizontalAdvance(text); });
    const int h = metrics.height();

    int left = 0;
    int top = 0;
    if (besideBar) {
        const QRect bar = m_plusBar->geometry(); // a hidden bar keeps its last bounds
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
    m_valueText->setGeometry(left, top, w, h);

    TColor textColor = kxcolor::black;
    if (m_inverseText) {
        const MBGRectangle *shown =
            !besideBar && m_minusBar->isVisibleTo(this) ? m_minusBar : m_plusBar;
        textColor = kxcolor::inverse(kxcolor::resolve(shown->brushColor(), palette()));
    }
    setTextColor(m_valueText, kxcolor::toQColor(textColor));
}
