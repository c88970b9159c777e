// Painting of TShape.
#include "widgets/shape.h"

#include <QPainter>

TShape::TShape(QWidget *parent) : QWidget(parent) {}

void TShape::setPenColor(const QColor &color)
{
    if (color == m_penColor) return;
    m_penColor = color;
    update();
}

void TShape::setBrushColor(const QColor &color)
{
    if (color == m_brushColor) return;
    m_brushColor = color;
    update();
}

void TShape::setPenWidth(int width)
{
    m_penWidth = std::clamp(width, 0, 32);
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    // The outline lies inside the widget, so a 1-pixel pen on a 10 × 10
    // shape paints exactly the outer ring of pixels.
    p.fillRect(rect(), m_penWidth > 0 ? m_penColor : m_brushColor);
    const QRect inner =
        rect().marginsRemoved(QMargins(m_penWidth, m_penWidth, m_penWidth, m_penWidth));
    if (inner.isValid()) p.fillRect(inner, m_brushColor);
}
