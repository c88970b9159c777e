// The trend plot on Qt Charts: tracks, their axes and line pieces, legend.
#include "trend/trend_chart.h"

#include "trend/trend_store.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace {

// Each unit of a quantity in a colour of its own, so two tracks of one
// quantity are told apart at a glance.
QColor trackColour(TrendQuantity quantity, const QString &unit)
{
    switch (quantity) {
    case TrendQuantity::Input:
        if (unit == u"mV") return QColor(0x8a, 0x6d, 0x00);
        if (unit == u"V") return QColor(0x00, 0x83, 0x8f);
        return QColor(0x1f, 0x5f, 0xbf);
    case TrendQuantity::Output:
        if (unit == u"V") return QColor(0xd3, 0x54, 0x00);
        return QColor(0xc0, 0x20, 0x20);
    case TrendQuantity::Temperature:
        break;
    }
    return QColor(0x2e, 0x8b, 0x3a);
}

// The input is drawn wider than the other lines: the output follows it, and
// with both axes fitted to their values the two lines often lie on one
// another; the output's thin line then runs inside the input's.
QPen trackPen(TrendQuantity quantity, const QColor &colour)
{
    QPen pen(colour);
    pen.setWidth(quantity == TrendQuantity::Input ? 2 : 1);
    return pen;
}

// Every value axis has this many intervals between its labels: the number
// of labels stays, so a new range only changes their texts.
constexpr int kAxisIntervals = 5;

// The smallest step of 1, 2 or 5 times a power of ten that splits `span`
// into at most `parts` parts.
double niceStep(double span, int parts)
{
    const double raw = span / parts;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0})
        if (raw <= factor * power) return factor * power;
    return 10.0 * power;
}

} // namespace

struct TrendChart::TrackView {
    quint64 id = 0; // the store's track id; 0: the slot holds no track
    TrendQuantity quantity = TrendQuantity::Input;
    QString unit;
    QValueAxis *axis = nullptr;
    std::vector<QLineSeries *> pieces; // pieces[0] carries the legend entry
    int piecesInUse = 0;
    bool hidden = false;
    bool markerShown = false; // the legend entry as last set
    bool markerPale = false;
    double low = 0.0, high = 0.0; // the axis range in use
    bool ranged = false;
};

TrendChart::TrendChart(const TrendStore &store, QWidget *parent)
    : QChartView(parent), m_store(store), m_chart(new QChart), m_time(new QDateTimeAxis)
{
    setChart(m_chart); // the view owns the chart from here
    m_chart->setLocalizeNumbers(true);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_time->setTickCount(7);
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->legend()->setFont(font());
    m_time->setLabelsFont(font());
    setSpan(m_span);
}

TrendChart::~TrendChart() = default;

void TrendChart::changeEvent(QEvent *event)
{
    QChartView::changeEvent(event);
    // The plot speaks in the window's font, which the page gets from the window.
    if (event->type() != QEvent::FontChange) return;
    m_chart->legend()->setFont(font());
    m_time->setLabelsFont(font());
    for (auto &view : m_views) {
        if (!view->axis) continue;
        view->axis->setLabelsFont(font());
        view->axis->setTitleFont(font());
    }
}

void TrendChart::setSpan(int span)
{
    m_span = std::clamp(span, 0, TrendStore::kSpanCount - 1);
    m_time->setFormat(TrendStore::kSpanMinutes[std::size_t(m_span)] >= 60
                          ? QStringLiteral("HH:mm")
                          : QStringLiteral("HH:mm:ss"));
}

void TrendChart::setQuantityNames(const std::array<QString, kTrendQuantityCount> &names)
{
    m_names = names;
    for (auto &view : m_views)
        if (view->id != 0) updateTitle(*view);
}

void TrendChart::updateTitle(TrackView &view)
{
    const QString title =
        m_names[std::size_t(view.quantity)] + QStringLiteral(" (") + view.unit + u')';
    view.axis->setTitleText(title);
    for (QLineSeries *series : view.pieces)
        series->setName(title);
}

