// End to end: the real kx4720r-cli against the instrument simulator on a pty.
// The simulator runs in this process, so the suite sees every request it
// received: what each command sends, and that a refused settings file or a
// port error sends nothing.
#include <QtTest>

#include "ports/portprobe.h"
#include "serial/serialdevice_posix.h"
#include "support/frameslave.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Where the tool's standard output goes.
enum class Output {
    Captured,
    DevFull,    // every write fails with "No space left on device"
    ClosedPipe, // a pipe whose reader has gone
    UnreadPipe, // a pipe of one page that nobody reads: the tool's writes block
};

// Runs the tool while this thread's event loop keeps serving the simulator.
class Cli {
public:
    explicit Cli(QStringList arguments, const QString &offeredPorts = {},
                 Output output = Output::Captured)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("KX4720R_PORTS"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!offeredPorts.isEmpty())
            environment.insert(QStringLiteral("KX4720R_PORTS"), offeredPorts);
        process.setProcessEnvironment(environment);
        if (output == Output::DevFull) process.setStandardOutputFile(QStringLiteral("/dev/full"));
        if (output == Output::ClosedPipe || output == Output::UnreadPipe) {
            ::pipe2(pipe, O_CLOEXEC);
            ::fcntl(pipe[1], F_SETPIPE_SZ, 4096);
            if (output == Output::ClosedPipe) ::close(std::exchange(pipe[0], -1));
            process.setChildProcessModifier([this] { ::dup2(pipe[1], STDOUT_FILENO); });
        }
        process.start(QStringLiteral(KX_CLI_BINARY), arguments);
        process.waitForStarted();
        if (pipe[1] >= 0) ::close(std::exchange(pipe[1], -1));
    }
    ~Cli()
    {
        if (pipe[0] >= 0) ::close(pipe[0]);
    }
    // The tool waits in a write to the pipe nobody reads.
    bool stuckOnOutput() const
    {
        QFile wait(QStringLiteral("/proc/%1/wchan").arg(process.processId()));
        return wait.open(QIODevice::ReadOnly) && wait.readAll().contains("pipe_write");
    }

    Run finish(int timeoutMs = 30000)
    {
        // A tool that never ends is killed and counts as failed (exit code -1).
        if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
            process.kill();
            process.waitForFinished();
        }
        Run run;
        run.exitCode =
            process.state() == QProcess::NotRunning && process.exitStatus() == QProcess::NormalExit
                ? process.exitCode()
                : -1;
        run.out = process.readAllStandardOutput();
        run.err = process.readAllStandardError();
        return run;
    }

    QProcess process;
    int pipe[2] = {-1, -1};
};

Run cli(const QStringList &arguments, const QString &offeredPorts = {})
{
    return Cli(arguments, offeredPorts).finish();
}

QStringList on(const SimulatorRunner &sim, QStringList arguments)
{
    return arguments << QStringLiteral("-p") << sim.portPath();
}

// What a failure looks like: one line on stderr, naming the tool.
bool oneErrorLine(const Run &run)
{
    return run.err.startsWith("kx4720r-cli: ") && run.err.count('\n') == 1 &&
           run.err.endsWith('\n');
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1\nstdout: %2\nstderr: %3")
        .arg(run.exitCode)
        .arg(QString::fromLocal8Bit(run.out), QString::fromLocal8Bit(run.err));
}

int requestsWith(SimulatorRunner &sim, quint8 commandBit)
{
    int count = 0;
    for (const auto &record : sim.simulator().receivedRequests())
        if (record.request.CommandBits & commandBit) ++count;
    return count;
}

bool portIsFree(const QString &port)
{
    return tryOpenExclusively(port).ok();
}

QByteArray settingsText(const char *input, const char *output)
{
    return QByteArray("{\n  \"format\": \"kx4720r-settings\",\n  \"version\": 1,\n  \"input\": ") +
           input + ",\n  \"output\": " + output + "\n}\n";
}

// Laid out as the tool writes settings files, so that a read-back compares as text.
const char *const VoltageInput =
    "{\n    \"type\": \"voltage\",\n    \"low\": -10,\n    \"high\": 10,\n    \"unit\": \"V\"\n  }";
