// Port details from a fake sysfs tree: what a port is in words, which device
// coming back is the one that went away, why a port cannot be used, and who
// holds it.
#include <QtTest>

#include "ports/portinfo.h"
#include "ports/portprobe.h"
#include "support/fakesysfs.h"
#include "support/ptypair.h"

#include <cerrno>
#include <unistd.h>

namespace {

FakeSysfs::Usb ftdi(const QString &serial, const QString &location,
                    const QString &interface = QStringLiteral("00"))
{
    FakeSysfs::Usb usb;
    usb.serial = serial;
    usb.location = location;
    usb.interface = interface;
    return usb;
}

// A CH340 as it comes: no serial number, no maker's name.
FakeSysfs::Usb ch340(const QString &location)
{
    FakeSysfs::Usb usb;
    usb.serial.clear();
    usb.manufacturer.clear();
    usb.product = QStringLiteral("USB Serial");
    usb.vendorId = QStringLiteral("1a86");
    usb.productId = QStringLiteral("7523");
    usb.location = location;
    return usb;
}

} // namespace

class TestPortInfo : public QObject {
    Q_OBJECT

    FakeSysfs m_tree;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tree.isValid());
        const QString serial = QStringLiteral("A10K3ZQ1");
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB0"), ftdi(serial, QStringLiteral("1-2"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB1"), ftdi(serial, QStringLiteral("1-3"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB2"),
                                 ftdi(QStringLiteral("B77"), QStringLiteral("1-7"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB3"),
                                 ftdi(serial, QStringLiteral("1-6"), QStringLiteral("01"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB4"), ch340(QStringLiteral("1-4"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB5"), ch340(QStringLiteral("1-4"))));
        QVERIFY(m_tree.addUsbTty(QStringLiteral("ttyUSB6"), ch340(QStringLiteral("1-5"))));
        QVERIFY(m_tree.addPlainTty(QStringLiteral("ttyS0")));
        QVERIFY(m_tree.addPlainTty(QStringLiteral("ttyS1")));
    }

    void theSameDeviceComesBack_data()
    {
        QTest::addColumn<QString>("lost");
        QTest::addColumn<QString>("back");
        QTest::addColumn<bool>("same");
        QTest::newRow("under another ttyUSB number, in another socket") << "/dev/ttyUSB0"
                                                                        << "/dev/ttyUSB1" << true;
        QTest::newRow("another adapter of the same make") << "/dev/ttyUSB0"
                                                          << "/dev/ttyUSB2" << false;
        QTest::newRow("the other interface of a dual adapter") << "/dev/ttyUSB0"
                                                               << "/dev/ttyUSB3" << false;
        QTest::newRow("no serial number, back in its socket") << "/dev/ttyUSB4"
                                                              << "/dev/ttyUSB5" << true;
        QTest::newRow("no serial number, in another socket") << "/dev/ttyUSB4"
                                                             << "/dev/ttyUSB6" << false;
        QTest::newRow("a built-in port at its path") << "/dev/ttyS0"
                                                     << "/dev/ttyS0" << true;
        QTest::newRow("a built-in port is no other") << "/dev/ttyS0"
                                                     << "/dev/ttyS1" << false;
        QTest::newRow("a USB adapter is no built-in port") << "/dev/ttyUSB0"
                                                           << "/dev/ttyS0" << false;
    }
    void theSameDeviceComesBack()
    {
        QFETCH(QString, lost);
        QFETCH(QString, back);
        QFETCH(bool, same);
        const PortCatalog catalog = m_tree.catalog();
        QCOMPARE(catalog.details(lost).sameDevice(catalog.details(back)), same);
        QCOMPARE(catalog.details(back).sameDevice(catalog.details(lost)), same);
    }

    void portsAreDescribed_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("lines"); // by-id names relative to the by-id folder
        QTest::newRow("FTDI adapter")
            << "/dev/ttyUSB1"
            << "usb-serial"
            << QStringList{"FTDI FT232R USB UART, serial A10K3ZQ1",
                           "usb-FTDI_FT232R_USB_UART_A10K3ZQ1-if00-port0"};
        QTest::newRow("second interface")
            << "/dev/ttyUSB3"
            << "usb-serial"
            << QStringList{"FTDI FT232R USB UART, serial A10K3ZQ1, interface 1",
                           "usb-FTDI_FT232R_USB_UART_A10K3ZQ1-if01-port0"};
        // The last of three alike has the by-id name.
        QTest::newRow("no maker, no serial number")
            << "/dev/ttyUSB6"
            << "usb-serial" << QStringList{"USB Serial", "usb-_USB_Serial-if00-port0"};
        QTest::newRow("built-in") << "/dev/ttyS0"
                                  << "builtin" << QStringList{"built-in serial port"};
    }
    void portsAreDescribed()
    {
        QFETCH(QString, path);
        QFETCH(QString, kind);
        QFETCH(QStringList, lines);
        const PortCatalog catalog = m_tree.catalog();
        if (lines.size() > 1) lines[1] = catalog.byIdRoot() + u'/' + lines[1];
        const PortDetails details = catalog.details(path);
        QCOMPARE(QLatin1String(details.kind.id), kind);
        QCOMPARE(details.lines(), lines);
    }

    void aLinkToAPtyComesBackAPtyByNumberDoesNot()
    {
        PtyPair pty;
        QTemporaryDir folder;
        const QString link = folder.filePath(QStringLiteral("ttyKX"));
        QVERIFY(QFile::link(pty.slavePath(), link));
        const PortDetails viaLink = PortCatalog().details(link);
        QCOMPARE(viaLink.description(), QStringLiteral("pseudo-terminal ") + pty.slavePath());
        QVERIFY(viaLink.canComeBack());
        const PortDetails byNumber = PortCatalog().details(pty.slavePath());
        QCOMPARE(byNumber.lines(), QStringList{QStringLiteral("pseudo-terminal")});
        QVERIFY(!byNumber.canComeBack());
    }

    void refusalsSayWhy_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("pid"); // of the holder; 0: none known
        QTest::addColumn<QString>("text");
        const QString denied = QString::fromLocal8Bit(strerror(EACCES));
        QTest::newRow("free") << 0 << "" << 0 << "";
        QTest::newRow("no permission")
            << EACCES << "uucp" << 0
            << denied + "; join the group uucp (sudo adduser $USER uucp), then log in again";
        // No group may open it (root:root 0600): joining one would not help.
        QTest::newRow("no permission, no group may open it")
            << EACCES << "" << 0
            << denied + "; no group may open it: an administrator must give the device to a "
                        "group such as dialout (a udev rule), then you join that group";
        QTest::newRow("held, holder known")
            << EBUSY << "" << 4711 << "held by minicom (process 4711)";
        QTest::newRow("held, holder unknown") << EBUSY << "" << 0 << "held by another program";
        QTest::newRow("missing") << ENOENT << "" << 0 << QString::fromLocal8Bit(strerror(ENOENT));
    }
    void refusalsSayWhy()
    {
        QFETCH(int, code);
        QFETCH(QString, group);
        QFETCH(int, pid);
        QFETCH(QString, text);
        const SerialStatus status =
            code ? SerialStatus::failure(code, QString::fromLocal8Bit(strerror(code)))
                 : SerialStatus::success();
        const std::optional<PortHolder> holder =
            pid ? std::optional(PortHolder{pid, QStringLiteral("minicom")}) : std::nullopt;
        QCOMPARE(portRefusalText(status, group, holder), text);
    }

    void anotherProgramHoldingAPortIsNamed()
    {
        PtyPair pty;
        PortHolderProcess other(pty.slavePath(), false);
        QVERIFY(other.isHolding());
        const DeviceHolders holders;
        const PortProbe probe = probePorts(
            {pty.slavePath()}, [&](const QString &port) { return probePort(port, holders); },
            &holders);
        QVERIFY(probe.available.isEmpty());
        QCOMPARE(probe.outcomes.value(pty.slavePath()).kind, PortFailure::Busy);
        QCOMPARE(probe.heldElsewhere.size(), 1);
        // The holder is a child of this test: another process, of the same name.
        const PortHolder holder = probe.heldElsewhere.first().holder;
        QVERIFY(holder.pid != ::getpid());
        QCOMPARE(holder.program, QCoreApplication::applicationName().left(15));
    }
};

QTEST_GUILESS_MAIN(TestPortInfo)
#include "tst_portinfo.moc"
