// TMB's published properties and events: defaults, clamped writes (directly
// and through the meta-object, as a form description writes them), forwarding
// to the engine, the order of the re-raised events, re-entry from a handler
// and a silent destruction with the port open.
#include "panel/mb.h"
#include "support/frameslave.h"
#include "support/ptypair.h"

#include <QMetaProperty>
#include <QSignalSpy>
#include <QtTest>

class TestMBProperties : public QObject {
    Q_OBJECT

private slots:
    void defaults()
    {
        TMB mb;
        QCOMPARE(mb.Port(), QStringLiteral("COM1"));
        QCOMPARE(mb.WinQSizeIn(), 8192u);
        QCOMPARE(mb.WinQSizeOut(), 8192u);
        QCOMPARE(mb.MBMode(), TMBMode::modeMaster);
        QCOMPARE(mb.MBSlaveOwnAddress(), 1);
        QCOMPARE(mb.MBBaud(), TMBBaud::baud009600);
        QCOMPARE(mb.MBSlaveID(), 0);
        QCOMPARE(mb.MBSlaveVerYear(), 2013);
        QCOMPARE(mb.MBSlaveVerMonth(), 6);
        QCOMPARE(mb.MBSlaveVerDay(), 18);
        QCOMPARE(mb.MBSlaveName(), QStringLiteral("MB Slave On PC"));
        QCOMPARE(mb.MBLastUsedPort(), QString());
        QCOMPARE(mb.MBMasterQueryMode(), false);
        QCOMPARE(mb.MBMasterAddressToSlave(), 1);
        QCOMPARE(mb.MBMasterIDToSlave(), 0);
        QCOMPARE(mb.MBMasterCommandToSlave(), 0);
        QCOMPARE(mb.MBSlaveErrorCode(), 0);
        QCOMPARE(mb.MBMBTXDataBufferIndex(), 1);
        QCOMPARE(mb.MBMBRXDataBufferIndex(), 1);
        QCOMPARE(mb.MBReceivedDataNumber(), 0);
        QCOMPARE(mb.MBDataNumberToSend(), 0);
        QCOMPARE(mb.MBStatus(), TMBStatus::stOK);
        QCOMPARE(mb.MBStatusString(), QStringLiteral("OK"));
        QCOMPARE(mb.MBMasterTryNumber(), 0);
        QCOMPARE(mb.MBMasterTryNumberMax(), 0);
        QCOMPARE(mb.MBNumberOfTxFrames(), 0u);
        QCOMPARE(mb.MBNumberOfRxFrames(), 0u);
        QCOMPARE(mb.MBMasterTimeOut(), 1000);
        QCOMPARE(mb.MBMasterMaxTryNumber(), 5);
        QCOMPARE(mb.MBSlaveDelayTime(), 0);
        QCOMPARE(mb.MBStatusNow(), TMBStatusNow::stnPortError);
        QCOMPARE(mb.MBReminder(), 0);
        QCOMPARE(mb.MBBusy(), true);
        QCOMPARE(mb.MBNumberOfReceivedBytes(), 0);
        QCOMPARE(mb.MBStatusNowString(), QStringLiteral("Port Error"));
        QCOMPARE(mb.MBRxBufferFull(), false);
        QCOMPARE(mb.MBCalculatedTimeOfSending(), 0);
        QCOMPARE(mb.MBPortOpen(), false);
        QCOMPARE(mb.MBRefreshListOnStartup(), true);
        QCOMPARE(mb.MBStopByteInStringMode(), 0);
        QCOMPARE(mb.MBThereWasOpenEvent(), false);
        QCOMPARE(mb.MBSpeed(), 0u);
        QCOMPARE(mb.MBSpeedMax(), 0u);
    }

