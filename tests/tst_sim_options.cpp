// The simulator's command line: every option, its defaults, a rack's units
// with their own faults, and the lines it refuses instead of guessing.
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

    void anInputDrift()
    {
        const SimOptionsParse p = parse({"--input-drift", "-5000"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.options.modelOptions().inputDrift, -5000);
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

    // Each unit: its link, seed and serial number, the faults given for all,
    // and those --fault-on gives it, in order.
    void aRackOfUnits()
    {
        const SimOptionsParse p =
            parse({"--count", "4", "--link-prefix", "rack/tty", "--seed", "7", "--serial", "KX0998",
                   "--drop-every", "50", "--fault-on", "1:never-answer", "--fault-on",
                   "2,3:refuse-write,delay=5", "--fault-on", "3-3:piece-ms=0,drop-every=2"});
        QVERIFY2(p.ok, qPrintable(p.error));
        QCOMPARE(p.units.size(), std::size_t(4));
        const QStringList serials{"KX0998", "KX0999", "KX1000", "KX1001"};
        for (int i = 0; i < 4; ++i) {
            const SimOptions &unit = p.units[std::size_t(i)];
            QCOMPARE(unit.linkPath, QStringLiteral("rack/tty%1").arg(i));
            QCOMPARE(unit.seed, 7u + std::uint32_t(i));
            QCOMPARE(unit.serialNumber, serials[i]);
            QCOMPARE(unit.faults.neverAnswer, i == 1);
            QCOMPARE(unit.faults.refuseWriteCode.has_value(), i >= 2);
            QCOMPARE(unit.faults.delayMs, i >= 2 ? 5 : 0);
            QCOMPARE(unit.faults.dropEvery, i == 3 ? 2 : 50);
            QCOMPARE(unit.faults.pace, i == 3);
        }
        QCOMPARE(*p.units[2].faults.refuseWriteCode, RefusedWriteCode);
        QCOMPARE(*p.units[3].faults.pieceMs, 0);
        // Without --count: one instrument, and pieces of line time pace it.
        const SimOptionsParse one = parse({"--piece-ms", "16"});
        QVERIFY(one.ok && one.units.empty());
        QVERIFY(one.options.faults.pace);
        QCOMPARE(*one.options.faults.pieceMs, 16);
        QCOMPARE(one.options.serialNumber, QStringLiteral("SIM00001"));
    }

    void serialNumbersCountOn_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("serial");
        QTest::newRow("itself") << "SIM00001" << 0 << "SIM00001";
        QTest::newRow("a carry kept at its width") << "SIM00009" << 1 << "SIM00010";
        QTest::newRow("beyond the width") << "A99" << 1 << "A100";
        QTest::newRow("no number") << "KX" << 2 << "KX-2";
    }
    void serialNumbersCountOn()
    {
        QFETCH(QString, first);
        QFETCH(int, n);
        QFETCH(QString, serial);
        QCOMPARE(nthSerialNumber(first, n), serial);
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
        QTest::newRow("drift beyond the converter") << QStringList{"--input-drift", "1000001"};
        QTest::newRow("speed not offered") << QStringList{"--baud", "100000"};
        QTest::newRow("speed not a number") << QStringList{"--baud", "fast"};
        QTest::newRow("seed too big") << QStringList{"--seed", "4294967296"};
        QTest::newRow("link and port") << QStringList{"--link", "/tmp/a", "--port", "/dev/ttyS0"};
        QTest::newRow("empty link") << QStringList{"--link="};
        QTest::newRow("empty timing file") << QStringList{"--timing="};
        QTest::newRow("piece of line time out of range") << QStringList{"--piece-ms", "1001"};
        QTest::newRow("split and pieces") << QStringList{"--split", "--piece-ms", "1"};
        QTest::newRow("no units") << QStringList{"--count", "0"};
        QTest::newRow("too many units") << QStringList{"--count", "257"};
        QTest::newRow("unit faults without a rack") << QStringList{"--fault-on", "0:split"};
        QTest::newRow("link prefix without a rack") << QStringList{"--link-prefix", "rack/tty"};
        QTest::newRow("one link for a rack") << QStringList{"--count", "2", "--link", "/tmp/a"};
        QTest::newRow("one timing file for a rack")
            << QStringList{"--count", "2", "--timing", "/tmp/t"};
        const auto faultOn = [](const char *faults) {
            return QStringList{"--count", "3", "--fault-on", faults};
        };
        QTest::newRow("unit beyond the rack") << faultOn("3:split");
        QTest::newRow("range backwards") << faultOn("2-1:split");
        QTest::newRow("no unit") << faultOn(":split");
        QTest::newRow("no colon") << faultOn("never-answer");
        QTest::newRow("unknown fault") << faultOn("1:explode");
        QTest::newRow("line-wide option as a fault") << faultOn("1:baud=9600");
        QTest::newRow("flag with a value") << faultOn("1:never-answer=1");
        QTest::newRow("value missing") << faultOn("1:delay");
        QTest::newRow("value out of range") << faultOn("1:error-code=256");
        QTest::newRow("fault given twice") << faultOn("1:delay=1,delay=2");
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
