// The trend plot on Qt Charts: tracks, their axes, legend entries and lines.
#include "trend/trend_chart.h"

#include "trend/trend_store.h"

#include <QGraphicsItem>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
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

// A value axis has about this many intervals between its labels.
constexpr int kAxisIntervals = 5;
// A new range leaves this share of the values' spread free beyond each end,
// for a line that goes on rising or falling; a kept range keeps at least
// kEdgeShare of itself free at each end, so no value lies on the plot's
// border (where the clip would take its line away), and is filled by the
// values to at least kFillShare.
constexpr double kRoom = 0.1;
constexpr double kEdgeShare = 0.02;
constexpr double kFillShare = 0.4;

// The smallest step of 1, 2, 2.5 or 5 times a power of ten that is at least `raw`.
double niceStepAtLeast(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 2.5, 5.0})
        if (raw <= factor * power * (1 + 1e-9)) return factor * power;
    return 10.0 * power;
}

// The decimals that write every multiple of `step` exactly (0.25: 2).
int decimalsOf(double step)
{
    for (int decimals = 0; decimals < 12; ++decimals) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::fabs(scaled - std::round(scaled)) < 1e-6 * scaled) return decimals;
    }
    return 12;
}

QString trackKey(TrendQuantity quantity, const QString &unit)
{
    return QString::number(int(quantity)) + u' ' + unit;
}

// Where the lines lie among the chart's own items: above the plot area and
// its grid, below the legend.
constexpr qreal kLineZ = 4;

} // namespace

struct TrendChart::TrackView {
    quint64 id = 0; // the store's track id; 0: the slot holds no track
    TrendQuantity quantity = TrendQuantity::Input;
    QString unit;
    QValueAxis *axis = nullptr;
    // Empty; it stands for the track in the legend and carries its axes.
    QLineSeries *legendEntry = nullptr;
    LineItem *line = nullptr;
    // The points in view (milliseconds, value) and where each piece of the
    // line starts among them; kept between refreshes, so their room is.
    std::vector<QPointF> points;
    std::vector<int> pieceStarts;
    bool hidden = false;
    bool markerShown = true; // the legend entry as last set
    bool markerPale = false;
    double low = 0.0, high = 0.0; // the axis range in use
    bool ranged = false;
};

// Draws one track's line in the plot area from its points, mapped onto the
// time axis and the track's value axis as they stand.
class TrendChart::LineItem : public QGraphicsItem {
public:
    LineItem(const TrendChart &chart, const TrackView &view, QGraphicsItem *parent)
        : QGraphicsItem(parent), m_chart(chart), m_view(view)
    {
        setZValue(kLineZ);
    }

    void plotAreaChanged() { prepareGeometryChange(); }
    QRectF boundingRect() const override { return m_chart.m_chart->plotArea(); }

    void paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *) override
    {
        const TrackView &view = m_view;
        if (view.points.empty() || view.high <= view.low) return;
        const QRectF area = boundingRect();
        const double xScale =
            area.width() / double(std::max<qint64>(1, m_chart.m_to - m_chart.m_from));
        const double yScale = area.height() / (view.high - view.low);
        const double from = double(m_chart.m_from);
        m_pixels.resize(view.points.size());
        for (std::size_t i = 0; i < view.points.size(); ++i)
            m_pixels[i] = QPointF(area.left() + (view.points[i].x() - from) * xScale,
                                  area.bottom() - (view.points[i].y() - view.low) * yScale);
        painter->setClipRect(area);
        QPen pen(trackColour(view.quantity, view.unit), 0); // cosmetic: one pixel
        painter->setPen(pen);
        // A column with a lowest and a highest value is as wide as the time
        // it covers: side by side, the columns of a noisy signal make one
        // solid band instead of a comb with white lines between its teeth.
        const double columnPixels =
            std::max(1.0, double(TrendStore::columnMsecs(m_chart.m_span)) * xScale);
        const QColor colour = pen.color();
        for (std::size_t i = 0; i + 1 < m_pixels.size(); ++i) {
            if (m_pixels[i].x() != m_pixels[i + 1].x()) continue;
            const double top = std::min(m_pixels[i].y(), m_pixels[i + 1].y());
            const double bottom = std::max(m_pixels[i].y(), m_pixels[i + 1].y());
            painter->fillRect(
                QRectF(m_pixels[i].x() - columnPixels / 2, top, columnPixels, bottom - top + 1),
                colour);
        }
        const int pieces = int(view.pieceStarts.size());
        for (int p = 0; p < pieces; ++p) {
            const int begin = view.pieceStarts[std::size_t(p)];
            const int end =
                p + 1 < pieces ? view.pieceStarts[std::size_t(p + 1)] : int(m_pixels.size());
            drawPiece(painter, begin, end);
            // The input is drawn two pixels wide: the output follows it, and
            // with both axes fitted to their values the two lines often lie
            // on one another; the output's line then runs inside the input's.
            // A second one-pixel line costs far less than a wide pen.
            if (view.quantity == TrendQuantity::Input) {
                painter->translate(0, 1);
                drawPiece(painter, begin, end);
                painter->translate(0, -1);
            }
        }
    }

