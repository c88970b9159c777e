// The trend's store of readings: each column keeps the lowest and highest
// value in the order they came, a gap or a new range ends a line, a new unit
// goes to a track of its own, and the memory stays bounded however long the
// readings come.
#include <QtTest>

#include "trend/trend_store.h"

namespace {

constexpr qint64 kStart = 1'700'000'000'000;

TrendReading reading(qint64 msecs, double input, const QString &unit = QStringLiteral("mA"),
                     int range = 6)
{
    TrendReading r;
    r.msecsSinceEpoch = msecs;
    r.input = {input, unit, range};
    return r;
}

struct Point {
    qint64 msecs;
    double value;
    bool startsLine;
};

// Every point of a track at one span, up to the store's newest reading.
QList<Point> pointsOf(const TrendStore &store, int track, int span = 0)
{
    QList<Point> points;
    store.visit(track, span, 0, store.lastMsecs(), [&](qint64 at, double value, bool starts) {
        points.append({at, value, starts});
    });
    return points;
}

int trackOf(const TrendStore &store, const QString &unit)
{
    for (int i = 0; i < store.trackCount(); ++i)
        if (store.track(i).unit == unit) return i;
    return -1;
}

} // namespace

class TestTrendStore : public QObject {
    Q_OBJECT

private slots:
    void aColumnKeepsItsExtremesInTheirOrder_data();
    void aColumnKeepsItsExtremesInTheirOrder();
    void aGapAndAMissingValueEndTheLine();
    void aNewRangeEndsTheLineAndANewUnitGetsATrack();
    void memoryStaysBoundedOverManyReadings();
};

void TestTrendStore::aColumnKeepsItsExtremesInTheirOrder_data()
{
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<QList<double>>("plotted");
    QTest::newRow("one reading") << QList<double>{5} << QList<double>{5};
    QTest::newRow("rising") << QList<double>{1, 2, 3} << QList<double>{1, 3};
    QTest::newRow("falling") << QList<double>{3, 2, 1} << QList<double>{3, 1};
    QTest::newRow("peak then dip") << QList<double>{2, 9, 4, -1, 3} << QList<double>{9, -1};
    QTest::newRow("dip then peak") << QList<double>{2, -1, 4, 9, 3} << QList<double>{-1, 9};
}

void TestTrendStore::aColumnKeepsItsExtremesInTheirOrder()
{
    QFETCH(QList<double>, values);
    QFETCH(QList<double>, plotted);
    TrendStore store;
    // All within one column of the shortest span, and one more reading in
    // the next column.
    const qint64 column = TrendStore::columnMsecs(0);
    const qint64 start = (kStart / column) * column;
    for (int i = 0; i < values.size(); ++i)
        store.add(reading(start + i, values[i]));
    store.add(reading(start + column, 7));
    const QList<Point> points = pointsOf(store, 0);
    QCOMPARE(points.size(), plotted.size() + 1);
    for (int i = 0; i < plotted.size(); ++i) {
        QCOMPARE(points[i].value, plotted[i]);
        QCOMPARE(points[i].msecs, start + column / 2);
        QCOMPARE(points[i].startsLine, i == 0);
    }
    QCOMPARE(points.last().value, 7.0);
    QVERIFY(!points.last().startsLine);
}

void TestTrendStore::aGapAndAMissingValueEndTheLine()
{
    TrendStore store;
    qint64 t = kStart;
    for (int i = 0; i < 5; ++i)
        store.add(reading(t += 100, i));
    store.breakLines(); // the exchange failed
    for (int i = 0; i < 5; ++i)
        store.add(reading(t += 100, i));
    TrendReading uncalibrated = reading(t += 100, 0);
    uncalibrated.input.value = qQNaN();
    store.add(uncalibrated);
    store.add(reading(t += 100, 3));

    for (int span = 0; span < TrendStore::kSpanCount; ++span) {
        const QList<Point> points = pointsOf(store, 0, span);
        const auto starts = std::count_if(points.begin(), points.end(),
                                          [](const Point &p) { return p.startsLine; });
        // The shortest span sees three lines; the longer spans' columns are
        // wider than these gaps, and a gap narrower than a column (a pixel)
        // is not drawn.
        QCOMPARE(starts, span == 0 ? 3 : 1);
    }
    // A clock set back does not move readings into the past.
    store.add(reading(t - 60000, 4));
    QCOMPARE(store.lastMsecs(), t);
}

void TestTrendStore::aNewRangeEndsTheLineAndANewUnitGetsATrack()
{
    TrendStore store;
    qint64 t = kStart;
    store.add(reading(t += 100, 12.0, QStringLiteral("mA"), 6));
    store.add(reading(t += 100, 4.0, QStringLiteral("V"), 3));
    store.add(reading(t += 100, 4.5, QStringLiteral("V"), 4)); // same unit, another range
    store.add(reading(t += 100, 150.0, QStringLiteral("mV"), 0));
    store.add(reading(t += 100, 160.0, QStringLiteral("mV"), 1));
    store.add(reading(t += 100, 12.5, QStringLiteral("mA"), 6)); // back to the first track

    QCOMPARE(store.trackCount(), 3);
    const QList<Point> volts = pointsOf(store, trackOf(store, QStringLiteral("V")));
    QCOMPARE(volts.size(), 2);
    QVERIFY(volts[0].startsLine && volts[1].startsLine);
    const QList<Point> milliamps = pointsOf(store, trackOf(store, QStringLiteral("mA")));
    QCOMPARE(milliamps.size(), 2);
    QVERIFY(milliamps[1].startsLine);
    QVERIFY(store.track(0).quantity == TrendQuantity::Input);

    // More units than tracks: the one fed longest ago makes room, as a new
    // track the plot can tell apart.
    const quint64 firstId = store.track(trackOf(store, QStringLiteral("mA"))).id;
    for (int i = 0; i < TrendStore::kMaxTracks; ++i)
        store.add(reading(t += 100, i, QStringLiteral("u%1").arg(i), i));
    QCOMPARE(store.trackCount(), TrendStore::kMaxTracks);
    QCOMPARE(trackOf(store, QStringLiteral("mA")), -1);
    QVERIFY(store.track(0).id > firstId);
    store.clear();
    QCOMPARE(store.trackCount(), 0);
}

void TestTrendStore::memoryStaysBoundedOverManyReadings()
{
    // Two hours of readings at 30 a second: each span keeps one column per
    // slice of its length, nothing older.
    TrendStore store;
    qint64 t = kStart;
    for (int i = 0; i < 2 * 3600 * 30; ++i) {
        TrendReading r = reading(t += 33, std::sin(i / 100.0));
        r.output = {12.0, QStringLiteral("mA"), 100};
        r.temperature = {30.0, QStringLiteral("°C"), 0};
        store.add(r);
    }
    QCOMPARE(store.trackCount(), 3);
    for (int span = 0; span < TrendStore::kSpanCount; ++span) {
        const QList<Point> points = pointsOf(store, 0, span);
        QVERIFY(points.size() <= 2 * TrendStore::kColumns);
        const qint64 spanMsecs = TrendStore::kSpanMinutes[std::size_t(span)] * 60000LL;
        QVERIFY(points.first().msecs >= t - spanMsecs - TrendStore::columnMsecs(span));
        QCOMPARE(points.first().value >= -1.0 && points.last().value <= 1.0, true);
    }
}

QTEST_MAIN(TestTrendStore)
#include "tst_trend_store.moc"
