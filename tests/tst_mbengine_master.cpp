// Master transactions over a real pty with the test playing the slave:
// notification order, retries and timeout, result codes, foreign and late
// replies, broadcast, closed port, closing mid-transaction, sending time.
#include <QtTest>

#include "frame/mbframe.h"
#include "link/mbengine.h"
#include "support/enginelog.h"
#include "support/frameslave.h"
#include "support/ptypair.h"

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A frame line of any length (the codec's own builder stops at 2043 data
// bytes): start flag on the first byte, end flag on the last.
QByteArray rawFrameLine(const QByteArray &frame)
{
    QByteArray line;
    for (qsizetype i = 0; i < frame.size(); ++i) {
        const auto pair = mb::encodeByte(quint8(frame[i]), i == 0, i + 1 == frame.size());
        line.append(char(pair[0])).append(char(pair[1]));
    }
    return line;
}

// The link's log lines while a test runs.
QStringList *g_linkLog = nullptr;
void captureLinkLog(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (g_linkLog && QLatin1String(context.category) == QLatin1String("kx4720r.link"))
        *g_linkLog << text;
}

} // namespace

class TestMBEngineMaster : public QObject {
    Q_OBJECT

    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<FrameSlave> slave;
    std::unique_ptr<MBEngine> engine;
    std::unique_ptr<EngineLog> log;

private slots:
    void init()
    {
        pty = std::make_unique<PtyPair>();
        QVERIFY(pty->isValid());
        slave = std::make_unique<FrameSlave>(*pty);
        engine = std::make_unique<MBEngine>();
        engine->setMBBaud(TMBBaud::baud115200);
        engine->setMBMasterCommandToSlave(1);
        // Generous allowance: answered transactions must never time out on a
        // loaded machine. Tests about timeouts set their own short one.
        engine->setMBMasterTimeOut(1000);
        log = std::make_unique<EngineLog>(*engine);
        QVERIFY(engine->MBOpenPort(pty->slavePath()));
        log->take();
    }
    void cleanup()
    {
        log.reset();
        engine.reset();
        slave.reset();
        pty.reset();
    }

