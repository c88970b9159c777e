// SIGTERM ends the program even when its event loop is stuck: a child process
// (this suite run again with --stuck) takes the signals the way the window's
// program does, then blocks its main thread for good. The watchdog saves and
// ends it after its grace period, or at once on a second signal.
#include <QtTest>

#include "app/quit_watchdog.h"
#include "main/quit_signals.h"

#include <csignal>

namespace {

int stuckChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString saved = QString::fromLocal8Bit(argv[3]);
    QuitWatchdog watchdog(std::chrono::milliseconds(QByteArray(argv[2]).toLongLong()),
                          [saved] { QFile(saved).open(QIODevice::WriteOnly); });
    quitsignals::g_watchdogFd = watchdog.signalFd();
    if (!quitsignals::install(app, [] {})) return 3;
    std::puts("ready");
    std::fflush(stdout);
    char byte; // stuck, as in a read that never returns
    return int(::read(STDIN_FILENO, &byte, 1));
}

} // namespace

class TestQuitWatchdog : public QObject {
    Q_OBJECT
private slots:
    void aStuckProgramEndsAfterTheGraceOrAtASecondSignal_data()
    {
        QTest::addColumn<int>("graceMs");
        QTest::addColumn<QList<int>>("sent");
        QTest::newRow("after the grace") << 100 << QList<int>{SIGTERM};
        // Ten minutes of grace: only the second signal can end it in the test.
        QTest::newRow("at the second signal") << 600000 << QList<int>{SIGTERM, SIGINT};
    }
    void aStuckProgramEndsAfterTheGraceOrAtASecondSignal()
    {
        QFETCH(int, graceMs);
        QFETCH(QList<int>, sent);
        QTemporaryDir folder;
        const QString saved = folder.filePath(QStringLiteral("saved"));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--stuck"), QString::number(graceMs), saved});
        QByteArray output;
        QTRY_VERIFY((output += child.readAllStandardOutput()).contains("ready"));
        for (const int signal : sent)
            ::kill(pid_t(child.processId()), signal);
        QVERIFY(child.waitForFinished(30000));
        // As a shell reports the signal that ended it (two pending signals may
        // come in either order).
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY(sent.contains(child.exitCode() - 128));
        QVERIFY(QFile::exists(saved));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--stuck") == 0) return stuckChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestQuitWatchdog test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quit_watchdog.moc"
