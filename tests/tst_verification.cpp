// Verification of a unit: verdicts against tolerance and guard band, the
// test point lists the initialisation file keeps, the steady input capture,
// the runs as found and as left of the unit on the line, and the
// plausibility of calibration values before they are stored.
#include <QtTest>

#include "core/calibration_plausibility.h"
#include "core/verification.h"

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(Verdict)
Q_DECLARE_METATYPE(std::optional<TestPoints>)
Q_DECLARE_METATYPE(RequestState)

namespace {

RequestState goodInput()
{
    RequestState state;
    // Zero points near zero, full-scale points well above them.
    for (std::size_t k = 0; k < state.inputCalibration.size(); ++k)
        state.inputCalibration[k] = {qint32(-1270 + 10 * int(k)),
                                     qint32(1000000 + 300000 * int(k))};
    return state;
}

} // namespace

class TestVerification : public QObject {
    Q_OBJECT

private slots:
    void verdicts_data()
    {
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<double>("guardBand");
        QTest::addColumn<double>("reading"); // on a 4 ... 20 mA scale, 12 mA applied
        QTest::addColumn<Verdict>("verdict");
        QTest::addColumn<double>("errorPercent");
        // 0.016 mA is 0.1 % of the 16 mA span.
        QTest::newRow("exact") << 0.1 << 0.0 << 12.0 << Verdict::Pass << 0.0;
        QTest::newRow("on the tolerance") << 0.1 << 0.0 << 12.016 << Verdict::Pass << 0.1;
        QTest::newRow("below, on it") << 0.1 << 0.0 << 11.984 << Verdict::Pass << -0.1;
        QTest::newRow("beyond") << 0.1 << 0.0 << 12.01601 << Verdict::Fail << 0.1000625;
        QTest::newRow("below, beyond") << 0.1 << 0.0 << 11.98 << Verdict::Fail << -0.125;
        QTest::newRow("inside the guard band's edge")
            << 0.1 << 0.02 << 12.0128 << Verdict::Pass << 0.08;
        QTest::newRow("in the guard band")
            << 0.1 << 0.02 << 12.0144 << Verdict::PassWithinGuardBand << 0.09;
        QTest::newRow("guard band, on the tolerance")
            << 0.1 << 0.02 << 11.984 << Verdict::PassWithinGuardBand << -0.1;
        QTest::newRow("guard band, beyond") << 0.1 << 0.02 << 12.032 << Verdict::Fail << 0.2;
        QTest::newRow("no number") << 0.1 << 0.0 << std::numeric_limits<double>::quiet_NaN()
                                   << Verdict::Fail << std::numeric_limits<double>::quiet_NaN();
    }
    void verdicts()
    {
        QFETCH(double, tolerance);
        QFETCH(double, guardBand);
        QFETCH(double, reading);
        QFETCH(Verdict, verdict);
        QFETCH(double, errorPercent);
        const VerificationScale scale{4.0, 20.0, QStringLiteral("mA")};
        const VerificationPoint p =
            measuredPoint(50, scale.valueAt(50), reading, scale, Tolerance{tolerance, guardBand});
        QCOMPARE(p.point, QStringLiteral("50 %"));
        QCOMPARE(p.applied, 12.0);
        if (std::isnan(errorPercent)) {
            QVERIFY(std::isnan(p.errorPercentOfSpan));
        } else {
            QVERIFY2(std::fabs(p.errorPercentOfSpan - errorPercent) < 1e-9,
                     qPrintable(QString::number(p.errorPercentOfSpan, 'g', 17)));
            QVERIFY(std::fabs(p.error - (reading - 12.0)) < 1e-12);
        }
        QCOMPARE(p.verdict, verdict);
        // A falling scale (20 ... 4 mA) has the same span.
        const VerificationScale falling{20.0, 4.0, QStringLiteral("mA")};
        QCOMPARE(measuredPoint(50, 12.0, reading, falling, Tolerance{tolerance, guardBand}).verdict,
                 verdict);
    }

