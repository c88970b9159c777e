// The trend plot: a Qt Charts view of the trend store. Every track (one
// quantity in one unit) has a value axis of its own titled with its name and
// unit: the input's on the left, the output's and the temperature's on the
// right; time runs along the bottom, counted back from now (or from the
// moment the plot was paused), so the axis stays as it is while the lines
// move along it. The legend shows each track that has points in view; a
// click on it hides or shows the track.
//
// Qt Charts lays out the axes, the grid and the legend. The lines themselves
// are drawn by one plot item per track that lifts the pen wherever the store
// says a line ends (a gap in the exchange, a change of range), so a gap is
// never bridged; a line series of the chart's own would have to be split
// into one series per piece, and it computes a hover outline of every line
// at each change, which costs more than all the rest of the plot.
//
// The plot changes only when refresh() is called; the trend page calls it at
// a limited rate and never while the page is hidden.
#pragma once

#include "trend/trend_reading.h"
#include "trend/trend_texts.h"

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QSet>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class QLineSeries;
class QValueAxis;
class TrendStore;

class TrendChart : public QChartView {
    Q_OBJECT
public:
    explicit TrendChart(const TrendStore &store, QWidget *parent = nullptr);
    ~TrendChart() override;

    // Which of the store's spans is shown.
    void setSpan(int span);
    int span() const { return m_span; }
    // The names of the quantities, for the legend and the axis titles
    // ("Input value (mV)"), and the time axis's titles.
    void setTexts(const TrendTexts &texts);

    // Shows the store's readings of the span that ends at `nowMsecs`.
    void refresh(qint64 nowMsecs);

    // What the plot shows of one track, for the page's tests: the pieces of
    // its line (oldest first, in milliseconds since the epoch and the
    // track's unit), its axis title, and whether the user has hidden it.
    // Empty for a track not in view.
    struct TrackPicture {
        QString title;
        bool hidden = false;
        bool axisVisible = false;
        QList<QList<QPointF>> pieces;
        double axisLow = 0.0; // the value axis's range and its labels' texts
        double axisHigh = 0.0;
        QStringList tickTexts;
    };
    TrackPicture picture(TrendQuantity quantity, const QString &unit) const;

    // The range of a value axis for values from low to high, and the
    // decimals its labels need to tell every tick from its neighbours.
    struct AxisRange {
        double low = 0.0;
        double high = 0.0;
        int intervals = 0; // between its labels
        int decimals = 0;
    };
    static AxisRange axisRangeFor(double low, double high);
    // Hides or shows a track as a click on its legend entry does.
    void toggleTrack(TrendQuantity quantity, const QString &unit);

protected:
    void changeEvent(QEvent *event) override;

private:
    struct TrackView;
    class LineItem;

    void syncTracks();
    void bindTrack(TrackView &view, int storeIndex);
    void showTrack(TrackView &view, int storeIndex, qint64 from, qint64 to);
    void setRangeFor(TrackView &view, double low, double high);
    void updateTitle(TrackView &view);
    void updateTimeAxis();
    void updateMarker(TrackView &view, bool inView);
    const TrackView *viewOf(TrendQuantity quantity, const QString &unit) const;

    const TrendStore &m_store;
    QChart *m_chart;
    QValueAxis *m_time;
    bool m_timeShown = false;
    int m_span = 1;
    qint64 m_from = 0; // the time range in view
    qint64 m_to = 1;
    const TrendTexts *m_texts;
    std::vector<std::unique_ptr<TrackView>> m_views;
    // The tracks the user has hidden, by quantity and unit: they stay hidden
    // when Clear starts them again.
    QSet<QString> m_hidden;
};
