// Which request a reply answers, over a real pty against a peer that answers
// every request once and in turn, each after a delay of its own and tagged
// with the request it answers: replies just past the answer window, and
// sequences of them, never pass for the answer to a later request, and each
// one not taken is counted as late. And a slow line leaves the reply room.
#include <QtTest>

#include "link/mbengine.h"
#include "support/simulator_runner.h"
#include "support/slowpeer.h"

class TestReplyMatching : public QObject {
    Q_OBJECT

private slots:
    void everyAnswerIsTheReplyToItsOwnRequest_data()
    {
        QTest::addColumn<QList<int>>("delays"); // ms per request, -1: never answered
        // The answer window is 3 ms of sending and 60 ms of allowance.
        QTest::newRow("each just past the window") << QList<int>{85};
        QTest::newRow("a sequence") << QList<int>{0, 90, 0, 75, 120, 0, 0, 100, 70, 5, 66};
        QTest::newRow("a request lost") << QList<int>{0, 0, -1, 0, 0, 0};
    }
    void everyAnswerIsTheReplyToItsOwnRequest()
    {
        QFETCH(QList<int>, delays);
        PtyPair pty;
        SlowPeer peer(pty, delays);
        MBEngine engine;
        engine.setMBBaud(TMBBaud::baud115200);
        engine.setMBMasterTimeOut(60);
        QVERIFY(engine.MBOpenPort(pty.slavePath()));

        // The host sends its next request from the end event, as the window
        // does; each request carries its own number.
        quint32 tag = 0;
        int answers = 0;
        QStringList stale;
        const auto send = [&] {
            engine.MBClearTXData();
            engine.MBAppendCardinal(++tag);
            engine.MBSendFrame();
        };
        connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &engine, [&](TMBStatus status) {
            if (status == TMBStatus::stOK) {
                ++answers;
                const quint32 answered = engine.MBReadCardinal();
                if (answered != tag)
                    stale << QStringLiteral("request %1 answered by the reply to %2")
                                 .arg(tag)
                                 .arg(answered);
            }
            if (answers < 12) send();
        });
        send();
        QTRY_VERIFY_WITH_TIMEOUT(answers == 12, 20000);
        QVERIFY2(stale.isEmpty(), qPrintable(stale.join(u'\n')));
        // Every reply the peer sent that answered nothing is counted as late.
        QTRY_VERIFY(peer.idle());
        QTRY_COMPARE(int(engine.discardCounts().lateReply), peer.repliesSent() - answers);
        QCOMPARE(engine.discardCounts().total(), engine.discardCounts().lateReply);
    }

    void aSlowLineLeavesTheReplyItsTime_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("allowance"); // ms, for the instrument's 88-byte reply
        // Where the reply fits in MBMasterTimeOut, the window is as it was.
        QTest::newRow("115200") << 115200 << 1000;
        QTest::newRow("2400") << 2400 << 1000;
        // Below, it is the reply's line time and a quarter of it for the instrument.
        QTest::newRow("1800") << 1800 << 1034 + 259;
        QTest::newRow("300") << 300 << 6200 + 1550;
    }
    void aSlowLineLeavesTheReplyItsTime()
    {
        QFETCH(int, baud);
        QFETCH(int, allowance);
        MBEngine engine;
        engine.setBaudRate(quint32(baud));
        engine.setExpectedReplyDataBytes(88);
        QCOMPARE(engine.answerAllowance(), allowance);
        if (baud != 1800) return;

        // On a line that takes its time both ways, the exchange succeeds at
        // the first try.
        SimFaults paced;
        paced.pace = true;
        SimulatorRunner sim(paced, {}, baud);
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
        QVERIFY(sim.openOn(engine));
        engine.setMBMasterAddressToSlave(1);
        engine.setMBMasterCommandToSlave(1);
        engine.MBClearTXData();
        for (int i = 0; i < 98; ++i)
            engine.MBAppendByte(0);
        engine.MBSendFrame();
        QVERIFY(sim.waitForExchanges(1, 15000));
        QCOMPARE(engine.MBStatus(), TMBStatus::stOK);
        QCOMPARE(engine.MBMasterTryNumber(), 1);
    }
};

QTEST_GUILESS_MAIN(TestReplyMatching)
#include "tst_reply_matching.moc"
