// Which request a reply answers, against a peer that answers every request,
// each after its own delay and tagged with it: replies past the answer window
// never pass for the answer to a later request and are counted as late. And
// a slow line leaves the reply its time.
#include <QtTest>

#include "link/mbengine.h"
#include "support/simulator_runner.h"
#include "support/slowpeer.h"

class TestReplyMatching : public QObject {
    Q_OBJECT

private slots:
    void everyAnswerIsTheReplyToItsOwnRequest_data()
    {
        QTest::addColumn<QList<int>>("delays"); // the window: 3 ms of sending, 60 of allowance
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
        // Each request has its number; the next goes from the end event, as the window's.
        quint32 tag = 0;
        int answers = 0;
        QStringList stale;
        const auto send = [&] {
            engine.MBClearTXData();
            engine.MBAppendCardinal(++tag);
            engine.MBSendFrame();
        };
        connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &engine, [&](TMBStatus status) {
            if (status == TMBStatus::stOK && ++answers && engine.MBReadCardinal() != tag)
                stale << QString::number(tag);
            if (answers < 12) send();
        });
        send();
        QTRY_VERIFY_WITH_TIMEOUT(answers == 12, 20000);
        QVERIFY2(stale.isEmpty(), qPrintable("stale answers to " + stale.join(u' ')));
        // Every reply that answered nothing is counted as late, and only those.
        QTRY_VERIFY(peer.idle());
        QTRY_COMPARE(int(engine.discardCounts().lateReply), peer.repliesSent() - answers);
        QCOMPARE(engine.discardCounts().total(), engine.discardCounts().lateReply);
    }

    void aSlowLineLeavesTheReplyItsTime()
    {
        MBEngine engine;
        engine.setExpectedReplyDataBytes(88);
        engine.setBaudRate(115200); // where the reply fits, the window is as it was
        QCOMPARE(engine.answerAllowance(), 1000);
        // At 1800 baud: the reply's line time and a quarter of it; at the first try.
        SimFaults paced;
        paced.pace = true;
        SimulatorRunner sim(paced, {}, 1800);
        QVERIFY(sim.openOn(engine));
        QCOMPARE(engine.answerAllowance(), 1034 + 259);
        engine.setMBMasterCommandToSlave(1);
        engine.setMBDataNumberToSend(98);
        engine.MBSendFrame();
        QVERIFY(sim.waitForExchanges(1, 15000));
        QVERIFY(engine.MBStatus() == TMBStatus::stOK && engine.MBMasterTryNumber() == 1);
    }
};

QTEST_GUILESS_MAIN(TestReplyMatching)
#include "tst_reply_matching.moc"