const char *const CurrentOutput =
    "{\n    \"type\": \"current\",\n    \"low\": 0,\n    \"high\": 20,\n    \"unit\": \"mA\"\n  }";

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();
    void usageErrorsExitWithTwo_data();
    void usageErrorsExitWithTwo();
    void statusAsTextAndJson();
    void linkFailuresAndRetries_data();
    void linkFailuresAndRetries();
    void portErrorsSayWhyAndSendNothing();
    void aReplyOfAnotherLengthIsABadAnswer_data();
    void aReplyOfAnotherLengthIsABadAnswer();
    void badSettingsSendNothing_data();
    void badSettingsSendNothing();
    void writeThenReadBackGivesTheSameSettings();
    void unacknowledgedCommandsClaimNothing();
    void commandsWaitForTheirAcknowledgement();
    void monitorRecordsAndEndsCleanlyOnCtrlC();
    void outputAndSignalsEndTheToolAsDocumented_data();
    void outputAndSignalsEndTheToolAsDocumented();
    void portsAreListedWithTheirState();
    void thePortMayBeLeftOutWhenOnlyOneIsFree();
    void theToolLinksNoWidgets();
};

void TestCli::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("help") << QStringList{"--help"} << "Exit codes:";
    QTest::newRow("version") << QStringList{"--version"} << "kx4720r-cli 20";
    for (const char *command :
         {"ports", "status", "read", "write", "monitor", "restart", "clear-temperature"}) {
        QTest::addRow("%s --help", command) << QStringList{command, "--help"}
                                            << QStringLiteral("Usage: kx4720r-cli %1").arg(command);
        QTest::addRow("%s --version", command)
            << QStringList{command, "--version"} << "kx4720r-cli 20";
    }
}

void TestCli::helpAndVersionNeedNoDisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const Run run = cli(arguments);
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(describe(run)));
    QVERIFY2(QString::fromLocal8Bit(run.out).contains(expected), qPrintable(describe(run)));
}

void TestCli::usageErrorsExitWithTwo_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no command") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{"stauts"} << "unknown command";
    QTest::newRow("option of another command")
        << QStringList{"status", "--csv", "x"} << "unknown option --csv";
    QTest::newRow("tries out of range") << QStringList{"status", "--tries", "0"} << "--tries";
    QTest::newRow("speed the link lacks")
        << QStringList{"status", "-b", "12345"} << "not one of the link's speeds";
    QTest::newRow("option without value") << QStringList{"status", "-p"} << "needs a value";
    QTest::newRow("scale cut short")
        << QStringList{"write", "--input", "current", "4"} << "needs a type";
    QTest::newRow("no such type") << QStringList{"write",    "--input", "amps", "4", "20",
                                                 "--output", "current", "4",    "20"}
                                  << "current or voltage";
    QTest::newRow("input without output")
        << QStringList{"write", "--input", "current", "4", "20"} << "go together";
    QTest::newRow("nothing to write") << QStringList{"write"} << "no settings given";
    QTest::newRow("zero replies") << QStringList{"monitor", "--count", "0"} << "--count";
    QTest::newRow("port given twice")
        << QStringList{"status", "-p", "/dev/ttyUSB0", "--port", "/dev/ttyUSB0"}
        << "the port /dev/ttyUSB0 is given more than once";
    QTest::newRow("all beside named ports")
        << QStringList{"status", "--all", "-p", "/dev/ttyUSB0"} << "--all takes every free port";
    QTest::newRow("one settings file for many")
        << QStringList{"read", "-p", "/dev/ttyUSB0", "-p", "/dev/ttyUSB1", "-o", "a.json"}
        << "-o writes one instrument's settings";
    QTest::newRow("JSON lines for one port")
        << QStringList{"restart", "-p", "/dev/ttyUSB0", "--json"} << "--json is for many ports";
    QTest::newRow("stopping for one port") << QStringList{"restart", "--stop-on-first-failure"}
                                           << "--stop-on-first-failure is for many ports";
    QTest::newRow("a file per port for one port")
        << QStringList{"monitor", "--csv-per-port", "d"} << "--csv-per-port is for many ports";
    QTest::newRow("file given twice")
        << QStringList{"read", "-o", "a.json", "-o", "b.json"} << "-o is given more than once";
}

