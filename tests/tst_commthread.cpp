// The reader thread: chunks reach the owning thread in order, a dead port is
// reported once and then no longer watched, stopping never deadlocks, not
// from inside a handler and not with a hand-over pending, and in frame mode
// the pieces of a frame are handed over together, also when the reader
// sleeps through a frame's line time.
#include <QtTest>

#include "frame/mbframe.h"
#include "link/commthread.h"
#include "serial/serialdevice_posix.h"
#include "support/ptypair.h"

#include <chrono>
#include <thread>

namespace {

std::unique_ptr<SerialDevice> openDevice(const PtyPair &pty, std::uint32_t baud = 115200)
{
    auto device = std::make_unique<PosixSerialDevice>();
    if (!device->open(pty.slavePath()).ok() || !device->setLineSettings(baud).ok()) return {};
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

// The line characters of frame bytes; the last byte of a frame carries the
// end flag.
QByteArray lineOf(std::initializer_list<std::uint8_t> bytes, bool start, bool end)
{
    QByteArray line;
    std::size_t i = 0;
    for (const std::uint8_t byte : bytes) {
        const mb::CharPair pair =
            mb::encodeByte(byte, start && i == 0, end && i + 1 == bytes.size());
        line.append(char(pair[0])).append(char(pair[1]));
        ++i;
    }
    return line;
}

constexpr std::chrono::minutes kNoLimit{1}; // longer than any test waits

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

    void whatComesWhileTheOwnerIsBusyArrivesOnceInOrder_data()
    {
        QTest::addColumn<QList<QByteArray>>("writes");
        QTest::newRow("pieces") << QList<QByteArray>{"one,", "two,", "three"};
        // More than one read takes, and more than the line's own buffer holds.
        QByteArray backlog(20000, Qt::Uninitialized);
        for (qsizetype i = 0; i < backlog.size(); ++i)
            backlog[i] = char(i * 7 % 251);
        QTest::newRow("backlog") << QList<QByteArray>{backlog};
    }
    void whatComesWhileTheOwnerIsBusyArrivesOnceInOrder()
    {
        QFETCH(QList<QByteArray>, writes);
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        QByteArray received;
        reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
        reader.start();
        // The owning thread services no events meanwhile: the reader goes on
        // reading, and what it reads joins the batch already waiting.
        QByteArray sent;
        for (const QByteArray &piece : writes) {
            QVERIFY(pty.write(piece));
            sent += piece;
            QVERIFY(waitWithoutEvents([&] { return reader.charactersWaiting() == sent.size(); }));
        }
        QCoreApplication::processEvents();
        QCOMPARE(received, sent);
        QCOMPARE(reader.handOverCount(), quint64(1));
        QVERIFY(pty.write("next"));
        QTRY_COMPARE(received, sent + "next");
        QCOMPARE(reader.handOverCount(), quint64(2));
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
        reader.stop(); // the call on its way belongs to a reader now gone
        QVERIFY(!reader.hasPendingHandOver());
        QCoreApplication::processEvents(); // the queued call finds nothing to do
        QCOMPARE(chunks, 0);
    }

    void framePiecesAreHandedOverTogether()
    {
        PtyPair pty;
        TCommThread reader(openDevice(pty));
        reader.setGatherFrames(true, kNoLimit);
        QByteArray received;
        reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
        reader.start();

        const QByteArray head = lineOf({0x81, 0x00, 0x00}, true, false);
        const QByteArray tail = lineOf({0x12, 0x34}, false, true);
        QVERIFY(pty.write(head));
        QVERIFY(waitWithoutEvents([&] { return reader.heldCharacters() == head.size(); }));
        QCoreApplication::processEvents();
        QCOMPARE(received, QByteArray());
        QCOMPARE(reader.handOverCount(), quint64(0));
        QVERIFY(pty.write(tail));
        QTRY_COMPARE(received, head + tail);
        QCOMPARE(reader.handOverCount(), quint64(1));

        // A character with both flags opens a frame: it ends nothing.
        const QByteArray startAndEnd = lineOf({0x55}, true, true);
        QVERIFY(pty.write(startAndEnd));
        QVERIFY(waitWithoutEvents([&] { return reader.heldCharacters() == startAndEnd.size(); }));
        // Stopping while characters are held neither waits for the limit nor
        // delivers them.
        reader.detachHandlers();
        reader.stop();
        QCOMPARE(received, head + tail);
    }

    void unfinishedFramesAreNotHeldForEver()
    {
        const QByteArray piece = lineOf({0x81, 0x00}, true, false);
        {
            // Raw characters: each batch goes as it comes.
            PtyPair pty;
            TCommThread reader(openDevice(pty));
            QByteArray received;
            reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
            reader.start();
            reader.setGatherFrames(false);
            QVERIFY(pty.write(piece));
            QTRY_COMPARE(received, piece);
        }
        {
            // A frame cut short goes after the limit.
            PtyPair pty;
            TCommThread reader(openDevice(pty));
            reader.setGatherFrames(true, std::chrono::milliseconds(30));
            QByteArray received;
            reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
            reader.start();
            QVERIFY(pty.write(piece));
            QTRY_COMPARE(received, piece);
            QCOMPARE(reader.heldCharacters(), 0);
        }
        {
            // Pulling the cable delivers what came before it, then the failure.
            PtyPair pty;
            TCommThread reader(openDevice(pty));
            reader.setGatherFrames(true, kNoLimit);
            QByteArray received;
            int failures = 0;
            reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
            reader.setFailureHandler([&](const SerialStatus &) {
                QCOMPARE(received, piece);
                ++failures;
            });
            reader.start();
            QVERIFY(pty.write(piece));
            QVERIFY(waitWithoutEvents([&] { return reader.heldCharacters() == piece.size(); }));
            pty.closeMaster();
            QTRY_COMPARE(failures, 1);
            QCOMPARE(received, piece);
            reader.stop();
        }
    }

    // Once a frame has begun, the reader sleeps through the line time its rest
    // needs, as long as the last frame of its kind was: the reader here has
    // learnt a frame (`learnt`) and holds the head of the next one of its kind.
    void sleepThroughAFrame_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("dataBytes");
        QTest::addColumn<QString>("then");
        // The end, coming while the reader sleeps, is taken with the rest.
        QTest::newRow("end during the sleep") << 9600 << 24 << "end";
        // A rest written back to back, far faster than the 800 s its line
        // time says, is taken as it comes, not after a sleep through that time.
        QTest::newRow("rest faster than the line") << 50 << 2000 << "end";
        // A cable pulled during the sleep is still reported, after what came.
        QTest::newRow("hang-up during the sleep") << 9600 << 24 << "hang-up";
        // The stop event ends the sleep: the rest of this frame takes 800 s at
        // 50 baud, far beyond the test's own time limit.
        QTest::newRow("stop during the sleep") << 50 << 2000 << "stop";
    }
    void sleepThroughAFrame()
    {
        QFETCH(int, baud);
        QFETCH(int, dataBytes);
        QFETCH(QString, then);
        const std::vector<std::uint8_t> data(std::size_t(dataBytes), 0x5A);
        const std::vector<std::uint8_t> line = mb::encodeLine(mb::makeFrame(0x81, 0, 7, data));
        const QByteArray learnt(reinterpret_cast<const char *>(line.data()),
                                qsizetype(line.size()));
        const QByteArray head = learnt.first(8);
        PtyPair pty;
        TCommThread reader(openDevice(pty, std::uint32_t(baud)));
        reader.setGatherFrames(true, std::chrono::hours(1));
        QByteArray received;
        int failures = 0;
        reader.setReceiveHandler([&](const QByteArray &chunk) { received += chunk; });
        reader.setFailureHandler([&](const SerialStatus &) { ++failures; });
        reader.start();
        QVERIFY(pty.write(learnt));
        QTRY_COMPARE(received, learnt);
        QVERIFY(pty.write(head));
        QVERIFY(waitWithoutEvents([&] { return reader.heldCharacters() == head.size(); }));
        if (then == "end") {
            QVERIFY(pty.write(learnt.mid(head.size())));
            QTRY_COMPARE(received, learnt + learnt);
            QCOMPARE(reader.handOverCount(), quint64(2));
        } else if (then == "hang-up") {
            pty.closeMaster();
            QTRY_COMPARE(failures, 1);
            QCOMPARE(received, learnt + head);
        } else {
            reader.detachHandlers();
            reader.stop();
            QVERIFY(!reader.isWatchingPort());
            QCOMPARE(received, learnt);
        }
        reader.stop();
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
