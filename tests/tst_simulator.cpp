// A master engine against the instrument simulator over a pty: the reply to
// an instrument request, each fault as a master meets it, the link's service
// commands, the pty across the program's closing and reopening, the bounded
// records, and the simulator's own program, alone and as a rack.
#include <QtTest>

#include "frame/mbbuffers.h"
#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"
#include "sim/sim_options.h"
#include "sim/timing_log.h"
#include "support/simulator_runner.h"

#include <QBuffer>
#include <QProcess>
#include <QTemporaryDir>

namespace {

// The master's side of one instrument exchange, built like the window's.
void loadRequest(MBEngine &engine, const InstrumentRequest &request)
{
    mb::MBTXDataBuffer tx;
    QVERIFY(writeRequest(tx, request));
    engine.MBClearTXData();
    for (std::uint8_t byte : tx.dataToSend())
        engine.MBAppendByte(byte);
    engine.setMBMasterAddressToSlave(instrument::Address);
    engine.setMBMasterIDToSlave(instrument::RequestId);
    engine.setMBMasterCommandToSlave(instrument::RequestCommand);
}

// The exchange lines of a timing log, as numbers; the comment lines left out.
QList<QList<qint64>> timingLines(const QByteArray &log)
{
    QList<QList<qint64>> lines;
    for (const QByteArray &line : log.split('\n')) {
        if (line.isEmpty() || line.startsWith('#')) continue;
        QList<qint64> fields;
        for (const QByteArray &field : line.split(' '))
            fields << field.toLongLong();
        lines << fields;
    }
    return lines;
}

InstrumentReply replyOf(const MBEngine &engine)
{
    mb::MBRXDataBuffer rx = engine.rxBuffer();
    rx.setMBMBRXDataBufferIndex(1);
    return readReply(rx);
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

    std::unique_ptr<MBEngine> master;

    // The name the link's identification command (129) reports, without its
    // closing zero; empty without an answer.
    QByteArray identification()
    {
        master->setMBMasterAddressToSlave(1);
        master->setMBMasterCommandToSlave(129);
        master->MBClearTXData();
        QSignalSpy ended(master.get(), &MBEngine::OnMBMasterEndOfEvent);
        master->MBSendFrame();
        if (!ended.wait(3000) || master->MBStatus() != TMBStatus::stOK) return {};
        master->setMBMBRXDataBufferIndex(9);
        QByteArray name;
        for (int i = 9; i < master->MBReceivedDataNumber(); ++i)
            name.append(char(master->MBReadByte()));
        return name;
    }

    // A master like the window's MB1, with a short reply allowance.
    void makeMaster(int timeOutMs = 300, int tries = 1)
    {
        master = std::make_unique<MBEngine>();
        master->setMBRefreshListOnStartup(false);
        master->setMBMasterTimeOut(timeOutMs);
        master->setMBMasterMaxTryNumber(tries);
    }

    // One transaction; its end status (stPortError when none came).
    TMBStatus exchange(const InstrumentRequest &request = {})
    {
        loadRequest(*master, request);
        QSignalSpy ended(master.get(), &MBEngine::OnMBMasterEndOfEvent);
        master->MBSendFrame();
        if (ended.isEmpty() && !ended.wait(5000)) return TMBStatus::stPortError;
        return ended.first().first().value<TMBStatus>();
    }

private slots:
    void init() { makeMaster(); }
    void cleanup() { master.reset(); }

    void oneExchange()
    {
        SimulatorRunner sim;
        QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
        QVERIFY(sim.openOn(*master));
        InstrumentRequest request;
        request.CommandBits = instrument::Command::WriteSettings;
        request.InputType = instrument::Type::Voltage;
        request.InputLow = -10.0;
        request.InputHigh = 10.0;
        QCOMPARE(exchange(request), TMBStatus::stOK);
        QVERIFY(sim.waitForExchanges(1));

        QCOMPARE(master->rxBuffer().address(), quint8(0x81));
        QCOMPARE(master->rxBuffer().command(), quint8(0));
        QCOMPARE(master->MBReceivedDataNumber(), instrument::ReplyDataSize);
        const InstrumentReply reply = replyOf(*master);
        QCOMPARE(reply.FirmwareYear, InstrumentModel::FirmwareDate.year);
        QCOMPARE(reply.FirmwareMonth, InstrumentModel::FirmwareDate.month);
        QCOMPARE(reply.FirmwareDay, InstrumentModel::FirmwareDate.day);
        QCOMPARE(reply.AckBits, instrument::Command::WriteSettings);
        QCOMPARE(reply.InputType, instrument::Type::Voltage);
        QCOMPARE(reply.InputLow, -10.0);
        QCOMPARE(reply.InputHigh, 10.0);
        QVERIFY(reply.OperatingMinutes >= 1000);

        // What the simulator received is what the master sent.
        QCOMPARE(sim.requests(), 1);
        const auto &received = sim.simulator().receivedRequests().back();
        QCOMPARE(received.dataBytes, instrument::RequestDataSize);
        QCOMPARE(received.request, request);
        QVERIFY(!received.broadcast);
        QCOMPARE(sim.lastRequest(), request);
        QCOMPARE(sim.simulator().replyCount(), 1u);
        QCOMPARE(sim.simulator().sentReplies().back().requestNumber, received.number);
    }

    void droppedRequestIsRetried()
    {
        SimFaults faults;
        faults.dropEvery = 2;
        SimulatorRunner sim(faults);
        makeMaster(100, 3);
        QVERIFY(sim.openOn(*master));
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->MBMasterTryNumber(), 1);
        // The second request goes unanswered; the re-send is the third.
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->MBMasterTryNumber(), 2);
        QCOMPARE(sim.simulator().requestCount(), 3u);
        QCOMPARE(sim.simulator().replyCount(), 2u);
        QVERIFY(sim.simulator().receivedRequests()[1].fate.drop);
    }

    void corruptReplyIsDiscarded()
    {
        SimFaults faults;
        faults.corruptEvery = 1;
        SimulatorRunner sim(faults);
        makeMaster(100, 2);
        QVERIFY(sim.openOn(*master));
        QCOMPARE(exchange(), TMBStatus::stTimeOut);
        QCOMPARE(sim.simulator().replyCount(), 2u);
        QVERIFY(sim.simulator().sentReplies().back().corruptCrc);
        QCOMPARE(master->MBNumberOfRxFrames(), 0u);

        // Every third only: the first two replies pass, the third is
        // discarded and the re-send's reply passes.
        faults.corruptEvery = 3;
        sim.simulator().setFaults(faults);
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->MBMasterTryNumber(), 1);
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->MBMasterTryNumber(), 2);
    }

    void resultCodes()
    {
        SimFaults faults;
        faults.errorCode = 130;
        faults.errorEvery = 1;
        SimulatorRunner sim(faults);
        QVERIFY(sim.openOn(*master));
        QCOMPARE(exchange(), TMBStatus::stSlaveGlobalError);
        QCOMPARE(master->MBStatusString(), QStringLiteral("Slave Global Error: #130"));
        QCOMPARE(sim.simulator().engine().MBStatus(), TMBStatus::stSlaveGlobalError);

        // A code up to 128 is success, and the data still comes.
        faults.errorCode = 128;
        sim.simulator().setFaults(faults);
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->rxBuffer().command(), quint8(128));
        QCOMPARE(master->MBReceivedDataNumber(), instrument::ReplyDataSize);
    }

    void splitReplyArrivesInPieces()
    {
        SimFaults faults;
        faults.split = true;
        SimulatorRunner sim(faults);
        QVERIFY(sim.openOn(*master));
        QSignalSpy writes(&sim.simulator().engine(), &MBEngine::transmitFlashed);
        for (int i = 0; i < 3; ++i) {
            writes.clear();
            QCOMPARE(exchange(), TMBStatus::stOK);
            QCOMPARE(master->MBReceivedDataNumber(), instrument::ReplyDataSize);
            QCOMPARE(replyOf(*master).FirmwareYear, quint16(2013));
            // 186 characters in pieces of at most 32, each written apart.
            QVERIFY2(writes.count() >= 6, qPrintable(QString::number(writes.count())));
        }
    }

    void splitReplyBackToBack()
    {
        InstrumentSimulator::Settings settings;
        settings.faults.split = true;
        settings.faults.tagReplies = true;
        settings.splitGap = std::chrono::microseconds(0);
        SimulatorRunner sim(settings);
        QVERIFY(sim.openOn(*master));
        QSignalSpy writes(&sim.simulator().engine(), &MBEngine::transmitFlashed);
        for (int i = 1; i <= 20; ++i) {
            writes.clear();
            QCOMPARE(exchange(), TMBStatus::stOK);
            // Still one write per piece, and the reply whole and in order.
            QVERIFY2(writes.count() >= 6, qPrintable(QString::number(writes.count())));
            QCOMPARE(replyOf(*master).ADValueCH1, i);
            QCOMPARE(replyOf(*master).FirmwareYear, quint16(2013));
        }
    }

    void delayBeyondTheAllowance()
    {
        SimFaults faults;
        faults.delayMs = 200;
        SimulatorRunner sim(faults);
        makeMaster(50, 2);
        QVERIFY(sim.openOn(*master));
        // Each re-send supersedes the reply still waiting: nothing arrives.
        QCOMPARE(exchange(), TMBStatus::stTimeOut);
        QCOMPARE(sim.simulator().requestCount(), 2u);
        master->setMBMasterTimeOut(1000);
        QCOMPARE(exchange(), TMBStatus::stOK);
    }

    void pacedAtTheLineSpeed_data()
    {
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("pieceMs"); // -1: unset
        QTest::addColumn<int>("fewestWrites");
        QTest::addColumn<int>("mostWrites");
        // A millisecond of line is one character at this speed.
        QTest::newRow("1 ms pieces at 9600") << 9600 << -1 << 100 << 186;
        QTest::newRow("16 ms pieces at 115200") << 115200 << 16 << 1 << 2;
    }
    void pacedAtTheLineSpeed()
    {
        QFETCH(int, baud);
        QFETCH(int, pieceMs);
        QFETCH(int, fewestWrites);
        QFETCH(int, mostWrites);
        SimFaults faults;
        faults.pace = true;
        if (pieceMs >= 0) faults.pieceMs = pieceMs;
        SimulatorRunner sim(faults, {}, baud);
        QVERIFY(sim.openOn(*master));
        QCOMPARE(master->BaudRate(), quint32(baud));
        QSignalSpy writes(&sim.simulator().engine(), &MBEngine::transmitFlashed);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(exchange(), TMBStatus::stOK);
        // Request and reply each take their time on the line, 20 bit times
        // per frame byte.
        const auto line = lineTime(103, baud) + lineTime(93, baud);
        QVERIFY2(clock.elapsed() >=
                     std::chrono::duration_cast<std::chrono::milliseconds>(line).count() - 2,
                 qPrintable(QString::number(clock.elapsed())));
        // The reply came in its pieces (fewer when the simulator fell
        // behind and handed over together what the line had carried).
        QVERIFY2(writes.count() >= fewestWrites && writes.count() <= mostWrites,
                 qPrintable(QString::number(writes.count())));
    }

    void timingOfEveryReply()
    {
        SimFaults faults;
        faults.dropEvery = 3;
        SimulatorRunner sim(faults);
        makeMaster(100, 2);
        QBuffer log;
        QVERIFY(log.open(QIODevice::WriteOnly));
        const TimingLog timing(sim.simulator(), log);
        QVERIFY(sim.openOn(*master));
        const qint64 before = TimingLog::microseconds(InstrumentSimulator::Clock::now());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(exchange(), TMBStatus::stOK);
        const qint64 after = TimingLog::microseconds(InstrumentSimulator::Clock::now());

        QVERIFY(log.data().startsWith("# request first_character_us"));
        const QList<QList<qint64>> lines = timingLines(log.data());
        // The third request went unanswered and has no line; its re-send has.
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0][0], 1);
        QCOMPARE(lines[1][0], 2);
        QCOMPARE(lines[2][0], 4);
        for (int i = 0; i < lines.size(); ++i) {
            const QList<qint64> &line = lines[i];
            QCOMPARE(line.size(), 4);
            QVERIFY(before <= line[1]);
            QVERIFY(line[1] <= line[2]); // first character, then the whole request
            QVERIFY(line[2] <= line[3]); // then the reply
            QVERIFY(line[3] <= after);
            if (i > 0) QVERIFY(lines[i - 1][3] <= line[1]);
        }
        const auto &received = sim.simulator().receivedRequests();
        QCOMPARE(lines[2][1], TimingLog::microseconds(received.back().firstCharacter));
        QCOMPARE(lines[2][2], TimingLog::microseconds(received.back().time));
        QCOMPARE(lines[2][3], TimingLog::microseconds(sim.simulator().sentReplies().back().time));
    }

    // A unit that never answers takes the line's characters and says
    // nothing, not even to the link's own commands, until told otherwise.
    void neverAnswer()
    {
        SimFaults faults;
        faults.neverAnswer = true;
        SimulatorRunner sim(faults);
        makeMaster(50, 2);
        QVERIFY(sim.openOn(*master));
        QCOMPARE(exchange(), TMBStatus::stTimeOut);
        QVERIFY(identification().isEmpty());
        QCOMPARE(sim.simulator().requestCount(), 0u);
        sim.simulator().setFaults({});
        QCOMPARE(exchange(), TMBStatus::stOK);
    }

    // A refused write is answered with code 131 and stores nothing; other
    // requests are answered as ever.
    void refuseTheWrite()
    {
        SimFaults faults;
        faults.refuseWriteCode = RefusedWriteCode;
        SimulatorRunner sim(faults);
        QVERIFY(sim.openOn(*master));
        InstrumentRequest write;
        write.CommandBits = instrument::Command::WriteSettings;
        write.InputType = instrument::Type::Voltage;
        QCOMPARE(exchange(write), TMBStatus::stSlaveGlobalError);
        QCOMPARE(master->MBStatusString(), QStringLiteral("Slave Global Error: #131"));
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(replyOf(*master).InputType, instrument::Type::Current);
        QCOMPARE(replyOf(*master).AckBits, quint8(0));
    }

    void neverAcknowledge()
    {
        SimFaults faults;
        faults.neverAck = true;
        SimulatorRunner sim(faults);
        QVERIFY(sim.openOn(*master));
        InstrumentRequest request;
        request.CommandBits = instrument::Command::ClearTemperatureMinMax;
        QCOMPARE(exchange(request), TMBStatus::stOK);
        QCOMPARE(replyOf(*master).AckBits, quint8(0));
    }

    void taggedReplies()
    {
        SimFaults faults;
        faults.tagReplies = true;
        faults.dropEvery = 3;
        SimulatorRunner sim(faults);
        makeMaster(60, 2);
        QVERIFY(sim.openOn(*master));
        QList<quint32> decoded;
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(exchange(), TMBStatus::stOK);
            decoded << replyTag(replyOf(*master));
        }
        // Dropped requests take no tag: the tags the master saw are those sent.
        QCOMPARE(decoded, (QList<quint32>{1, 2, 3, 4}));
        QList<quint32> sent;
        for (const auto &reply : sim.simulator().sentReplies())
            sent << reply.tag.value_or(0);
        QCOMPARE(sent, decoded);
    }

    void serviceCommandsAndOtherCommands()
    {
        SimulatorRunner sim;
        QVERIFY(sim.openOn(*master));
        QCOMPARE(identification(), QByteArray("KX4720R simulator"));
        QCOMPARE(master->MBReceivedDataNumber(), 8 + 17 + 1);

        // The instrument has one command of its own.
        QSignalSpy ended(master.get(), &MBEngine::OnMBMasterEndOfEvent);
        master->setMBMasterCommandToSlave(2);
        master->MBSendFrame();
        QVERIFY(ended.wait(3000));
        QCOMPARE(master->MBStatusString(), QStringLiteral("Slave Global Error: #130"));
        QCOMPARE(sim.simulator().requestCount(), 0u);
    }

    void broadcastIsCarriedOutNotAnswered()
    {
        SimulatorRunner sim;
        QVERIFY(sim.openOn(*master));
        InstrumentRequest request;
        request.CommandBits = instrument::Command::WriteSettings;
        request.OutputType = instrument::Type::Voltage;
        loadRequest(*master, request);
        master->setMBMasterAddressToSlave(0);
        master->MBSendFrame();
        QVERIFY(sim.waitForRequests(1));
        QVERIFY(sim.simulator().receivedRequests().back().broadcast);
        // The settings were stored all the same: the next reply reports them.
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(replyOf(*master).OutputType, instrument::Type::Voltage);
        QCOMPARE(sim.simulator().replyCount(), 1u);
    }

    void ptySurvivesTheProgramClosingAndReopening()
    {
        SimulatorRunner sim;
        QVERIFY(sim.openOn(*master));
        for (int cycle = 0; cycle < 20; ++cycle) {
            QCOMPARE(exchange(), TMBStatus::stOK);
            master->MBClosePort();
            QVERIFY(sim.simulator().isRunning());
            QVERIFY(master->MBOpenPort(sim.portPath()));
        }
        // No one on the line: the simulator sleeps rather than spins.
        master->MBClosePort();
        const quint64 wakeUps = sim.simulator().engine().readerHandOverCount();
        QTest::qWait(100);
        QCOMPARE(sim.simulator().engine().readerHandOverCount(), wakeUps);
        QVERIFY(master->MBOpenPort(sim.portPath()));
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(sim.simulator().replyCount(), 21u);
    }

    void stoppingHangsTheLineUp()
    {
        SimulatorRunner sim;
        QVERIFY(sim.openOn(*master));
        QCOMPARE(exchange(), TMBStatus::stOK);
        QSignalSpy opened(master.get(), &MBEngine::OnMBPortOpenedOrClosed);
        sim.simulator().stop();
        QVERIFY(!sim.simulator().isRunning());
        QTRY_VERIFY(!master->MBPortOpen());
        QCOMPARE(opened.count(), 1);
        QVERIFY(master->MBPortErrorText().contains(QStringLiteral("port lost")));
    }

    void aMissingDeviceIsReported()
    {
        InstrumentSimulator sim;
        QSignalSpy lost(&sim, &InstrumentSimulator::portLost);
        QVERIFY(!sim.startOnPort(QStringLiteral("/dev/kx4720r-no-such-port")));
        QVERIFY(!sim.isRunning());
        QVERIFY2(sim.errorText().contains(QStringLiteral("No such file")),
                 qPrintable(sim.errorText()));
        QCOMPARE(lost.count(), 0);
    }

    void recordsAreBounded()
    {
        InstrumentSimulator::Settings settings;
        settings.history = 5;
        SimulatorRunner sim(settings);
        QVERIFY(sim.openOn(*master));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(exchange(), TMBStatus::stOK);
        const auto &received = sim.simulator().receivedRequests();
        QCOMPARE(received.size(), std::size_t(5));
        QCOMPARE(received.front().number, 4u);
        QCOMPARE(received.back().number, 8u);
        QCOMPARE(sim.simulator().sentReplies().size(), std::size_t(5));
        QCOMPARE(sim.simulator().requestCount(), 8u);
        QVERIFY(received.front().elapsed <= received.back().elapsed);
    }

    void offeringThePortSetsTheEnvironment()
    {
        const QByteArray before = qgetenv("KX4720R_PORTS");
        {
            SimulatorRunner sim;
            sim.offerPort();
            QCOMPARE(qEnvironmentVariable("KX4720R_PORTS"), sim.portPath());
        }
        QCOMPARE(qgetenv("KX4720R_PORTS"), before);
    }

    void theSimulatorProgram()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString link = dir.filePath(QStringLiteral("ttyKX4720R"));
        const QString timing = dir.filePath(QStringLiteral("timing.txt"));
        QProcess sim;
        sim.start(QStringLiteral(KX_SIM_BINARY),
                  {QStringLiteral("--link"), link, QStringLiteral("--tag"),
                   QStringLiteral("--timing"), timing});
        QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
        const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY2(line.startsWith(QStringLiteral("kx4720r-sim: /dev/")), qPrintable(line));
        const QString pty = line.mid(13);
        QCOMPARE(QFileInfo(link).symLinkTarget(), pty);

        QVERIFY(master->MBOpenPort(link));
        QCOMPARE(exchange(), TMBStatus::stOK);
        QCOMPARE(master->MBReceivedDataNumber(), instrument::ReplyDataSize);
        QCOMPARE(replyTag(replyOf(*master)), 1u);
        master->MBClosePort();

        sim.terminate(); // SIGTERM: a clean exit, the link removed
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        // Its exchange is in the timing file.
        QFile file(timing);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QList<qint64>> lines = timingLines(file.readAll());
        QCOMPARE(lines.size(), 1);
        QCOMPARE(lines[0].size(), 4);
        QCOMPARE(lines[0][0], 1);
    }

    // A rack: each unit on its own link with its own serial number, unit 1
    // never answering and unit 2 refusing the write, until SIGTERM removes
    // the links.
    void theRackProgram()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString prefix = dir.filePath(QStringLiteral("tty"));
        QProcess sim;
        sim.start(QStringLiteral(KX_SIM_BINARY),
                  {"--count", "3", "--link-prefix", prefix, "--fault-on", "1:never-answer",
                   "--fault-on", "2:refuse-write"});
        QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
        QStringList lines;
        while (lines.size() < 4 && sim.waitForReadyRead(10000))
            lines += QString::fromLocal8Bit(sim.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[3], QStringLiteral("kx4720r-sim: 3 units ready"));
        makeMaster(50, 1);
        for (int unit = 0; unit < 3; ++unit) {
            const QString link = prefix + QString::number(unit);
            QCOMPARE(lines[unit], QStringLiteral("kx4720r-sim: unit %1 %2 at %3, serial SIM0000%4")
                                      .arg(unit)
                                      .arg(QFileInfo(link).symLinkTarget(), link)
                                      .arg(unit + 1));
            QVERIFY(master->MBOpenPort(link));
            InstrumentRequest write;
            write.CommandBits = instrument::Command::WriteSettings;
            QCOMPARE(exchange(write), unit == 0   ? TMBStatus::stOK
                                      : unit == 1 ? TMBStatus::stTimeOut
                                                  : TMBStatus::stSlaveGlobalError);
            if (unit != 1)
                QCOMPARE(identification(),
                         QByteArray("KX4720R simulator, serial SIM0000") + char('1' + unit));
            master->MBClosePort();
        }
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                    .isEmpty());
    }

    void theSimulatorProgramRefusesBadOptions()
    {
        QProcess sim;
        sim.start(QStringLiteral(KX_SIM_BINARY),
                  {QStringLiteral("--baud"), QStringLiteral("1234")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 2);
        QVERIFY(sim.readAllStandardError().contains("--baud"));

        sim.start(QStringLiteral(KX_SIM_BINARY),
                  {QStringLiteral("--port"), QStringLiteral("/dev/kx4720r-no-such-port")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(sim.readAllStandardError().contains("kx4720r-no-such-port"));

        sim.start(QStringLiteral(KX_SIM_BINARY),
                  {QStringLiteral("--timing"), QStringLiteral("/proc/kx4720r-no-such-file")});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(sim.readAllStandardError().contains("kx4720r-no-such-file"));

        // A file that is not a link is never replaced.
        QTemporaryDir dir;
        const QString occupied = dir.filePath(QStringLiteral("file"));
        QFile file(occupied);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        sim.start(QStringLiteral(KX_SIM_BINARY), {QStringLiteral("--link"), occupied});
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 1);
        QVERIFY(QFileInfo(occupied).isFile());
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