void TestCli::usageErrorsExitWithTwo()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    const Run run = cli(arguments);
    QVERIFY2(run.exitCode == 2 && run.out.isEmpty() && oneErrorLine(run),
             qPrintable(describe(run)));
    QVERIFY2(QString::fromLocal8Bit(run.err).contains(reason), qPrintable(describe(run)));
}

void TestCli::statusAsTextAndJson()
{
    // The second reply comes back broken, so the second status is asked again.
    SimFaults faults;
    faults.corruptEvery = 2;
    SimulatorRunner sim(faults);
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    const Run text = cli(on(sim, {"status"}));
    QVERIFY2(text.exitCode == 0, qPrintable(describe(text)));
    QVERIFY(text.out.contains("Model            KX4720R\n"));
    QVERIFY(text.out.contains("Firmware         2013-09-30\n"));
    QVERIFY(text.out.contains("Input            current, range -25 ... +25 mA\n"));
    QVERIFY(text.out.contains("Status           ok\n"));
    QVERIFY(text.out.contains("Link             1 try, nothing discarded\n"));

    const Run json = cli(on(sim, {"status", "--json", "--timeout", "50"}));
    QVERIFY2(json.exitCode == 0, qPrintable(describe(json)));
    QJsonParseError error;
    const QJsonObject status = QJsonDocument::fromJson(json.out, &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(error.errorString()));
    QCOMPARE(status["model"].toString(), "KX4720R");
    QCOMPARE(status["port"].toString(), sim.portPath());
    QCOMPARE(status["tries"].toInt(), 2);
    QCOMPARE(status["discarded"].toObject(), (QJsonObject{{"total", 1},
                                                          {"frames", 1},
                                                          {"characters", 0},
                                                          {"badCrc", 1},
                                                          {"foreignFrame", 0},
                                                          {"overlong", 0},
                                                          {"startInFrame", 0},
                                                          {"outsideFrame", 0},
                                                          {"lateReply", 0},
                                                          {"notDecodable", 0}}));
    QCOMPARE(status["calibrationDate"].toString(), "2013-10-01");
    QCOMPARE(status["workingMinutes"].toInt(), 1000);
    const QJsonObject input = status["input"].toObject();
    QCOMPARE(input["type"].toString(), "current");
    QCOMPARE(input["unit"].toString(), "mA");
    QCOMPARE(input["range"].toObject()["high"].toDouble(), 25.0);
    QCOMPARE(input["scale"].toObject()["low"].toDouble(), 4.0);
    QVERIFY(input["value"].isDouble());
    const QJsonObject output = status["output"].toObject();
    QCOMPARE(output["range"].toObject()["high"].toDouble(), 22.0);
    QCOMPARE(status["temperature"].toObject()["unit"].toString(), "°C");
    QCOMPARE(status["status"].toObject()["flags"].toArray().size(), 0);

    // Reading the state asks for nothing: no command, no forcing.
    const InstrumentRequest last = sim.lastRequest();
    QCOMPARE(last.CommandBits, 0);
    QCOMPARE(last.PWMForce, 0);
    QCOMPARE(last.RangeForce, 0);
    QCOMPARE(last.CalibrationStep, 0);
    QVERIFY(portIsFree(sim.portPath()));
}