    void everyPublishedNameIsAPropertyOrAnEvent()
    {
        const QMetaObject *mo = &TMB::staticMetaObject;
        const QStringList writable{"Port",
                                   "WinQSizeIn",
                                   "WinQSizeOut",
                                   "MBMode",
                                   "MBSlaveOwnAddress",
                                   "MBBaud",
                                   "MBSlaveID",
                                   "MBSlaveVerYear",
                                   "MBSlaveVerMonth",
                                   "MBSlaveVerDay",
                                   "MBSlaveName",
                                   "MBLastUsedPort",
                                   "MBMasterQueryMode",
                                   "MBMasterAddressToSlave",
                                   "MBMasterIDToSlave",
                                   "MBMasterCommandToSlave",
                                   "MBSlaveErrorCode",
                                   "MBMBTXDataBufferIndex",
                                   "MBMBRXDataBufferIndex",
                                   "MBDataNumberToSend",
                                   "MBMasterTimeOut",
                                   "MBMasterMaxTryNumber",
                                   "MBSlaveDelayTime",
                                   "MBReminder",
                                   "MBRefreshListOnStartup",
                                   "MBStopByteInStringMode",
                                   "MBThereWasOpenEvent"};
        const QStringList readOnly{"MBReceivedDataNumber",
                                   "MBStatus",
                                   "MBStatusString",
                                   "MBMasterTryNumber",
                                   "MBMasterTryNumberMax",
                                   "MBNumberOfTxFrames",
                                   "MBNumberOfRxFrames",
                                   "MBStatusNow",
                                   "MBBusy",
                                   "MBNumberOfReceivedBytes",
                                   "MBStatusNowString",
                                   "MBRxBufferFull",
                                   "MBCalculatedTimeOfSending",
                                   "MBPortOpen",
                                   "MBSpeed",
                                   "MBSpeedMax"};
        for (const QString &name : writable) {
            const int i = mo->indexOfProperty(qPrintable(name));
            QVERIFY2(i >= 0, qPrintable(name));
            QVERIFY2(mo->property(i).isWritable(), qPrintable(name));
            QVERIFY2(mo->property(i).isStored(), qPrintable(name));
        }
        for (const QString &name : readOnly) {
            const int i = mo->indexOfProperty(qPrintable(name));
            QVERIFY2(i >= 0, qPrintable(name));
            QVERIFY2(!mo->property(i).isWritable(), qPrintable(name));
            QVERIFY2(!mo->property(i).isStored(), qPrintable(name));
        }
        for (const char *signal :
             {"OnMBMasterEndOfEvent(MBTypes::TMBStatus,QString)", "OnMBPortOpenedOrClosed(bool)",
              "OnMBStatusNowChanged(MBTypes::TMBStatusNow,QString)", "OnMBBusyChanged(bool)",
              "OnMBDiagnosticReceivedAFrame(quint16)",
              "OnMBSlaveReceivedCommand(quint8,bool,quint16)", "OnMBReceivedAByte(quint16)",
              "OnMBReceivedAString(QString)"})
            QVERIFY2(mo->indexOfSignal(QMetaObject::normalizedSignature(signal)) >= 0, signal);
    }