private:
    void drawPiece(QPainter *painter, int begin, int end) const
    {
        if (end - begin == 1)
            painter->drawPoint(m_pixels[std::size_t(begin)]);
        else
            painter->drawPolyline(m_pixels.data() + begin, end - begin);
    }

    const TrendChart &m_chart;
    const TrackView &m_view;
    mutable std::vector<QPointF> m_pixels; // reused from paint to paint
};

TrendChart::TrendChart(const TrendStore &store, QWidget *parent)
    : QChartView(parent), m_store(store), m_chart(new QChart), m_time(new QValueAxis),
      m_texts(&trendTexts(TrendLanguage::English))
{
    setChart(m_chart); // the view owns the chart from here
    m_chart->setLocalizeNumbers(true);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_chart->setBackgroundRoundness(0);
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->legend()->setAlignment(Qt::AlignBottom);
    m_time->setLabelFormat(QStringLiteral("%.0f"));
    m_time->setTitleFont(font());
    m_chart->addAxis(m_time, Qt::AlignBottom);
    m_chart->legend()->setFont(font());
    m_time->setLabelsFont(font());
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        for (auto &view : m_views)
            if (view->line) view->line->plotAreaChanged();
    });
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
    m_time->setTitleFont(font());
    for (auto &view : m_views) {
        if (!view->axis) continue;
        view->axis->setLabelsFont(font());
        view->axis->setTitleFont(font());
    }
}

void TrendChart::setSpan(int span)
{
    m_span = std::clamp(span, 0, TrendStore::kSpanCount - 1);
    updateTimeAxis();
}

void TrendChart::updateTimeAxis()
{
    // Seconds for the short spans, minutes for the long ones, with a label
    // at every round number of them.
    struct Scale {
        double range;
        int ticks;
        bool minutes;
    };
    constexpr Scale scales[TrendStore::kSpanCount] = {
        {60, 7, false}, {300, 6, false}, {15, 4, true}, {60, 7, true}};
    const Scale &scale = scales[std::size_t(m_span)];
    m_time->setRange(-scale.range, 0);
    m_time->setTickCount(scale.ticks);
    m_time->setTitleText(scale.minutes ? m_texts->timeMinutes : m_texts->timeSeconds);
}

void TrendChart::setTexts(const TrendTexts &texts)
{
    m_texts = &texts;
    updateTimeAxis();
    for (auto &view : m_views)
        if (view->id != 0) updateTitle(*view);
}

void TrendChart::updateTitle(TrackView &view)
{
    const QString title =
        m_texts->quantities[std::size_t(view.quantity)] + QStringLiteral(" (") + view.unit + u')';
    view.axis->setTitleText(title);
    view.legendEntry->setName(title);
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
        // The slot's track is gone (Clear).
        view.id = 0;
        view.hidden = false;
        view.points.clear();
        view.pieceStarts.clear();
        view.axis->setVisible(false);
        view.line->update();
        updateMarker(view, false);
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
    view.hidden = m_hidden.contains(trackKey(track.quantity, track.unit));
    view.ranged = false;
    view.points.clear();
    view.pieceStarts.clear();
    // An axis sits on one side for good: a slot that changes side gets a new one.
    if (view.axis && view.axis->alignment() != side) {
        m_chart->removeAxis(view.axis);
        delete view.axis;
        view.axis = nullptr;
    }
    if (!view.axis) {
        view.axis = new QValueAxis;
        view.axis->setTickCount(kAxisIntervals + 1);
        view.axis->setLabelsFont(font());
        view.axis->setTitleFont(font());
        m_chart->addAxis(view.axis, side);
        if (view.legendEntry) view.legendEntry->attachAxis(view.axis);
    }
    if (!view.legendEntry) {
        view.legendEntry = new QLineSeries;
        m_chart->addSeries(view.legendEntry); // the chart owns it
        view.legendEntry->attachAxis(m_time);
        view.legendEntry->attachAxis(view.axis);
        const QLineSeries *entry = view.legendEntry;
        for (QLegendMarker *marker : m_chart->legend()->markers(view.legendEntry))
            connect(marker, &QLegendMarker::clicked, this, [this, entry] {
                for (auto &v : m_views)
                    if (v->legendEntry == entry) toggleTrack(v->quantity, v->unit);
            });
        view.line = new LineItem(*this, view, m_chart);
    }
    if (!m_timeShown) {
        // A time axis that had no series when the chart was first shown
        // stays undrawn until it is shown again.
        m_time->setVisible(false);
        m_time->setVisible(true);
        m_timeShown = true;
    }
    const QColor colour = trackColour(track.quantity, track.unit);
    view.legendEntry->setColor(colour);
    view.axis->setLinePenColor(colour);
    view.axis->setLabelsColor(colour);
    view.axis->setTitleBrush(colour);
    view.axis->setVisible(false);
    updateTitle(view);
    view.markerShown = true; // the entry's colours are set again
    updateMarker(view, false);
}