    void testPointLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<TestPoints>>("points");
        QTest::newRow("default") << "0;25;50;75;100" << std::optional(TestPoints{});
        QTest::newRow("two, blanks, fractions")
            << " 100 ; 12.5" << std::optional(TestPoints{{100, 12.5}});
        QTest::newRow("eleven") << "0;10;20;30;40;50;60;70;80;90;100"
                                << std::optional(
                                       TestPoints{{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}});
        QTest::newRow("one") << "50" << std::optional<TestPoints>();
        QTest::newRow("twelve") << "0;9;18;27;36;45;54;63;72;81;90;100"
                                << std::optional<TestPoints>();
        QTest::newRow("twice the same") << "0;50;50" << std::optional<TestPoints>();
        QTest::newRow("below the scale") << "-5;50" << std::optional<TestPoints>();
        QTest::newRow("beyond it") << "0;100.5" << std::optional<TestPoints>();
        QTest::newRow("no number") << "0;half" << std::optional<TestPoints>();
        QTest::newRow("empty") << "" << std::optional<TestPoints>();
    }
    void testPointLists()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<TestPoints>, points);
        const std::optional<TestPoints> read = TestPoints::fromText(text);
        QCOMPARE(read, points);
        if (read) QCOMPARE(TestPoints::fromText(read->text()), read);
    }

    void captureWaitsForAStableReadingAndAverages()
    {
        InputCapture capture(4, 0.01);
        // The source still settling: each reading leaves the band of the ones before.
        for (const double r : {4.0, 8.0, 11.0, 11.9, 11.95})
            QVERIFY(!capture.feed(r));
        QCOMPARE(capture.steadyCount(), 1);
        // Within the band from 11.95 on; a jump back out starts again at it.
        QVERIFY(!capture.feed(11.955));
        QVERIFY(!capture.feed(11.958));
        QCOMPARE(capture.steadyCount(), 3);
        QVERIFY(!capture.feed(12.0));
        QCOMPARE(capture.steadyCount(), 1);
        // A reading that is no number starts afresh too.
        QVERIFY(!capture.feed(12.001));
        QVERIFY(!capture.feed(std::numeric_limits<double>::quiet_NaN()));
        QCOMPARE(capture.steadyCount(), 0);
        QVERIFY(!capture.isDone());
        for (const double r : {12.002, 11.998, 12.004})
            QVERIFY(!capture.feed(r));
        QVERIFY(capture.feed(12.000));
        QVERIFY(capture.isDone());
        QVERIFY(std::fabs(*capture.average() - 12.001) < 1e-12);
        // Done: later readings change nothing.
        QVERIFY(capture.feed(15.0));
        QVERIFY(std::fabs(*capture.average() - 12.001) < 1e-12);

        // The window slides: only the last N readings within the band count.
        InputCapture sliding(3, 0.05);
        for (const double r : {1.00, 1.04})
            QVERIFY(!sliding.feed(r));
        QVERIFY(!sliding.feed(1.08)); // 1.00 goes, 1.04 and 1.08 stay
        QVERIFY(sliding.feed(1.06));
        QVERIFY(std::fabs(*sliding.average() - 1.06) < 1e-12);
    }

    void inputInTheScalesUnit()
    {
        DecodedReading reading;
        reading.inputValue = 150.0;
        reading.inputUnit = QStringLiteral("mV");
        QCOMPARE(inputInScaleUnit(reading, {0, 0.2, QStringLiteral("V")}), std::optional(0.15));
        QCOMPARE(inputInScaleUnit(reading, {0, 200, QStringLiteral("mV")}), std::optional(150.0));
        QCOMPARE(inputInScaleUnit(reading, {4, 20, QStringLiteral("mA")}), std::optional<double>());
        reading.inputValue.reset(); // not calibrated
        QCOMPARE(inputInScaleUnit(reading, {0, 200, QStringLiteral("mV")}),
                 std::optional<double>());
    }

    void asFoundCalibrateAsLeft()
    {
        const VerificationScale scale{4.0, 20.0, QStringLiteral("mA")};
        const Tolerance tolerance{0.1, 0.02};
        const QDateTime t0(QDate(2026, 12, 8), QTime(10, 0));
        UnitVerifications unit;
        unit.forUnit(1, QStringLiteral("KX-1"));
        QCOMPARE(unit.next(), UnitVerifications::Next::AsFound);

        VerificationRun asFound(VerificationPhase::AsFound, VerificationSide::Input, scale,
                                tolerance, TestPoints{{0, 50, 100}});
        QCOMPARE(asFound.expected(1), 12.0);
        asFound.measure(2, 20.05, t0.addSecs(20)); // any order
        asFound.measure(0, 4.001, t0);
        QVERIFY(!asFound.isComplete());
        asFound.measure(1, 12.03, t0.addSecs(10));
        QVERIFY(asFound.isComplete());
        const Verification found = asFound.result();
        QCOMPARE(found.time, t0.addSecs(10)); // the last measurement's
        QCOMPARE(found.points.size(), std::size_t(3));
        QCOMPARE(found.points[0].point, QStringLiteral("0 %"));
        QCOMPARE(found.points[2].verdict, Verdict::Fail);
        QCOMPARE(found.verdict(), Verdict::Fail);
        unit.keep(found);
        QCOMPARE(unit.next(), UnitVerifications::Next::Calibrate);
        QCOMPARE(overallVerdict(unit.all()), Verdict::Fail);

        // An as left run before the calibration goes with it.
        Verification early = found;
        early.phase = VerificationPhase::AsLeft;
        unit.keep(early);
        unit.calibrationStored();
        QVERIFY(!unit.has(VerificationPhase::AsLeft));
        QCOMPARE(unit.next(), UnitVerifications::Next::AsLeft);

        VerificationRun asLeft(VerificationPhase::AsLeft, VerificationSide::Input, scale, tolerance,
                               TestPoints{{0, 50, 100}});
        for (int i = 0; i < 3; ++i)
            asLeft.measure(i, asLeft.expected(i) + (i == 1 ? 0.0144 : 0.001), t0.addSecs(600));
        unit.keep(asLeft.result());
        unit.keep(asLeft.result()); // again: replaces, never doubles
        QCOMPARE(unit.all().size(), std::size_t(2));
        QCOMPARE(unit.next(), UnitVerifications::Next::Certificate);
        // The unit leaves the bench as it was left.
        QCOMPARE(overallVerdict(unit.all()), Verdict::PassWithinGuardBand);

        // Another unit, or a new connection, starts from nothing.
        unit.forUnit(1, QStringLiteral("KX-1"));
        QCOMPARE(unit.all().size(), std::size_t(2));
        unit.forUnit(2, QStringLiteral("KX-1"));
        QVERIFY(unit.all().empty());
        QCOMPARE(unit.next(), UnitVerifications::Next::AsFound);
        QCOMPARE(overallVerdict({}), std::optional<Verdict>());
    }

    void plausibility_data()
    {
        QTest::addColumn<RequestState>("state");
        QTest::addColumn<bool>("output");
        QTest::addColumn<QStringList>("doubts");

        QTest::newRow("working input") << goodInput() << false << QStringList();
        RequestState s = goodInput();
        s.inputCalibration[0].high = s.inputCalibration[0].low;
        QTest::newRow("no signal")
            << s << false << QStringList{"High1 equals Low1: no signal applied?"};
        s = goodInput();
        s.inputCalibration[3] = {500000, -20000};
        QTest::newRow("reversed")
            << s << false
            << QStringList{"High4 is below Low4: signal applied with reversed polarity?"};
        s = goodInput();
        s.inputCalibration[6] = {1830, 1830 + 150000};
        QTest::newRow("hardly a signal")
            << s << false << QStringList{"High7 is only 150 000 above Low7: no signal applied?"};
        s = goodInput();
        s.inputCalibration[1] = {900000, 4000000};
        QTest::newRow("zero not shorted")
            << s << false << QStringList{"Low2 is far from zero (900 000): inputs not shorted?"};
        s = goodInput();
        s.inputCalibration[4].high = 8388607;
        QTest::newRow("overloaded")
            << s << false
            << QStringList{"High5 is at the converter's limit (8 388 607): input overloaded?"};

        RequestState out;
        out.outputCalibration = {1, 65535, 1, 65535}; // six times Next
        QTest::newRow("output never adjusted")
            << out << true
            << QStringList{"uOut4mA left at its starting value 1: output not adjusted?",
                           "uOut20mA left at its starting value 65 535: output not adjusted?",
                           "uOut2V left at its starting value 1: output not adjusted?",
                           "uOut10V left at its starting value 65 535: output not adjusted?"};
        out.outputCalibration = {11800, 60200, 12300, 61800};
        QTest::newRow("working output") << out << true << QStringList();
        out.outputCalibration = {60200, 11800, 12300, 61800};
        QTest::newRow("steps swapped")
            << out << true << QStringList{"uOut20mA is not above uOut4mA: steps swapped?"};
    }
    void plausibility()
    {
        QFETCH(RequestState, state);
        QFETCH(bool, output);
        QFETCH(QStringList, doubts);
        const std::vector<CalibrationDoubt> found =
            output ? outputCalibrationDoubts(state) : inputCalibrationDoubts(state);
        QCOMPARE(doubtsText(found, TextLanguage::English), doubts.join(u'\n'));
        // Every doubt is said in Hungarian as well, naming the same points.
        for (const CalibrationDoubt &d : found) {
            QVERIFY(!d.hungarian.isEmpty() && d.hungarian != d.english);
            QVERIFY(d.hungarian.startsWith(d.english.section(u' ', 0, 0)));
        }
    }
};

QTEST_GUILESS_MAIN(TestVerification)
#include "tst_verification.moc"