    void writesClamp_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("expected");
        QTest::newRow("max tries 0") << QByteArray("MBMasterMaxTryNumber") << 0 << 1;
        QTest::newRow("max tries 200") << QByteArray("MBMasterMaxTryNumber") << 200 << 100;
        QTest::newRow("max tries 100") << QByteArray("MBMasterMaxTryNumber") << 100 << 100;
        QTest::newRow("address 20") << QByteArray("MBMasterAddressToSlave") << 20 << 15;
        QTest::newRow("address 0") << QByteArray("MBMasterAddressToSlave") << 0 << 0;
        QTest::newRow("own address 0") << QByteArray("MBSlaveOwnAddress") << 0 << 1;
        QTest::newRow("own address 16") << QByteArray("MBSlaveOwnAddress") << 16 << 15;
        QTest::newRow("year 1999") << QByteArray("MBSlaveVerYear") << 1999 << 2000;
        QTest::newRow("year 2101") << QByteArray("MBSlaveVerYear") << 2101 << 2100;
        QTest::newRow("year 2050") << QByteArray("MBSlaveVerYear") << 2050 << 2050;
        QTest::newRow("month 0") << QByteArray("MBSlaveVerMonth") << 0 << 1;
        QTest::newRow("month 13") << QByteArray("MBSlaveVerMonth") << 13 << 12;
        QTest::newRow("day 0") << QByteArray("MBSlaveVerDay") << 0 << 1;
        QTest::newRow("day 32") << QByteArray("MBSlaveVerDay") << 32 << 31;
        QTest::newRow("tx index 0") << QByteArray("MBMBTXDataBufferIndex") << 0 << 1;
        QTest::newRow("tx index 5000") << QByteArray("MBMBTXDataBufferIndex") << 5000 << 2043;
        QTest::newRow("rx index 0") << QByteArray("MBMBRXDataBufferIndex") << 0 << 1;
        QTest::newRow("rx index 5000") << QByteArray("MBMBRXDataBufferIndex") << 5000 << 2043;
        QTest::newRow("to send 3000") << QByteArray("MBDataNumberToSend") << 3000 << 2043;
        QTest::newRow("time-out 70000") << QByteArray("MBMasterTimeOut") << 70000 << 65535;
        QTest::newRow("time-out -1") << QByteArray("MBMasterTimeOut") << -1 << 0;
        QTest::newRow("delay 70000") << QByteArray("MBSlaveDelayTime") << 70000 << 65535;
        QTest::newRow("ID 256") << QByteArray("MBMasterIDToSlave") << 256 << 255;
        QTest::newRow("command -5") << QByteArray("MBMasterCommandToSlave") << -5 << 0;
        QTest::newRow("slave ID 300") << QByteArray("MBSlaveID") << 300 << 255;
        QTest::newRow("error code 999") << QByteArray("MBSlaveErrorCode") << 999 << 255;
        QTest::newRow("stop byte 256") << QByteArray("MBStopByteInStringMode") << 256 << 255;
        QTest::newRow("reminder 65536") << QByteArray("MBReminder") << 65536 << 65535;
    }

    void writesClamp()
    {
        QFETCH(QByteArray, name);
        QFETCH(int, written);
        QFETCH(int, expected);
        TMB mb;
        // As a form description writes it: through the meta-object, never failing.
        QVERIFY(mb.setProperty(name, written));
        QCOMPARE(mb.property(name).toInt(), expected);
        // Published once, by the component; the engine holds the value behind
        // plain accessors (settersForwardToTheEngine).
        QCOMPARE(mb.engine().metaObject()->indexOfProperty(name.constData()), -1);
    }

    void settersForwardToTheEngine()
    {
        TMB mb;
        mb.setMBMasterTimeOut(50);
        QCOMPARE(mb.engine().MBMasterTimeOut(), 50);
        mb.engine().setMBMasterMaxTryNumber(7);
        QCOMPARE(mb.MBMasterMaxTryNumber(), 7);
        mb.setMBBaud(TMBBaud::baud115200);
        QCOMPARE(mb.engine().BaudRate(), 115200u);
        QVERIFY(mb.setProperty("MBBaud", QVariant::fromValue(TMBBaud::baud000300)));
        QCOMPARE(mb.engine().BaudRate(), 300u);
        mb.setMBLastUsedPort(QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(mb.engine().MBLastUsedPort(), QStringLiteral("/dev/ttyUSB3"));
        mb.setMBSlaveName(QStringLiteral("Bench slave"));
        QCOMPARE(mb.engine().MBSlaveName(), QStringLiteral("Bench slave"));
        mb.setWinQSizeIn(100000);
        QCOMPARE(mb.engine().WinQSizeIn(), 100000u);
        mb.setMBRefreshListOnStartup(false);
        QVERIFY(!mb.engine().MBRefreshListOnStartup());
        QVERIFY(mb.setProperty("MBMode", QVariant::fromValue(TMBMode::modeString)));
        QCOMPARE(mb.engine().MBMode(), TMBMode::modeString);
        QCOMPARE(mb.title(), QStringLiteral("MB String Mode V2013-06-18"));
        // The window description names enumeration values by their text.
        QVERIFY(mb.setProperty("MBMode", QStringLiteral("modeByte")));
        QCOMPARE(mb.MBMode(), TMBMode::modeByte);
        QVERIFY(mb.setProperty("MBBaud", QStringLiteral("baud115200")));
        QCOMPARE(mb.engine().BaudRate(), 115200u);
        QVERIFY(!mb.setProperty("MBBaud", QStringLiteral("baud999999")));
        QCOMPARE(mb.engine().BaudRate(), 115200u);

        // The buffer operations work on the engine's buffers.
        mb.MBClearTXData();
        QVERIFY(mb.MBAppendWord(0x1234));
        QVERIFY(mb.MBAppendByte(5));
        QVERIFY(mb.MBAppendString("AB"));
        QCOMPARE(mb.engine().MBDataNumberToSend(), 6);
        QCOMPARE(mb.MBMBTXDataBufferIndex(), 7);
        QVERIFY(mb.MBAppendInteger(-1));
        QVERIFY(mb.MBAppendCardinal(1));
        QVERIFY(mb.MBAppendReal(1.5));
        QCOMPARE(mb.MBDataNumberToSend(), 18);
        // Nothing received: every read is 0 and the index stays.
        QCOMPARE(mb.MBReadByte(), quint8(0));
        QCOMPARE(mb.MBReadWord(), quint16(0));
        QCOMPARE(mb.MBReadCardinal(), 0u);
        QCOMPARE(mb.MBReadInteger(), 0);
        QCOMPARE(mb.MBReadReal(), 0.0);
        QCOMPARE(mb.MBMBRXDataBufferIndex(), 1);
    }

    void eventsComeInTheEnginesOrderAndAllowReentry()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        // The reply carries the request's data back.
        slave.setResponder(
            [](const SlaveRequest &r) { return FrameSlave::replyLine(1, r.id, 0, r.data); });
        TMB mb;
        mb.setMBMasterTimeOut(200);
        QVERIFY(mb.engine().MBOpenPort(pty.slavePath()));

        QStringList order;
        connect(&mb, &TMB::OnMBBusyChanged, this,
                [&](bool busy) { order << QStringLiteral("busy %1").arg(busy); });
        connect(&mb, &TMB::OnMBStatusNowChanged, this,
                [&](TMBStatusNow, const QString &text) { order << text; });
        int ends = 0;
        quint16 lastWord = 0;
        connect(&mb, &TMB::OnMBMasterEndOfEvent, this, [&](TMBStatus status, const QString &text) {
            order << QStringLiteral("end ") + text;
            QCOMPARE(status, TMBStatus::stOK);
            lastWord = mb.MBReadWord();
            // The next request goes out from inside the handler, as the main
            // window's exchange cycle does.
            if (++ends < 3) {
                mb.MBClearTXData();
                mb.MBAppendWord(quint16(ends + 100));
                mb.MBSendFrame();
            }
        });

        mb.MBClearTXData();
        mb.MBAppendWord(100);
        mb.MBSendFrame();
        QTRY_COMPARE(ends, 3);
        QCOMPARE(lastWord, quint16(102));
        QCOMPARE(slave.requestCount(), 3);
        QCOMPARE(mb.MBNumberOfTxFrames(), 3u);
        QCOMPARE(mb.MBNumberOfRxFrames(), 3u);
        const QStringList oneTransaction{
            "busy 1", "Sending", "Waiting For Answer", "Receiving", "Ready", "busy 0", "end OK"};
        QCOMPARE(order.mid(0, 7), oneTransaction);
        QCOMPARE(order.mid(7, 7), oneTransaction);
        QCOMPARE(order.size(), 21);
    }

    void closingRaisesTheEndBeforeThePortEvent()
    {
        PtyPair pty;
        FrameSlave slave(pty); // never answers
        TMB mb;
        QVERIFY(mb.engine().MBOpenPort(pty.slavePath()));
        QStringList order;
        connect(&mb, &TMB::OnMBMasterEndOfEvent, this,
                [&](TMBStatus, const QString &text) { order << QStringLiteral("end ") + text; });
        connect(&mb, &TMB::OnMBPortOpenedOrClosed, this,
                [&](bool open) { order << QStringLiteral("port %1").arg(open); });
        mb.MBSendFrame();
        QTRY_COMPARE(slave.requestCount(), 1);
        mb.MBClosePort();
        QCOMPARE(order, (QStringList{"end Port Error", "port 0"}));
    }

    void destructionClosesThePortSilently()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        int events = 0;
        {
            auto mb = std::make_unique<TMB>();
            QVERIFY(mb->engine().MBOpenPort(pty.slavePath()));
            mb->MBSendFrame(); // a transaction waits for its reply
            QVERIFY(mb->MBBusy());
            connect(mb.get(), &TMB::OnMBMasterEndOfEvent, this, [&] { ++events; });
            connect(mb.get(), &TMB::OnMBPortOpenedOrClosed, this, [&] { ++events; });
            connect(mb.get(), &TMB::OnMBStatusNowChanged, this, [&] { ++events; });
            connect(mb.get(), &TMB::OnMBBusyChanged, this, [&] { ++events; });
        }
        QCOMPARE(events, 0);
        // The port was given back: another user can take it at once.
        MBEngine next;
        QVERIFY(next.MBOpenPort(pty.slavePath()));
    }
};

QTEST_MAIN(TestMBProperties)
#include "tst_mbproperties.moc"
