// The demo run, scripts/run, as a newcomer starts it: the instrument
// simulator it puts on a pty takes a real line's time, so the program sees
// the pace of an instrument at 115200 baud, not thousands of exchanges a
// second. The test plays the program's part on the simulator's port.
#include <QtTest>

#include "frame/mbbuffers.h"
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

} // namespace

class TestDemoRun : public QObject {
    Q_OBJECT
private slots:
    void simulatorTakesTheLinesTime();
};

void TestDemoRun::simulatorTakesTheLinesTime()
{
    const QString build =
        QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/..")).canonicalPath();
    const QString source = sourceFolder(build);
    QVERIFY2(QFileInfo::exists(source + QStringLiteral("/scripts/run")), qPrintable(source));

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KX4720R_BUILD_DIR"), build);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.remove(QStringLiteral("KX4720R_SIM_OPTIONS"));
    run.setProcessEnvironment(environment);
    run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    run.start(QStringLiteral("bash"), {source + QStringLiteral("/scripts/run")});
    const auto stop = qScopeGuard([&run] {
        run.terminate(); // the script ends the simulator and the program
        run.waitForFinished(10000);
    });

    // "scripts/run: simulator on LINK -> /dev/pts/N" once the port is ready
    // (after the script has checked the build); a script that ended without
    // it fails the test at once, with what it said.
    QString output;
    const QRegularExpression announced(QStringLiteral("simulator on (\\S+) -> "));
    QTRY_VERIFY_WITH_TIMEOUT(
        (output += QString::fromLocal8Bit(run.readAllStandardOutput()),
         announced.match(output).hasMatch() || run.state() == QProcess::NotRunning),
        240000);
    QVERIFY2(announced.match(output).hasMatch(), qPrintable(output));
    const QString link = announced.match(output).captured(1);

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

QTEST_GUILESS_MAIN(TestDemoRun)
#include "tst_demo_run.moc"