void TestCli::linkFailuresAndRetries_data()
{
    QTest::addColumn<int>("dropEvery");
    QTest::addColumn<int>("corruptEvery");
    QTest::addColumn<int>("errorCode"); // -1: none
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("summary"); // monitor's last line

    const QStringList quick{"--tries", "3", "--timeout", "50"};
    QTest::newRow("no answer") << 1 << 0 << -1 << (QStringList{"status"} << quick) << 4
                               << "no answer from the instrument" << 0 << "";
    QTest::newRow("refused") << 0 << 0 << 130 << (QStringList{"status"} << quick) << 1
                             << "result code 130" << 0 << "";
    // Requests 2, 4 and 6 go unanswered or come back broken; each is asked again.
    QTest::newRow("dropped replies are asked again")
        << 2 << 0 << -1 << (QStringList{"monitor", "--count", "4"} << quick) << 0 << "" << 4
        << "summary: 4 replies, 3 re-sent, nothing discarded";
    QTest::newRow("corrupted replies are asked again")
        << 0 << 2 << -1 << (QStringList{"monitor", "--count", "4"} << quick) << 0 << "" << 4
        << "summary: 4 replies, 3 re-sent, 3 frames discarded (bad CRC 3)";
    QTest::newRow("one try") << 1 << 0 << -1
                             << QStringList{"status", "--tries", "1", "--timeout", "50"} << 4
                             << "after 1 try of " << 0 << "";
    // Once the write request has left, the instrument may have stored the
    // settings whatever became of its answer.
    const QStringList write =
        QStringList{"write", "--input", "current", "4", "20", "--output", "current", "4", "20"}
        << quick;
    const QString mayHold = "may or may not hold the new settings";
    QTest::newRow("write refused") << 0 << 0 << 130 << write << 1 << mayHold << 0 << "";
    QTest::newRow("write answered never") << 1 << 0 << -1 << write << 4 << mayHold << 0 << "";
    QTest::newRow("write answered garbled") << 0 << 1 << -1 << write << 4 << mayHold << 0 << "";
}

void TestCli::linkFailuresAndRetries()
{
    QFETCH(int, dropEvery);
    QFETCH(int, corruptEvery);
    QFETCH(int, errorCode);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    QFETCH(int, lines);
    QFETCH(QString, summary);

    SimFaults faults;
    faults.dropEvery = dropEvery;
    faults.corruptEvery = corruptEvery;
    if (errorCode >= 0) {
        faults.errorCode = quint8(errorCode);
        faults.errorEvery = 1;
    }
    SimulatorRunner sim(faults);
    const Run run = cli(on(sim, arguments));
    QVERIFY2(run.exitCode == exitCode, qPrintable(describe(run)));
    QCOMPARE(run.out.count('\n'), lines + (summary.isEmpty() ? 0 : 1));
    if (!summary.isEmpty()) {
        const QStringList out = QString::fromLocal8Bit(run.out).trimmed().split(u'\n');
        QCOMPARE(out.last(), summary);
        // The count grows line by line, as a technician wiggling the cable sees it.
        if (corruptEvery)
            QVERIFY2(out[1].endsWith("tries 2  1 frame discarded (bad CRC 1)"), qPrintable(out[1]));
    }
    if (exitCode == 0) {
        QVERIFY2(run.err.isEmpty(), qPrintable(describe(run)));
        // Every other request went unanswered or came back broken.
        QVERIFY(sim.requests() > lines);
    } else {
        // Production lines run several at once: every failure names its port.
        QVERIFY2(oneErrorLine(run) && QString::fromLocal8Bit(run.err).contains(reason) &&
                     QString::fromLocal8Bit(run.err).contains(sim.portPath()),
                 qPrintable(describe(run)));
    }
    if (dropEvery == 1) // the tries, no more
        QCOMPARE(sim.requests(), arguments.at(arguments.indexOf("--tries") + 1).toInt());
}

void TestCli::aReplyOfAnotherLengthIsABadAnswer_data()
{
    QTest::addColumn<int>("length"); // data bytes of every reply; the layout has 88
    QTest::newRow("short") << 40;
    QTest::newRow("long") << 2043;
}
void TestCli::aReplyOfAnotherLengthIsABadAnswer()
{
    QFETCH(int, length);
    PtyPair pty;
    FrameSlave slave(pty);
    slave.answerAll(1, 0, replyData(typicalReply()).leftJustified(length, '\x11', true));
    const Run run = cli({"status", "-p", pty.slavePath(), "--tries", "2", "--timeout", "50"});
    // Neither zeros for what is missing nor garbage for what is too much.
    const QByteArray why = "cannot be read (" + QByteArray::number(length) + " data bytes where";
    QVERIFY2(run.exitCode == 4 && oneErrorLine(run) && run.out.isEmpty() && run.err.contains(why),
             qPrintable(describe(run)));
}

