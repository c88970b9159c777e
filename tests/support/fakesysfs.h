// A fake sysfs and /dev/serial/by-id in a temporary folder, laid out as the
// kernel and udev lay out a USB serial adapter, for tests of the port details.
#pragma once

#include "ports/portinfo.h"

#include <QString>
#include <QTemporaryDir>

class FakeSysfs {
public:
    struct Usb {
        QString serial = QStringLiteral("A10K3ZQ1"); // empty: the device has none
        QString location = QStringLiteral("1-2");    // the USB socket
        QString interface = QStringLiteral("00");
        QString vendorId = QStringLiteral("0403");
        QString productId = QStringLiteral("6001");
        QString manufacturer = QStringLiteral("FTDI");
        QString product = QStringLiteral("FT232R USB UART");
    };

    FakeSysfs();
    bool isValid() const { return m_root.isValid(); }
    // Reads this tree.
    PortCatalog catalog() const;

    // A USB serial adapter whose tty is ttyName (ttyUSB0, or the number of
    // a pty that plays it), with its udev by-id link. Devices present at the
    // same time sit in different sockets (locations).
    bool addUsbTty(const QString &ttyName, const Usb &usb);
    // A tty with a device that is no USB device (a built-in UART).
    bool addPlainTty(const QString &ttyName);

private:
    QTemporaryDir m_root;
};
