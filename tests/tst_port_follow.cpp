// Ports that come and go, end to end: the real main window (offscreen) whose
// port list follows ports appearing and going in a folder, and which, when
// the simulator's line is pulled in mid-exchange, waits for it and goes on
// exchanging once it is back, under its own name or (a USB adapter, played
// by a pty and a fake sysfs) under another ttyUSB number; and does not when
// the user has ended the wait.
#include <QtTest>

#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>

#include "app/form_main.h"
#include "link/portfollower.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "ports/portwatcher.h"
#include "sim/simulator.h"
#include "support/fakesysfs.h"
#include "support/formaccess.h"
#include "support/frameslave.h"
#include "support/portwindow.h"
#include "support/ptypair.h"
#include "support/waitfor.h"
#include "support/windowsetup.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <cerrno>
#include <cstring>
#include <functional>

namespace {

constexpr int kStartUpWait = 5000;
constexpr int kBackWait = 10000;

// A folder of port names, each a link to a pty, as udev links a device.
class PortFolder {
public:
    QString path(const char *name) const { return m_folder.filePath(QLatin1String(name)); }
    bool link(const char *name, const QString &target) const
    {
        QFile::remove(path(name));
        return QFile::link(target, path(name));
    }
    bool remove(const char *name) const { return QFile::remove(path(name)); }

private:
    QTemporaryDir m_folder;
};

class Window : public PortWindow {
public:
    using PortWindow::PortWindow;
    bool startedUp()
    {
        return waitOn(
            &link().engine(), &MBEngine::startUpTick,
            [this] { return panel().refreshButton()->isEnabled(); }, kStartUpWait);
    }
    QString selectedPort()
    {
        const QListWidgetItem *item = panel().portList()->currentItem();
        return item ? item->text() : QString();
    }
    void choose(const QString &port)
    {
        QListWidget *list = panel().portList();
        const auto items = list->findItems(port, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(items.first()).center());
    }
    const PortWatcher *watcher() { return link().engine().portFollower()->watcher(); }
};

InstrumentSimulator::Settings linkedSimulator(const QString &linkPath,
                                              std::chrono::milliseconds replugAfter)
{
    InstrumentSimulator::Settings settings;
    settings.linkPath = linkPath;
    settings.replugAfter = replugAfter;
    return settings;
}

// Pulls the simulator's cable once, when its next request has come in and
// before it is answered.
void pullAtNextRequest(InstrumentSimulator &sim)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(&sim, &InstrumentSimulator::requestReceived, &sim, [&sim, connection] {
            QObject::disconnect(*connection);
            sim.pullCable();
        });
}

} // namespace

class TestPortFollow : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void theListFollowsThePorts();
    void theExchangeResumesWhenTheCableIsBack_data();
    void theExchangeResumesWhenTheCableIsBack();
    void theWaitEndsWithTheUser_data();
    void theWaitEndsWithTheUser();
    void aDeviceBackButRefusingIsTriedOnceASecond();
    void anotherProgramsPtyBehindTheOldLinkIsNotTheLostPort();
    void aNamedPortThatAppearsIsSelected();
    void aHolderThatEndsLeavesTheList();
};

