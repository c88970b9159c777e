// End to end: the real kx4720r-cli against a rack of eight simulated
// instruments in this process, each on its own pty: a batch write with a
// unit that never answers and one that refuses the write, the status of the
// rack as text, --all, and Ctrl-C in the middle of monitoring.
#include <QtTest>

#include "ports/portprobe.h"
#include "sim/sim_options.h"
#include "sim/simulator_rack.h"
#include "support/ptypair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

namespace {

struct Run {
    int exitCode = -1;
    QList<QByteArray> lines; // standard output
    QByteArray err;
};

void startCli(QProcess &process, const QStringList &arguments, const QString &offeredPorts = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KX4720R_PORTS"), offeredPorts);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KX_CLI_BINARY), arguments);
    process.waitForStarted();
}

// Waits while this thread's event loop serves the rack.
Run finish(QProcess &process)
{
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) {
        process.kill();
        process.waitForFinished();
    }
    Run run;
    if (process.exitStatus() == QProcess::NormalExit) run.exitCode = process.exitCode();
    run.lines = process.readAllStandardOutput().split('\n');
    run.lines.removeAll(QByteArray());
    run.err = process.readAllStandardError();
    return run;
}

Run cli(const QStringList &arguments, const QString &offeredPorts = {})
{
    QProcess process;
    startCli(process, arguments, offeredPorts);
    return finish(process);
}

// The simulated rack numbers its units' serial numbers from SIM00001.
QString serialOf(int unit)
{
    return QStringLiteral("SIM%1").arg(unit + 1, 5, 10, QLatin1Char('0'));
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
        .arg(run.exitCode)
        .arg(QString::fromLocal8Bit(run.lines.join('\n')), QString::fromLocal8Bit(run.err));
}

// The JSON lines by port, and the summary.
QHash<QString, QJsonObject> byPort(const Run &run, QJsonObject &summary)
{
    QHash<QString, QJsonObject> objects;
    for (const QByteArray &line : run.lines) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.contains(u"summary"))
            summary = object.value(u"summary").toObject();
        else
            objects.insert(object.value(u"port").toString(), object);
    }
    return objects;
}

} // namespace

