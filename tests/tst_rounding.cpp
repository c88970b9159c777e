// The one rounding rule: nearest integer, halves to the even neighbour, and
// no undefined result for NaN, infinities or values beyond the integer range.
#include <QtTest>
#include <cmath>
#include <limits>

#include "common/rounding.h"

class TestRounding : public QObject {
    Q_OBJECT
private slots:
    void halvesGoToEven_data();
    void halvesGoToEven();
    void outOfRangeSaturates();
    void intVariantSaturates();
};

void TestRounding::halvesGoToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("49.5") << 49.5 << qint64(50);
    QTest::newRow("50.5") << 50.5 << qint64(50);
    QTest::newRow("-127.5") << -127.5 << qint64(-128);
    QTest::newRow("0.5") << 0.5 << qint64(0);
    QTest::newRow("1.5") << 1.5 << qint64(2);
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("-0.5") << -0.5 << qint64(0);
    QTest::newRow("-1.5") << -1.5 << qint64(-2);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("2.4") << 2.4 << qint64(2);
    QTest::newRow("2.6") << 2.6 << qint64(3);
    QTest::newRow("-2.6") << -2.6 << qint64(-3);
    QTest::newRow("just below a half") << 0.49999999999999994 << qint64(0);
    QTest::newRow("odd integer beyond 2^52") << 4503599627370497.0 << qint64(4503599627370497);
    QTest::newRow("largest double below 2^63")
        << 9223372036854774784.0 << qint64(9223372036854774784LL);
    QTest::newRow("PWM") << 65535.0 * 0.5 << qint64(32768);
}

void TestRounding::halvesGoToEven()
{
    QFETCH(double, value);
    QFETCH(qint64, expected);
    QCOMPARE(qint64(roundHalfEven(value)), expected);
}

void TestRounding::outOfRangeSaturates()
{
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    constexpr auto min = std::numeric_limits<std::int64_t>::min();
    QCOMPARE(roundHalfEven(std::nan("")), std::int64_t(0));
    QCOMPARE(roundHalfEven(std::numeric_limits<double>::infinity()), max);
    QCOMPARE(roundHalfEven(-std::numeric_limits<double>::infinity()), min);
    QCOMPARE(roundHalfEven(1e300), max);
    QCOMPARE(roundHalfEven(-1e300), min);
    QCOMPARE(roundHalfEven(9223372036854775808.0), max);
    QCOMPARE(roundHalfEven(-9223372036854775808.0), min);
}

void TestRounding::intVariantSaturates()
{
    QCOMPARE(roundHalfEvenInt(-127.5), -128);
    QCOMPARE(roundHalfEvenInt(1e10), std::numeric_limits<int>::max());
    QCOMPARE(roundHalfEvenInt(-1e10), std::numeric_limits<int>::min());
    QCOMPARE(roundHalfEvenInt(std::nan("")), 0);
}

QTEST_APPLESS_MAIN(TestRounding)
#include "tst_rounding.moc"
