// TTrackBar: the horizontal slider of the calibration and output check pages.
// OnChange follows every change of Position, the program's included, because
// the pages keep their labels and the request in step through it.
#pragma once

#include <QSlider>

class TTrackBar : public QSlider {
    Q_OBJECT
    // Min and Max before Position: a form that lists them in this order sets
    // the range before the position is clamped into it.
    Q_PROPERTY(int Min READ Min WRITE setMin)
    Q_PROPERTY(int Max READ Max WRITE setMax)
    Q_PROPERTY(int PageSize READ PageSize WRITE setPageSize)
    Q_PROPERTY(int Frequency READ Frequency WRITE setFrequency)
    Q_PROPERTY(int Position READ Position WRITE setPosition)

public:
    explicit TTrackBar(QWidget *parent = nullptr);

    int Min() const { return minimum(); }
    // A minimum above the maximum raises the maximum with it (and the other
    // way round for Max); the position is clamped into the range.
    void setMin(int min) { setMinimum(min); }
    int Max() const { return maximum(); }
    void setMax(int max) { setMaximum(max); }

    int PageSize() const { return pageStep(); }
    void setPageSize(int size) { setPageStep(std::max(size, 1)); }

    // Distance between tick marks, in positions.
    int Frequency() const { return tickInterval(); }
    void setFrequency(int frequency) { setTickInterval(std::max(frequency, 1)); }

    int Position() const { return value(); }
    // Clamps into Min … Max.
    void setPosition(int position) { setValue(position); }

signals:
    void OnChange();
};
