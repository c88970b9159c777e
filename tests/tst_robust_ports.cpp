// Port faults end to end: the real main window (offscreen) cycling against the
// instrument simulator over a pty, while the line goes away under it, a second
// window wants the same port, a port refuses the user, a write fails inside
// the send, and the user hammers Open/Close. Each ends in a closed port whose
// red lamp says why, a window that keeps running, and a port that opens again.
#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/form_main.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "serial/portlock.h"
#include "serial/serialdevice_posix.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/portwindow.h"
#include "support/ptypair.h"
#include "support/simulator_runner.h"
#include "support/waitfor.h"
#include "support/windowsetup.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kStartUpWait = 5000;

// CPU time of the whole process (every thread), in milliseconds.
double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

int entriesIn(const char *procFolder)
{
    return int(QDir(QString::fromLatin1(procFolder))
                   .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                   .size());
}

QString systemMessage(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A port name that stays while the device behind it changes, as a udev
// symlink does when an adapter is pulled and plugged in again.
class PortLink {
public:
    PortLink() : m_path(m_folder.filePath(QStringLiteral("ttyKX"))) {}
    QString path() const { return m_path; }
    bool pointTo(const QString &target)
    {
        QFile::remove(m_path);
        return QFile::link(target, m_path);
    }

private:
    QTemporaryDir m_folder;
    QString m_path;
};

// A window is ready once a port is listed to open.
class Window : public PortWindow {
public:
    using PortWindow::PortWindow;
    bool startedUp()
    {
        return waitOn(
            &link().engine(), &MBEngine::startUpTick,
            [this] { return panel().openCloseButton()->isEnabled(); }, kStartUpWait);
    }
};

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};
// kx4720r-cli, or as nobody, to whom root's descriptors in /proc are closed.
ToolRun runTool(const QStringList &arguments, bool asNobody = false)
{
    QProcess process;
    const QStringList nobody{"--reuid=65534", "--regid=65534", "--clear-groups", KX_CLI_BINARY};
    process.start(asNobody ? QStringLiteral("setpriv") : QStringLiteral(KX_CLI_BINARY),
                  (asNobody ? nobody : QStringList()) + arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 30000))
        return {}; // hung: counted as failed
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
            QString::fromLocal8Bit(process.readAllStandardError())};
}

SimFaults answerNothing()
{
    SimFaults faults;
    faults.dropEvery = 1;
    return faults;
}

} // namespace

class TestRobustPorts : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void cablePulledMidExchange();
    void aFailedWriteShowsItsReason();
    void aFailureTheHostMeetsClosesWithItsReason();
    void aSecondWindowCannotTakeTheHeldPort();
    void aPortWithoutPermissionSaysWhy();
    void openCloseStormUnderTraffic();
    void anotherUsersProgramIsSeenByItsLockFile();
    void aFlagLeftByAKilledToolHoldsNothing();
};

