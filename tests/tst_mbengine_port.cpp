// Opening and closing the port through the engine: notification order, the
// failed opening with its reason kept, the speed on the line, a hang-up
// mid-transaction, closing from inside a handler, and many open/close cycles
// while the peer floods the line.
#include <QtTest>

#include "frame/mbframe.h"
#include "link/mbengine.h"
#include "serial/serialdevice_posix.h"
#include "support/enginelog.h"
#include "support/frameslave.h"
#include "support/ptypair.h"

#include <QPointer>

#include <atomic>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Writes replies and junk to the line as fast as it takes them, and reads
// away whatever the program sends, until destroyed.
struct Flooder {
    explicit Flooder(PtyPair &pty) : thread([this, fd = pty.masterFd()] { run(fd); }) {}
    ~Flooder()
    {
        stop = true;
        thread.join();
    }
    void run(int fd)
    {
        const QByteArray reply = FrameSlave::replyLine(1, 0, 0, QByteArray(20, 'x'));
        const QByteArray burst = reply + QByteArray("\x01\xC1\x05\x45", 4) + reply;
        char sink[4096];
        while (!stop) {
            pollfd pfd{fd, POLLOUT | POLLIN, 0};
            if (::poll(&pfd, 1, 5) <= 0) continue;
            if (pfd.revents & POLLIN) [[maybe_unused]]
                auto n = ::read(fd, sink, sizeof sink);
            if (pfd.revents & POLLOUT) {
                const auto n = ::write(fd, burst.constData(), std::size_t(burst.size()));
                if (n > 0) written += quint64(n);
            }
        }
    }

    std::atomic<bool> stop{false};
    std::atomic<quint64> written{0};
    std::thread thread;
};

// What opening path gives a user without any rights to it: as root, a child
// process that has become nobody tries; otherwise the device is closed to us
// by its permission bits. Returns the status the opening met.
SerialStatus openAsUnprivileged(const QString &path)
{
    const QByteArray device = QFile::encodeName(path);
    if (::geteuid() != 0) {
        ::chmod(device.constData(), 0);
        return PosixSerialDevice().open(path);
    }
    ::chmod(device.constData(), 0600); // root's alone
    int answer[2];
    if (::pipe(answer) != 0) return posixError(errno);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(answer[0]);
        int code = -1;
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0)
            code = PosixSerialDevice().open(path).code;
        [[maybe_unused]] auto n = ::write(answer[1], &code, sizeof code);
        ::_exit(0);
    }
    ::close(answer[1]);
    int code = -1;
    [[maybe_unused]] auto n = ::read(answer[0], &code, sizeof code);
    ::close(answer[0]);
    ::waitpid(child, nullptr, 0);
    return code < 0 ? SerialStatus{} : posixError(code);
}

} // namespace

class TestMBEnginePort : public QObject {
    Q_OBJECT
private slots:
    void openingAndClosingInOrder()
    {
        PtyPair pty;
        MBEngine engine;
        EngineLog log(engine);
        QSignalSpy panel(&engine, &MBEngine::panelStateChanged);
        QSignalSpy lamp(&engine, &MBEngine::portLampChanged);
        QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnPortError);
        QVERIFY(engine.MBBusy());
        QVERIFY(!engine.MBThereWasOpenEvent());

        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        QCOMPARE(log.take(), (QStringList{"Now(stnReady:Ready)", "Busy(false)", "Port(true)"}));
        QVERIFY(engine.MBPortOpen());
        QVERIFY(engine.MBThereWasOpenEvent());
        QCOMPARE(engine.Port(), pty.slavePath());
        QCOMPARE(panel.count(), 1);
        QVERIFY(panel.at(0).at(0).toBool());
        QCOMPARE(lamp.last().at(0).value<TMBLamp>(), TMBLamp::Green);
        QVERIFY(engine.MBPortErrorText().isEmpty());

        engine.MBClosePort();
        QCOMPARE(log.take(),
                 (QStringList{"Busy(true)", "Now(stnPortError:Port Error)", "Port(false)"}));
        QVERIFY(!engine.MBPortOpen());
        QCOMPARE(engine.MBStatus(), TMBStatus::stPortError);
        QVERIFY(!panel.last().at(0).toBool());
        QCOMPARE(lamp.last().at(0).value<TMBLamp>(), TMBLamp::Neutral);
        QVERIFY(engine.MBThereWasOpenEvent()); // never cleared by the link

