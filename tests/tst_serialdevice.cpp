// The serial platform layer on real ptys: exclusive opening, line settings at
// every speed of the speed table (read back from the driver), raw transfer,
// purge at opening, settings restored at closing, and the speed table itself.
#include <QtTest>

#include "link/mbtypes.h"
#include "serial/serialdevice_posix.h"
#include "support/ptypair.h"

#include <asm/termbits.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
bool lineEchoes(int fd)
{
    termios2 tio{};
    ioctl(fd, TCGETS2, &tio);
    return tio.c_lflag & ECHO;
}
} // namespace

class TestSerialDevice : public QObject {
    Q_OBJECT
private slots:
    void speedTableHasTheListTextsInOrdinalOrder()
    {
        const QStringList texts = mbBaudListTexts();
        QCOMPARE(texts.size(), 21);
        QCOMPARE(texts.first(), QStringLiteral("75 baud"));
        QCOMPARE(texts[11], QStringLiteral("9600 baud"));
        QCOMPARE(texts[17], QStringLiteral("128000 baud"));
        QCOMPARE(texts.last(), QStringLiteral("921600 baud"));
        for (int i = 0; i < 21; ++i) {
            QCOMPARE(int(kMBBaudTable[i].baud), i);
            QCOMPARE(texts[i], QString::number(kMBBaudTable[i].speed) + QStringLiteral(" baud"));
        }
    }

    void baudMapsBothWays()
    {
        QCOMPARE(mbBaudToSpeed(TMBBaud::baud115200), 115200u);
        QCOMPARE(mbBaudToSpeed(TMBBaud::baud000134), 134u);
        QCOMPARE(mbSpeedToBaud(14400), TMBBaud::baud014400);
        QCOMPARE(mbSpeedToBaud(128000), TMBBaud::baud128000);
        // Not in the table: reads as 9600, and ordinals outside give 9600.
        QCOMPARE(mbSpeedToBaud(12345), TMBBaud::baud009600);
        QCOMPARE(mbSpeedToBaud(0), TMBBaud::baud009600);
        QCOMPARE(mbBaudToSpeed(21), 9600u);
        QCOMPARE(mbBaudToSpeed(-1), 9600u);
        for (const auto &entry : kMBBaudTable)
            QCOMPARE(mbSpeedToBaud(entry.speed), entry.baud);
    }

    void secondExclusiveOpenIsRefused()
    {
        PtyPair pty;
        QVERIFY(pty.isValid());
        PosixSerialDevice first;
        QVERIFY(first.open(pty.slavePath()).ok());
        // We run as root in CI, where TIOCEXCL alone would let this through.
        PosixSerialDevice second;
        const SerialStatus refused = second.open(pty.slavePath());
        QVERIFY(!refused.ok());
        QCOMPARE(refused.code, EBUSY);
        QCOMPARE(refused.message, QString::fromLocal8Bit(strerror(EBUSY)));
        QVERIFY(!second.isOpen());
        first.close();
        QVERIFY(second.open(pty.slavePath()).ok());
    }

    void missingDeviceCarriesTheSystemMessage()
    {
        PosixSerialDevice device;
        const SerialStatus status = device.open(QStringLiteral("/dev/no-such-port-kx"));
        QCOMPARE(status.code, ENOENT);
        QCOMPARE(status.message, QString::fromLocal8Bit(strerror(ENOENT)));
    }

    void everyTableSpeedIsSetAndReadBack_data()
    {
        QTest::addColumn<quint32>("speed");
        for (const auto &entry : kMBBaudTable)
            QTest::newRow(entry.text) << entry.speed;
    }
    void everyTableSpeedIsSetAndReadBack()
    {
        QFETCH(quint32, speed);
        PtyPair pty;
        PosixSerialDevice device;
        QVERIFY(device.open(pty.slavePath()).ok());
        const SerialStatus status = device.setLineSettings(speed);
        QVERIFY2(status.ok(), qPrintable(status.message));
        QCOMPARE(device.lineSpeed(), speed);

        termios2 tio{};
        QCOMPARE(ioctl(device.nativeHandle(), TCGETS2, &tio), 0);
        QCOMPARE(tio.c_ospeed, speed);
        QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QVERIFY(tio.c_cflag & CLOCAL);
        QCOMPARE(tio.c_iflag & (IXON | IXOFF | ICRNL), tcflag_t(0));
        QCOMPARE(tio.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(0));
        QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
    }

    void bytesPassUnchangedBothWays()
    {
        PtyPair pty;
        PosixSerialDevice device;
        QVERIFY(device.open(pty.slavePath()).ok());
        QVERIFY(device.setLineSettings(115200).ok());
        device.clearDtrRts(); // ENOTTY on a pty: ignored

        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QVERIFY(device.write(std::span(all.constData(), 128)).ok());
        QVERIFY(device.write(std::span(all.constData() + 128, 128)).ok());
        QByteArray seen;
        QTRY_COMPARE((seen += pty.readAvailable()).size(), 256);
        QCOMPARE(seen, all);

        QVERIFY(pty.write(all));
        QByteArray received;
        QTRY_COMPARE((received += device.readWaiting().data).size(), 256);
        QCOMPARE(received, all);
        const SerialRead nothing = device.readWaiting();
        QVERIFY(nothing.data.isEmpty());
        QVERIFY(!nothing.lost);
    }

    void openingPurgesStaleInput()
    {
        PtyPair pty;
        QVERIFY(pty.write("stale"));
        PosixSerialDevice device;
        QVERIFY(device.open(pty.slavePath()).ok());
        QVERIFY(device.readWaiting().data.isEmpty());
    }

    void closingRestoresTheLineSettings()
    {
        PtyPair pty;
        // Another user of the line left echo on; we run raw and give it back.
        const int other = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        QVERIFY(other >= 0);
        termios2 tio{};
        ioctl(other, TCGETS2, &tio);
        tio.c_lflag |= ECHO;
        QCOMPARE(ioctl(other, TCSETS2, &tio), 0);

        PosixSerialDevice device;
        QVERIFY(device.open(pty.slavePath()).ok());
        QVERIFY(device.setLineSettings(9600).ok());
        QVERIFY(!lineEchoes(other));
        device.close();
        QVERIFY(lineEchoes(other));
        ::close(other);
    }

    void waitReportsDataStopAndHangUp()
    {
        PtyPair pty;
        PosixSerialDevice device;
        QVERIFY(device.open(pty.slavePath()).ok());
        QVERIFY(device.setLineSettings(9600).ok());

        device.signalStop();
        SerialEvents events = device.waitForEvents();
        QVERIFY(events.stopped);
        device.resetStop();

        QVERIFY(pty.write("x"));
        events = device.waitForEvents();
        QVERIFY(events.dataWaiting);
        QVERIFY(!events.stopped);
        QCOMPARE(device.readWaiting().data, QByteArray("x"));

        pty.closeMaster();
        events = device.waitForEvents();
        QVERIFY(events.hangUp);
        const SerialRead read = device.readWaiting();
        QVERIFY(read.lost);
        QCOMPARE(read.status.code, EIO);
        QVERIFY(!device.write(std::span("ab", 2)).ok());

        // Not watching the dead port: only the stop event ends the wait.
        device.signalStop();
        events = device.waitForEvents(false);
        QVERIFY(events.stopped);
        QVERIFY(!events.hangUp);
    }
};

QTEST_GUILESS_MAIN(TestSerialDevice)
#include "tst_serialdevice.moc"