void TestPortFollow::theListFollowsThePorts()
{
    PortFolder folder;
    PtyPair a, b, c;
    const QString portA = folder.path("ttyA"), portB = folder.path("ttyB"),
                  portC = folder.path("ttyC");
    Window w({portA, portB, portC});
    QVERIFY(w.startedUp());
    QVERIFY(w.listedPorts().isEmpty());
    QVERIFY(!w.panel().openCloseButton()->isEnabled());

    // Ports appear and go without a press on Refresh, probed and ordered as
    // Refresh does, each saying what it is.
    QVERIFY(folder.link("ttyA", a.slavePath()));
    QTRY_COMPARE(w.listedPorts(), QStringList{portA});
    QVERIFY(w.panel().openCloseButton()->isEnabled());
    // A link names the device behind it.
    QCOMPARE(w.panel().portList()->item(0)->toolTip(),
             portA + QStringLiteral(" is a link to ") + a.slavePath() +
                 QStringLiteral("\npseudo-terminal ") + a.slavePath());
    QVERIFY(folder.link("ttyB", b.slavePath()));
    QTRY_COMPARE(w.listedPorts(), (QStringList{portB, portA}));
    w.choose(portA);
    QCOMPARE(w.link().MBLastUsedPort(), portA);
    QVERIFY(folder.link("ttyC", c.slavePath()));
    QTRY_COMPARE(w.listedPorts(), (QStringList{portC, portB, portA}));
    QCOMPARE(w.selectedPort(), portA); // the selection stays on the chosen port
    QVERIFY(folder.remove("ttyB"));
    QTRY_COMPARE(w.listedPorts(), (QStringList{portC, portA}));
    QCOMPARE(w.selectedPort(), portA);

    // While a port is open nothing is probed: the change is seen, the list
    // stays as it was.
    w.clickOpenClose();
    QVERIFY(w.link().MBPortOpen());
    QSignalSpy changes(w.watcher(), &PortWatcher::changed);
    const int probes = w.probes;
    QVERIFY(folder.remove("ttyC"));
    QVERIFY(changes.wait());
    QCOMPARE(w.probes, probes);
    QCOMPARE(w.listedPorts(), (QStringList{portC, portA}));
    // Closed again, the list catches up.
    w.clickOpenClose();
    QVERIFY(!w.link().MBPortOpen());
    QTRY_COMPARE(w.listedPorts(), QStringList{portA});
}

void TestPortFollow::theExchangeResumesWhenTheCableIsBack_data()
{
    QTest::addColumn<bool>("renumbered");
    QTest::newRow("at the same path") << false;
    QTest::newRow("a USB adapter under another ttyUSB number") << true;
}

void TestPortFollow::theExchangeResumesWhenTheCableIsBack()
{
    QFETCH(bool, renumbered);
    PortFolder folder;
    const QString first = folder.path(renumbered ? "ttyUSB0" : "ttyKX");
    const QString second = renumbered ? folder.path("ttyUSB1") : first;
    const auto replugAfter = std::chrono::milliseconds(300);
    // The renumbered adapter: the test links the names, and sysfs says that
    // the pty behind each is the same FTDI adapter.
    InstrumentSimulator sim(linkedSimulator(renumbered ? QString() : first, replugAfter));
    FakeSysfs sysfs;
    const auto adapterAt = [&](const QString &pty) {
        return sysfs.addUsbTty(pty.mid(pty.lastIndexOf(u'/') + 1), FakeSysfs::Usb());
    };
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    if (renumbered) {
        QVERIFY(adapterAt(sim.portPath()));
        QVERIFY(folder.link("ttyUSB0", sim.portPath()));
        connect(&sim, &InstrumentSimulator::cablePulled, [&] { folder.remove("ttyUSB0"); });
        connect(&sim, &InstrumentSimulator::cableBack, [&](const QString &pty) {
            QVERIFY(adapterAt(pty));
            QVERIFY(folder.link("ttyUSB1", pty));
        });
    }

    Window w(renumbered ? QStringList{first, second} : QStringList{first});
    if (renumbered) w.link().engine().setPortCatalog(sysfs.catalog());
    QVERIFY(w.startedUp());
    QCOMPARE(w.listedPorts(), QStringList{first});
    if (renumbered)
        QCOMPARE(w.panel().portList()->item(0)->toolTip().section(u'\n', 1),
                 QStringLiteral("FTDI FT232R USB UART, serial A10K3ZQ1\n") +
                     sysfs.catalog().byIdRoot() +
                     QStringLiteral("/usb-FTDI_FT232R_USB_UART_A10K3ZQ1-if00-port0"));
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());

    // The line goes with a request on it; the window waits, saying so.
    QSignalSpy openings(&w.link(), &TMB::OnMBPortOpenedOrClosed);
    QSignalSpy pulled(&sim, &InstrumentSimulator::cablePulled);
    pullAtNextRequest(sim);
    QVERIFY(w.portIsOpen(false));
    QCOMPARE(pulled.size(), 1);
    QVERIFY(w.lampIs(TMBLamp::Red));
    QVERIFY(w.link().engine().isWaitingForPort());
    const QString tip = w.lampTip();
    QVERIFY2(tip.startsWith(w.link().MBPortErrorText() + QStringLiteral("\n\nWaiting until ")),
             qPrintable(tip));
    QVERIFY2(tip.contains(renumbered ? QStringLiteral("for FTDI FT232R USB UART, serial A10K3ZQ1")
                                     : QStringLiteral("for ") + first),
             qPrintable(tip));
    QCOMPARE(w.panel().openCloseButton()->toolTip(), tip);
    // The user reads it while the cable comes back: the tip goes with the red lamp.
    QToolTip::showText(QPoint(10, 10), tip, w.panel().openCloseButton());
    QVERIFY(QToolTip::isVisible());

    // Back: opened again by itself, and the exchange goes on.
    QVERIFY(w.portIsOpen(true, kBackWait));
    QCOMPARE(w.link().Port(), second);
    QCOMPARE(w.link().MBLastUsedPort(), second);
    QVERIFY(w.lampIs(TMBLamp::Green));
    QVERIFY(w.lampTip().isEmpty());
    QTRY_VERIFY(!QToolTip::isVisible());
    QVERIFY(!w.link().engine().isWaitingForPort());
    QCOMPARE(openings.size(), 2);
    QCOMPARE(openings.at(0).at(0).toBool(), false);
    QCOMPARE(openings.at(1).at(0).toBool(), true);
    const quint64 requestsBefore = sim.requestCount();
    QVERIFY(w.exchangesGoOn());
    QVERIFY(sim.requestCount() > requestsBefore);
}

