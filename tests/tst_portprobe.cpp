// Port probing: which ttys count as serial ports, the ports named by the user,
// held ports left out, and the order and preselection of the port list.
#include <QtTest>

#include "link/mbengine.h"
#include "ports/portprobe.h"
#include "serial/serialdevice_posix.h"
#include "support/ptypair.h"

#include <QTemporaryDir>
#include <QTemporaryFile>

#include <optional>
#include <sys/ioctl.h>

namespace {

void makeEntry(const QDir &sys, const QString &name, bool withDriver)
{
    QVERIFY(sys.mkpath(
        name + (withDriver ? QStringLiteral("/device/driver") : QStringLiteral("/device"))));
}

} // namespace

class TestPortProbe : public QObject {
    Q_OBJECT
private slots:
    void listIsReversedWithTheFirstEntrySelected()
    {
        const QStringList available{QStringLiteral("COM1"), QStringLiteral("COM3"),
                                    QStringLiteral("\\\\.\\COM24")};
        const PortListing listing = orderPortList(available, false, QString(), QString());
        QCOMPARE(listing.ports, (QStringList{QStringLiteral("\\\\.\\COM24"), QStringLiteral("COM3"),
                                             QStringLiteral("COM1")}));
        QCOMPARE(listing.selected, 0);
    }

    void lastUsedPortIsPreselectedWithoutRegardToCase()
    {
        const QStringList available{QStringLiteral("/dev/ttyUSB0"), QStringLiteral("/dev/ttyUSB1")};
        QCOMPARE(orderPortList(available, false, {}, QStringLiteral("/DEV/TTYusb0")).selected, 1);
        QCOMPARE(orderPortList(available, false, {}, QStringLiteral("/dev/ttyACM0")).selected, 0);
    }

