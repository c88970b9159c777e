// The link engine's slave, diagnostic, byte and string modes over real ptys:
// a master engine against a slave engine for the exchanges, and the test
// playing the far end of the line where exact characters matter.
#include <QtTest>

#include "link/mbengine.h"
#include "serial/pseudoterminal.h"
#include "support/enginelog.h"
#include "support/frameslave.h"
#include "support/ptypair.h"
#include "text/cp1250.h"

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// A request as a master puts it on the line.
QByteArray requestLine(quint8 addressByte, quint8 id, quint8 command, const QByteArray &data = {})
{
    return FrameSlave::encodeFrame(addressByte, id, command, data);
}

} // namespace

class TestSlaveModes : public QObject {
    Q_OBJECT

    // Engine against engine: the slave engine holds the pty's master side.
    std::unique_ptr<PseudoTerminal> pty;
    std::unique_ptr<MBEngine> slave;
    std::unique_ptr<MBEngine> master;

    void openPair(int slaveAddress = 3, int slaveId = 7)
    {
        pty = std::make_unique<PseudoTerminal>();
        QVERIFY2(pty->isValid(), qPrintable(pty->errorText()));
        slave = std::make_unique<MBEngine>();
        slave->setMBRefreshListOnStartup(false);
        slave->setMBMode(TMBMode::modeSlave);
        slave->setMBSlaveOwnAddress(slaveAddress);
        slave->setMBSlaveID(slaveId);
        PseudoTerminal *held = pty.get();
        slave->setSerialDeviceFactory([held] { return held->masterDevice(); });
        QVERIFY(slave->MBOpenPort(pty->slavePath()));

        master = std::make_unique<MBEngine>();
        master->setMBRefreshListOnStartup(false);
        master->setMBBaud(TMBBaud::baud115200);
        master->setMBMasterTimeOut(200);
        master->setMBMasterMaxTryNumber(1);
        QVERIFY(master->MBOpenPort(pty->slavePath()));
    }

    // One master transaction; returns its end status.
    TMBStatus transact(int address, int id, int command, const QByteArray &data = {})
    {
        master->setMBMasterAddressToSlave(address);
        master->setMBMasterIDToSlave(id);
        master->setMBMasterCommandToSlave(command);
        master->MBClearTXData();
        for (char c : data)
            master->MBAppendByte(quint8(c));
        QSignalSpy ended(master.get(), &MBEngine::OnMBMasterEndOfEvent);
        master->MBSendFrame();
        if (!ended.wait(3000) && ended.isEmpty()) return TMBStatus::stPortError;
        return ended.first().first().value<TMBStatus>();
    }

private slots:
    void cleanup()
    {
        master.reset();
        slave.reset();
        pty.reset();
    }

    // ---------------------------------------------------------------- slave mode

    void requestToOwnAddressIsAnswered()
    {
        openPair(3, 7);
        EngineLog log(*slave);
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
        QCOMPARE(master->rxBuffer().address(), quint8(0x83));
        QCOMPARE(master->rxBuffer().id(), quint8(7));
        QCOMPARE(master->rxBuffer().command(), quint8(0));
        QCOMPARE(master->MBReceivedDataNumber(), 0);
        QCOMPARE(slave->MBNumberOfRxFrames(), 1u);
        QCOMPARE(slave->MBNumberOfTxFrames(), 0u); // replies are not counted
        QCOMPARE(slave->MBStatus(), TMBStatus::stOK);
        QVERIFY(slave->MBBusy());
        QCOMPARE(log.take(), (QStringList{"Now(stnReceiving:Receiving)",
                                          "Now(stnReceivedCommand:Received Command)",
                                          "Now(stnSending:Sending)", "Now(stnReady:Ready)",
                                          "Now(stnWaitingForCommand:Waiting For Command)"}));
    }