void TestRobustPorts::cablePulledMidExchange()
{
    PortLink port;
    auto first = std::make_unique<InstrumentSimulator>();
    QVERIFY2(first->startOnNewPty(), qPrintable(first->errorText()));
    QVERIFY(port.pointTo(first->portPath()));

    Window w({port.path()});
    QVERIFY(w.startedUp());
    QCOMPARE(w.listedPorts(), QStringList{port.path()});
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QVERIFY(w.lampIs(TMBLamp::Green));
    QVERIFY(w.exchangesGoOn());

    // The instrument goes quiet with a request on the line, and then the
    // cable goes: the transaction in flight meets the hang-up.
    QSignalSpy requests(first.get(), &InstrumentSimulator::requestReceived);
    first->setFaults(answerNothing());
    QVERIFY(requests.wait(5000));
    QTRY_VERIFY(w.link().MBBusy());
    QSignalSpy ends(&w.link(), &TMB::OnMBMasterEndOfEvent);
    QSignalSpy openings(&w.link(), &TMB::OnMBPortOpenedOrClosed);
    first->stop();

    QVERIFY(w.portIsOpen(false));
    QCOMPARE(openings.size(), 1);
    QCOMPARE(openings.first().at(0).toBool(), false);
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QVERIFY(w.lampIs(TMBLamp::Red));
    // The reason first, then what the window waits for meanwhile.
    const QString reason = w.link().MBPortErrorText();
    QVERIFY2(reason.startsWith(QStringLiteral("TMB : port lost ") + port.path() + u'\r'),
             qPrintable(reason));
    QVERIFY2(reason.size() > reason.indexOf(u'\r') + 1, "the system's message is missing");
    QVERIFY2(w.lampTip().startsWith(reason + QStringLiteral("\n\nWaiting until ")),
             qPrintable(w.lampTip()));
    QCOMPARE(w.panel().openCloseButton()->toolTip(), w.lampTip());
    QVERIFY(!w.panel().openCloseButton()->Down());

    // Responsive: the event loop runs a timer many times over. Not spinning:
    // the dead line hands nothing over, and the process uses far less CPU
    // than the time that passes (a reader woken for ever would use a core).
    const quint64 handOvers = w.link().engine().readerHandOverCount();
    QTimer ticker;
    int ticks = 0;
    connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    QElapsedTimer wall;
    const double cpuBefore = processCpuMs();
    wall.start();
    ticker.start(10);
    QTRY_VERIFY(ticks >= 40);
    const double cpuUsed = processCpuMs() - cpuBefore;
    const qint64 wallUsed = wall.elapsed();
    QCOMPARE(w.link().engine().readerHandOverCount(), handOvers);
    QVERIFY2(cpuUsed < 0.5 * double(wallUsed),
             qPrintable(QStringLiteral("%1 ms CPU in %2 ms").arg(cpuUsed).arg(wallUsed)));
    QCOMPARE(ends.size(), 1);

    // The user stops waiting: the lost port is listed, selected and marked
    // missing; Open/Close ends the wait and springs back, and the reason stays.
    QCOMPARE(w.listedPorts(), QStringList{port.path()});
    QCOMPARE(w.link().engine().missingPort(), port.path());
    QVERIFY(w.panel().portList()->currentItem()->font().italic());
    w.clickOpenClose();
    QVERIFY(!w.link().engine().isWaitingForPort());
    QVERIFY(!w.panel().openCloseButton()->Down());
    QVERIFY(!w.link().MBPortOpen());
    QCOMPARE(w.lampTip(), reason);

    // The adapter is back under the same name: nothing opens it by itself
    // any more. Refresh, Open, and the cycle runs again; the lamp is green
    // and no reason is left over.
    InstrumentSimulator second;
    QVERIFY2(second.startOnNewPty(), qPrintable(second.errorText()));
    QVERIFY(port.pointTo(second.portPath()));
    first.reset();
    w.clickRefresh();
    QCOMPARE(w.listedPorts(), QStringList{port.path()});
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QVERIFY(w.lampIs(TMBLamp::Green));
    QVERIFY(w.lampTip().isEmpty());
    QVERIFY(w.link().MBPortErrorText().isEmpty());
    QVERIFY(w.exchangesGoOn());
    QVERIFY(second.requestCount() >= 3);
}

void TestRobustPorts::aFailedWriteShowsItsReason()
{
    InstrumentSimulator sim;
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    Window w({sim.portPath()});
    QVERIFY(w.startedUp());
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());

    // The line goes away and, before the reader can tell, the cycle sends:
    // the write itself fails inside MBSendFrame.
    sim.stop();
    QSignalSpy ends(&w.link(), &TMB::OnMBMasterEndOfEvent);
    QSignalSpy errors(&w.link().engine(), &MBEngine::portError);
    w.form.MB1MBMasterEndOfEvent(&w.link(), TMBStatus::stTimeOut, QString());

    QVERIFY(!w.link().MBPortOpen());
    QCOMPARE(ends.size(), 2); // the failed send, then the closing it caused
    QCOMPARE(ends.at(0).at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QVERIFY(w.lampIs(TMBLamp::Red));
    const QString expected =
        QStringLiteral("TMB : port lost ") + sim.portPath() + u'\r' + systemMessage(EIO);
    QCOMPARE(w.link().MBPortErrorText(), expected);
    QCOMPARE(w.lampTip(), expected);
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors.first().at(0).toString(), expected);
    // The list was probed again: the dead pty is offered no more.
    QVERIFY(!w.listedPorts().contains(sim.portPath()));
    QVERIFY(!ends.wait(200));
    QCOMPARE(ends.size(), 2);

    // Closing again, by hand or after another failure, changes nothing.
    w.link().closePortAfterFailure(QStringLiteral("again"));
    QCOMPARE(w.link().MBPortErrorText(), expected);
    QCOMPARE(ends.size(), 2);
}

void TestRobustPorts::aFailureTheHostMeetsClosesWithItsReason()
{
    InstrumentSimulator sim;
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    Window w({sim.portPath()});
    QVERIFY(w.startedUp());
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());

    QString reasonWhenClosed;
    connect(&w.link(), &TMB::OnMBPortOpenedOrClosed, &w.form,
            [&](bool open) { reasonWhenClosed = open ? QString() : w.link().MBPortErrorText(); });
    w.link().closePortAfterFailure(QStringLiteral("replies make no sense"));
    const QString expected = QStringLiteral("TMB : port lost ") + sim.portPath() +
                             QStringLiteral("\rreplies make no sense");
    QVERIFY(!w.link().MBPortOpen());
    QVERIFY(w.lampIs(TMBLamp::Red));
    QCOMPARE(w.lampTip(), expected);
    // The host's own handler of the closing already knows why.
    QCOMPARE(reasonWhenClosed, expected);
    // The line itself is fine: probed again, it is listed and opens.
    QCOMPARE(w.listedPorts(), QStringList{sim.portPath()});
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QVERIFY(w.lampTip().isEmpty());
    QVERIFY(w.exchangesGoOn());
}

