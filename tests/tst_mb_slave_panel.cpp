// The slave and raw modes through the visual component TMB: its events carry
// the engine's, and its buffer operations reach the engine's buffers.
#include <QtTest>

#include "panel/mb.h"
#include "support/frameslave.h"
#include "support/ptypair.h"

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