void TestCli::portErrorsSayWhyAndSendNothing()
{
    SimulatorRunner sim;
    QTemporaryDir folder;
    const Run missing = cli({"status", "-p", folder.filePath(QStringLiteral("ttyUSB9"))});
    QVERIFY2(missing.exitCode == 3 && oneErrorLine(missing) &&
                 missing.err.contains("No such file or directory"),
             qPrintable(describe(missing)));

    {
        // Another program holds the port.
        PosixSerialDevice holder;
        QVERIFY(holder.open(sim.portPath()).ok());
        const Run busy = cli(on(sim, {"status"}));
        // Named, as the port listing names it.
        QVERIFY2(busy.exitCode == 3 && oneErrorLine(busy) &&
                     busy.err.contains("is held by tst_cli (process "),
                 qPrintable(describe(busy)));
    }

    // A user outside the port's group. Root passes every permission check,
    // so as root the tool runs as nobody; otherwise the port is closed to us.
    QStringList arguments = on(sim, {"status"});
    const QByteArray device = QFile::encodeName(sim.portPath());
    const bool asRoot = ::geteuid() == 0;
    Run refused;
    if (asRoot) {
        QProcess probe;
        probe.start(QStringLiteral("setpriv"), {"--version"});
        if (!probe.waitForFinished() || probe.exitCode() != 0) QSKIP("setpriv is not there");
        QProcess process;
        process.start(QStringLiteral("setpriv"),
                      QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                  QStringLiteral(KX_CLI_BINARY)}
                          << arguments);
        QVERIFY(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000));
        refused.exitCode = process.exitCode();
        refused.out = process.readAllStandardOutput();
        refused.err = process.readAllStandardError();
    } else {
        QVERIFY(::chmod(device.constData(), 0) == 0);
        refused = cli(arguments);
        ::chmod(device.constData(), 0620);
    }
    // A pty's group (tty) may not read it: joining that group would not help.
    QVERIFY2(refused.exitCode == 3 && oneErrorLine(refused) &&
                 refused.err.contains("Permission denied") &&
                 refused.err.contains("no group may open it: an administrator must give the "
                                      "device to a group such as dialout"),
             qPrintable(describe(refused)));
    QCOMPARE(sim.requests(), 0);
}

void TestCli::badSettingsSendNothing_data()
{
    QTest::addColumn<QByteArray>("file"); // empty: no file at all; "mkfifo": a FIFO
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");

    QTest::newRow("no such file") << QByteArray() << QStringList() << "cannot read the file";
    // Nobody will ever write into it: opening it for reading would wait for ever.
    QTest::newRow("FIFO") << QByteArray("mkfifo") << QStringList() << "not a regular file";
    QTest::newRow("not JSON") << QByteArray("{\n  \"format\": \"kx4720r-settings\"\n  \"version\"")
                              << QStringList() << "line 3: not valid JSON";
    QTest::newRow("another version")
        << settingsText(VoltageInput, CurrentOutput).replace("\"version\": 1", "\"version\": 7")
        << QStringList() << "line 3: version 7 is not known";
    QTest::newRow("missing unit") << settingsText(R"({"type": "voltage", "low": -10, "high": 10})",
                                                  CurrentOutput)
                                  << QStringList() << "\"input.unit\" is missing";
    QTest::newRow("NaN") << settingsText(
                                R"({"type": "voltage", "low": NaN, "high": 10, "unit": "V"})",
                                CurrentOutput)
                         << QStringList() << "not a finite number";
    QTest::newRow("beyond the input limit")
        << settingsText(R"({"type": "current", "low": 4, "high": 40, "unit": "mA"})", CurrentOutput)
        << QStringList() << "beyond the limit of ±25 mA";
    QTest::newRow("command line beyond the limit")
        << QByteArray()
        << QStringList{"--input", "voltage", "-200", "10", "--output", "current", "4", "20"}
        << "beyond the limit of ±125 V";
    // As typed, not as the single-precision -25.000002 it would travel as.
    QTest::newRow("value shown as typed")
        << QByteArray()
        << QStringList{"--input", "current", "-25.000001", "20", "--output", "current", "4", "20"}
        << "input.low (-25.000001 mA) is beyond";
}