void TestRobustPorts::aSecondWindowCannotTakeTheHeldPort()
{
    InstrumentSimulator sim;
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    // Both windows came up while the port was free, so both list it.
    Window holder({sim.portPath()});
    Window other({sim.portPath()});
    QVERIFY(holder.startedUp());
    QVERIFY(other.startedUp());
    QCOMPARE(other.listedPorts(), QStringList{sim.portPath()});

    holder.clickOpenClose();
    QVERIFY(holder.exchangesGoOn());

    QSignalSpy openings(&other.link(), &TMB::OnMBPortOpenedOrClosed);
    other.clickOpenClose();
    QVERIFY(!other.link().MBPortOpen());
    QVERIFY(openings.isEmpty());
    QVERIFY(other.lampIs(TMBLamp::Red));
    QCOMPARE(other.lampTip(),
             QStringLiteral("TMB : cannot open ") + sim.portPath() + u'\r' + systemMessage(EBUSY));
    QVERIFY(!other.panel().openCloseButton()->Down());
    // Probed again, the held port is not offered to the second window.
    QVERIFY(!other.listedPorts().contains(sim.portPath()));
    QCOMPARE(other.link().MBNumberOfTxFrames(), 0u);

    // A bare engine (another tool on the same machine) is refused as well.
    MBEngine tool;
    QVERIFY(!tool.MBOpenPort(sim.portPath()));
    QVERIFY(tool.MBPortErrorText().endsWith(systemMessage(EBUSY)));

    // The holder's exchange went on undisturbed.
    QVERIFY(holder.exchangesGoOn());
    QVERIFY(holder.link().MBPortOpen());

    // Once the first lets go, the second gets the port.
    holder.clickOpenClose();
    QVERIFY(!holder.link().MBPortOpen());
    other.clickRefresh();
    QCOMPARE(other.listedPorts(), QStringList{sim.portPath()});
    other.clickOpenClose();
    QVERIFY(other.link().MBPortOpen());
    QVERIFY(other.lampTip().isEmpty());
    QVERIFY(other.exchangesGoOn());
}

void TestRobustPorts::aPortWithoutPermissionSaysWhy()
{
    // A path that refuses this process with "permission denied": a file
    // without permissions for an ordinary user; as root, whom permission
    // bits do not stop, a kernel attribute that cannot be opened for writing.
    QTemporaryDir folder;
    QString refusing;
    if (::geteuid() != 0) {
        refusing = folder.filePath(QStringLiteral("ttyNoAccess"));
        QFile file(refusing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    } else {
        refusing = QStringLiteral("/sys/kernel/uevent_seqnum");
    }
    const int probe = ::open(QFile::encodeName(refusing).constData(), O_RDWR | O_NOCTTY);
    const int openError = errno;
    if (probe >= 0) ::close(probe);
    if (probe >= 0 || openError != EACCES) QSKIP("no path here refuses this process with EACCES");

    // The port was there when the list was filled; by the time the user
    // opens it, the device node behind the name refuses the user.
    InstrumentSimulator sim;
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    PortLink port;
    QVERIFY(port.pointTo(sim.portPath()));
    Window w({port.path()});
    QVERIFY(w.startedUp());
    QCOMPARE(w.listedPorts(), QStringList{port.path()});
    QVERIFY(port.pointTo(refusing));

    QSignalSpy openings(&w.link(), &TMB::OnMBPortOpenedOrClosed);
    w.clickOpenClose();
    QVERIFY(!w.link().MBPortOpen());
    QVERIFY(openings.isEmpty());
    QVERIFY(w.lampIs(TMBLamp::Red));
    const QString expected =
        QStringLiteral("TMB : cannot open ") + port.path() + u'\r' + systemMessage(EACCES);
    QCOMPARE(w.lampTip(), expected);
    QCOMPARE(w.link().MBPortErrorText(), expected);
    QCOMPARE(w.link().MBStatus(), TMBStatus::stPortError);
    QCOMPARE(sim.requestCount(), 0u);

    // Access granted again: the same name opens and the cycle starts.
    QVERIFY(port.pointTo(sim.portPath()));
    w.clickRefresh();
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QVERIFY(w.lampTip().isEmpty());
    QVERIFY(w.exchangesGoOn());
}

void TestRobustPorts::openCloseStormUnderTraffic()
{
    InstrumentSimulator sim;
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    Window w({sim.portPath()});
    QVERIFY(w.startedUp());
    // Short answer waits keep transactions ending while the storm runs.
    w.link().setMBMasterTimeOut(20);

    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());
    w.clickOpenClose();
    QVERIFY(!w.link().MBPortOpen());
    QCoreApplication::processEvents();
    const int fdsBefore = entriesIn("/proc/self/fd");
    const int threadsBefore = entriesIn("/proc/self/task");

    int opened = 0;
    for (int click = 0; click < 400; ++click) {
        w.clickOpenClose();
        if (w.link().MBPortOpen()) ++opened;
        // Let replies and hand-overs arrive between some clicks, and now and
        // then wait for a whole exchange to end while the port is open.
        if (click % 3 == 0) QCoreApplication::processEvents();
        if (click % 50 == 1 && w.link().MBPortOpen()) QVERIFY(w.exchangesGoOn(1));
    }
    QCOMPARE(opened, 200);
    QVERIFY(!w.link().MBPortOpen());
    QVERIFY(w.lampIs(TMBLamp::Neutral));

    // Every reader thread ended and every descriptor went with it.
    QTRY_COMPARE(entriesIn("/proc/self/task"), threadsBefore);
    QTRY_COMPARE(entriesIn("/proc/self/fd"), fdsBefore);

    // And the port still works.
    const quint64 requestsBefore = sim.requestCount();
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QVERIFY(w.exchangesGoOn());
    QVERIFY(sim.requestCount() > requestsBefore);
    QVERIFY(w.lampTip().isEmpty());
}

