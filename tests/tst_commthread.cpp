// The reader thread: chunks reach the owning thread in order, a dead port is
// reported once and then no longer watched, and stopping never deadlocks,
// not from inside a handler and not with a hand-over pending.
#include <QtTest>

#include "link/commthread.h"
#include "link/serialdevice_posix.h"
#include "support/ptypair.h"

#include <chrono>
#include <thread>

namespace {

std::unique_ptr<SerialDevice> openDevice(const PtyPair &pty)
{
    auto device = std::make_unique<PosixSerialDevice>();
    if (!device->open(pty.slavePath()).ok() || !device->setLineSettings(115200).ok()) return {};
    return device;
}

// Spins without servicing the event loop (which would service the hand-over).
bool waitWithoutEvents(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace

class TestCommThread : public QObject {
    Q_OBJECT
private slots:
    void chunksArriveInOrderOnTheOwningThread()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        QByteArray received;
        bool onOwnThread = true;
        reader.setReceiveHandler([&](const QByteArray &chunk) {
            onOwnThread = onOwnThread && QThread::currentThread() == thread();
            received += chunk;
        });
        reader.start();
        QByteArray sent;
        for (int i = 0; i < 50; ++i) {
            const QByteArray piece = QByteArray::number(i) + ',';
            QVERIFY(pty.write(piece));
            sent += piece;
        }
        QTRY_COMPARE(received, sent);
        QVERIFY(onOwnThread);
        QVERIFY(reader.handOverCount() >= 1);
        reader.stop();
    }

    void hangUpIsReportedOnceAndThePortNoLongerWatched()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        int failures = 0;
        SerialStatus reason;
        reader.setReceiveHandler([](const QByteArray &) {});
        // This owner does not close the port: the reader itself must stop
        // watching it, or poll() would report the hang-up for ever.
        reader.setFailureHandler([&](const SerialStatus &why) {
            ++failures;
            reason = why;
        });
        reader.start();
        QVERIFY(reader.isWatchingPort());
        pty.closeMaster();
        QTRY_COMPARE(failures, 1);
        QCOMPARE(reason.code, EIO);
        QTRY_VERIFY(!reader.isWatchingPort());
        const quint64 handOvers = reader.handOverCount();
        QVERIFY(handOvers <= 2);
        QCoreApplication::processEvents();
        QCOMPARE(reader.handOverCount(), handOvers);
        QCOMPARE(failures, 1);
        reader.stop();
    }

    void stopFromInsideTheReceiveHandler()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        int chunks = 0;
        reader.setReceiveHandler([&](const QByteArray &) {
            ++chunks;
            reader.detachHandlers();
            reader.stop();
            QVERIFY(reader.isHandingOver());
        });
        reader.start();
        QVERIFY(pty.write("abc"));
        QTRY_COMPARE(chunks, 1);
        QVERIFY(!reader.isHandingOver());
        QVERIFY(!reader.isWatchingPort());
        QVERIFY(pty.write("more"));
        QCoreApplication::processEvents();
        QCOMPARE(chunks, 1);
    }

    void stopWithAHandOverPendingDoesNotDeadlock()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        int chunks = 0;
        reader.setReceiveHandler([&](const QByteArray &) { ++chunks; });
        reader.start();
        QVERIFY(pty.write("pending"));
        QVERIFY(waitWithoutEvents([&] { return reader.hasPendingHandOver(); }));
        reader.detachHandlers();
        reader.stop(); // the reader waits for us; stopping withdraws its hand-over
        QVERIFY(!reader.hasPendingHandOver());
        QCoreApplication::processEvents(); // the queued call finds nothing to do
        QCOMPARE(chunks, 0);
    }

    void restartAfterStop()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        QByteArray received;
        reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
        reader.start();
        reader.stop();
        reader.start();
        QVERIFY(pty.write("again"));
        QTRY_COMPARE(received, QByteArray("again"));
    }
};

QTEST_GUILESS_MAIN(TestCommThread)
#include "tst_commthread.moc"
