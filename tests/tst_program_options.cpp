// The programs' command lines: the options kx4720r-config knows, --help,
// --version and usage errors of both programs without a display, and --open
// with SIGTERM on the real program against the simulator.
#include <QtTest>

#include "app/commandline.h"
#include "app/program_options.h"
#include "support/simulator_runner.h"

using Action = ProgramOptions::Action;
Q_DECLARE_METATYPE(ProgramOptions::Action)

namespace {

// The environment of a desktop-less machine: no display of any kind, and Qt
// left to choose its platform.
QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

} // namespace

class TestProgramOptions : public QObject {
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<Action>("action");
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("error");
        QTest::newRow("nothing") << QStringList{} << Action::Run << false << "";
        QTest::newRow("the program's own parameters, Qt's left alone")
            << QStringList{"-platform",    "offscreen",       "/VaRnEl", "--port",
                           "/dev/ttyUSB0", "--port=/tmp/sim", "--open",  "other"}
            << Action::Run << true << "";
        QTest::newRow("a port path that looks like an option")
            << QStringList{"--port", "--open"} << Action::Run << false << "";
        QTest::newRow("help") << QStringList{"/varnel", "-h"} << Action::Help << false << "";
        QTest::newRow("version") << QStringList{"--version", "--foo"} << Action::Version << false
                                 << "";
        QTest::newRow("unknown option first")
            << QStringList{"--foo", "--help"} << Action::UsageError << false
            << "unknown option --foo";
        QTest::newRow("an option with a value it does not take")
            << QStringList{"--open=yes"} << Action::UsageError << false
            << "unknown option --open=yes";
        QTest::newRow("port without a path")
            << QStringList{"--port"} << Action::UsageError << false << "option --port needs a path";
        QTest::newRow("port with an empty path") << QStringList{"--port="} << Action::UsageError
                                                 << false << "option --port needs a path";
        QTest::newRow("nothing checked after --")
            << QStringList{"--", "--foo"} << Action::Run << false << "";
    }
    void parse()
    {
        QFETCH(QStringList, parameters);
        QFETCH(Action, action);
        QFETCH(bool, open);
        QFETCH(QString, error);
        const ProgramOptions options = parseProgramOptions(parameters);
        QCOMPARE(options.action, action);
        QCOMPARE(options.openPort, open);
        QCOMPARE(options.error, error);
    }

    void withoutDisplay_data()
    {
        const QString config = QStringLiteral(KX_CONFIG_BINARY);
        const QString sim = QStringLiteral(KX_SIM_BINARY);
        // The version is the window caption's version date.
        const QString version = QString(kVersionDate).replace(u'-', u'.');
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::newRow("config --help")
            << config << QStringList{"--help"} << 0 << "Usage: kx4720r-config [/VARNEL]"
            << "";
        QTest::newRow("config --version") << config << QStringList{"/VARNEL", "--version"} << 0
                                          << "kx4720r-config " + version + "\n"
                                          << "";
        QTest::newRow("config --foo") << config << QStringList{"/VARNEL", "--foo"} << 2 << ""
                                      << "kx4720r-config: unknown option --foo\n\nUsage:";
        QTest::newRow("sim --version")
            << sim << QStringList{"--version"} << 0 << "kx4720r-sim " + version + "\n"
            << "";
        QTest::newRow("sim --foo") << sim << QStringList{"--foo"} << 2 << ""
                                   << "kx4720r-sim: Unknown option 'foo'.\n\nUsage:";
    }
    void withoutDisplay()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess process;
        process.setProcessEnvironment(::withoutDisplay());
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY2(process.exitCode() == exitCode, qPrintable(stdErr));
        // What is expected is the beginning of the stream; the other stays empty.
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.startsWith(err), qPrintable(stdErr));
    }

    // --open presses Open once the port list is filled, and the exchange
    // cycle runs; SIGTERM then closes the window as its close button does,
    // which writes the initialisation file. The program runs from a copy in
    // a folder of its own, where it keeps that file.
    void openThenTerminate()
    {
        SimulatorRunner sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
        QTemporaryDir folder;
        const QString program = folder.filePath(QStringLiteral("kx4720r-config"));
        QVERIFY(QFile::copy(QStringLiteral(KX_CONFIG_BINARY), program));

        QProcess window;
        window.setProcessChannelMode(QProcess::ForwardedChannels);
        window.start(program, {QStringLiteral("--port"), sim.portPath(), QStringLiteral("--open")});
        QVERIFY(window.waitForStarted());
        QVERIFY2(sim.waitForRequests(3), "the program did not open the port and exchange");
        window.terminate();
        QVERIFY(window.waitForFinished(10000));
        QCOMPARE(window.exitStatus(), QProcess::NormalExit);
        QCOMPARE(window.exitCode(), 0);
        QFile ini(folder.filePath(QStringLiteral("kx4720r-config.ini")));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("MBLastUsedPort=" + sim.portPath().toLocal8Bit() + '\n'));
    }
};

QTEST_GUILESS_MAIN(TestProgramOptions)
#include "tst_program_options.moc"
