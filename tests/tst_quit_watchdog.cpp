// SIGTERM ends the program even when its event loop is stuck: a child process
// (this suite run again with --stuck) takes the signals the way the window's
// program does and then blocks its main thread for good. The watchdog saves
// and ends it after its grace period, or at once on a second signal.
#include <QtTest>

#include "app/quit_watchdog.h"
#include "main/quit_signals.h"

#include <csignal>
#include <cstdio>

namespace {

int stuckChild(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const std::chrono::milliseconds grace(QByteArray(argv[2]).toLongLong());
    const QString saved = QString::fromLocal8Bit(argv[3]);
    QuitWatchdog watchdog(grace, [saved] {
        QFile file(saved);
        if (file.open(QIODevice::WriteOnly)) file.write("saved");
    });
    quitsignals::g_watchdogFd = watchdog.signalFd();
    if (!quitsignals::install(app, [] { std::puts("the event loop ran"); })) return 3;
    std::puts("ready");
    std::fflush(stdout);
    // Stuck: the event loop never runs again, as in a read that never returns.
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) != 0) {
    }
    return 4;
}

} // namespace

class TestQuitWatchdog : public QObject {
    Q_OBJECT
private slots:
    void aStuckProgramEndsAfterTheGraceOrAtASecondSignal_data();
    void aStuckProgramEndsAfterTheGraceOrAtASecondSignal();
};

void TestQuitWatchdog::aStuckProgramEndsAfterTheGraceOrAtASecondSignal_data()
{
    QTest::addColumn<int>("graceMs");
    QTest::addColumn<QList<int>>("sent");
    QTest::newRow("after the grace") << 100 << QList<int>{SIGTERM};
    // Ten minutes of grace: only the second signal can end it within the test.
    QTest::newRow("at the second signal") << 600000 << QList<int>{SIGTERM, SIGINT};
}

void TestQuitWatchdog::aStuckProgramEndsAfterTheGraceOrAtASecondSignal()
{
    QFETCH(int, graceMs);
    QFETCH(QList<int>, sent);
    QTemporaryDir folder;
    const QString saved = folder.filePath(QStringLiteral("saved"));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--stuck"), QString::number(graceMs), saved});
    QVERIFY(child.waitForStarted());
    QByteArray output;
    QTRY_VERIFY2((output += child.readAllStandardOutput()).contains("ready"), output.constData());
    for (const int signal : sent)
        ::kill(pid_t(child.processId()), signal);

    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    // As a shell reports the signal that ended it (two pending signals may
    // come in either order).
    QVERIFY2(sent.contains(child.exitCode() - 128), qPrintable(QString::number(child.exitCode())));
    QVERIFY(!(output + child.readAllStandardOutput()).contains("the event loop ran"));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("saved"));
}

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], "--stuck") == 0) return stuckChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestQuitWatchdog test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_quit_watchdog.moc"
