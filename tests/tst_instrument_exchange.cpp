// The instrument exchange over a real pty against the simulator: a cycle
// driven by the exchange's own events, each reply decoded once and handed on
// with the request it answers, failures as kinds with the system's message,
// and the same cycle on a thread other than the test's.
#include <QtTest>

#include "core/command_latches.h"
#include "core/instrument_exchange.h"
#include "link/mbengine.h"
#include "support/simulator_runner.h"

#include <atomic>
#include <memory>

namespace {

// An engine for the exchange alone: no port list to probe.
void quieten(MBEngine &engine)
{
    engine.setMBRefreshListOnStartup(false);
    engine.setPortCandidateSource([] { return QStringList(); });
}

SimFaults tagged()
{
    SimFaults faults;
    faults.tagReplies = true; // reply n carries n as its ADValueCH1
    return faults;
}

} // namespace

class TestInstrumentExchange : public QObject {
    Q_OBJECT
private slots:
    void cycleHandsOnEachReplyOnceWithItsRequest();
    void viewsHearOfAReplyAfterTheNextRequest();
    void failuresArriveAsKinds_data();
    void failuresArriveAsKinds();
    void runsOnTheThreadThatOwnsTheEngine();
};

void TestInstrumentExchange::cycleHandsOnEachReplyOnceWithItsRequest()
{
    SimulatorRunner sim(tagged());
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    MBEngine engine;
    quieten(engine);
    InstrumentExchange exchange(engine);
    exchange.followEngine();

    constexpr int kReplies = 5;
    CommandLatches latches;
    latches.press(instrument::Command::ClearTemperatureMinMax);
    RequestState state;
    QStringList order;
    QList<ExchangeReply> replies;
    connect(&exchange, &InstrumentExchange::requestSent, this, [&] { order << "sent"; });
    connect(&exchange, &InstrumentExchange::replyDecoded, this, [&](const ExchangeReply &r) {
        order << "reply";
        replies << r;
        latches.acknowledge(r.reply.AckBits);
    });
    connect(&exchange, &InstrumentExchange::ended, this, [&](TMBStatus status) {
        order << "ended";
        state.commands = latches.pending();
        if (exchange.goesOn(status) && replies.size() < kReplies) exchange.send(state);
    });
    QVERIFY(sim.openOn(engine));
    state.commands = latches.pending();
    QVERIFY(exchange.send(state));
    QTRY_COMPARE(replies.size(), kReplies);
    QVERIFY(sim.waitForExchanges(kReplies));

    QStringList expected;
    for (int n = 0; n < kReplies; ++n)
        expected << "sent"
                 << "reply"
                 << "ended";
    QCOMPARE(order, expected);
    const auto &received = sim.simulator().receivedRequests();
    QCOMPARE(int(received.size()), kReplies);
    for (int n = 0; n < kReplies; ++n) {
        QCOMPARE(replies[n].reply.ADValueCH1, n + 1); // each reply once, in order
        QCOMPARE(replies[n].request, received[std::size_t(n)].request);
        QCOMPARE(replies[n].reading.inputRange, replies[n].reply.InputRange);
    }
    // The command went out until acknowledged, then no more.
    QVERIFY(replies.first().request.CommandBits & instrument::Command::ClearTemperatureMinMax);
    QVERIFY(replies.first().acknowledged & instrument::Command::ClearTemperatureMinMax);
    QCOMPARE(replies.last().request.CommandBits, quint8(0));
    QCOMPARE(exchange.lastReply()->reply.ADValueCH1, kReplies);
}

// A host that sends from its own end-of-exchange handler (the window) lets
// the views wait: the next request is on its way before they hear of a reply.
void TestInstrumentExchange::viewsHearOfAReplyAfterTheNextRequest()
{
    SimulatorRunner sim(tagged());
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    MBEngine engine;
    quieten(engine);
    InstrumentExchange exchange(engine);
    QStringList order;
    connect(&exchange, &InstrumentExchange::requestSent, this, [&] { order << "sent"; });
    connect(&exchange, &InstrumentExchange::replyDecoded, this, [&] { order << "decoded"; });
    connect(&exchange, &InstrumentExchange::replyShown, this, [&](const ExchangeReply &r) {
        order << "shown " + QString::number(r.reply.ADValueCH1);
    });
    connect(&engine, &MBEngine::OnMBMasterEndOfEvent, this, [&](TMBStatus status) {
        exchange.take(status, InstrumentExchange::Views::Later);
        if (order.count("decoded") < 2) exchange.send(RequestState{});
        exchange.showTaken();
        exchange.showTaken(); // once only
    });
    QVERIFY(sim.openOn(engine));
    QVERIFY(exchange.send(RequestState{}));
    QTRY_COMPARE(order.size(), 6);
    QCOMPARE(order, QStringList({"sent", "decoded", "sent", "shown 1", "decoded", "shown 2"}));
}

