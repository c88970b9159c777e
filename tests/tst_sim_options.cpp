// The simulator's command line: every option, its defaults, and the lines it
// refuses instead of guessing.
#include <QtTest>

#include "sim/sim_options.h"

namespace {

SimOptionsParse parse(const QStringList &args)
{
    return parseSimOptions(QStringList{QStringLiteral("kx4720r-sim")} + args);
}

} // namespace

class TestSimOptions : public QObject {
    Q_OBJECT
private slots:
    void defaults()
    {
        const SimOptionsParse p = parse({});
        QVERIFY2(p.ok, qPrintable(p.error));
        QVERIFY(!p.helpRequested);
        const SimOptions &o = p.options;
        QCOMPARE(o.baud, 115200);
        QCOMPARE(o.seed, 1u);
        QCOMPARE(o.faults.dropEvery, 0);
        QCOMPARE(o.faults.corruptEvery, 0);
        QVERIFY(!o.faults.errorCode);
        QCOMPARE(o.faults.errorEvery, 0);
        QCOMPARE(o.faults.delayMs, 0);
        QVERIFY(!o.faults.split && !o.faults.pace && !o.faults.neverAck && !o.faults.tagReplies);
        QVERIFY(o.linkPath.isEmpty() && o.portDevice.isEmpty() && o.timingPath.isEmpty());
        QVERIFY(o.modelOptions().inputCalibrated && o.modelOptions().outputCalibrated);
    }

    void everyOption()
    {
        const SimOptionsParse p =
            parse({"--drop-every",  "100",    "--corrupt-every", "50",     "--error-code", "200",
                   "--error-every", "1000",   "--delay",         "25",     "--split",      "--pace",
                   "--never-ack",   "--tag",  "--uncalibrated",  "--seed", "4294967295",   "--baud",
                   "9600",          "--link", "/tmp/kx-sim"});
        QVERIFY2(p.ok, qPrintable(p.error));
        const SimOptions &o = p.options;
        QCOMPARE(o.faults.dropEvery, 100);
        QCOMPARE(o.faults.corruptEvery, 50);
        QCOMPARE(*o.faults.errorCode, 200);
        QCOMPARE(o.faults.errorEvery, 1000);
        QCOMPARE(o.faults.delayMs, 25);
        QVERIFY(o.faults.split && o.faults.pace && o.faults.neverAck && o.faults.tagReplies);
        QCOMPARE(o.seed, 4294967295u);
        QCOMPARE(o.baud, 9600);
        QCOMPARE(o.linkPath, QStringLiteral("/tmp/kx-sim"));

        const InstrumentModel::Options model = o.modelOptions();
        QCOMPARE(model.seed, 4294967295u);
        QVERIFY(model.neverAcknowledge);
        QVERIFY(!model.inputCalibrated && !model.outputCalibrated);
    }

    void anErrorCodeAloneAppliesToEveryReply()
    {
        const SimOptionsParse p = parse({"--error-code=129"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(*p.options.faults.errorCode, 129);
        QCOMPARE(p.options.faults.errorEvery, 1);
    }

    void aSerialDevice()
    {
        const SimOptionsParse p = parse({"--port", "/dev/ttyUSB0"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.portDevice, QStringLiteral("/dev/ttyUSB0"));
    }

    void aTimingFile()
    {
        const SimOptionsParse p = parse({"--timing", "/tmp/kx-timing.txt", "--pace"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.timingPath, QStringLiteral("/tmp/kx-timing.txt"));
        QVERIFY(p.options.faults.pace);
    }

    void help()
    {
        const SimOptionsParse p = parse({"--help"});
        QVERIFY(p.ok);
        QVERIFY(p.helpRequested);
        QVERIFY(p.helpText.contains(QStringLiteral("--drop-every")));
        QVERIFY(p.helpText.contains(QStringLiteral("--never-ack")));
    }

    void refused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("stray argument") << QStringList{"extra"};
        QTest::newRow("missing value") << QStringList{"--drop-every"};
        QTest::newRow("not a number") << QStringList{"--drop-every", "ten"};
        QTest::newRow("negative") << QStringList{"--corrupt-every", "-1"};
        QTest::newRow("code above 255") << QStringList{"--error-code", "256"};
        QTest::newRow("every without code") << QStringList{"--error-every", "10"};
        QTest::newRow("negative delay") << QStringList{"--delay", "-5"};
        QTest::newRow("speed not offered") << QStringList{"--baud", "100000"};
        QTest::newRow("speed not a number") << QStringList{"--baud", "fast"};
        QTest::newRow("seed too big") << QStringList{"--seed", "4294967296"};
        QTest::newRow("link and port") << QStringList{"--link", "/tmp/a", "--port", "/dev/ttyS0"};
        QTest::newRow("empty link") << QStringList{"--link="};
        QTest::newRow("empty timing file") << QStringList{"--timing="};
    }
    void refused()
    {
        QFETCH(QStringList, args);
        const SimOptionsParse p = parse(args);
        QVERIFY(!p.ok);
        QVERIFY(!p.error.isEmpty());
    }

    void offeredSpeeds()
    {
        QVERIFY(isOfferedBaud(75));
        QVERIFY(isOfferedBaud(14400));
        QVERIFY(isOfferedBaud(921600));
        QVERIFY(!isOfferedBaud(0));
        QVERIFY(!isOfferedBaud(115201));
    }
};

QTEST_MAIN(TestSimOptions)
#include "tst_sim_options.moc"