    void successfulTransactionInOrder()
    {
        slave->answerAll(1, 0, bytes({0x64, 0x00, 0x01, 0x02, 0x03, 0x04}));
        engine->MBClearTXData();
        engine->MBAppendWord(0x1234);
        engine->MBAppendByte(5);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->take(), (QStringList{"Busy(true)", "Now(stnSending:Sending)",
                                           "Now(stnWaitingForAnswer:Waiting For Answer)",
                                           "Now(stnReceiving:Receiving)", "Now(stnReady:Ready)",
                                           "Busy(false)", "End(stOK:OK)"}));
        // The request on the line, character by character.
        QCOMPARE(slave->line(), bytes({0x01, 0xC0, 0x00, 0x40, 0x01, 0x40, 0x04, 0x43, 0x02, 0x41,
                                       0x05, 0x40, 0x0D, 0x48, 0x0B, 0x65}));
        QCOMPARE(engine->MBStatus(), TMBStatus::stOK);
        QCOMPARE(engine->MBStatusString(), QStringLiteral("OK"));
        QVERIFY(!engine->MBBusy());
        QCOMPARE(engine->MBNumberOfTxFrames(), 1u);
        QCOMPARE(engine->MBNumberOfRxFrames(), 1u);
        QCOMPARE(engine->MBMasterTryNumber(), 1);
        QCOMPARE(engine->MBReceivedDataNumber(), 6);
        QCOMPARE(engine->MBReadWord(), quint16(100));
        QCOMPARE(engine->MBReadCardinal(), 0x04030201u);
        QCOMPARE(engine->MBReadByte(), quint8(0)); // past the data
    }

    void hostSendsTheNextRequestFromTheEndEvent()
    {
        slave->answerAll(1, 0, bytes({7}));
        int ended = 0;
        connect(engine.get(), &MBEngine::OnMBMasterEndOfEvent, engine.get(), [&](TMBStatus s) {
            QCOMPARE(s, TMBStatus::stOK);
            if (++ended < 25) engine->MBSendFrame();
        });
        engine->MBSendFrame();
        QTRY_COMPARE(ended, 25);
        QCOMPARE(slave->requestCount(), 25);
        QCOMPARE(engine->MBNumberOfTxFrames(), 25u);
        QCOMPARE(engine->MBNumberOfRxFrames(), 25u);
    }

    void timeoutAfterMaxTryNumberTransmissions()
    {
        engine->setMBMasterTimeOut(40);
        engine->setMBMasterMaxTryNumber(3);
        QSignalSpy bars(engine.get(), &MBEngine::tryBarsChanged);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(slave->requestCount(), 3);
        for (const auto &request : slave->requests())
            QCOMPARE(request.frame, slave->requests()[0].frame);
        const QStringList entries = log->take();
        QCOMPARE(
            entries.mid(entries.size() - 3),
            (QStringList{"Now(stnTimeOut:Time Out)", "Busy(false)", "End(stTimeOut:Time Out)"}));
        // Each re-send: sending, then waiting again.
        QCOMPARE(entries.count("Now(stnSending:Sending)"), 3);
        QCOMPARE(engine->MBStatus(), TMBStatus::stTimeOut);
        QCOMPARE(engine->MBMasterTryNumber(), 3);
        QCOMPARE(engine->MBMasterTryNumberMax(), 3);
        QCOMPARE(engine->MBNumberOfTxFrames(), 1u); // re-sends are not counted
        QCOMPARE(bars.count(), 3);
        QCOMPARE(bars.at(0), (QVariantList{33, 33}));
        QCOMPARE(bars.at(1), (QVariantList{67, 67}));
        QCOMPARE(bars.at(2), (QVariantList{100, 100}));
    }

    void successOnTheSecondTry()
    {
        engine->setMBMasterTimeOut(300);
        engine->setMBMasterMaxTryNumber(5);
        slave->setResponder([&](const SlaveRequest &request) {
            return slave->requestCount() < 2 ? QByteArray()
                                             : FrameSlave::replyLine(1, request.id, 0, bytes({9}));
        });
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        QCOMPARE(slave->requestCount(), 2);
        QCOMPARE(engine->MBMasterTryNumber(), 2);
        QVERIFY(engine->MBMasterTryNumberMax() >= 2);
        QCOMPARE(engine->MBNumberOfTxFrames(), 1u);
        QCOMPARE(engine->MBNumberOfRxFrames(), 1u);
        QCOMPARE(engine->MBReadByte(), quint8(9));
    }

    void resultCode128IsSuccessAnd129AGlobalError()
    {
        slave->answerAll(1, 128);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        QCOMPARE(log->lastEndText, QStringLiteral("OK"));
        QCOMPARE(engine->MBNumberOfRxFrames(), 1u);

        QSignalSpy lamp(engine.get(), &MBEngine::statusLampChanged);
        slave->answerAll(1, 129, bytes({0x2A}));
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 2);
        QCOMPARE(log->lastEndStatus, TMBStatus::stSlaveGlobalError);
        QCOMPARE(log->lastEndText, QStringLiteral("Slave Global Error: #129"));
        QCOMPARE(engine->MBStatusString(), QStringLiteral("Slave Global Error: #129"));
        QCOMPARE(lamp.last().at(0).value<TMBLamp>(), TMBLamp::Orange);
        QVERIFY(!engine->MBBusy());
        QCOMPARE(engine->MBNumberOfRxFrames(), 1u);   // not counted
        QCOMPARE(engine->MBReadByte(), quint8(0x2A)); // the data is still there
    }

    void replyFromAnotherSlaveIsDropped()
    {
        engine->setMBMasterTimeOut(40);
        engine->setMBMasterMaxTryNumber(1);
        slave->answerAll(2, 0, bytes({1, 2}));
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stTimeOut);
        QCOMPARE(engine->MBNumberOfRxFrames(), 0u);
        QCOMPARE(engine->MBReceivedDataNumber(), 0);
        QVERIFY(!log->entries.contains("Now(stnReceiving:Receiving)"));
    }

    void malformedAndEchoedFramesAreDropped()
    {
        engine->setMBMasterTimeOut(40);
        engine->setMBMasterMaxTryNumber(1);
        slave->setResponder([](const SlaveRequest &request) {
            QByteArray badCrc = FrameSlave::replyLine(1, 0, 0, bytes({1}));
            badCrc[badCrc.size() - 2] = char(badCrc[badCrc.size() - 2] ^ 0x01);
            // Our own request echoed (bit 7 clear), a reply with a bad CRC,
            // and a start that never ends before the timeout.
            return FrameSlave::encodeFrame(request.address, 0, 1) + badCrc + bytes({0x01, 0xC1});
        });
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stTimeOut);
        const QStringList entries = log->take();
        QVERIFY(entries.contains("Now(stnReceiving:Receiving)"));
        QCOMPARE(engine->MBNumberOfRxFrames(), 0u);
    }

    void broadcastEndsAtOnce()
    {
        engine->setMBMasterAddressToSlave(0);
        engine->MBSendFrame();
        // Synchronously, before any reply could come.
        QCOMPARE(log->take(), (QStringList{"Busy(true)", "Now(stnSending:Sending)", "Busy(false)",
                                           "Now(stnReady:Ready)", "End(stOK:OK)"}));
        QVERIFY(!engine->MBBusy());
        QCOMPARE(engine->MBCalculatedTimeOfSending(), 0); // no answer timer was set up
        QTRY_COMPARE(slave->requestCount(), 1);
        QCOMPARE(slave->requests()[0].address, quint8(0));
    }

    void queryModeSetsBit6()
    {
        engine->setMBMasterQueryMode(true);
        engine->setMBMasterAddressToSlave(3);
        engine->setMBMasterIDToSlave(9);
        slave->answerAll(3, 0);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(slave->requests()[0].address, quint8(0x43));
        QCOMPARE(slave->requests()[0].id, quint8(9));
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
    }

    void lateReplyEndsAgain()
    {
        engine->setMBMasterTimeOut(40);
        engine->setMBMasterMaxTryNumber(1);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stTimeOut);
        QVERIFY(pty->write(FrameSlave::replyLine(1, 0, 0, bytes({5}))));
        QTRY_COMPARE(log->endEvents, 2);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        QCOMPARE(engine->MBReadByte(), quint8(5));
    }

    void repliesReceivedBeforeARequestDoNotAnswerIt()
    {
        engine->setMBMasterTimeOut(40);
        engine->setMBMasterMaxTryNumber(1);
        QList<TMBStatus> ends;
        QList<int> data;
        connect(engine.get(), &MBEngine::OnMBMasterEndOfEvent, engine.get(), [&](TMBStatus s) {
            ends.append(s);
            data.append(s == TMBStatus::stOK ? engine->MBReadByte() : -1);
            if (ends.size() == 1) engine->MBSendFrame(); // the next request, as the window does
        });
        engine->MBSendFrame();
        QTRY_COMPARE(slave->requestCount(), 1);
        // The answer and a second, late one arrive together.
        QVERIFY(pty->write(FrameSlave::replyLine(1, 0, 0, bytes({1})) +
                           FrameSlave::replyLine(1, 0, 0, bytes({2}))));
        QTRY_COMPARE(ends.size(), 2);
        QCOMPARE(ends.first(), TMBStatus::stOK);
        QCOMPARE(data.first(), 1);
        // The second request got no answer of its own.
        QCOMPARE(ends.last(), TMBStatus::stTimeOut);
    }

    void sendingAgainAbandonsTheRunningTransaction()
    {
        engine->setMBMasterMaxTryNumber(1);
        engine->setMBMasterTimeOut(5000);
        engine->MBSendFrame();
        QTRY_COMPARE(slave->requestCount(), 1);
        slave->answerAll(1, 0);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        QCOMPARE(engine->MBMasterTryNumber(), 1);
        QCOMPARE(engine->MBNumberOfTxFrames(), 2u);
        QCOMPARE(log->entries.count("End(stOK:OK)"), 1);
    }

    void sendOnAClosedPortFailsAtOnce()
    {
        engine->MBClosePort();
        log->take();
        engine->MBSendFrame();
        QCOMPARE(log->take(), QStringList{"End(stPortError:Port Error)"});
        QVERIFY(engine->MBBusy());
        QCOMPARE(engine->MBStatus(), TMBStatus::stPortError);
        QCOMPARE(engine->MBStatusNow(), TMBStatusNow::stnPortError);
        QCOMPARE(engine->MBNumberOfTxFrames(), 0u);
    }

    void closingDuringATransaction()
    {
        engine->MBSendFrame();
        QTRY_COMPARE(slave->requestCount(), 1);
        log->take();
        engine->MBClosePort();
        QCOMPARE(log->take(), (QStringList{"Now(stnPortError:Port Error)",
                                           "End(stPortError:Port Error)", "Port(false)"}));
        QVERIFY(engine->MBBusy());
        QVERIFY(!engine->MBPortOpen());
        // Nothing more from the stopped answer timer, nor from a reply.
        pty->write(FrameSlave::replyLine(1, 0, 0));
        engine->setMBMasterTimeOut(0);
        engine->MBSendFrame();
        QCOMPARE(log->endEvents, 2);
    }

    void closingWhenIdleHasNoEndEvent()
    {
        slave->answerAll(1, 0);
        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, 1);
        log->take();
        engine->MBClosePort();
        QCOMPARE(log->take(),
                 (QStringList{"Busy(true)", "Now(stnPortError:Port Error)", "Port(false)"}));
    }

    void sendingTimeExamples()
    {
        QCOMPARE(MBEngine::calculateTimeOfSending(98, 115200), 19);
        QCOMPARE(MBEngine::calculateTimeOfSending(6, 9600), 24);
        QCOMPARE(MBEngine::calculateTimeOfSending(0, 921600), 1);
        // 2048 bytes at 75 baud: far beyond 16 bits.
        QCOMPARE(MBEngine::calculateTimeOfSending(2043, 75), 546134);

        slave->answerAll(1, 0);
        engine->MBClearTXData();
        for (int i = 0; i < 98; ++i)
            engine->MBAppendByte(quint8(i));
        engine->MBSendFrame();
        QCOMPARE(engine->MBCalculatedTimeOfSending(), 19);
        QCOMPARE(engine->answerInterval(), 19 + 1000);
        QTRY_COMPARE(log->endEvents, 1);
    }

    void longSendingTimeIsClampedButTimedInFull()
    {
        engine->MBClosePort();
        engine->setMBBaud(TMBBaud::baud000075);
        QVERIFY(engine->MBOpenPort(pty->slavePath()));
        engine->setMBDataNumberToSend(2043);
        engine->MBSendFrame();
        QCOMPARE(engine->MBCalculatedTimeOfSending(), 65535);
        QCOMPARE(engine->sendingTimeFull(), 546134);
        QCOMPARE(engine->answerInterval(), 546134 + 1000);
        // A pty does not pace the characters: the reply is there long before.
        slave->answerAll(1, 0);
        QTRY_COMPARE(log->endEvents, 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        QCOMPARE(slave->requests()[0].data.size(), 2043);
    }

    void propertiesClamp()
    {
        engine->setMBMasterMaxTryNumber(0);
        QCOMPARE(engine->MBMasterMaxTryNumber(), 1);
        engine->setMBMasterMaxTryNumber(200);
        QCOMPARE(engine->MBMasterMaxTryNumber(), 100);
        engine->setMBMasterAddressToSlave(20);
        QCOMPARE(engine->MBMasterAddressToSlave(), 15);
        engine->setMBMasterTimeOut(70000);
        QCOMPARE(engine->MBMasterTimeOut(), 65535);
        engine->setMBMasterMaxTryNumber(0); // by name: TMB's property (tst_mbproperties)
        QCOMPARE(engine->MBMasterMaxTryNumber(), 1);
        engine->setMBMBTXDataBufferIndex(5000);
        QCOMPARE(engine->MBMBTXDataBufferIndex(), 2043);
        engine->setMBDataNumberToSend(3000);
        QCOMPARE(engine->MBDataNumberToSend(), 2043);
    }

    void eachDiscardIsCountedWithItsReason_data()
    {
        QTest::addColumn<QByteArray>("before"); // what precedes a good reply on the line
        QTest::addColumn<DiscardReason>("reason");
        QTest::addColumn<int>("count");
        const QByteArray good = FrameSlave::replyLine(1, 0, 0, "ab");
        QByteArray corrupted = good;
        corrupted[6] = char(corrupted[6] ^ 0x01); // a data nibble
        QTest::newRow("bad CRC") << corrupted << DiscardReason::BadCrc << 1;
        QTest::newRow("too short")
            << rawFrameLine(bytes({0x81, 0x00, 0x00})) << DiscardReason::BadCrc << 1;
        QTest::newRow("another station")
            << FrameSlave::replyLine(2, 0, 0) << DiscardReason::ForeignFrame << 1;
        QTest::newRow("our own echo")
            << FrameSlave::encodeFrame(0x01, 0, 1) << DiscardReason::ForeignFrame << 1;
        QTest::newRow("overlong") << rawFrameLine(bytes({0x81, 0, 0}) + QByteArray(2100, 'x'))
                                  << DiscardReason::Overlong << 1;
        QTest::newRow("start in mid-frame") << good.left(8) << DiscardReason::StartInFrame << 1;
        QTest::newRow("outside a frame")
            << QByteArray("\x45\x46\x47") << DiscardReason::OutsideFrame << 3;
        // A second reply in the chunk of the first, read before the host's
        // next request went out.
        QTest::newRow("late reply") << QByteArray() << DiscardReason::LateReply << 1;
    }
    void eachDiscardIsCountedWithItsReason()
    {
        QFETCH(QByteArray, before);
        QFETCH(DiscardReason, reason);
        QFETCH(int, count);
        const bool late = reason == DiscardReason::LateReply;
        const QByteArray good = FrameSlave::replyLine(1, 0, 0, "ab");
        slave->setResponder([&](const SlaveRequest &) {
            const bool first = slave->requestCount() == 1;
            return late && first ? good + good : before + good;
        });
        if (late) {
            // The host sends its next request from the end event, as the window does.
            connect(engine.get(), &MBEngine::OnMBMasterEndOfEvent, engine.get(), [this] {
                if (slave->requestCount() == 1) engine->MBSendFrame();
            });
        }
        QStringList lines;
        g_linkLog = &lines;
        const auto previous = qInstallMessageHandler(captureLinkLog);
        QLoggingCategory::setFilterRules(QStringLiteral("kx4720r.link.debug=true"));
        const auto restore = qScopeGuard([previous] {
            QLoggingCategory::setFilterRules(QString());
            qInstallMessageHandler(previous);
            g_linkLog = nullptr;
        });

        engine->MBSendFrame();
        QTRY_COMPARE(log->endEvents, late ? 2 : 1);
        QCOMPARE(log->lastEndStatus, TMBStatus::stOK);
        MBDiscardCounts expected;
        expected[reason] = quint32(count);
        const MBDiscardCounts counted = engine->discardCounts();
        for (const DiscardReason each : mb::kDiscardReasons)
            QVERIFY2(counted[each] == expected[each], mb::discardReasonText(each));
        // One line in the link's log, naming the reason.
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QLatin1String(mb::discardReasonText(reason))),
                 qPrintable(lines.first()));
        // Counted since the opening: a new opening starts from nothing.
        engine->MBClosePort();
        QVERIFY(engine->MBOpenPort(pty->slavePath()));
        QCOMPARE(engine->discardCounts(), MBDiscardCounts{});
    }

    void speedCountsTransactionsPerSecond()
    {
        slave->answerAll(1, 0);
        connect(engine.get(), &MBEngine::OnMBMasterEndOfEvent, engine.get(), [&] {
            if (engine->MBPortOpen()) engine->MBSendFrame();
        });
        QSignalSpy speed(engine.get(), &MBEngine::speedChanged);
        engine->MBSendFrame();
        // The first tick is the start-up; measurements follow.
        QTRY_VERIFY_WITH_TIMEOUT(engine->MBSpeed() > 0, 5000);
        QVERIFY(engine->MBSpeedMax() >= engine->MBSpeed());
        engine->MBClosePort();
        QCOMPARE(engine->MBSpeed(), 0u);
        QCOMPARE(engine->MBSpeedMax(), 0u);
        QCOMPARE(speed.last(), (QVariantList{0u, 0u}));
    }
};

QTEST_GUILESS_MAIN(TestMBEngineMaster)
#include "tst_mbengine_master.moc"