    void replyCharactersOnTheLine()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeSlave);
        engine.setMBSlaveOwnAddress(3);
        engine.setMBSlaveID(7);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QVERIFY(line.write(requestLine(0x03, 0, 0)));
        QByteArray reply;
        QTRY_VERIFY((reply += line.readAvailable()).size() >= 10);
        // 0x83, 0x07, 0x00, CRC 0x1882 low byte first, as nibble pairs.
        QCOMPARE(reply, bytes({0x03, 0xC8, 0x07, 0x40, 0x00, 0x40, 0x02, 0x48, 0x08, 0x61}));
    }

    void otherAddressesAndRepliesAreIgnored()
    {
        openPair(3, 7);
        QCOMPARE(transact(4, 0, 0), TMBStatus::stTimeOut);
        QCOMPARE(slave->MBNumberOfRxFrames(), 0u);
        QCOMPARE(slave->MBStatusNow(), TMBStatusNow::stnWaitingForCommand);

        // Another slave's reply to address 3 is no request.
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeSlave);
        engine.setMBSlaveOwnAddress(3);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy now(&engine, &MBEngine::OnMBStatusNowChanged);
        QVERIFY(line.write(FrameSlave::replyLine(3, 0, 0)));
        QVERIFY(line.write(requestLine(0x03, 0, 0)));
        QByteArray reply;
        QTRY_VERIFY((reply += line.readAvailable()).size() >= 10);
        QCOMPARE(reply.size(), 10); // one reply: to the request only
        QCOMPARE(engine.MBNumberOfRxFrames(), 1u);
    }

    void broadcastIsCarriedOutNotAnswered()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeSlave);
        engine.setMBSlaveOwnAddress(3);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy commands(&engine, &MBEngine::OnMBSlaveReceivedCommand);
        connect(&engine, &MBEngine::OnMBSlaveReceivedCommand, &engine,
                [&] { engine.MBAppendByte(0x55); });
        QVERIFY(line.write(requestLine(0x00, 0, 5, bytes({1, 2}))));
        QTRY_COMPARE(commands.count(), 1);
        QCOMPARE(commands.first(), (QVariantList{5, false, 2}));
        QCOMPARE(engine.MBNumberOfRxFrames(), 1u);
        QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnReceivedCommand);

        // Nothing went out for the broadcast: the first characters on the line
        // are the reply to the ping that follows.
        QVERIFY(line.write(requestLine(0x03, 0, 0)));
        QByteArray reply;
        QTRY_VERIFY((reply += line.readAvailable()).size() >= 10);
        QCOMPARE(reply.size(), 10);
        QCOMPARE(quint8(reply[1]), quint8(0xC8)); // 0x83 with the start flag
        QCOMPARE(engine.MBNumberOfRxFrames(), 2u);
    }

    void identification()
    {
        openPair(3, 0);
        QCOMPARE(slave->MBSlaveName(), QStringLiteral("MB Slave On PC"));
        slave->setMBSlaveVerYear(2021);
        slave->setMBSlaveVerMonth(11);
        slave->setMBSlaveVerDay(30);
        QCOMPARE(transact(3, 0, 129), TMBStatus::stOK);
        QCOMPARE(master->MBReceivedDataNumber(), 8 + 14 + 1);
        QCOMPARE(master->MBReadWord(), quint16(2013));
        QCOMPARE(master->MBReadByte(), quint8(6));
        QCOMPARE(master->MBReadByte(), quint8(18));
        QCOMPARE(master->MBReadWord(), quint16(2021));
        QCOMPARE(master->MBReadByte(), quint8(11));
        QCOMPARE(master->MBReadByte(), quint8(30));
        QByteArray name;
        for (int i = 0; i < 15; ++i)
            name.append(char(master->MBReadByte()));
        QCOMPARE(name, QByteArray("MB Slave On PC\0", 15));
    }

    void windows1250BothWays_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("byte");
        // From the code page's published table; the last byte is one the
        // code page gives no character, which keeps its value.
        const QString texts = QStringLiteral("áéíóöőúüűÁÉÍÓÖŐÚÜŰ€A\u0081");
        const QByteArray bytes("\xE1\xE9\xED\xF3\xF6\xF5\xFA\xFC\xFB\xC1\xC9\xCD\xD3\xD6\xD5\xDA"
                               "\xDC\xDB\x80\x41\x81");
        QCOMPARE(texts.size(), bytes.size());
        for (qsizetype i = 0; i < texts.size(); ++i)
            QTest::addRow("%02X", quint8(bytes[i])) << texts.mid(i, 1) << int(quint8(bytes[i]));
    }
    void windows1250BothWays()
    {
        QFETCH(QString, text);
        QFETCH(int, byte);
        QCOMPARE(mb::toWindows1250(text), QByteArray(1, char(byte)));
        QCOMPARE(mb::fromWindows1250(QByteArray(1, char(byte))), text);
    }

    void textsCrossTheLineInWindows1250()
    {
        // Characters the code page lacks go as one '?' each.
        QCOMPARE(mb::toWindows1250(u"ø\U0001F600."), QByteArray("??."));

        openPair(3, 0);
        slave->setMBSlaveName(QStringLiteral("Mérő ű"));
        QCOMPARE(transact(3, 0, 129), TMBStatus::stOK);
        master->setMBMBRXDataBufferIndex(9);
        QByteArray name;
        for (int i = 0; i < 7; ++i)
            name.append(char(master->MBReadByte()));
        QCOMPARE(name, QByteArray("M\xE9r\xF5 \xFB\0", 7));

        PtyPair line;
        MBEngine engine;
        engine.setMBMode(TMBMode::modeString);
        engine.setMBStopByteInStringMode(13);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy texts(&engine, &MBEngine::OnMBReceivedAString);
        engine.MBClearTXData();
        engine.MBAppendString(QStringLiteral("Ő?"));
        engine.MBSendFrame();
        QByteArray sent;
        QTRY_COMPARE((sent += line.readAvailable()), QByteArray("\xD5?\0", 3));
        QVERIFY(line.write("\xF5\xFB\x81\r"));
        QTRY_COMPARE(texts.count(), 1);
        QCOMPARE(texts.first().first().toString(), QStringLiteral("őű\u0081\r"));
    }

    void pingCommands()
    {
        openPair(3, 0);
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
        QCOMPARE(transact(3, 0, 128, bytes({9, 9})), TMBStatus::stOK);
        QCOMPARE(master->rxBuffer().command(), quint8(0));
        QCOMPARE(master->MBReceivedDataNumber(), 0);
        QCOMPARE(slave->MBNumberOfRxFrames(), 2u);
    }

    void frameCounter()
    {
        openPair(3, 0);
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
        QCOMPARE(slave->MBNumberOfRxFrames(), 1u);
        QCOMPARE(transact(3, 0, 130, bytes({1})), TMBStatus::stOK);
        QCOMPARE(master->MBReceivedDataNumber(), 4);
        QCOMPARE(master->MBReadCardinal(), 0u);
        QCOMPARE(slave->MBNumberOfRxFrames(), 0u);
        QCOMPARE(transact(3, 0, 130), TMBStatus::stOK);
        QCOMPARE(master->MBReadCardinal(), 1u);
        QCOMPARE(slave->MBNumberOfRxFrames(), 1u);
        // Any other first byte counts on, this request included.
        QCOMPARE(transact(3, 0, 130, bytes({2})), TMBStatus::stOK);
        QCOMPARE(master->MBReadCardinal(), 2u);
        QCOMPARE(slave->MBNumberOfRxFrames(), 2u);
    }

    void unknownCommandAnswers130()
    {
        openPair(3, 0);
        QCOMPARE(transact(3, 0, 200, bytes({1, 2, 3})), TMBStatus::stSlaveGlobalError);
        QCOMPARE(master->MBStatusString(), QStringLiteral("Slave Global Error: #130"));
        QCOMPARE(master->rxBuffer().command(), quint8(130));
        QCOMPARE(master->MBReceivedDataNumber(), 0);
        QCOMPARE(slave->MBStatus(), TMBStatus::stSlaveGlobalError);
        QCOMPARE(slave->MBNumberOfRxFrames(), 0u);
    }

    void idMismatchAnswers129()
    {
        openPair(3, 7);
        QSignalSpy commands(slave.get(), &MBEngine::OnMBSlaveReceivedCommand);
        QCOMPARE(transact(3, 5, 5), TMBStatus::stSlaveGlobalError);
        QCOMPARE(master->MBStatusString(), QStringLiteral("Slave Global Error: #129"));
        QCOMPARE(master->MBReceivedDataNumber(), 0);
        QCOMPARE(slave->MBStatus(), TMBStatus::stSlaveGlobalError);
        QCOMPARE(slave->MBStatusString(), QStringLiteral("Slave Global Error: #129"));
        QCOMPARE(slave->MBNumberOfRxFrames(), 0u);
        QCOMPARE(commands.count(), 0); // no command processing
        // The own ID and ID 0 are both accepted.
        QCOMPARE(transact(3, 7, 0), TMBStatus::stOK);
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
    }

    void hostCommandAndItsReply()
    {
        openPair(3, 0);
        QList<QVariantList> calls;
        connect(slave.get(), &MBEngine::OnMBSlaveReceivedCommand, this,
                [&](int command, bool query, int received) {
                    calls << QVariantList{command, query, received};
                    // The request at index 1, the reply buffer empty.
                    QCOMPARE(slave->MBMBRXDataBufferIndex(), 1);
                    QCOMPARE(slave->MBDataNumberToSend(), 0);
                    QCOMPARE(slave->MBSlaveErrorCode(), 0);
                    const quint16 value = slave->MBReadWord();
                    slave->MBAppendWord(quint16(value + 1));
                    slave->MBAppendByte(quint8(command));
                    if (command == 9) slave->setMBSlaveErrorCode(128);
                });
        master->setMBMasterQueryMode(true);
        QCOMPARE(transact(3, 0, 5, bytes({0x34, 0x12})), TMBStatus::stOK);
        QCOMPARE(calls.last(), (QVariantList{5, true, 2}));
        QCOMPARE(master->MBReceivedDataNumber(), 3);
        QCOMPARE(master->MBReadWord(), quint16(0x1235));
        QCOMPARE(master->MBReadByte(), quint8(5));
        QCOMPARE(slave->MBNumberOfRxFrames(), 1u);

        // 128 is success for a master but an error on the slave's side.
        master->setMBMasterQueryMode(false);
        QCOMPARE(transact(3, 0, 9, bytes({0, 0})), TMBStatus::stOK);
        QCOMPARE(calls.last(), (QVariantList{9, false, 2}));
        QCOMPARE(master->rxBuffer().command(), quint8(128));
        QCOMPARE(slave->MBStatus(), TMBStatus::stSlaveGlobalError);
        QCOMPARE(slave->MBStatusString(), QStringLiteral("Slave Global Error: #128"));
        QCOMPARE(slave->MBNumberOfRxFrames(), 1u);
    }

    void delayedReply()
    {
        openPair(3, 0);
        slave->setMBSlaveDelayTime(50);
        QElapsedTimer sinceAccepted;
        bool endedBeforeDelay = false;
        connect(slave.get(), &MBEngine::OnMBStatusNowChanged, this, [&](TMBStatusNow now) {
            if (now == TMBStatusNow::stnSending && !sinceAccepted.isValid()) sinceAccepted.start();
        });
        connect(master.get(), &MBEngine::OnMBMasterEndOfEvent, this, [&] {
            endedBeforeDelay = sinceAccepted.isValid() && sinceAccepted.elapsed() < 45;
        });
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
        QVERIFY(sinceAccepted.isValid());
        QVERIFY2(!endedBeforeDelay, "the reply left before the slave delay");
        QCOMPARE(slave->MBStatusNow(), TMBStatusNow::stnWaitingForCommand);
    }

    void delayedReplyDroppedWhenThePortCloses()
    {
        openPair(3, 0);
        slave->setMBSlaveDelayTime(50);
        connect(slave.get(), &MBEngine::OnMBStatusNowChanged, this, [&](TMBStatusNow now) {
            if (now == TMBStatusNow::stnSending) slave->MBClosePort();
        });
        QCOMPARE(transact(3, 0, 0), TMBStatus::stTimeOut);
        QVERIFY(!slave->MBPortOpen());
        QCOMPARE(master->MBNumberOfRxFrames(), 0u);

        // Reopened, the slave answers afresh and nothing old comes along.
        disconnect(slave.get(), &MBEngine::OnMBStatusNowChanged, this, nullptr);
        QVERIFY(slave->MBOpenPort(pty->slavePath()));
        QCOMPARE(transact(3, 0, 0), TMBStatus::stOK);
        QCOMPARE(master->MBNumberOfRxFrames(), 1u);
    }

    void modeChangeCancelsADueReply()
    {
        openPair(3, 0);
        slave->setMBSlaveDelayTime(50);
        connect(slave.get(), &MBEngine::OnMBStatusNowChanged, this, [&](TMBStatusNow now) {
            if (now == TMBStatusNow::stnSending) slave->setMBMode(TMBMode::modeByte);
        });
        QCOMPARE(transact(3, 0, 0), TMBStatus::stTimeOut);
    }

    void slaveSettingsClamp()
    {
        MBEngine engine;
        engine.setMBSlaveOwnAddress(0);
        QCOMPARE(engine.MBSlaveOwnAddress(), 1);
        engine.setMBSlaveOwnAddress(16);
        QCOMPARE(engine.MBSlaveOwnAddress(), 15);
        engine.setMBSlaveVerYear(1999);
        QCOMPARE(engine.MBSlaveVerYear(), 2000);
        engine.setMBSlaveVerYear(2101);
        QCOMPARE(engine.MBSlaveVerYear(), 2100);
        engine.setMBSlaveVerMonth(0);
        QCOMPARE(engine.MBSlaveVerMonth(), 1);
        engine.setMBSlaveVerMonth(13);
        QCOMPARE(engine.MBSlaveVerMonth(), 12);
        engine.setMBSlaveVerDay(0);
        QCOMPARE(engine.MBSlaveVerDay(), 1);
        engine.setMBSlaveVerDay(32);
        QCOMPARE(engine.MBSlaveVerDay(), 31);
        engine.setMBSlaveDelayTime(70000);
        QCOMPARE(engine.MBSlaveDelayTime(), 65535);
        engine.setMBStopByteInStringMode(300);
        QCOMPARE(engine.MBStopByteInStringMode(), 255);
        // (By name, as a window description sets them, through TMB's
        // published properties: tst_mbproperties.)
        engine.setMBSlaveOwnAddress(99);
        QCOMPARE(engine.MBSlaveOwnAddress(), 15);
    }

    // ---------------------------------------------------------------- diagnostic mode

    void diagnosticSeesBothDirections()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeDiagnostic);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy frames(&engine, &MBEngine::OnMBDiagnosticReceivedAFrame);

        QVERIFY(line.write(requestLine(0x45, 2, 17, bytes({1, 2, 3}))));
        QTRY_COMPARE(frames.count(), 1);
        QCOMPARE(frames.last(), QVariantList{3});
        QCOMPARE(engine.MBReadByte(), quint8(1));

        QVERIFY(line.write(FrameSlave::replyLine(9, 0, 0, bytes({0xAA}))));
        QTRY_COMPARE(frames.count(), 2);
        QCOMPARE(frames.last(), QVariantList{1});
        QCOMPARE(engine.MBReadByte(), quint8(0xAA));

        // A damaged frame is dropped silently; the next one still counts.
        QByteArray damaged = requestLine(0x01, 0, 0);
        damaged[6] = char(damaged[6] ^ 0x01);
        QVERIFY(line.write(damaged + requestLine(0x02, 0, 0)));
        QTRY_COMPARE(frames.count(), 3);
        QCOMPARE(engine.MBNumberOfRxFrames(), 3u);
        QCOMPARE(engine.MBStatus(), TMBStatus::stOK);
        QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnReady);
    }

    void diagnosticSendsWithoutWaiting()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeDiagnostic);
        EngineLog log(engine);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        engine.setMBMasterAddressToSlave(2);
        engine.setMBMasterCommandToSlave(3);
        engine.MBClearTXData();
        engine.MBAppendByte(4);
        log.take();
        engine.MBSendFrame();
        // Ended at once, before any reply could come.
        QCOMPARE(log.endEvents, 1);
        QCOMPARE(log.lastEndStatus, TMBStatus::stOK);
        QVERIFY(!engine.MBBusy());
        QCOMPARE(engine.MBNumberOfTxFrames(), 1u);
        QCOMPARE(engine.MBMasterTryNumber(), 1);
        QByteArray sent;
        QTRY_COMPARE((sent += line.readAvailable()), requestLine(0x02, 0, 3, bytes({4})));

        engine.MBClosePort();
        engine.MBSendFrame();
        QCOMPARE(log.lastEndStatus, TMBStatus::stPortError);
    }

    // ---------------------------------------------------------------- byte mode

    void byteModeCollectsChunks()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeByte);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy received(&engine, &MBEngine::OnMBReceivedAByte);

        QVERIFY(line.write(bytes({1, 2, 3})));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.last(), QVariantList{3});
        QVERIFY(line.write(bytes({4, 5, 6, 7})));
        QTRY_COMPARE(received.count(), 2);
        QCOMPARE(received.last(), QVariantList{7});
        QCOMPARE(engine.MBReceivedDataNumber(), 7);
        QCOMPARE(engine.MBNumberOfReceivedBytes(), 7);
        QCOMPARE(engine.MBNumberOfRxFrames(), 7u); // bytes
        for (int i = 1; i <= 7; ++i)
            QCOMPARE(engine.MBReadByte(), quint8(i));

        // Emptied on request: the next chunk starts at index 1.
        engine.MBClearRXData();
        QCOMPARE(engine.MBReceivedDataNumber(), 0);
        QCOMPARE(engine.MBNumberOfReceivedBytes(), 0);
        QCOMPARE(engine.MBMBRXDataBufferIndex(), 1);
        QVERIFY(!engine.MBRxBufferFull());
        QVERIFY(line.write(bytes({9, 8})));
        QTRY_COMPARE(received.count(), 3);
        QCOMPARE(received.last(), QVariantList{2});
        QCOMPARE(engine.MBReadByte(), quint8(9));
    }

    void byteModeFullBuffer()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeByte);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QVERIFY(line.write(QByteArray(2050, 'x')));
        QTRY_COMPARE(engine.MBNumberOfRxFrames(), 2050u);
        QCOMPARE(engine.MBNumberOfReceivedBytes(), 2048);
        QVERIFY(engine.MBRxBufferFull());
        QCOMPARE(engine.MBReceivedDataNumber(), 2048);
    }

    void byteModeSends()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeByte);
        EngineLog log(engine);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        engine.MBClearTXData();
        engine.MBAppendWord(0x0201);
        engine.MBAppendByte(3);
        engine.MBSendFrame();
        QCOMPARE(log.endEvents, 1);
        QCOMPARE(log.lastEndStatus, TMBStatus::stOK);
        QCOMPARE(engine.MBNumberOfTxFrames(), 3u); // bytes
        QByteArray sent;
        QTRY_COMPARE((sent += line.readAvailable()), bytes({1, 2, 3}));

        engine.MBClosePort();
        log.take();
        engine.MBSendFrame();
        QCOMPARE(log.take(), (QStringList{"End(stPortError:Port Error)"}));
        QVERIFY(engine.MBBusy());
        QCOMPARE(engine.MBStatusNow(), TMBStatusNow::stnPortError);
    }

    // ---------------------------------------------------------------- string mode

    void stringModeAnswerInTwoChunks()
    {
        PtyPair line;
        MBEngine engine;
        engine.setMBRefreshListOnStartup(false);
        engine.setMBMode(TMBMode::modeString);
        engine.setMBStopByteInStringMode(13);
        QVERIFY(engine.MBOpenPort(line.slavePath()));
        QSignalSpy texts(&engine, &MBEngine::OnMBReceivedAString);

        // Before any send nothing is taken.
        QVERIFY(line.write("noise\r"));
        QTRY_VERIFY(engine.readerHandOverCount() >= 1);
        QCOMPARE(texts.count(), 0);
        QCOMPARE(engine.MBNumberOfRxFrames(), 0u);

        engine.MBClearTXData();
        engine.MBAppendByte('A');
        engine.MBAppendByte('T');
        engine.MBSendFrame();
        QCOMPARE(engine.MBNumberOfTxFrames(), 1u); // texts
        QByteArray sent;
        QTRY_COMPARE((sent += line.readAvailable()), QByteArray("AT"));

        const quint64 handOvers = engine.readerHandOverCount();
        QVERIFY(line.write("O"));
        QTRY_VERIFY(engine.readerHandOverCount() > handOvers);
        QCOMPARE(texts.count(), 0);
        QVERIFY(line.write("K\rlate"));
        QTRY_COMPARE(texts.count(), 1);
        QCOMPARE(texts.first().first().toString(), QStringLiteral("OK\r"));
        QCOMPARE(engine.MBReceivedDataNumber(), 3);
        QCOMPARE(engine.MBNumberOfRxFrames(), 1u);
        QCOMPARE(engine.MBReadByte(), quint8('O'));

        // What follows the stop byte waits for the next send: thrown away,
        // as "noise\r" and "late" were, all of it before the next send.
        QVERIFY(line.write("more\r"));
        QVERIFY(line.write("x"));
        QTRY_COMPARE(engine.discardCounts().outsideFrame, 6u + 4u + 6u);
        QCOMPARE(texts.count(), 1);

        engine.MBSendFrame();
        QVERIFY(line.write("2\r"));
        QTRY_COMPARE(texts.count(), 2);
        QCOMPARE(texts.last().first().toString(), QStringLiteral("2\r"));
    }
};

QTEST_GUILESS_MAIN(TestSlaveModes)
#include "tst_slave_modes.moc"
