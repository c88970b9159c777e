// The trend plot: a Qt Charts view of the trend store. Every track (one
// quantity in one unit) has a value axis of its own titled with its name and
// unit: the input's on the left, the output's and the temperature's on the
// right; time runs along the bottom. A track's line is split wherever the
// store says it ends (a gap in the exchange, a change of range), one line
// series per piece, so a gap is never bridged. The legend shows each track
// that has points in view; a click on it hides or shows the track.
//
// The plot changes only when refresh() is called; the trend page calls it at
// a limited rate and never while the page is hidden.
#pragma once

#include "trend/trend_reading.h"

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class QDateTimeAxis;
class QLegendMarker;
class QLineSeries;
class QValueAxis;
class TrendStore;

class TrendChart : public QChartView {
    Q_OBJECT
public:
    // A track's line is drawn in at most this many pieces; beyond that the
    // oldest pieces in view are left out.
    static constexpr int kMaxPieces = 64;

    explicit TrendChart(const TrendStore &store, QWidget *parent = nullptr);
    ~TrendChart() override;

    // Which of the store's spans is shown.
    void setSpan(int span);
    int span() const { return m_span; }
    // The quantities' names, in TrendQuantity order, for the legend and the
    // axis titles ("Input value (mV)").
    void setQuantityNames(const std::array<QString, kTrendQuantityCount> &names);

    // Shows the store's readings of the span that ends at `nowMsecs`.
    void refresh(qint64 nowMsecs);

    // What the plot shows of one track, for the page's tests: the pieces of
    // its line that have points (oldest first), its axis title, and whether
    // the user has hidden it. Empty for a track not in view.
    struct TrackPicture {
        QString title;
        bool hidden = false;
        bool axisVisible = false;
        QList<QList<QPointF>> pieces;
    };
    TrackPicture picture(TrendQuantity quantity, const QString &unit) const;
    // Hides or shows a track as a click on its legend entry does.
    void toggleTrack(TrendQuantity quantity, const QString &unit);

protected:
    void changeEvent(QEvent *event) override;

private:
    struct TrackView;

    void syncTracks();
    void bindTrack(TrackView &view, int storeIndex);
    QLineSeries *piece(TrackView &view, int index);
    void showTrack(TrackView &view, int storeIndex, qint64 from, qint64 to);
    void setRangeFor(TrackView &view, double low, double high);
    void updateTitle(TrackView &view);
    void updateMarker(TrackView &view, bool inView);
    const TrackView *viewOf(TrendQuantity quantity, const QString &unit) const;

    const TrendStore &m_store;
    QChart *m_chart;
    QDateTimeAxis *m_time;
    bool m_timeShown = false;
    int m_span = 1;
    std::array<QString, kTrendQuantityCount> m_names;
    std::vector<std::unique_ptr<TrackView>> m_views;
    // Reused between refreshes: the points of one track, and where each
    // piece of its line starts among them.
    QList<QPointF> m_points;
    std::vector<int> m_pieceStarts;
};