void TestPortFollow::theWaitEndsWithTheUser_data()
{
    // Pressing Open/Close with nothing listed ends it too (tst_robust_ports).
    QTest::addColumn<bool>("closeWindow");
    QTest::newRow("another port chosen") << false;
    QTest::newRow("window closed") << true;
}

void TestPortFollow::theWaitEndsWithTheUser()
{
    QFETCH(bool, closeWindow);
    PortFolder folder;
    PtyPair other;
    QVERIFY(folder.link("ttyOther", other.slavePath()));
    const QString port = folder.path("ttyKX");
    // Back only when the test says so.
    InstrumentSimulator sim(linkedSimulator(port, std::chrono::hours(1)));
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    Window w({port, folder.path("ttyOther")});
    w.link().setMBLastUsedPort(port);
    QVERIFY(w.startedUp());
    QCOMPARE(w.selectedPort(), port);
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());

    sim.pullCable();
    QTRY_VERIFY(w.link().engine().isWaitingForPort());
    if (closeWindow) {
        // Saved as the last used port: the one waited for, not what the list shows.
        w.form.close();
        QVERIFY(w.setup.readIni().contains("MBLastUsedPort=" + QFile::encodeName(port) + '\n'));
    } else {
        w.choose(folder.path("ttyOther"));
        QCOMPARE(w.link().MBLastUsedPort(), folder.path("ttyOther"));
    }
    QVERIFY(!w.link().engine().isWaitingForPort());
    QVERIFY(!w.lampTip().contains(QStringLiteral("Waiting")));

    // The line comes back and is listed again, but nothing opens it.
    const quint64 requests = sim.requestCount();
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    QTRY_VERIFY(w.listedPorts().contains(port));
    QVERIFY(!w.link().MBPortOpen());
    QCOMPARE(sim.requestCount(), requests);
}

