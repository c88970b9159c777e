// TMB: the serial link component as placed on a window. A group box that owns
// the link engine and shows its panel (port list, speed list, lamps, counters).
#pragma once

#include <QGroupBox>

class TMB : public QGroupBox {
    Q_OBJECT
public:
    explicit TMB(QWidget *parent = nullptr);
    ~TMB() override;
};