void TestCli::badSettingsSendNothing()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);

    SimulatorRunner sim;
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("line.kx4720r.json"));
    if (file == "mkfifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (!file.isEmpty()) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file);
    }
    const Run run =
        cli(on(sim, QStringList{"write"} << (arguments.isEmpty() ? QStringList{path} : arguments)));
    QVERIFY2(run.exitCode == 2 && run.out.isEmpty() && oneErrorLine(run),
             qPrintable(describe(run)));
    QVERIFY2(QString::fromLocal8Bit(run.err).contains(reason), qPrintable(describe(run)));
    // The port was never opened: the instrument saw no request at all.
    QCOMPARE(sim.requests(), 0);
}

void TestCli::writeThenReadBackGivesTheSameSettings()
{
    SimulatorRunner sim;
    QTemporaryDir folder;
    const QString written = folder.filePath(QStringLiteral("line.kx4720r.json"));
    {
        QFile out(written);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(settingsText(VoltageInput, CurrentOutput));
    }
    const Run dryRun = cli(on(sim, {"write", written, "--dry-run"}));
    QVERIFY2(dryRun.exitCode == 0, qPrintable(describe(dryRun)));
    QCOMPARE(dryRun.out, "would write: input voltage -10 ... 10 V, output current 0 ... 20 mA\n");
    QCOMPARE(sim.requests(), 0);

    const Run write = cli(on(sim, {"write", written}));
    QVERIFY2(write.exitCode == 0 && write.err.isEmpty(), qPrintable(describe(write)));
    QCOMPARE(write.out,
             "written and read back: input voltage -10 ... 10 V, output current 0 ... 20 mA\n");
    // The write bit went out once, acknowledged at once; the read-back carries none.
    QCOMPARE(requestsWith(sim, instrument::Command::WriteSettings), 1);
    QCOMPARE(sim.lastRequest().CommandBits, 0);

    const QString readPath = folder.filePath(QStringLiteral("back.kx4720r.json"));
    const Run read = cli(on(sim, {"read", "-o", readPath}));
    QVERIFY2(read.exitCode == 0 && read.out.isEmpty(), qPrintable(describe(read)));
    QFile back(readPath);
    QVERIFY(back.open(QIODevice::ReadOnly));
    const QByteArray text = back.readAll();
    // The same document, with where and when it was read added.
    const QByteArray source = "  \"source\": {";
    QVERIFY2(text.contains(source), text.constData());
    QCOMPARE(text.left(text.indexOf(source)).chopped(2) + "\n}\n",
             settingsText(VoltageInput, CurrentOutput));
    QVERIFY(text.contains(("\"port\": \"" + sim.portPath() + "\"").toUtf8()));
    // A file saved again keeps its mode; one its owner made read-only stays, even for root.
    const QByteArray name = QFile::encodeName(readPath);
    for (const mode_t mode : {0640, 0444}) {
        QCOMPARE(::chmod(name.constData(), mode), 0);
        const Run again = cli(on(sim, {"read", "-o", readPath}));
        QVERIFY2(again.exitCode == (mode == 0444 ? 2 : 0), qPrintable(describe(again)));
        struct stat info {};
        QVERIFY(::stat(name.constData(), &info) == 0 && (info.st_mode & 07777) == mode);
    }
    QVERIFY(QDir(folder.path()).entryList(QDir::Files).size() == 2); // nothing left beside

    // What read gives, write takes.
    const Run again = cli(on(sim, {"write", readPath}));
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    const Run toStdout = cli(on(sim, {"read"}));
    QCOMPARE(toStdout.out.left(toStdout.out.indexOf(source)), text.left(text.indexOf(source)));
}

void TestCli::unacknowledgedCommandsClaimNothing()
{
    SimFaults faults;
    faults.neverAck = true;
    SimulatorRunner sim(faults);
    const Run write = cli(on(sim, {"write", "--input", "voltage", "0", "10", "--output", "voltage",
                                   "0", "10", "--ack-timeout", "300"}));
    QVERIFY2(write.exitCode == 1 && write.out.isEmpty() && oneErrorLine(write) &&
                 write.err.contains("did not acknowledge the settings within 300 ms"),
             qPrintable(describe(write)));
    // Every request until the time limit asked for the write.
    QVERIFY(sim.requests() > 1);
    QCOMPARE(requestsWith(sim, instrument::Command::WriteSettings), sim.requests());

    const Run restart = cli(on(sim, {"restart", "--ack-timeout", "200"}));
    QVERIFY2(restart.exitCode == 1 && restart.out.isEmpty() &&
                 restart.err.contains("did not acknowledge the restart"),
             qPrintable(describe(restart)));

    // Ctrl-C while waiting: nothing is claimed and the port is released.
    Cli interrupted(on(sim, {"write", "--input", "current", "4", "20", "--output", "current", "4",
                             "20", "--ack-timeout", "600000"}));
    const int before = sim.requests();
    QVERIFY(sim.waitForRequests(before + 3));
    ::kill(pid_t(interrupted.process.processId()), SIGINT);
    const Run run = interrupted.finish(10000);
    QVERIFY2(run.exitCode == 1 && run.out.isEmpty() && run.err.contains("interrupted"),
             qPrintable(describe(run)));
    QVERIFY(portIsFree(sim.portPath()));
}

