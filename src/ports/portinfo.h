// What is behind a port name, in words a person recognises: for a USB
// adapter its maker, product and serial number and the stable name udev gives
// it under /dev/serial/by-id; otherwise the kind of port. The same details
// tell whether a port that comes back is the device that went away, although
// a USB adapter may return under another ttyUSB number. The link panel's tool
// tips and `kx4720r-cli ports` both describe ports with this code.
#pragma once

#include "serial/portholders.h"
#include "serial/serialdevice.h"

#include <QString>
#include <QStringList>

#include <optional>

// The USB device a tty belongs to, from its sysfs attributes.
struct UsbDetails {
    QString vendorId;  // "0403"
    QString productId; // "6001"
    QString manufacturer;
    QString product;
    QString serial;     // empty when the device has none
    QString location;   // the USB device's sysfs name: bus and hub ports, "1-2.3"
    QString interface;  // bInterfaceNumber of the tty's interface, "00"
    QString portNumber; // port_number of a usb-serial port within its interface, or empty

    bool operator==(const UsbDetails &) const = default;
};

// The kind of a port, as the command-line tool reports it ("usb-serial") and
// in words ("USB serial adapter").
struct PortKind {
    const char *id;
    const char *words;
};

struct PortDetails {
    QString path;   // as the user names it (a by-id name, a link, /dev/ttyUSB0)
    QString device; // the device node behind it (/dev/ttyUSB0), or path when it cannot be resolved
    PortKind kind{"other", "serial device"};
    std::optional<UsbDetails> usb;
    QString byId; // the /dev/serial/by-id name of the device, when udev made one
    // When path is a symbolic link: which link it is (its inode and change
    // time), so that a link made anew can be told from the same old one.
    QString linkIdentity;

    bool isLink() const { return !linkIdentity.isEmpty(); }

    // "FTDI FT232R USB UART, serial A10K3ZQ1" for a USB device; otherwise
    // the kind in words, and the device when the path is a link to it.
    QString description() const;
    // The description, then the by-id name where there is one: the lines a
    // tool tip or a listing shows under the port's name.
    QStringList lines() const;

    // Whether other is the device this was taken from, back again. A USB
    // device is the same when its maker, product, serial number and interface
    // match, under whatever ttyUSB number it returns (the by-id identity); one
    // without a serial number must also come back in the same USB socket,
    // since any adapter of its make would otherwise pass. Any other port is
    // the same when it has the same path.
    bool sameDevice(const PortDetails &other) const;
    // A device that can come back: not a pseudo-terminal named by its
    // number, whose number goes to whichever program opens a pty next.
    bool canComeBack() const;
    // Whether now, found where this device was lost, is this device back.
    // As sameDevice, and a link to a pseudo-terminal must have been made
    // anew: the old link still leading to the old number leads to whichever
    // program took that number since.
    bool cameBackAs(const PortDetails &now) const;
};

// Where details come from. Tests lay out a fake tree in a temporary folder
// (sysRoot/class/tty/ttyUSB0/device leading to a USB interface and device
// with their attribute files; byIdRoot holding links named like udev's).
class PortCatalog {
public:
    explicit PortCatalog(QString sysRoot = QStringLiteral("/sys"),
                         QString byIdRoot = QStringLiteral("/dev/serial/by-id"))
        : m_sysRoot(std::move(sysRoot)), m_byIdRoot(std::move(byIdRoot))
    {
    }
    QString sysRoot() const { return m_sysRoot; }
    QString byIdRoot() const { return m_byIdRoot; }

    // Reads what sysfs and the by-id folder say about the device behind path.
    // Never fails: what cannot be read is left empty.
    PortDetails details(const QString &path) const;

private:
    std::optional<UsbDetails> usbDetails(const QString &ttyName) const;
    QString byIdName(const QString &ttyName) const;

    QString m_sysRoot;
    QString m_byIdRoot;
};

// The kind of the device node at path (/dev/ttyUSB0 and so on).
PortKind portKindOf(const QString &devicePath);

// What a user without permission for a port can do: join the group that may
// open it, or, when no group may (root:root 0600), have an administrator
// give the device to one.
QString permissionRemedy(const QString &group);

// Why a port cannot be used, in a few words after its state: the system's
// message and the remedy for a port without permission, "held by another
// program" (naming it when known) for a busy one, the system's message
// otherwise. Empty for a port that can be used.
QString portRefusalText(const SerialStatus &status, const QString &group,
                        const std::optional<PortHolder> &holder);
