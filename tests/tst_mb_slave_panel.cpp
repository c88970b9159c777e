// The slave and raw modes through the visual component TMB: its events carry
// the engine's, and its buffer operations reach the engine's buffers.
#include <QtTest>

#include "panel/mb.h"
#include "support/frameslave.h"
#include "support/ptypair.h"
#include "widgets/shape.h"

#include <QLabel>

class TestMBSlavePanel : public QObject {
    Q_OBJECT

private slots:
    void slaveCommandReachesTheHostThroughTMB()
    {
        PtyPair line;
        TMB mb;
        mb.setMBMode(TMBMode::modeSlave);
        mb.setMBSlaveOwnAddress(2);
        QSignalSpy commands(&mb, &TMB::OnMBSlaveReceivedCommand);
        connect(&mb, &TMB::OnMBSlaveReceivedCommand, &mb,
                [&](quint8, bool, quint16) { mb.MBAppendByte(quint8(mb.MBReadByte() * 2)); });
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        QVERIFY(line.write(FrameSlave::encodeFrame(0x42, 0, 7, QByteArray(1, char(21)))));
        QTRY_COMPARE(commands.count(), 1);
        QCOMPARE(commands.first(), (QVariantList{quint8(7), true, quint16(1)}));
        QByteArray reply;
        QTRY_COMPARE((reply += line.readAvailable()),
                     FrameSlave::replyLine(2, 0, 0, QByteArray(1, char(42))));
    }

    void frameCounterResetShowsTheCountersPicture()
    {
        PtyPair line;
        TMB mb;
        mb.setMBMode(TMBMode::modeSlave);
        mb.setMBSlaveOwnAddress(2);
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        QVERIFY(line.write(FrameSlave::encodeFrame(0x02, 0, 0)));
        QTRY_COMPARE(mb.MBNumberOfRxFrames(), 1u);
        QCOMPARE(mb.panel().receiveCounter()->text(), QStringLiteral("   1"));
        // Command 130 with 1 counts back to zero: a count, in the picture.
        QVERIFY(line.write(FrameSlave::encodeFrame(0x02, 0, 130, QByteArray(1, 1))));
        QTRY_COMPARE(mb.panel().receiveCounter()->text(), QStringLiteral("   0"));
        QCOMPARE(mb.MBNumberOfRxFrames(), 0u);
        // A reset is no count: a bare "0".
        mb.MBResetStatistics();
        QCOMPARE(mb.panel().receiveCounter()->text(), QStringLiteral("0"));
    }

    void broadcastKeepsItsLengthInTheAssembly()
    {
        PtyPair line;
        TMB mb;
        mb.setMBMode(TMBMode::modeSlave);
        mb.setMBSlaveOwnAddress(2);
        QSignalSpy commands(&mb, &TMB::OnMBSlaveReceivedCommand);
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        QVERIFY(line.write(FrameSlave::encodeFrame(0x00, 0, 9, QByteArray("xyz"))));
        QTRY_COMPARE(commands.count(), 1);
        QCOMPARE(mb.MBNumberOfReceivedBytes(), 8);
        QCOMPARE(mb.MBStatusNow(), TMBStatusNow::stnReceivedCommand);
    }

    void aFailedRawSendPutsOutTheTransmitIndicator_data()
    {
        QTest::addColumn<TMBMode>("mode");
        QTest::newRow("byte mode") << TMBMode::modeByte;
        QTest::newRow("string mode") << TMBMode::modeString;
    }
    void aFailedRawSendPutsOutTheTransmitIndicator()
    {
        QFETCH(TMBMode, mode);
        PtyPair line;
        TMB mb;
        mb.setMBMode(mode);
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        mb.MBClearTXData();
        mb.MBAppendByte('?');
        mb.MBSendFrame();
        const QColor lit = MBPanel::lampColor(TMBLamp::Orange, mb.palette());
        QCOMPARE(mb.panel().transmitIndicator()->BrushColor(), lit);
        // The line goes; the next send fails before the light has gone out.
        line.closeMaster();
        mb.MBSendFrame();
        QCOMPARE(mb.MBStatus(), TMBStatus::stPortError);
        QCOMPARE(mb.panel().transmitIndicator()->BrushColor(),
                 MBPanel::lampColor(TMBLamp::Neutral, mb.palette()));
    }

    void byteModeThroughTMB()
    {
        PtyPair line;
        TMB mb;
        mb.setMBMode(TMBMode::modeByte);
        QSignalSpy received(&mb, &TMB::OnMBReceivedAByte);
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        QVERIFY(line.write("abc"));
        QTRY_COMPARE(received.count(), 1);
        QCOMPARE(received.first(), QVariantList{quint16(3)});
        // The emptying operation is reachable by name too, as scripts and
        // designers call it.
        QVERIFY(QMetaObject::invokeMethod(&mb, "MBClearRXData"));
        QCOMPARE(mb.MBReceivedDataNumber(), 0);
        QCOMPARE(mb.MBNumberOfReceivedBytes(), 0);
        QVERIFY(line.write("d"));
        QTRY_COMPARE(received.count(), 2);
        QCOMPARE(received.last(), QVariantList{quint16(1)});
        QCOMPARE(mb.MBReadByte(), quint8('d'));
    }

    void stringModeThroughTMB()
    {
        PtyPair line;
        TMB mb;
        mb.setMBMode(TMBMode::modeString);
        mb.setMBStopByteInStringMode('\n');
        QSignalSpy texts(&mb, &TMB::OnMBReceivedAString);
        QVERIFY(mb.engine().MBOpenPort(line.slavePath()));
        mb.MBClearTXData();
        mb.MBAppendByte('?');
        mb.MBSendFrame();
        QVERIFY(line.write("42\n"));
        QTRY_COMPARE(texts.count(), 1);
        QCOMPARE(texts.first().first().toString(), QStringLiteral("42\n"));
    }
};

QTEST_MAIN(TestMBSlavePanel)
#include "tst_mb_slave_panel.moc"