void TestCli::commandsWaitForTheirAcknowledgement()
{
    SimulatorRunner sim;
    const Run restart = cli(on(sim, {"restart"}));
    QVERIFY2(restart.exitCode == 0 && restart.out == "Restart: acknowledged by the instrument\n",
             qPrintable(describe(restart)));
    QCOMPARE(requestsWith(sim, instrument::Command::Reset), 1);

    const Run clear = cli(on(sim, {"clear-temperature"}));
    QVERIFY2(clear.exitCode == 0, qPrintable(describe(clear)));
    QCOMPARE(requestsWith(sim, instrument::Command::ClearTemperatureMinMax), 1);
    QCOMPARE(sim.requests(), 2);
}

void TestCli::monitorRecordsAndEndsCleanlyOnCtrlC()
{
    SimulatorRunner sim;
    QTemporaryDir folder;
    const QString csv = folder.filePath(QStringLiteral("readings.csv"));
    const Run counted = cli(on(sim, {"monitor", "--count", "3", "--csv", csv}));
    QVERIFY2(counted.exitCode == 0 && counted.err.isEmpty(), qPrintable(describe(counted)));
    QCOMPARE(counted.out.count('\n'), 3 + 1); // the readings, then the summary
    QVERIFY(counted.out.contains(" ok  nothing discarded\n"));
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    QCOMPARE(lines.size(), 5); // header, 3 readings, the empty rest after the last newline
    QVERIFY(lines[0].startsWith("time,input,input unit,"));

    // Until Ctrl-C: every line written is whole, and the port is let go.
    Cli open(on(sim, {"monitor", "--csv", csv}));
    QVERIFY(sim.waitForRequests(sim.requests() + 10));
    ::kill(pid_t(open.process.processId()), SIGINT);
    const Run run = open.finish(10000);
    QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(describe(run)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray all = file.readAll();
    QVERIFY(all.endsWith('\n'));
    lines = all.split('\n');
    lines.removeLast();
    QVERIFY(lines.size() >= 3 + 10);
    for (const QByteArray &line : lines)
        QCOMPARE(line.count(','), 9);
    QVERIFY(portIsFree(sim.portPath()));

    // A readings file that cannot be written stops the command before the port opens.
    const int before = sim.requests();
    const Run unwritable =
        cli(on(sim, {"monitor", "--csv", folder.filePath(QStringLiteral("no/such/folder.csv"))}));
    QVERIFY2(unwritable.exitCode == 2 && oneErrorLine(unwritable),
             qPrintable(describe(unwritable)));
    QCOMPARE(sim.requests(), before);
}

void TestCli::outputAndSignalsEndTheToolAsDocumented_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("output"); // Output
    QTest::addColumn<int>("signal"); // 0: none
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason"); // empty: nothing on stderr

    const QString full = "No space left on device";
    const QStringList monitor{"monitor"};
    QTest::newRow("read into a full device")
        << QStringList{"read"} << int(Output::DevFull) << 0 << 2 << full;
    QTest::newRow("status into a closed pipe")
        << QStringList{"status", "--json"} << int(Output::ClosedPipe) << 0 << 2 << "Broken pipe";
    QTest::newRow("monitor into a full device")
        << QStringList{"monitor", "--count", "3"} << int(Output::DevFull) << 0 << 2 << full;
    // `monitor | head`: the reader has what it wanted.
    QTest::newRow("monitor into a closed pipe ends quietly")
        << monitor << int(Output::ClosedPipe) << 0 << 0 << "";
    // An SSH session that drops: the port is closed and released as after Ctrl-C.
    QTest::newRow("SIGHUP ends monitoring cleanly")
        << monitor << int(Output::Captured) << int(SIGHUP) << 0 << "";
    // Stuck in a write nobody reads, the tool cannot end cleanly; it ends regardless.
    QTest::newRow("SIGTERM ends a tool stuck on its output")
        << monitor << int(Output::UnreadPipe) << int(SIGTERM) << 1 << "interrupted";
}

