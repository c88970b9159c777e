// TBevel: a lowered (or raised) etched line or frame that divides a page
// into regions; it has no behaviour, only a look.
#pragma once

#include <QWidget>

class TBevel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(BevelShape Shape READ bevelShape WRITE setShape)
    Q_PROPERTY(BevelStyle Style READ bevelStyle WRITE setStyle)

public:
    enum class BevelShape {
        bsBox,
        bsFrame,
        bsTopLine,
        bsBottomLine,
        bsLeftLine,
        bsRightLine,
        bsSpacer
    };
    Q_ENUM(BevelShape)
    enum class BevelStyle { bsLowered, bsRaised };
    Q_ENUM(BevelStyle)

    explicit TBevel(QWidget *parent = nullptr);

    // Named apart from QWidget::style(), which this must not hide.
    BevelShape bevelShape() const { return m_shape; }
    void setShape(BevelShape shape);
    BevelStyle bevelStyle() const { return m_style; }
    void setStyle(BevelStyle style);
    using QWidget::setStyle;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    BevelShape m_shape = BevelShape::bsBox;
    BevelStyle m_style = BevelStyle::bsLowered;
};
