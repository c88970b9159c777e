// The demo run, scripts/run, as a newcomer starts it: the instrument
// simulator it puts on a pty takes a real line's time, so the program sees
// the pace of an instrument at 115200 baud, not thousands of exchanges a
// second. The test plays the program's part on the simulator's port.
#include <QtTest>

#include "link/mbbuffers.h"
#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"
#include "sim/sim_faults.h"

#include <chrono>

namespace {

// The source folder of this build, as CMake recorded it.
QString sourceFolder(const QString &buildFolder)
{
    QFile cache(buildFolder + QStringLiteral("/CMakeCache.txt"));
    if (!cache.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QByteArray key = "CMAKE_HOME_DIRECTORY:INTERNAL=";
    while (!cache.atEnd()) {
        const QByteArray line = cache.readLine().trimmed();
        if (line.startsWith(key)) return QString::fromLocal8Bit(line.mid(key.size()));
    }
    return {};
}

// scripts/run started on this build folder, with the simulator's default pace.
void startRun(QProcess &run, const QString &source, const QString &build)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KX4720R_BUILD_DIR"), build);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("KX4720R_SIM_OPTIONS"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(QStringLiteral("bash"), {source + QStringLiteral("/scripts/run")});
}

// Waits for "scripts/run: simulator on LINK -> /dev/pts/N", which comes once
// the port is ready (after the script has checked the build), and gives
// LINK; empty as soon as the script has ended without it.
QString announcedLink(QProcess &run, QString &output)
{
    const QRegularExpression announced(QStringLiteral("simulator on (\\S+) -> "));
    QDeadlineTimer deadline(240000);
    while (!deadline.hasExpired()) {
        output += QString::fromLocal8Bit(run.readAllStandardOutput());
        const QRegularExpressionMatch match = announced.match(output);
        if (match.hasMatch()) return match.captured(1);
        if (run.state() == QProcess::NotRunning) return {};
        run.waitForReadyRead(100);
    }
    return {};
}

} // namespace

class TestDemoRun : public QObject {
    Q_OBJECT
private slots:
    void simulatorTakesTheLinesTime();
    void aRunThatEndsFailsTheWaitAtOnce();
};

void TestDemoRun::simulatorTakesTheLinesTime()
{
    const QString build =
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).canonicalPath();
    const QString source = sourceFolder(build);
    QVERIFY2(QFileInfo::exists(source + QStringLiteral("/scripts/run")), qPrintable(source));

    QProcess run;
    startRun(run, source, build);
    const auto stop = qScopeGuard([&run] {
        run.terminate(); // the script ends the simulator and the program
        run.waitForFinished(10000);
    });
    QString output;
    const QString link = announcedLink(run, output);
    QVERIFY2(!link.isEmpty(),
             qPrintable(
                 QStringLiteral("scripts/run (exit code %1): %2").arg(run.exitCode()).arg(output)));

    // The program probes its ports once after starting; an opening that
    // meets the probe is tried again.
    MBEngine master;
    master.setMBRefreshListOnStartup(false);
    master.setBaudRate(115200);
    QTRY_VERIFY(master.MBOpenPort(link));

    // Ten exchanges back to back, each at least the line time of its request
    // and its reply (a load on the machine only makes them longer).
    constexpr int exchanges = 10;
    mb::MBTXDataBuffer request;
    writeRequest(request, InstrumentRequest{});
    int good = 0;
    int ended = 0;
    const auto send = [&] {
        master.MBClearTXData();
        for (std::uint8_t byte : request.dataToSend())
            master.MBAppendByte(byte);
        master.setMBMasterCommandToSlave(instrument::RequestCommand);
        master.MBSendFrame();
    };
    connect(&master, &MBEngine::OnMBMasterEndOfEvent, this, [&](TMBStatus status) {
        good += status == TMBStatus::stOK;
        if (++ended < exchanges) send();
    });
    QElapsedTimer clock;
    clock.start();
    send();
    QTRY_COMPARE_WITH_TIMEOUT(ended, exchanges, 30000);
    const auto elapsed = std::chrono::milliseconds(clock.elapsed());
    QCOMPARE(good, exchanges);
    const auto line = lineTime(instrument::RequestDataSize + 5, 115200) +
                      lineTime(instrument::ReplyDataSize + 5, 115200);
    QVERIFY2(elapsed >= exchanges * line,
             qPrintable(QString::number(elapsed.count()) + QStringLiteral(" ms")));
    master.MBClosePort();
}

void TestDemoRun::aRunThatEndsFailsTheWaitAtOnce()
{
    // A build folder cmake refuses (its cache belongs to another source tree)
    // ends the script at once; the wait ends with it, not at its timeout.
    const QString source = sourceFolder(
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).canonicalPath());
    QTemporaryDir build;
    QFile cache(build.filePath(QStringLiteral("CMakeCache.txt")));
    QVERIFY(cache.open(QIODevice::WriteOnly));
    cache.write("CMAKE_HOME_DIRECTORY:INTERNAL=" + build.path().toLocal8Bit() + "/elsewhere\n");
    cache.close();
    QProcess run;
    startRun(run, source, build.path());
    QString output;
    QCOMPARE(announcedLink(run, output), QString());
    QCOMPARE(run.state(), QProcess::NotRunning);
    QVERIFY(run.exitCode() != 0);
}

QTEST_GUILESS_MAIN(TestDemoRun)
#include "tst_demo_run.moc"