    void openPortIsAppended()
    {
        const PortListing listing =
            orderPortList({QStringLiteral("/dev/ttyUSB1")}, true, QStringLiteral("/dev/ttyUSB0"),
                          QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(listing.ports,
                 (QStringList{QStringLiteral("/dev/ttyUSB1"), QStringLiteral("/dev/ttyUSB0")}));
        QCOMPARE(listing.selected, 1);
    }

    void noPortsGiveAnEmptyListWithoutSelection()
    {
        const PortListing listing = orderPortList({}, false, {}, QStringLiteral("COM1"));
        QVERIFY(listing.ports.isEmpty());
        QCOMPARE(listing.selected, -1);
    }

    void extraPortsFromCommandLineAndEnvironment()
    {
        const QStringList arguments{QStringLiteral("prog"),
                                    QStringLiteral("/VARNEL"),
                                    QStringLiteral("--port"),
                                    QStringLiteral("/dev/pts/7"),
                                    QStringLiteral("--port=/tmp/sim"),
                                    QStringLiteral("--port")};
        QCOMPARE(extraPortCandidates(arguments, QStringLiteral("/dev/pts/9::/dev/ttyX")),
                 (QStringList{QStringLiteral("/dev/pts/7"), QStringLiteral("/tmp/sim"),
                              QStringLiteral("/dev/pts/9"), QStringLiteral("/dev/ttyX")}));
        QVERIFY(extraPortCandidates({QStringLiteral("prog")}, QString()).isEmpty());
    }

    void systemCandidatesNeedHardwareBehindThem()
    {
        QTemporaryDir root;
        const QDir sys(root.filePath(QStringLiteral("class-tty")));
        QVERIFY(QDir().mkpath(sys.path()));
        makeEntry(sys, QStringLiteral("ttyUSB0"), true);
        makeEntry(sys, QStringLiteral("ttyUSB1"), false); // no driver bound
        makeEntry(sys, QStringLiteral("ttyACM10"), true);
        makeEntry(sys, QStringLiteral("ttyACM2"), true);
        makeEntry(sys, QStringLiteral("ttyAMA0"), true);
        makeEntry(sys, QStringLiteral("tty5"), true);   // a console, not a serial port
        makeEntry(sys, QStringLiteral("ttyS0"), true);  // no UART answers behind it
        QVERIFY(sys.mkpath(QStringLiteral("rfcomm0"))); // Bluetooth: no device link
        const QString dev = root.filePath(QStringLiteral("dev"));
        QCOMPARE(systemPortCandidates(sys.path(), dev),
                 (QStringList{dev + "/rfcomm0", dev + "/ttyACM2", dev + "/ttyACM10",
                              dev + "/ttyAMA0", dev + "/ttyUSB0"}));
    }

    void theConsoleIsLeftOutAndClosedUartsAreKept()
    {
        QTemporaryDir sysDir, devDir; // no device nodes: none of them could be opened
        const QDir sys(sysDir.path());
        const auto write = [&](const QString &name, const QByteArray &text) {
            QFile file(sys.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        };
        for (const QString name : {"ttyS0", "ttyS1", "ttyS2"}) { // no UART behind ttyS2
            makeEntry(sys, name, true);
            write(name + "/type", name == "ttyS2" ? "0\n" : "4\n");
        }
        QVERIFY(sys.mkpath(QStringLiteral("console")));
        write(QStringLiteral("console/active"), "tty0 ttyS1\n");
        const QString dev = devDir.path();
        // ttyS0 is listed although it cannot be opened, so that the list can say why.
        QCOMPARE(systemPortCandidates(sys.path(), dev), QStringList{dev + "/ttyS0"});
        QCOMPARE(consolePorts(sys.path(), dev), QStringList{dev + "/ttyS1"});
    }

    void onlyTerminalDevicesArePorts()
    {
        QTemporaryFile text;
        QVERIFY(text.open());
        for (const QString &port : {QStringLiteral("/dev/null"), text.fileName()})
            QCOMPARE(tryOpenExclusively(port).kind, PortFailure::Unsupported);
    }

    void theFirstNamedPortIsPreselected()
    {
        PtyPair ports[3];
        const QStringList paths{ports[0].slavePath(), ports[1].slavePath(), ports[2].slavePath()};
        MBEngine engine;
        engine.setPortCandidateSource([&] { return paths; });
        engine.setNamedPorts(paths.mid(1)); // port 0 was not named
        engine.setMBLastUsedPort(paths[0]);
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList()[engine.selectedPortIndex()], paths[1]);
        // A choice by hand stands.
        engine.selectPortListEntry(int(engine.portList().indexOf(paths[0])));
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList()[engine.selectedPortIndex()], paths[0]);
    }

    void heldAndMissingPortsAreNotAvailable()
    {
        PtyPair free, held;
        PosixSerialDevice holder;
        QVERIFY(holder.open(held.slavePath()).ok());
        const QStringList candidates{free.slavePath(), held.slavePath(),
                                     QStringLiteral("/dev/no-such-port-kx"), free.slavePath()};
        const PortProbe probe = probePorts(candidates, tryOpenExclusively);
        QCOMPARE(probe.available, QStringList{free.slavePath()});
        // Nothing the user's permissions could change.
        QVERIFY(probe.noPermission.isEmpty());
        // Probing let go of the free port again.
        PosixSerialDevice user;
        QVERIFY(user.open(free.slavePath()).ok());
    }

