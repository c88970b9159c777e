// Port details from sysfs: /sys/class/tty/<name>/device leads into the device
// tree, where a USB interface carries bInterfaceNumber and the USB device
// above it idVendor, idProduct, manufacturer, product and serial; a usb-serial
// port adds its port_number. udev's by-id links point at ../../<name>.
#include "ports/portinfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::array<std::pair<const char *, PortKind>, 6> kKinds{{
    {"/dev/ttyUSB", {"usb-serial", "USB serial adapter"}},
    {"/dev/ttyACM", {"usb-acm", "USB modem (CDC-ACM)"}},
    {"/dev/ttyS", {"builtin", "built-in serial port"}},
    {"/dev/ttyAMA", {"uart", "on-board UART"}},
    {"/dev/rfcomm", {"bluetooth", "Bluetooth serial link"}},
    {"/dev/pts/", {"pty", "pseudo-terminal"}},
}};

// Deep enough for a tty below an interface below a device below two hubs.
constexpr int kMostLevels = 8;

QString attribute(const QDir &dir, const char *name)
{
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.read(256)).trimmed();
}

bool hasAttribute(const QDir &dir, const char *name)
{
    return QFileInfo::exists(dir.filePath(QLatin1String(name)));
}

QString resolved(const QString &path)
{
    char buffer[PATH_MAX];
    if (!::realpath(QFile::encodeName(path).constData(), buffer)) return path;
    return QFile::decodeName(buffer);
}

// The last element of a link's target, without following it (a by-id link
// of a fake tree leads nowhere).
QString linkTargetName(const QString &link)
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(QFile::encodeName(link).constData(), buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    const QString target = QFile::decodeName(QByteArray(buffer, n));
    return target.mid(target.lastIndexOf(u'/') + 1);
}

} // namespace

PortKind portKindOf(const QString &devicePath)
{
    for (const auto &[prefix, kind] : kKinds)
        if (devicePath.startsWith(QLatin1String(prefix))) return kind;
    return {"other", "serial device"};
}

QString PortDetails::description() const
{
    if (!usb) {
        const QString words = QLatin1String(kind.words);
        return device == path ? words : words + u' ' + device;
    }
    QStringList names;
    for (const QString &name : {usb->manufacturer, usb->product})
        if (!name.isEmpty()) names << name;
    QString text = names.isEmpty()
                       ? QStringLiteral("USB device %1:%2").arg(usb->vendorId, usb->productId)
                       : names.join(u' ');
    if (!usb->serial.isEmpty()) text += QStringLiteral(", serial ") + usb->serial;
    // Only a device with several serial interfaces numbers them beyond 0.
    bool numbered = false;
    const int interface = usb->interface.toInt(&numbered, 16);
    if (numbered && interface > 0) text += QStringLiteral(", interface %1").arg(interface);
    return text;
}

QStringList PortDetails::lines() const
{
    QStringList lines{description()};
    if (!byId.isEmpty()) lines << byId;
    return lines;
}

bool PortDetails::sameDevice(const PortDetails &other) const
{
    if (usb && other.usb) {
        const UsbDetails &a = *usb;
        const UsbDetails &b = *other.usb;
        if (a.vendorId != b.vendorId || a.productId != b.productId || a.interface != b.interface ||
            a.portNumber != b.portNumber)
            return false;
        if (!a.serial.isEmpty() || !b.serial.isEmpty()) return a.serial == b.serial;
        return a.location == b.location;
    }
    if (usb || other.usb) return false;
    return path == other.path;
}

bool PortDetails::canComeBack() const
{
    return usb || !path.startsWith(QLatin1String("/dev/pts/"));
}

bool PortDetails::cameBackAs(const PortDetails &now) const
{
    if (!sameDevice(now)) return false;
    if (usb || !isLink() || QLatin1String(kind.id) != QLatin1String("pty")) return true;
    return now.linkIdentity != linkIdentity;
}

PortDetails PortCatalog::details(const QString &path) const
{
    PortDetails details;
    details.path = path;
    details.device = resolved(path);
    details.kind = portKindOf(details.device);
    struct stat link {};
    if (::lstat(QFile::encodeName(path).constData(), &link) == 0 && S_ISLNK(link.st_mode))
        details.linkIdentity = QStringLiteral("%1:%2.%3")
                                   .arg(link.st_ino)
                                   .arg(link.st_ctim.tv_sec)
                                   .arg(link.st_ctim.tv_nsec);
    const QString name = details.device.mid(details.device.lastIndexOf(u'/') + 1);
    if (name.isEmpty()) return details;
    details.usb = usbDetails(name);
    details.byId = byIdName(name);
    return details;
}

std::optional<UsbDetails> PortCatalog::usbDetails(const QString &ttyName) const
{
    const QString deviceLink =
        m_sysRoot + QStringLiteral("/class/tty/") + ttyName + QStringLiteral("/device");
    const QString start = QFileInfo(deviceLink).canonicalFilePath();
    const QString root = QFileInfo(m_sysRoot).canonicalFilePath();
    if (start.isEmpty() || root.isEmpty()) return std::nullopt;

    UsbDetails usb;
    QDir dir(start);
    for (int level = 0; level < kMostLevels && dir.path().startsWith(root + u'/'); ++level) {
        if (usb.portNumber.isEmpty() && hasAttribute(dir, "port_number"))
            usb.portNumber = attribute(dir, "port_number");
        if (usb.interface.isEmpty() && hasAttribute(dir, "bInterfaceNumber"))
            usb.interface = attribute(dir, "bInterfaceNumber");
        if (hasAttribute(dir, "idVendor")) {
            usb.vendorId = attribute(dir, "idVendor");
            usb.productId = attribute(dir, "idProduct");
            usb.manufacturer = attribute(dir, "manufacturer");
            usb.product = attribute(dir, "product");
            usb.serial = attribute(dir, "serial");
            usb.location = dir.dirName();
            return usb;
        }
        if (!dir.cdUp()) break;
    }
    return std::nullopt;
}

QString PortCatalog::byIdName(const QString &ttyName) const
{
    const QDir folder(m_byIdRoot);
    // Links that lead nowhere (a fake tree) are listed as System entries.
    const QStringList names =
        folder.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString link = folder.filePath(name);
        if (linkTargetName(link) == ttyName) return link;
    }
    return {};
}

QString permissionRemedy(const QString &group)
{
    if (group.isEmpty())
        return QStringLiteral("no group may open it: an administrator must give the device to "
                              "a group such as dialout (a udev rule), then you join that group");
    return QStringLiteral("join the group %1 (sudo adduser $USER %1), then log in again")
        .arg(group);
}

QString portRefusalText(const SerialStatus &status, const QString &group,
                        const std::optional<PortHolder> &holder)
{
    if (status.ok()) return {};
    switch (status.kind) {
    case PortFailure::NoPermission:
        return status.message + QStringLiteral("; ") + permissionRemedy(group);
    case PortFailure::Busy:
        if (!holder) return QStringLiteral("held by another program");
        return QStringLiteral("held by %1 (process %2)")
            .arg(holder->program.isEmpty() ? QStringLiteral("another program") : holder->program)
            .arg(holder->pid);
    default:
        return status.message;
    }
}