void TestInstrumentExchange::failuresArriveAsKinds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("kind");
    QTest::newRow("silence") << "never answer" << int(LinkFailure::Kind::NoAnswer);
    QTest::newRow("refusal") << "refuse write" << int(LinkFailure::Kind::Refused);
    QTest::newRow("lost port") << "stop" << int(LinkFailure::Kind::PortLost);
}

void TestInstrumentExchange::failuresArriveAsKinds()
{
    QFETCH(QString, fault);
    QFETCH(int, kind);
    SimFaults faults;
    faults.neverAnswer = fault != "refuse write";
    if (fault == "refuse write") faults.refuseWriteCode = 131;
    SimulatorRunner sim(faults);
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    MBEngine engine;
    quieten(engine);
    engine.setMBMasterTimeOut(fault == "stop" ? 5000 : 50);
    engine.setMBMasterMaxTryNumber(2);
    InstrumentExchange exchange(engine);
    exchange.followEngine();
    QSignalSpy failed(&exchange, &InstrumentExchange::failed);
    QSignalSpy decoded(&exchange, &InstrumentExchange::replyDecoded);
    QVERIFY(sim.openOn(engine));

    RequestState state;
    state.commands = instrument::Command::WriteSettings;
    QVERIFY(exchange.send(state));
    if (fault == "stop") sim.simulator().stop(); // the other end hangs up while a reply is owed
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(decoded.count(), 0);
    const LinkFailure &failure = exchange.failure();
    QCOMPARE(int(failure.kind), kind);
    QCOMPARE(failure.port, sim.portPath());
    QVERIFY(!exchange.lastReply());
    switch (failure.kind) {
    case LinkFailure::Kind::NoAnswer:
        QCOMPARE(failure.tries, 2);
        break;
    case LinkFailure::Kind::Refused:
        QCOMPARE(failure.resultCode, 131);
        break;
    default:
        // The system's own message, never the link panel's text around it.
        QVERIFY(!failure.reason.isEmpty());
        QCOMPARE(failure.reason, engine.portFailureStatus().message);
        QVERIFY(!failure.reason.contains(engine.Port()));
        QVERIFY(!exchange.goesOn(TMBStatus::stPortError));
    }
}

void TestInstrumentExchange::runsOnTheThreadThatOwnsTheEngine()
{
    SimulatorRunner sim(tagged());
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    QThread worker;
    worker.start();
    QObject home;
    home.moveToThread(&worker);
    std::unique_ptr<MBEngine> engine;
    std::unique_ptr<InstrumentExchange> exchange;
    std::atomic<int> replies{0};
    std::atomic<bool> elsewhere{false};
    std::atomic<bool> opened{false};
    const QString port = sim.portPath();

    QMetaObject::invokeMethod(
        &home,
        [&] {
            engine = std::make_unique<MBEngine>();
            quieten(*engine);
            exchange = std::make_unique<InstrumentExchange>(*engine);
            exchange->followEngine();
            connect(exchange.get(), &InstrumentExchange::replyDecoded, exchange.get(), [&] {
                if (QThread::currentThread() != &worker) elsewhere = true;
                ++replies;
            });
            connect(exchange.get(), &InstrumentExchange::ended, exchange.get(),
                    [&](TMBStatus status) {
                        if (exchange->goesOn(status)) exchange->send(RequestState{});
                    });
            opened = engine->MBOpenPort(port);
            if (opened) exchange->send(RequestState{});
        },
        Qt::BlockingQueuedConnection);
    QVERIFY(opened);
    QTRY_VERIFY(replies >= 10);
    QVERIFY(sim.simulator().replyCount() >= 10);
    QVERIFY(!elsewhere);

    QMetaObject::invokeMethod(
        &home,
        [&] {
            engine->MBClosePort();
            exchange.reset();
            engine.reset();
        },
        Qt::BlockingQueuedConnection);
    worker.quit();
    worker.wait();
}

QTEST_MAIN(TestInstrumentExchange)
#include "tst_instrument_exchange.moc"