class TestCliRack : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QStringList arguments{
            "kx4720r-sim", "--count",        "8",          "--link-prefix", m_dir.filePath("tty"),
            "--fault-on",  "3:never-answer", "--fault-on", "5:refuse-write"};
        const SimOptionsParse parse = parseSimOptions(arguments);
        QVERIFY2(parse.ok, qPrintable(parse.error));
        std::vector<InstrumentSimulator::Settings> units;
        for (const SimOptions &unit : parse.units)
            units.push_back(InstrumentSimulator::fromOptions(unit));
        m_rack = std::make_unique<SimulatorRack>(units);
        QVERIFY2(m_rack->start(), qPrintable(m_rack->errorText()));
        for (int i = 0; i < 8; ++i)
            m_ports << m_dir.filePath(QStringLiteral("tty%1").arg(i));
        m_settings = m_dir.filePath(QStringLiteral("line.kx4720r.json"));
        QFile settingsFile(m_settings);
        QVERIFY(settingsFile.open(QIODevice::WriteOnly));
        settingsFile.write(R"({"format": "kx4720r-settings", "version": 1,
            "input": {"type": "voltage", "low": -10, "high": 10, "unit": "V"},
            "output": {"type": "current", "low": 0, "high": 20, "unit": "mA"}})");
    }

    void badPortListsAreUsageErrors_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("two ports on a line")
            << QByteArray("# rack\n/dev/ttyUSB0\n/dev/ttyUSB1 /dev/ttyUSB2\n")
            << "line 3: \"/dev/ttyUSB1 /dev/ttyUSB2\" is not one port";
        QTest::newRow("a port twice") << QByteArray("/dev/ttyUSB0\n\n/dev/ttyUSB0 # again\n")
                                      << "line 3: /dev/ttyUSB0 is listed already on line 1";
        QTest::newRow("no port") << QByteArray("# nothing yet\n\n") << "names no port";
        QTest::newRow("no file") << QByteArray() << "cannot read the port list";
    }

    void badPortListsAreUsageErrors()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString path = m_dir.filePath(QStringLiteral("bad-list.txt"));
        QFile::remove(path);
        QFile file(path);
        if (!contents.isEmpty()) QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents));
        file.close();
        const Run run = cli({"status", "--ports", path});
        QVERIFY2(run.exitCode == 2 && run.lines.isEmpty(), qPrintable(describe(run)));
        QVERIFY2(QString::fromLocal8Bit(run.err).contains(path) &&
                     QString::fromLocal8Bit(run.err).contains(reason),
                 qPrintable(describe(run)));
    }

    // The same settings to all: the six good units hold them, the two faulty
    // ones are named with their reasons, and the exit code is the worse one.
    void aBatchWriteNamesTheUnitsThatFailed()
    {
        const QString list = m_dir.filePath(QStringLiteral("rack.txt"));
        QFile listFile(list);
        QVERIFY(listFile.open(QIODevice::WriteOnly));
        listFile.write("# the rack, top to bottom\n\n");
        for (const QString &port : m_ports)
            listFile.write(port.toUtf8() + "  # a unit\n");
        listFile.close();

        const Run run = cli({"write", m_settings, "--ports", list, "--json", "--tries", "1",
                             "--timeout", "200", "--ack-timeout", "2000"});
        QVERIFY2(run.exitCode == 4 && run.err.isEmpty() && run.lines.size() == 9,
                 qPrintable(describe(run)));
        QJsonObject summary;
        const QHash<QString, QJsonObject> units = byPort(run, summary);
        QCOMPARE(units.size(), 8);
        for (int i = 0; i < 8; ++i) {
            const QJsonObject unit = units.value(m_ports[i]);
            const QString reason = unit.value(u"reason").toString();
            const int code = i == 3 ? 4 : i == 5 ? 1 : 0;
            QVERIFY2(unit.value(u"exitCode").toInt(-1) == code, qPrintable(m_ports[i]));
            QCOMPARE(unit.value(u"result").toString(), code == 0 ? "ok" : "failed");
            // The link names its station even where the instrument refused;
            // the silent unit's stays unknown and its result is its own.
            QCOMPARE(unit.value(u"serial").toString(), i == 3 ? QString() : serialOf(i));
            if (code != 0) QVERIFY2(reason.contains(u"may or may not hold"), qPrintable(reason));
        }
        QVERIFY(units.value(m_ports[3]).value(u"reason").toString().contains(u"no answer"));
        QVERIFY(units.value(m_ports[5]).value(u"reason").toString().contains(u"refused"));
        QCOMPARE(summary.value(u"done").toInt(), 6);
        QCOMPARE(summary.value(u"exitCode").toInt(), 4);
        QStringList failed;
        for (const QJsonValue &port : summary.value(u"failed").toArray())
            failed << port.toString();
        failed.sort();
        QCOMPARE(failed, QStringList({m_ports[3], m_ports[5]}));

        // Read back: the six good units hold the new settings.
        QStringList good;
        for (int i : {0, 1, 2, 4, 6, 7})
            good << "-p" << m_ports[i];
        const Run back = cli(QStringList{"read", "--json"} + good);
        QVERIFY2(back.exitCode == 0 && back.lines.size() == 7, qPrintable(describe(back)));
        QJsonObject backSummary;
        for (const QJsonObject &unit : byPort(back, backSummary)) {
            const QJsonObject held = unit.value(u"settings").toObject();
            QCOMPARE(held.value(u"input").toObject().value(u"type").toString(), "voltage");
            QCOMPARE(held.value(u"input").toObject().value(u"low").toDouble(), -10.0);
            QCOMPARE(held.value(u"output").toObject().value(u"type").toString(), "current");
            QCOMPARE(held.value(u"output").toObject().value(u"low").toDouble(), 0.0);
        }
        QCOMPARE(backSummary.value(u"done").toInt(), 6);
    }

    // The unit still waiting for its answer is interrupted at the first
    // failure, and says what that leaves uncertain.
    void stoppingAtTheFirstFailure()
    {
        const Run run = cli({"write", m_settings, "-p", m_ports[3], "-p", m_ports[5], "--json",
                             "--stop-on-first-failure", "--tries", "1", "--timeout", "5000"});
        QVERIFY2(run.exitCode == 1 && run.lines.size() == 3, qPrintable(describe(run)));
        QJsonObject summary;
        const QString waiting = byPort(run, summary).value(m_ports[3]).value(u"reason").toString();
        QVERIFY2(waiting.startsWith(QStringLiteral("stopped after the failure on ") + m_ports[5]) &&
                     waiting.contains(u"may or may not hold"),
                 qPrintable(describe(run)));
        QCOMPARE(summary.value(u"stoppedBy").toString(), m_ports[5]);
    }

    // As text: a line per instrument and the summary naming the failed port.
    void theRackAsText()
    {
        const Run run = cli(QStringList{"status", "--tries", "1", "--timeout", "200", "-p"} +
                            m_ports.join(QStringLiteral(" -p ")).split(u' '));
        QVERIFY2(run.exitCode == 4 && run.lines.size() == 9, qPrintable(describe(run)));
        for (int i = 0; i < 8; ++i) {
            const auto line =
                std::find_if(run.lines.begin(), run.lines.end(), [&](const QByteArray &l) {
                    return l.startsWith(m_ports[i].toUtf8() + ' ');
                });
            QVERIFY2(line != run.lines.end(), qPrintable(describe(run)));
            const QByteArray good = "  ok       serial " + serialOf(i).toUtf8() + ", firmware";
            QVERIFY2(line->contains(i == 3 ? "  failed   no answer" : good), line->constData());
        }
        QCOMPARE(run.lines.last(),
                 "summary: 7 of 8 instruments done; failed: " + m_ports[3].toUtf8());
    }

    // The rack's one look for other holders still finds a program that holds
    // a port with no lock and no flag; the other port is served.
    void aPortHeldByAnotherProgramIsRefused()
    {
        const PortHolderProcess holder(m_ports[7], false);
        QVERIFY(holder.isHolding());
        const Run run = cli({"status", "--json", "-p", m_ports[6], "-p", m_ports[7]});
        QVERIFY2(run.exitCode == 3, qPrintable(describe(run)));
        QJsonObject summary;
        const QHash<QString, QJsonObject> units = byPort(run, summary);
        QCOMPARE(units.value(m_ports[6]).value(u"result").toString(), "ok");
        QVERIFY2(units.value(m_ports[7])
                     .value(u"reason")
                     .toString()
                     .contains(QStringLiteral("(process %1)").arg(holder.pid())),
                 qPrintable(describe(run)));
    }

    // --all: the ports without an answering instrument are listed and skipped.
    void allTakesTheAnsweringPorts()
    {
        const Run run = cli({"status", "--all", "--json"}, m_ports.join(u':'));
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QJsonObject summary;
        const QHash<QString, QJsonObject> units = byPort(run, summary);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(units.value(m_ports[i]).value(u"result").toString(),
                     i == 3 ? "skipped" : "ok");
        QCOMPARE(summary.value(u"failed").toArray().size(), 0);
        QVERIFY(summary.value(u"instruments").toInt() >= 7);
    }

    // Ctrl-C ends every exchange: the ports are free again, the readings file
    // has whole lines with their port, and the summary so far is told.
    void ctrlCEndsEveryInstrumentCleanly()
    {
        const QString csv = m_dir.filePath(QStringLiteral("rack.csv"));
        QProcess process;
        startCli(process,
                 {"monitor", "-p", m_ports[0], "-p", m_ports[1], "-p", m_ports[2], "--csv", csv});
        const auto seen = [&] {
            QFile file(csv);
            if (!file.open(QIODevice::ReadOnly)) return false;
            const QByteArray text = file.readAll();
            return text.contains('\n' + m_ports[0].toUtf8() + ',') &&
                   text.contains('\n' + m_ports[1].toUtf8() + ',') &&
                   text.contains('\n' + m_ports[2].toUtf8() + ',');
        };
        QTRY_VERIFY_WITH_TIMEOUT(seen(), 20000);
        ::kill(pid_t(process.processId()), SIGINT);
        const Run run = finish(process);
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(describe(run)));
        QVERIFY2(
            run.lines.last().startsWith("summary so far (interrupted): 3 of 3 instruments done"),
            qPrintable(describe(run)));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(tryOpenExclusively(m_rack->unit(i).portPath()).ok(), qPrintable(m_ports[i]));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.startsWith("port,time,"));
        QVERIFY(text.endsWith('\n'));
    }

    // --csv-per-port: a readings file per port, named after its path.
    void aReadingsFilePerPort()
    {
        const QString folder = m_dir.filePath(QStringLiteral("readings"));
        const Run run = cli({"monitor", "--count", "3", "-p", m_ports[6], "-p", m_ports[7],
                             "--csv-per-port", folder});
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(describe(run)));
        QCOMPARE(run.lines.last(), "summary: 2 of 2 instruments done");
        for (const QString &port : {m_ports[6], m_ports[7]}) {
            QFile file(QDir(folder).filePath(QString(port).remove(0, 1).replace(u'/', u'_') +
                                             QStringLiteral(".csv")));
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            const QList<QByteArray> lines = file.readAll().split('\n');
            QCOMPARE(lines.size(), 5); // the header, three readings, and the end of the last
            QVERIFY(lines.first().startsWith("time,"));
        }
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<SimulatorRack> m_rack;
    QStringList m_ports;
    QString m_settings; // a settings file to write
};

QTEST_GUILESS_MAIN(TestCliRack)
#include "tst_cli_rack.moc"