    void portOfAnotherProgramIsLeftAlone_data()
    {
        QTest::addColumn<bool>("exclusive");
        QTest::newRow("no lock at all") << false;
        QTest::newRow("exclusive flag, no lock") << true;
    }
    void portOfAnotherProgramIsLeftAlone()
    {
        QFETCH(bool, exclusive);
        PtyPair free, held;
        const auto waiting = [&] {
            int count = -1;
            ::ioctl(held.slaveFd(), FIONREAD, &count);
            return count;
        };
        const auto exclusiveFlag = [&] {
            int flag = -1;
            ::ioctl(held.slaveFd(), TIOCGEXCL, &flag);
            return flag != 0;
        };
        QVERIFY(held.write("for the other program"));
        QTRY_COMPARE(waiting(), 21);
        std::optional<PortHolderProcess> other(std::in_place, held.slavePath(), exclusive);
        QVERIFY(other->isHolding());

        MBEngine engine;
        engine.setPortCandidateSource([&] {
            return QStringList{free.slavePath(), held.slavePath()};
        });
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList(), QStringList{free.slavePath()});
        // Opening it by name is refused too, and the refusal probes again.
        QVERIFY(!engine.MBOpenPort(held.slavePath()));
        QVERIFY(engine.MBPortErrorText().endsWith(QString::fromLocal8Bit(strerror(EBUSY))));
        QCOMPARE(engine.portList(), QStringList{free.slavePath()});
        // Its characters wait for it still, and its flag is as it left it.
        QCOMPARE(waiting(), 21);
        QCOMPARE(exclusiveFlag(), exclusive);

        // Once it has let go, the port is ours. (Its flag stays with the
        // line, which the pair itself keeps open: a last close would clear it.)
        other.reset();
        if (exclusive) ::ioctl(held.slaveFd(), TIOCNXCL);
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList(), (QStringList{held.slavePath(), free.slavePath()}));
        QVERIFY(engine.MBOpenPort(held.slavePath()));
    }

    void engineRefreshFillsTheListAndSetsTheLastUsedPort()
    {
        PtyPair a, b;
        MBEngine engine;
        engine.setPortCandidateSource([&] { return QStringList{a.slavePath(), b.slavePath()}; });
        QSignalSpy listed(&engine, &MBEngine::portListChanged);

        engine.setMBLastUsedPort(QStringLiteral("/dev/gone"));
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList(), (QStringList{b.slavePath(), a.slavePath()}));
        QCOMPARE(engine.selectedPortIndex(), 0);
        QCOMPARE(engine.MBLastUsedPort(), b.slavePath());
        QCOMPARE(listed.count(), 1);
        QCOMPARE(listed.at(0).at(1).toInt(), 0);

        engine.setMBLastUsedPort(a.slavePath().toUpper());
        engine.MBRefreshPortList();
        QCOMPARE(engine.selectedPortIndex(), 1);
        QCOMPARE(engine.MBLastUsedPort(), a.slavePath());

        engine.selectPortListEntry(0);
        QCOMPARE(engine.MBLastUsedPort(), b.slavePath());

        // The open port is held by us, so it comes last, appended.
        QVERIFY(engine.MBOpenPort());
        QCOMPARE(engine.Port(), b.slavePath());
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList(), (QStringList{a.slavePath(), b.slavePath()}));
        QCOMPARE(engine.selectedPortIndex(), 1);
    }

    void firstTickStartsUpAndProbes()
    {
        PtyPair a;
        MBEngine engine;
        engine.setPortCandidateSource([&] { return QStringList{a.slavePath()}; });
        engine.setMBLastUsedPort(a.slavePath());
        QSignalSpy startUp(&engine, &MBEngine::startUpTick);
        QSignalSpy listed(&engine, &MBEngine::portListChanged);
        QVERIFY(engine.portList().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(startUp.count(), 1, 5000);
        QCOMPARE(listed.count(), 1);
        QCOMPARE(engine.portList(), QStringList{a.slavePath()});
    }

    void firstTickWithoutProbing()
    {
        MBEngine engine;
        int probes = 0;
        engine.setPortCandidateSource([&] {
            ++probes;
            return QStringList();
        });
        engine.setMBRefreshListOnStartup(false);
        QSignalSpy startUp(&engine, &MBEngine::startUpTick);
        QTRY_COMPARE_WITH_TIMEOUT(startUp.count(), 1, 5000);
        QCOMPARE(probes, 0);
        QVERIFY(engine.portList().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPortProbe)
#include "tst_portprobe.moc"