void TrendChart::updateMarker(TrackView &view, bool inView)
{
    if (view.markerShown == inView && view.markerPale == view.hidden) return;
    view.markerShown = inView;
    view.markerPale = view.hidden;
    for (QLegendMarker *marker : m_chart->legend()->markers(view.legendEntry)) {
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
    m_from = nowMsecs - spanMsecs;
    m_to = nowMsecs;
    syncTracks();
    for (int i = 0; i < m_store.trackCount(); ++i)
        showTrack(*m_views[std::size_t(i)], i, m_from, m_to);
}

void TrendChart::showTrack(TrackView &view, int storeIndex, qint64 from, qint64 to)
{
    view.points.clear();
    view.pieceStarts.clear();
    double low = 0.0, high = 0.0;
    m_store.visit(storeIndex, m_span, from, to, [&](qint64 at, double value, bool startsLine) {
        if (startsLine) view.pieceStarts.push_back(int(view.points.size()));
        if (view.points.empty()) low = high = value;
        low = std::min(low, value);
        high = std::max(high, value);
        view.points.emplace_back(double(at), value);
    });
    const bool inView = !view.points.empty();
    updateMarker(view, inView);
    const bool drawn = inView && !view.hidden;
    view.axis->setVisible(drawn);
    if (drawn) setRangeFor(view, low, high);
    view.line->setVisible(drawn);
    view.line->update();
}

TrendChart::AxisRange TrendChart::axisRangeFor(double low, double high)
{
    double span = high - low;
    const double magnitude = std::max(std::fabs(low), std::fabs(high));
    if (span <= magnitude * 1e-6) {
        // A constant value stands in the middle of a span in proportion to
        // it, at least one unit wide, whose labels are plain numbers.
        span = std::max(magnitude * 0.1, 1.0);
        const double middle = (low + high) / 2;
        low = middle - span / 2;
        high = middle + span / 2;
    }
    const double wantedLow = low - span * kRoom;
    const double wantedHigh = high + span * kRoom;
    // Labels at round numbers: the step is a round number, the axis starts
    // at a multiple of it and has four to six intervals, whichever fits the
    // values closest.
    AxisRange best;
    for (const int intervals : {kAxisIntervals, kAxisIntervals + 1, kAxisIntervals - 1}) {
        double step = niceStepAtLeast((wantedHigh - wantedLow) / intervals);
        double bottom = std::floor(wantedLow / step) * step;
        while (bottom + intervals * step < wantedHigh) {
            step = niceStepAtLeast(step * 1.01);
            bottom = std::floor(wantedLow / step) * step;
        }
        const double top = bottom + intervals * step;
        if (best.intervals == 0 || top - bottom < best.high - best.low)
            best = {bottom, top, intervals, decimalsOf(step)};
    }
    return best;
}

void TrendChart::setRangeFor(TrackView &view, double low, double high)
{
    // The axis keeps its range while the values fit well inside and fill a
    // fair part of it, so it does not jump with every bit of noise.
    const double range = view.high - view.low;
    if (view.ranged && low >= view.low + kEdgeShare * range &&
        high <= view.high - kEdgeShare * range && (high - low) >= kFillShare * range)
        return;
    const AxisRange wanted = axisRangeFor(low, high);
    view.ranged = true;
    view.low = wanted.low;
    view.high = wanted.high;
    view.axis->setLabelFormat(QStringLiteral("%.%1f").arg(wanted.decimals));
    view.axis->setTickCount(wanted.intervals + 1);
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
    result.axisLow = view->axis->min();
    result.axisHigh = view->axis->max();
    const QByteArray format = view->axis->labelFormat().toLatin1();
    for (int tick = 0; tick < view->axis->tickCount(); ++tick)
        result.tickTexts << QString::asprintf(
            format.constData(), result.axisLow + tick * (result.axisHigh - result.axisLow) /
                                                     (view->axis->tickCount() - 1));
    if (view->hidden) return result;
    const int pieces = int(view->pieceStarts.size());
    for (int p = 0; p < pieces; ++p) {
        const int begin = view->pieceStarts[std::size_t(p)];
        const int end =
            p + 1 < pieces ? view->pieceStarts[std::size_t(p + 1)] : int(view->points.size());
        result.pieces.append(
            QList<QPointF>(view->points.begin() + begin, view->points.begin() + end));
    }
    return result;
}

void TrendChart::toggleTrack(TrendQuantity quantity, const QString &unit)
{
    auto *view = const_cast<TrackView *>(viewOf(quantity, unit));
    if (!view) return;
    view->hidden = !view->hidden;
    if (view->hidden)
        m_hidden.insert(trackKey(quantity, unit));
    else
        m_hidden.remove(trackKey(quantity, unit));
    view->ranged = false;
    updateMarker(*view, view->markerShown);
    view->line->setVisible(!view->hidden && !view->points.empty());
    view->axis->setVisible(view->line->isVisible());
}