void TestCli::outputAndSignalsEndTheToolAsDocumented()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, output);
    QFETCH(int, signal);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    SimulatorRunner sim;
    Cli running(on(sim, arguments), {}, Output(output));
    if (signal != 0) {
        QVERIFY(sim.waitForRequests(10));
        if (Output(output) == Output::UnreadPipe) QTRY_VERIFY(running.stuckOnOutput());
        ::kill(pid_t(running.process.processId()), signal);
    }
    const Run run = running.finish(10000);
    QVERIFY2(run.exitCode == exitCode &&
                 (reason.isEmpty() ? run.err.isEmpty()
                                   : oneErrorLine(run) && run.err.contains(reason.toUtf8())),
             qPrintable(describe(run)));
    if (exitCode == 2) QVERIFY(run.err.contains(sim.portPath().toUtf8()));
    if (exitCode != 1) QVERIFY(portIsFree(sim.portPath()));
}

void TestCli::portsAreListedWithTheirState()
{
    SimulatorRunner sim;
    const auto entryOf = [&](const Run &run) {
        for (const QJsonValue &entry : QJsonDocument::fromJson(run.out)["ports"].toArray())
            if (entry["path"].toString() == sim.portPath()) return entry.toObject();
        return QJsonObject();
    };
    const Run free = cli({"ports", "--json"}, sim.portPath());
    QVERIFY2(free.exitCode == 0, qPrintable(describe(free)));
    QCOMPARE(entryOf(free)["state"].toString(), "free");
    QCOMPARE(entryOf(free)["kind"].toString(), "pty");

    PosixSerialDevice holder;
    QVERIFY(holder.open(sim.portPath()).ok());
    const Run busy = cli({"ports"}, sim.portPath());
    QVERIFY2(busy.exitCode == 0, qPrintable(describe(busy)));
    const QString line =
        QString::fromLocal8Bit(busy.out).split(u'\n').filter(sim.portPath()).value(0);
    QVERIFY2(line.contains(QStringLiteral("busy")) &&
                 line.contains(QStringLiteral("held by tst_cli (process ")),
             qPrintable(describe(busy)));
}

void TestCli::thePortMayBeLeftOutWhenOnlyOneIsFree()
{
    SimulatorRunner first;
    SimulatorRunner second;
    const Run several = cli({"status"}, first.portPath() + u':' + second.portPath());
    QVERIFY2(several.exitCode == 2 && oneErrorLine(several) &&
                 several.err.contains(first.portPath().toUtf8()) &&
                 several.err.contains(second.portPath().toUtf8()),
             qPrintable(describe(several)));

    // The machine's own free ports are held meanwhile, so the simulator's is the only one.
    std::vector<std::unique_ptr<PosixSerialDevice>> held;
    for (const QString &port : probePorts(systemPortCandidates(), tryOpenExclusively).available) {
        held.push_back(std::make_unique<PosixSerialDevice>());
        QVERIFY(held.back()->open(port).ok());
    }
    const Run one = cli({"status", "--json"}, first.portPath());
    QVERIFY2(one.exitCode == 0, qPrintable(describe(one)));
    QCOMPARE(QJsonDocument::fromJson(one.out)["port"].toString(), first.portPath());
}

void TestCli::theToolLinksNoWidgets()
{
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(KX_CLI_BINARY)});
    QVERIFY(ldd.waitForFinished());
    const QByteArray libraries = ldd.readAllStandardOutput();
    QVERIFY2(libraries.contains("libQt6Core"), libraries.constData());
    QVERIFY2(!libraries.contains("libQt6Gui") && !libraries.contains("libQt6Widgets"),
             libraries.constData());
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