void TrendChart::syncTracks()
{
    // The store's track slots map one to one onto the plot's.
    while (int(m_views.size()) < m_store.trackCount())
        m_views.push_back(std::make_unique<TrackView>());
    for (int i = 0; i < int(m_views.size()); ++i) {
        TrackView &view = *m_views[std::size_t(i)];
        const quint64 id = i < m_store.trackCount() ? m_store.track(i).id : 0;
        if (view.id == id) continue;
        if (id != 0) {
            bindTrack(view, i);
            continue;
        }
        view.id = 0;
        view.piecesInUse = 0;
        for (QLineSeries *series : view.pieces)
            series->clear();
        if (view.axis) view.axis->setVisible(false);
        if (!view.pieces.empty()) updateMarker(view, false);
        view.hidden = false;
    }
}

void TrendChart::bindTrack(TrackView &view, int storeIndex)
{
    const TrendStore::Track &track = m_store.track(storeIndex);
    const Qt::Alignment side =
        track.quantity == TrendQuantity::Input ? Qt::AlignLeft : Qt::AlignRight;
    view.id = track.id;
    view.quantity = track.quantity;
    view.unit = track.unit;
    view.hidden = false;
    view.ranged = false;
    view.piecesInUse = 0;
    // An axis sits on one side for good: a slot that changes side gets a new one.
    if (view.axis && view.axis->alignment() != side) {
        m_chart->removeAxis(view.axis);
        delete view.axis;
        view.axis = nullptr;
    }
    if (!view.axis) {
        view.axis = new QValueAxis;
        view.axis->setLabelFormat(QStringLiteral("%.4g"));
        view.axis->setTickCount(kAxisIntervals + 1);
        view.axis->setLabelsFont(font());
        view.axis->setTitleFont(font());
        m_chart->addAxis(view.axis, side);
        for (QLineSeries *series : view.pieces)
            series->attachAxis(view.axis);
    }
    const QColor colour = trackColour(track.quantity, track.unit);
    view.axis->setLinePenColor(colour);
    view.axis->setLabelsColor(colour);
    view.axis->setTitleBrush(colour);
    view.axis->setVisible(false);
    for (QLineSeries *series : view.pieces) {
        series->clear();
        series->setPen(trackPen(track.quantity, colour));
    }
    updateTitle(view);
    if (!view.pieces.empty()) {
        view.markerShown = true; // forces the entry's colours to be set again
        updateMarker(view, false);
    }
}

QLineSeries *TrendChart::piece(TrackView &view, int index)
{
    while (int(view.pieces.size()) <= index) {
        auto *series = new QLineSeries;
        series->setPen(trackPen(view.quantity, trackColour(view.quantity, view.unit)));
        series->setName(view.axis->titleText());
        m_chart->addSeries(series); // the chart owns it
        series->attachAxis(m_time);
        series->attachAxis(view.axis);
        if (!m_timeShown) {
            // A time axis that had no series when the chart was first shown
            // stays undrawn until it is shown again.
            m_time->setVisible(false);
            m_time->setVisible(true);
            m_timeShown = true;
        }
        const bool first = view.pieces.empty();
        view.pieces.push_back(series);
        const QList<QLegendMarker *> markers = m_chart->legend()->markers(series);
        for (QLegendMarker *marker : markers) {
            // Only the first piece stands for the track in the legend.
            marker->setVisible(false);
            if (!first) continue;
            const QLineSeries *owner = series;
            connect(marker, &QLegendMarker::clicked, this, [this, owner] {
                for (auto &v : m_views)
                    if (!v->pieces.empty() && v->pieces.front() == owner)
                        toggleTrack(v->quantity, v->unit);
            });
        }
    }
    return view.pieces[std::size_t(index)];
}

void TrendChart::updateMarker(TrackView &view, bool inView)
{
    if (view.markerShown == inView && view.markerPale == view.hidden) return;
    view.markerShown = inView;
    view.markerPale = view.hidden;
    for (QLegendMarker *marker : m_chart->legend()->markers(view.pieces.front())) {
        marker->setVisible(inView);
        // A hidden track stays in the legend, pale, so it can be shown again.
        QColor colour = trackColour(view.quantity, view.unit);
        if (view.hidden) colour.setAlpha(70);
        marker->setBrush(colour);
        QColor text = palette().color(QPalette::WindowText);
        if (view.hidden) text.setAlpha(110);
        marker->setLabelBrush(text);
    }
}

