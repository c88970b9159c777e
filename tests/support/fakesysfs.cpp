// Fake sysfs trees for port details.
#include "support/fakesysfs.h"

#include <QDir>
#include <QFile>

namespace {

bool writeAttribute(const QString &folder, const QString &name, const QString &value)
{
    if (value.isEmpty()) return true; // a device without the attribute
    QFile file(folder + u'/' + name);
    return file.open(QIODevice::WriteOnly) && file.write(value.toUtf8() + '\n') > 0;
}

} // namespace

FakeSysfs::FakeSysfs()
{
    QDir(m_root.path()).mkpath(QStringLiteral("sys/class/tty"));
    QDir(m_root.path()).mkpath(QStringLiteral("by-id"));
}

PortCatalog FakeSysfs::catalog() const
{
    return PortCatalog(m_root.filePath(QStringLiteral("sys")),
                       m_root.filePath(QStringLiteral("by-id")));
}

bool FakeSysfs::addUsbTty(const QString &ttyName, const Usb &usb)
{
    const QString device = QStringLiteral("sys/devices/pci0000:00/usb1/") + usb.location;
    const QString interface = device + u'/' + usb.location + QStringLiteral(":1.") +
                              QString::number(usb.interface.toInt());
    const QString port = interface + u'/' + ttyName;
    QDir root(m_root.path());
    if (!root.mkpath(port) || !root.mkpath(QStringLiteral("sys/class/tty/") + ttyName))
        return false;
    const QString at = m_root.path() + u'/';
    bool ok = writeAttribute(at + device, QStringLiteral("idVendor"), usb.vendorId) &&
              writeAttribute(at + device, QStringLiteral("idProduct"), usb.productId) &&
              writeAttribute(at + device, QStringLiteral("manufacturer"), usb.manufacturer) &&
              writeAttribute(at + device, QStringLiteral("product"), usb.product) &&
              writeAttribute(at + device, QStringLiteral("serial"), usb.serial) &&
              writeAttribute(at + interface, QStringLiteral("bInterfaceNumber"), usb.interface) &&
              writeAttribute(at + port, QStringLiteral("port_number"), QStringLiteral("0"));
    // As the kernel links it: relative, from the class entry into the tree
    // (a device added again replaces its entry).
    QFile::remove(at + QStringLiteral("sys/class/tty/") + ttyName + QStringLiteral("/device"));
    ok = ok &&
         QFile::link(QStringLiteral("../../../") + device.mid(4) + u'/' + usb.location +
                         QStringLiteral(":1.") + QString::number(usb.interface.toInt()) + u'/' +
                         ttyName,
                     at + QStringLiteral("sys/class/tty/") + ttyName + QStringLiteral("/device"));
    // As udev names it.
    const QString serial = usb.serial.isEmpty() ? QString() : u'_' + usb.serial;
    const QString byId =
        QStringLiteral("usb-%1_%2%3-if%4-port0")
            .arg(usb.manufacturer, QString(usb.product).replace(u' ', u'_'), serial, usb.interface);
    // Two devices of one name: the later one has it, as with udev.
    QFile::remove(at + QStringLiteral("by-id/") + byId);
    return ok &&
           QFile::link(QStringLiteral("../../") + ttyName, at + QStringLiteral("by-id/") + byId);
}

bool FakeSysfs::addPlainTty(const QString &ttyName)
{
    QDir root(m_root.path());
    const QString device = QStringLiteral("sys/devices/platform/serial8250/") + ttyName;
    if (!root.mkpath(device) || !root.mkpath(QStringLiteral("sys/class/tty/") + ttyName))
        return false;
    return QFile::link(QStringLiteral("../../../devices/platform/serial8250/") + ttyName,
                       m_root.path() + QStringLiteral("/sys/class/tty/") + ttyName +
                           QStringLiteral("/device"));
}