        engine.MBClosePort(); // already closed: nothing
        QVERIFY(log.take().isEmpty());
    }

    void failedOpeningKeepsTheReason()
    {
        PtyPair held, free;
        PosixSerialDevice holder;
        QVERIFY(holder.open(held.slavePath()).ok());
        MBEngine engine;
        engine.setPortCandidateSource([&] {
            return QStringList{held.slavePath(), free.slavePath()};
        });
        EngineLog log(engine);
        QSignalSpy panel(&engine, &MBEngine::panelStateChanged);
        QSignalSpy lamp(&engine, &MBEngine::portLampChanged);
        QSignalSpy listed(&engine, &MBEngine::portListChanged);
        QSignalSpy failed(&engine, &MBEngine::portError);

        QVERIFY(!engine.MBOpenPort(held.slavePath()));
        const QString reason = QStringLiteral("TMB : cannot open ") + held.slavePath() +
                               QLatin1Char('\r') + QString::fromLocal8Bit(strerror(EBUSY));
        QCOMPARE(engine.MBPortErrorText(), reason);
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QVERIFY(!log.entries.contains("Port(true)"));
        QVERIFY(!log.entries.contains("Port(false)"));
        QCOMPARE(log.endEvents, 0);
        QVERIFY(!engine.MBPortOpen());
        QVERIFY(engine.MBBusy());
        QCOMPARE(engine.MBStatus(), TMBStatus::stPortError);
        QCOMPARE(engine.MBStatusString(), QStringLiteral("Port Error"));
        QVERIFY(!engine.MBThereWasOpenEvent());
        // The button springs back and the lamp turns red.
        QCOMPARE(panel.count(), 2);
        QVERIFY(!panel.last().at(0).toBool());
        QCOMPARE(lamp.last().at(0).value<TMBLamp>(), TMBLamp::Red);
        // The list was probed again; the held port is not in it.
        QCOMPARE(listed.count(), 1);
        QCOMPARE(engine.portList(), QStringList{free.slavePath()});

        QVERIFY(!engine.MBOpenPort(QStringLiteral("/dev/no-such-port-kx")));
        QVERIFY(engine.MBPortErrorText().endsWith(QString::fromLocal8Bit(strerror(ENOENT))));
    }

    void openingSetsTheLineSpeed()
    {
        PtyPair pty;
        MBEngine engine;
        engine.setMBBaud(TMBBaud::baud128000);
        QCOMPARE(engine.BaudRate(), 128000u);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        QCOMPARE(engine.portLineSpeed(), 128000u);
        QCOMPARE(engine.MBBaud(), TMBBaud::baud128000);
        engine.MBClosePort();

        QSignalSpy selected(&engine, &MBEngine::baudChanged);
        engine.selectSpeedListEntry(16);
        QCOMPARE(selected.last().at(0).value<TMBBaud>(), TMBBaud::baud115200);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        QCOMPARE(engine.portLineSpeed(), 115200u);
        engine.MBClosePort();
        engine.selectSpeedListEntry(40);
        QCOMPARE(engine.BaudRate(), 9600u);
        engine.setBaudRate(14400);
        QCOMPARE(engine.MBBaud(), TMBBaud::baud014400);
        engine.setMBBaud(TMBBaud::baud057600);
        QCOMPARE(engine.BaudRate(), 57600u);
    }

    void destroyingWithThePortOpenFiresNothing()
    {
        PtyPair pty;
        int events = 0;
        {
            MBEngine engine;
            QVERIFY(engine.MBOpenPort(pty.slavePath()));
            connect(&engine, &MBEngine::OnMBPortOpenedOrClosed, [&] { ++events; });
            connect(&engine, &MBEngine::OnMBMasterEndOfEvent, [&] { ++events; });
            engine.MBSendFrame();
        }
        QCOMPARE(events, 0);
        PosixSerialDevice next;
        QVERIFY(next.open(pty.slavePath()).ok()); // released
    }

    void hangUpDuringATransactionClosesThePort()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        MBEngine engine;
        engine.setMBMasterTimeOut(60000);
        EngineLog log(engine);
        QSignalSpy lamp(&engine, &MBEngine::portLampChanged);
        QSignalSpy failed(&engine, &MBEngine::portError);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        engine.MBSendFrame();
        QTRY_COMPARE(slave.requestCount(), 1);
        log.take();

        slave.hangUp();
        QTRY_VERIFY(!engine.MBPortOpen());
        QCOMPARE(log.take(), (QStringList{"Now(stnPortError:Port Error)",
                                          "End(stPortError:Port Error)", "Port(false)"}));
        QCOMPARE(engine.MBStatus(), TMBStatus::stPortError);
        QCOMPARE(lamp.last().at(0).value<TMBLamp>(), TMBLamp::Red);
        QCOMPARE(failed.count(), 1);
        QVERIFY(engine.MBPortErrorText().startsWith(QStringLiteral("TMB : port lost ") +
                                                    pty.slavePath() + QLatin1Char('\r')));
        // One hand-over reported the hang-up; the reader is gone, nothing spins.
        const quint64 handOvers = engine.readerHandOverCount();
        QVERIFY(handOvers >= 1 && handOvers <= 2);
        QCoreApplication::processEvents();
        QCOMPARE(engine.readerHandOverCount(), handOvers);
        QCOMPARE(log.endEvents, 1);
    }

    void aLostPortIsProbedAgain()
    {
        PtyPair pulled, other;
        FrameSlave slave(pulled);
        MBEngine engine;
        engine.setPortCandidateSource([&] {
            return QStringList{other.slavePath(), pulled.slavePath()};
        });
        engine.MBRefreshPortList();
        QCOMPARE(engine.portList(), (QStringList{pulled.slavePath(), other.slavePath()}));
        QVERIFY(engine.MBOpenPort());
        QSignalSpy listed(&engine, &MBEngine::portListChanged);

        slave.hangUp();
        QTRY_VERIFY(!engine.MBPortOpen());
        // Probed again at once: the dead line is no longer offered, the other
        // port is selected and ready to open.
        QCOMPARE(listed.count(), 1);
        QCOMPARE(engine.portList(), QStringList{other.slavePath()});
        QCOMPARE(engine.MBLastUsedPort(), other.slavePath());
    }

    void closingFromInsideTheEndEventHandler()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        // Two replies in one chunk: the second must find the port closed.
        slave.setResponder([](const SlaveRequest &) {
            return FrameSlave::replyLine(1, 0, 0) + FrameSlave::replyLine(1, 0, 0);
        });
        MBEngine engine;
        EngineLog log(engine);
        connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &engine, [&] { engine.MBClosePort(); });
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        log.take();
        engine.MBSendFrame();
        QTRY_VERIFY(!engine.MBPortOpen());
        QCOMPARE(log.endEvents, 1);
        QCOMPARE(log.take().mid(6), (QStringList{"End(stOK:OK)", "Busy(true)",
                                                 "Now(stnPortError:Port Error)", "Port(false)"}));
        QCOMPARE(engine.MBNumberOfRxFrames(), 1u);
        // The reader retired once its hand-over had returned; the port is free.
        QTRY_VERIFY(PosixSerialDevice().open(pty.slavePath()).ok());
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
    }

    void sendingNeverWaitsForTheLine()
    {
        PtyPair pty;
        MBEngine engine;
        engine.setBaudRate(115200);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        // Broadcasts end once handed over, so they follow one another at
        // once, far more than the line holds while the other side is busy.
        engine.setMBMasterAddressToSlave(0);
        QByteArray expected;
        for (int frame = 0; frame < 8; ++frame) {
            QByteArray data(2043, Qt::Uninitialized);
            for (int i = 0; i < data.size(); ++i)
                data[i] = char(frame * 7 + i);
            engine.MBClearTXData();
            for (const char byte : data)
                engine.MBAppendByte(quint8(byte));
            engine.MBSendFrame();
            QCOMPARE(engine.MBStatus(), TMBStatus::stOK);
            QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnReady);
            expected += FrameSlave::encodeFrame(0, 0, 0, data);
        }
        QVERIFY(engine.outputWaiting() > 0);

        // The other program reads, and every character comes, in order.
        QByteArray received;
        std::thread other([&] {
            char buffer[4096];
            for (int idle = 0; received.size() < expected.size() && idle < 500;) {
                pollfd pfd{pty.masterFd(), POLLIN, 0};
                if (::poll(&pfd, 1, 10) <= 0) {
                    ++idle;
                    continue;
                }
                const auto n = ::read(pty.masterFd(), buffer, sizeof buffer);
                if (n > 0) received.append(buffer, n);
            }
        });
        other.join();
        QCOMPARE(received.size(), expected.size());
        QVERIFY(received == expected);
        QCOMPARE(engine.outputWaiting(), 0);
    }

    void aLineThatStaysFullFailsTheTransaction()
    {
        PtyPair pty; // nobody reads the other end
        MBEngine engine;
        engine.setBaudRate(115200);
        engine.setMBMasterTimeOut(50);
        engine.setMBMasterMaxTryNumber(3);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));
        engine.MBClearTXData();
        for (int i = 0; i < 2043; ++i)
            engine.MBAppendByte(quint8(i));
        engine.setMBMasterAddressToSlave(0);
        for (int frame = 0; frame < 10 && engine.outputWaiting() == 0; ++frame)
            engine.MBSendFrame();
        QVERIFY(engine.outputWaiting() > 0);

        engine.setMBMasterAddressToSlave(1);
        QSignalSpy ends(&engine, &MBEngine::OnMBMasterEndOfEvent);
        engine.MBSendFrame();
        // Handed over without a wait: the request stands in the queue and the
        // answer window runs.
        QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnWaitingForAnswer);
        QCOMPARE(ends.count(), 0);
        // That window ends in a port failure, not in a second try of a frame
        // that never left.
        QTRY_COMPARE(ends.count(), 1);
        QCOMPARE(ends.first().first().value<TMBStatus>(), TMBStatus::stPortError);
        QCOMPARE(engine.MBMasterTryNumber(), 1);
        QCOMPARE(engine.outputWaiting(), 0);
    }

    void deletingTheEngineFromItsOwnHandler_data()
    {
        QTest::addColumn<QString>("handler");
        for (const char *handler :
             {"end of a reply", "status at a reply's start", "busy at a reply's end",
              "end of a time-out", "port lost", "slave command", "diagnostic frame",
              "byte mode chunk", "string mode text"})
            QTest::newRow(handler) << QString::fromLatin1(handler);
    }
    void deletingTheEngineFromItsOwnHandler()
    {
        QFETCH(QString, handler);
        PtyPair pty;
        FrameSlave slave(pty);
        // More characters behind each reply, so the engine has more to do
        // after the handler that deleted it.
        slave.setResponder([](const SlaveRequest &) {
            return FrameSlave::replyLine(1, 0, 0) + FrameSlave::replyLine(1, 0, 0);
        });
        auto *engine = new MBEngine;
        const QPointer<MBEngine> alive(engine);
        const auto destroy = [&] { delete alive.data(); };
        engine->setMBMasterTimeOut(20);
        engine->setMBMasterMaxTryNumber(1);
        const QByteArray request = FrameSlave::encodeFrame(1, 0, 5, "ab") + "\x01\x02";
        const TMBMode mode = handler == "slave command"      ? TMBMode::modeSlave
                             : handler == "diagnostic frame" ? TMBMode::modeDiagnostic
                             : handler == "byte mode chunk"  ? TMBMode::modeByte
                             : handler == "string mode text" ? TMBMode::modeString
                                                             : TMBMode::modeMaster;
        engine->setMBMode(mode);
        engine->setMBStopByteInStringMode(2);
        QVERIFY(engine->MBOpenPort(pty.slavePath()));

        // The handler is for the traffic that follows the opening.
        if (handler == "status at a reply's start") {
            connect(engine, &MBEngine::OnMBStatusNowChanged, [&](TMBStatusNow now) {
                if (now == TMBStatusNow::stnReceiving) destroy();
            });
        } else if (handler == "busy at a reply's end") {
            connect(engine, &MBEngine::OnMBBusyChanged, [&](bool busy) {
                if (!busy) destroy();
            });
        } else if (handler == "port lost") {
            connect(engine, &MBEngine::OnMBPortOpenedOrClosed, destroy);
        } else if (mode == TMBMode::modeMaster) {
            connect(engine, &MBEngine::OnMBMasterEndOfEvent, destroy);
        }
        connect(engine, &MBEngine::OnMBSlaveReceivedCommand, destroy);
        connect(engine, &MBEngine::OnMBDiagnosticReceivedAFrame, destroy);
        connect(engine, &MBEngine::OnMBReceivedAByte, destroy);
        connect(engine, &MBEngine::OnMBReceivedAString, destroy);

        if (handler == "end of a time-out" || handler == "port lost") slave.stayQuiet();
        if (mode == TMBMode::modeMaster) {
            engine->MBSendFrame();
            if (handler == "port lost") {
                QTRY_COMPARE(slave.requestCount(), 1);
                slave.hangUp();
            }
        } else {
            if (mode == TMBMode::modeString) engine->MBSendFrame();
            QVERIFY(pty.write(request));
        }
        QTRY_VERIFY(alive.isNull());
        // Whatever was queued for the engine or its reader finds nothing.
        for (int round = 0; round < 5; ++round)
            QCoreApplication::processEvents();
        QTRY_VERIFY(PosixSerialDevice().open(pty.slavePath()).ok() || handler == "port lost");
    }

    void portFailuresHaveTheirKind_data()
    {
        QTest::addColumn<PortFailure>("kind");
        QTest::newRow("missing device") << PortFailure::NotFound;
        QTest::newRow("another holder") << PortFailure::Busy;
        QTest::newRow("no permission") << PortFailure::NoPermission;
        QTest::newRow("hang-up") << PortFailure::Lost;
    }
    void portFailuresHaveTheirKind()
    {
        QFETCH(PortFailure, kind);
        PtyPair pty;
        MBEngine engine;
        if (kind == PortFailure::NoPermission) {
            const SerialStatus refused = openAsUnprivileged(pty.slavePath());
            QCOMPARE(refused.kind, kind);
            QCOMPARE(refused.message, QString::fromLocal8Bit(strerror(refused.code)));
            return;
        }
        if (kind == PortFailure::NotFound) {
            QVERIFY(!engine.MBOpenPort(QStringLiteral("/dev/no-such-port-kx")));
        } else if (kind == PortFailure::Busy) {
            PortHolderProcess other(pty.slavePath(), false);
            QVERIFY(other.isHolding());
            QVERIFY(!engine.MBOpenPort(pty.slavePath()));
        } else {
            QVERIFY(engine.MBOpenPort(pty.slavePath()));
            QCOMPARE(engine.portFailure(), PortFailure::None);
            pty.closeMaster();
            QTRY_VERIFY(!engine.MBPortOpen());
        }
        QCOMPARE(engine.portFailure(), kind);
        // The user still reads the system's own words.
        QVERIFY2(engine.MBPortErrorText().count(u'\r') == 1, qPrintable(engine.MBPortErrorText()));
        QVERIFY(!engine.MBPortErrorText().endsWith(u'\r'));
    }

    void thousandOpenCloseCyclesUnderFlood()
    {
        PtyPair pty;
        // The peer floods replies and junk and swallows whatever we send.
        Flooder flooder(pty);
        const auto openDescriptors = [] {
            return QDir(QStringLiteral("/proc/self/fd"))
                .entryList(QDir::NoDotAndDotDot | QDir::System)
                .size();
        };
        const qsizetype descriptorsBefore = openDescriptors();
        MBEngine engine;
        int opened = 0, closed = 0;
        connect(&engine, &MBEngine::OnMBPortOpenedOrClosed,
                [&](bool open) { ++(open ? opened : closed); });
        for (int cycle = 0; cycle < 1000; ++cycle) {
            QVERIFY2(engine.MBOpenPort(pty.slavePath()), qPrintable(engine.MBPortErrorText()));
            if (cycle % 2) engine.MBSendFrame();
            if (cycle % 10 == 0) {
                // Now and then let the flood in for real before closing.
                const quint64 before = engine.readerHandOverCount();
                QVERIFY(QTest::qWaitFor([&] { return engine.readerHandOverCount() > before; }));
            } else if (cycle % 3) {
                QCoreApplication::processEvents();
            }
            engine.MBClosePort();
        }
        QCOMPARE(opened, 1000);
        QCOMPARE(closed, 1000);
        QVERIFY(!engine.MBPortOpen());
        QVERIFY(flooder.written > 0);
        QVERIFY(engine.readerHandOverCount() >= 100);
        QCOMPARE(openDescriptors(), descriptorsBefore); // port and stop event released each time
    }
};

QTEST_GUILESS_MAIN(TestMBEnginePort)
#include "tst_mbengine_port.moc"