void TrendChart::refresh(qint64 nowMsecs)
{
    const qint64 spanMsecs = qint64(TrendStore::kSpanMinutes[std::size_t(m_span)]) * 60000;
    const qint64 from = nowMsecs - spanMsecs;
    syncTracks();
    for (int i = 0; i < m_store.trackCount(); ++i)
        showTrack(*m_views[std::size_t(i)], i, from, nowMsecs);
    m_time->setRange(QDateTime::fromMSecsSinceEpoch(from),
                     QDateTime::fromMSecsSinceEpoch(nowMsecs));
}

void TrendChart::showTrack(TrackView &view, int storeIndex, qint64 from, qint64 to)
{
    m_points.clear();
    m_pieceStarts.clear();
    double low = 0.0, high = 0.0;
    m_store.visit(storeIndex, m_span, from, to, [&](qint64 at, double value, bool startsLine) {
        if (startsLine) m_pieceStarts.push_back(int(m_points.size()));
        if (m_points.isEmpty()) low = high = value;
        low = std::min(low, value);
        high = std::max(high, value);
        m_points.append(QPointF(double(at), value));
    });
    const bool inView = !m_points.isEmpty();
    // The newest pieces are kept when there are more than the plot draws.
    const int pieces = int(m_pieceStarts.size());
    const int firstPiece = std::max(0, pieces - kMaxPieces);
    int used = 0;
    if (!view.hidden) {
        for (int p = firstPiece; p < pieces; ++p, ++used) {
            const int begin = m_pieceStarts[std::size_t(p)];
            const int end =
                p + 1 < pieces ? m_pieceStarts[std::size_t(p + 1)] : int(m_points.size());
            piece(view, used)->replace(m_points.mid(begin, end - begin));
        }
    }
    // A hidden track keeps its legend entry, for the click that shows it again.
    if (view.hidden && inView) piece(view, 0);
    for (int p = used; p < view.piecesInUse; ++p)
        view.pieces[std::size_t(p)]->clear();
    view.piecesInUse = used;
    if (!view.pieces.empty()) updateMarker(view, inView);
    view.axis->setVisible(inView && !view.hidden);
    if (inView && !view.hidden) setRangeFor(view, low, high);
}

void TrendChart::setRangeFor(TrackView &view, double low, double high)
{
    // The axis keeps its range while the values fit and fill a fair part of
    // it, so it does not jump with every bit of noise; a new range leaves
    // room beyond the values for a line that goes on rising or falling.
    if (view.ranged && low >= view.low && high <= view.high &&
        (high - low) >= 0.25 * (view.high - view.low))
        return;
    double span = high - low;
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    if (span <= magnitude * 1e-6) span = std::max(magnitude * 0.02, 1e-3);
    const double wantedLow = low - span * 0.1;
    const double wantedHigh = high + span * 0.1;
    double step = niceStep(wantedHigh - wantedLow, kAxisIntervals);
    double bottom = std::floor(wantedLow / step) * step;
    while (bottom + kAxisIntervals * step < wantedHigh) {
        step = niceStep(step * 1.01, 1);
        bottom = std::floor(wantedLow / step) * step;
    }
    view.low = bottom;
    view.high = bottom + kAxisIntervals * step;
    view.ranged = true;
    view.axis->setRange(view.low, view.high);
}

const TrendChart::TrackView *TrendChart::viewOf(TrendQuantity quantity, const QString &unit) const
{
    for (const auto &view : m_views)
        if (view->id != 0 && view->quantity == quantity && view->unit == unit) return view.get();
    return nullptr;
}

TrendChart::TrackPicture TrendChart::picture(TrendQuantity quantity, const QString &unit) const
{
    TrackPicture result;
    const TrackView *view = viewOf(quantity, unit);
    if (!view) return result;
    result.title = view->axis->titleText();
    result.hidden = view->hidden;
    result.axisVisible = view->axis->isVisible();
    for (int p = 0; p < view->piecesInUse; ++p)
        result.pieces.append(view->pieces[std::size_t(p)]->points());
    return result;
}

void TrendChart::toggleTrack(TrendQuantity quantity, const QString &unit)
{
    auto *view = const_cast<TrackView *>(viewOf(quantity, unit));
    if (!view) return;
    view->hidden = !view->hidden;
    view->ranged = false;
    if (!view->pieces.empty()) updateMarker(*view, view->markerShown);
}