QTEST_MAIN(TestRobustPorts)
#include "tst_robust_ports.moc"

void TestRobustPorts::anotherUsersProgramIsSeenByItsLockFile()
{
    if (::geteuid() != 0) QSKIP("runs the tool as another user (nobody): needs root");
    // A port nobody may open, held by root's program (a plain open, its lock file), input waiting.
    PtyPair pty;
    QVERIFY(::chmod(QFile::encodeName(pty.slavePath()).constData(), 0666) == 0);
    PortHolderProcess holder(pty.slavePath(), false, true);
    QVERIFY(holder.isHolding());
    QVERIFY(pty.write(QByteArray("waiting")));

    const QString held = QStringLiteral("(process %1)").arg(holder.pid());
    const ToolRun listed = runTool({"ports", "--port", pty.slavePath()}, true);
    QVERIFY2(listed.out.contains(QStringLiteral("busy")) && listed.out.contains(held),
             qPrintable(listed.out));
    const ToolRun status = runTool({"status", "-p", pty.slavePath()}, true);
    QVERIFY2(status.exitCode == 3 && status.err.contains(held), qPrintable(status.err));
    // Nothing of the holder's was touched: its input, its flag; nothing sent.
    int waiting = 0, exclusive = 1;
    QVERIFY(::ioctl(pty.slaveFd(), FIONREAD, &waiting) == 0 && waiting == 7);
    QVERIFY(::ioctl(pty.slaveFd(), TIOCGEXCL, &exclusive) == 0 && exclusive == 0);
    QCOMPARE(pty.readAvailable(), QByteArray());
}

void TestRobustPorts::aFlagLeftByAKilledToolHoldsNothing()
{
    if (::geteuid() != 0) QSKIP("only root may open a port flagged exclusive, to take it over");
    SimulatorRunner sim;
    QProcess monitor;
    monitor.start(QStringLiteral(KX_CLI_BINARY), {"monitor", "-p", sim.portPath()});
    QTRY_VERIFY(monitor.canReadLine());
    // Its lock file names it while it holds the port.
    QCOMPARE(qint64(portlock::lockingProcess(sim.portPath()).value_or(0)), monitor.processId());
    monitor.kill(); // its exclusive flag stays on the line, whose other end is open
    QVERIFY(monitor.waitForFinished());
    UniqueFd look(::open(QFile::encodeName(sim.portPath()).constData(), O_RDWR | O_NOCTTY));
    int exclusive = 0;
    QVERIFY(::ioctl(look.get(), TIOCGEXCL, &exclusive) == 0 && exclusive == 1);
    look.reset();
    // No program holds it: the next run takes it.
    const ToolRun status = runTool({"status", "-p", sim.portPath()});
    QVERIFY2(status.exitCode == 0, qPrintable(status.err));
    // Its stale lock file was replaced, and ours is gone with the tool.
    QVERIFY(!QFileInfo::exists(portlock::lockFilePath(sim.portPath())));
}
