// Painting of TBevel: dark and light edges give the etched, lowered look.
#include "widgets/bevel.h"

#include <QPainter>

TBevel::TBevel(QWidget *parent) : QWidget(parent)
{
    // Mouse clicks go to whatever lies underneath, as for a drawn line.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBevel::setShape(BevelShape shape)
{
    m_shape = shape;
    update();
}

void TBevel::setStyle(BevelStyle style)
{
    m_style = style;
    update();
}

void TBevel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QColor dark = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    // Lowered: shadow on the top-left edge, highlight on the bottom-right.
    const QColor first = m_style == BevelStyle::bsLowered ? dark : light;
    const QColor second = m_style == BevelStyle::bsLowered ? light : dark;
    const int r = width() - 1;
    const int b = height() - 1;
    // An etched line: two adjacent strokes, shadow then highlight.
    auto hline = [&](int y) {
        p.setPen(first);
        p.drawLine(0, y, r, y);
        p.setPen(second);
        p.drawLine(0, y + 1, r, y + 1);
    };
    auto vline = [&](int x) {
        p.setPen(first);
        p.drawLine(x, 0, x, b);
        p.setPen(second);
        p.drawLine(x + 1, 0, x + 1, b);
    };
    switch (m_shape) {
    case BevelShape::bsBox:
        p.setPen(first);
        p.drawLine(0, 0, r, 0);
        p.drawLine(0, 0, 0, b);
        p.setPen(second);
        p.drawLine(0, b, r, b);
        p.drawLine(r, 0, r, b);
        break;
    case BevelShape::bsFrame:
        p.setPen(first);
        p.drawRect(0, 0, r - 1, b - 1);
        p.setPen(second);
        p.drawRect(1, 1, r - 1, b - 1);
        break;
    case BevelShape::bsTopLine:
        hline(0);
        break;
    case BevelShape::bsBottomLine:
        hline(b - 1);
        break;
    case BevelShape::bsLeftLine:
        vline(0);
        break;
    case BevelShape::bsRightLine:
        vline(r - 1);
        break;
    case BevelShape::bsSpacer:
        break;
    }
}
