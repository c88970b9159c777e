// Defaults of TTrackBar: the classic track bar look (ticks below, 0 … 10).
#include "widgets/trackbar.h"

TTrackBar::TTrackBar(QWidget *parent) : QSlider(Qt::Horizontal, parent)
{
    setRange(0, 10);
    setPageStep(2);
    setSingleStep(1);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
    // valueChanged also fires when a range change moves the position, which
    // is a change of position like any other.
    connect(this, &QAbstractSlider::valueChanged, this, &TTrackBar::OnChange);
    // The track bar takes the focus when clicked, so "has the focus" tells
    // whether the user is dragging it.
    setFocusPolicy(Qt::StrongFocus);
}
