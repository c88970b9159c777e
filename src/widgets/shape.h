// TShape: a filled rectangle with an outline, used as a lamp or a colour
// swatch. Changing either colour repaints at once.
#pragma once

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor PenColor READ PenColor WRITE setPenColor)
    Q_PROPERTY(QColor BrushColor READ BrushColor WRITE setBrushColor)
    Q_PROPERTY(int PenWidth READ PenWidth WRITE setPenWidth)

public:
    explicit TShape(QWidget *parent = nullptr);

    QColor PenColor() const { return m_penColor; }
    void setPenColor(const QColor &color);
    QColor BrushColor() const { return m_brushColor; }
    void setBrushColor(const QColor &color);
    int PenWidth() const { return m_penWidth; }
    // Clamps to 0 (no outline) … 32.
    void setPenWidth(int width);

    QSize sizeHint() const override { return {65, 65}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_penColor = Qt::black;
    QColor m_brushColor = Qt::white;
    int m_penWidth = 1;
};