void TestPortFollow::aDeviceBackButRefusingIsTriedOnceASecond()
{
    PortFolder folder;
    const QString port = folder.path("ttyKX");
    InstrumentSimulator sim(linkedSimulator(port, std::chrono::milliseconds(100)));
    QVERIFY2(sim.startOnNewPty(), qPrintable(sim.errorText()));
    Window w({port});
    // Root passes every permission check: the refusal is played here.
    bool refuse = false;
    QList<qint64> tries;
    QElapsedTimer clock;
    clock.start();
    w.link().engine().setPortTryOpen([&](const QString &candidate) {
        if (!refuse) return tryOpenExclusively(candidate);
        if (QFileInfo::exists(candidate)) tries << clock.elapsed();
        return SerialStatus::failure(EACCES, QString::fromLocal8Bit(strerror(EACCES)));
    });
    QVERIFY(w.startedUp());
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());

    refuse = true;
    sim.pullCable();
    QTRY_VERIFY_WITH_TIMEOUT(w.lampTip().contains(QStringLiteral(" is back as ") + port +
                                                  QStringLiteral(" but cannot be opened: ") +
                                                  QString::fromLocal8Bit(strerror(EACCES))),
                             kBackWait);
    QTRY_VERIFY_WITH_TIMEOUT(tries.size() >= 3, kBackWait);
    // The first is the probe of the list, which the return itself set off;
    // the tries of the wait (from the second on) come a second apart.
    for (qsizetype i = 2; i < tries.size(); ++i)
        QVERIFY2(tries[i] - tries[i - 1] >= 950,
                 qPrintable(QStringLiteral("%1 ms apart").arg(tries[i] - tries[i - 1])));
    QVERIFY(!w.link().MBPortOpen());

    refuse = false;
    QVERIFY(w.portIsOpen(true, kBackWait));
    QVERIFY(w.exchangesGoOn());
}

void TestPortFollow::anotherProgramsPtyBehindTheOldLinkIsNotTheLostPort()
{
    PortFolder folder;
    const QString port = folder.path("ttyKX");
    auto lost = std::make_unique<PtyPair>();
    auto slave = std::make_unique<FrameSlave>(*lost);
    slave->answerAll(1, 0, replyData(typicalReply()));
    const QString number = lost->slavePath();
    QVERIFY(folder.link("ttyKX", number));
    Window w({port});
    QVERIFY(w.startedUp());
    w.clickOpenClose();
    QVERIFY(w.exchangesGoOn());
    slave.reset();
    lost.reset(); // gone for good; its link stays
    QTRY_VERIFY(w.link().engine().isWaitingForPort());
    // Another program's pty takes the old number, behind the unchanged link.
    PtyPair other;
    if (other.slavePath() != number) QSKIP("the system gave the new pty another number");
    QSignalSpy probed(&w.link().engine(), &MBEngine::portListChanged);
    QTRY_VERIFY_WITH_TIMEOUT(!probed.isEmpty(), kBackWait);
    QCoreApplication::processEvents(); // the look for the lost port after it
    QVERIFY(!w.link().MBPortOpen());
    QVERIFY(w.link().engine().isWaitingForPort());
    QCOMPARE(other.readAvailable(), QByteArray());
}

void TestPortFollow::aNamedPortThatAppearsIsSelected()
{
    PortFolder folder;
    PtyPair unnamed, named;
    QVERIFY(folder.link("ttyU", unnamed.slavePath()));
    Window w({folder.path("ttyU"), folder.path("ttyN")});
    w.link().engine().setNamedPorts({folder.path("ttyN")});
    QVERIFY(w.startedUp());
    QCOMPARE(w.selectedPort(), folder.path("ttyU"));
    // Started after the window, the port the user named is selected when it comes.
    QVERIFY(folder.link("ttyN", named.slavePath()));
    QTRY_COMPARE(w.selectedPort(), folder.path("ttyN"));
}

void TestPortFollow::aHolderThatEndsLeavesTheList()
{
    PtyPair pty;
    auto holder = std::make_optional<PortHolderProcess>(pty.slavePath(), false);
    QVERIFY(holder->isHolding());
    Window w({pty.slavePath()});
    QVERIFY(w.startedUp());
    QVERIFY(w.listedPorts().isEmpty() && w.panel().portList()->toolTip().contains("held by"));
    // The program ends: the list follows without Refresh.
    holder.reset();
    QTRY_COMPARE(w.listedPorts(), QStringList{pty.slavePath()});
    QVERIFY(!w.panel().portList()->toolTip().contains(QStringLiteral("held by")));
}

QTEST_MAIN(TestPortFollow)
#include "tst_port_follow.moc"
