// Port probing on Linux: /sys/class/tty lists every tty; only those with a
// device behind them are serial ports, and the 8250 driver registers ttyS
// entries for UARTs that are not there, which TIOCGSERIAL reveals. A port the
// user may not open is reported with the group that owns its device node.
#include "ports/portprobe.h"

#include "serial/portholders.h"
#include "serial/serialdevice_posix.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The 8250 driver registers ttyS entries for UARTs that are not there; its
// "type" in sysfs (readable by everyone) says which are. Without it, the
// device is asked; a port the user may not open is kept, so that the list
// can say why it cannot be used.
bool hasRealUart(const QString &sysEntry, const QString &devicePath)
{
    QFile type(sysEntry + QStringLiteral("/type"));
    if (type.open(QIODevice::ReadOnly)) {
        bool number = false;
        const int code = type.readAll().trimmed().toInt(&number);
        if (number) return code != PORT_UNKNOWN;
    }
    UniqueFd fd(
        ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return errno == EACCES || errno == EPERM;
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0) return false;
    return info.type != PORT_UNKNOWN;
}

// The kernel's consoles: "tty0 ttyS0".
QStringList activeConsoleNames(const QString &sysClassTty)
{
    QFile active(sysClassTty + QStringLiteral("/console/active"));
    if (!active.open(QIODevice::ReadOnly)) return {};
    return QString::fromLocal8Bit(active.readAll())
        .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
}

} // namespace

QString portOwningGroup(const QString &devicePath)
{
    struct stat node {};
    if (::stat(devicePath.toLocal8Bit().constData(), &node) != 0 || node.st_gid == 0) return {};
    // Joining a group helps only where the group may read and write.
    if ((node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return {};
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? std::size_t(size) : 16384);
    group entry{};
    group *found = nullptr;
    while (::getgrgid_r(node.st_gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE)
        buffer.resize(buffer.size() * 2);
    return found ? QString::fromLocal8Bit(found->gr_name) : QString();
}

bool isSerialDeviceName(const QString &name)
{
    static const QRegularExpression serialName(
        QStringLiteral("^(ttyS|ttyUSB|ttyACM|ttyAMA|rfcomm)[0-9]+$"));
    return serialName.match(name).hasMatch();
}

QStringList consolePorts(const QString &sysClassTty, const QString &devDir)
{
    QStringList ports;
    for (const QString &name : activeConsoleNames(sysClassTty))
        if (isSerialDeviceName(name)) ports << QDir(devDir).filePath(name);
    return ports;
}

QStringList systemPortCandidates(const QString &sysClassTty, const QString &devDir)
{
    QStringList names;
    const QDir sys(sysClassTty);
    const QStringList consoles = activeConsoleNames(sysClassTty);
    for (const QString &name : sys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        if (!isSerialDeviceName(name) || consoles.contains(name)) continue;
        // rfcomm ports have no "device" link; every other serial tty has one
        // (and a driver) when hardware is behind it.
        const QString entry = sys.filePath(name);
        const bool isRfcomm = name.startsWith(QLatin1String("rfcomm"));
        if (!isRfcomm && !QFileInfo::exists(entry + QStringLiteral("/device/driver"))) continue;
        const QString path = QDir(devDir).filePath(name);
        if (name.startsWith(QLatin1String("ttyS")) && !hasRealUart(entry, path)) continue;
        names << path;
    }
    // Kind first, then the number as a number (ttyS2 before ttyS10).
    const auto key = [](const QString &path) {
        const QString name = QFileInfo(path).fileName();
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit())
            --digits;
        return std::pair(name.left(digits), name.mid(digits).toULongLong());
    };
    std::sort(names.begin(), names.end(),
              [&](const QString &a, const QString &b) { return key(a) < key(b); });
    return names;
}

QStringList extraPortCandidates(const QStringList &arguments, const QString &environmentValue)
{
    QStringList ports;
    // arguments[0] is the program itself.
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == QLatin1String("--port") && i + 1 < arguments.size())
            ports << arguments[++i];
        else if (argument.startsWith(QLatin1String("--port=")))
            ports << argument.mid(7);
    }
    for (const QString &entry : environmentValue.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        ports << entry;
    ports.removeAll(QString());
    return ports;
}

QStringList namedPorts()
{
    const QStringList arguments =
        QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
    return extraPortCandidates(arguments, qEnvironmentVariable("KX4720R_PORTS"));
}

QStringList allPortCandidates(const QString &sysClassTty)
{
    QStringList candidates = systemPortCandidates(sysClassTty);
    candidates << namedPorts();
    candidates.removeDuplicates();
    return candidates;
}

SerialStatus probePort(const QString &port, const DeviceHolders &holders)
{
    // Opened and closed again, nothing else: what waits in its queues, its
    // line settings and its exclusive flag belong to whoever uses it.
    UniqueFd fd;
    return openIfUnheld(port, fd, holders);
}

SerialStatus tryOpenExclusively(const QString &port)
{
    return probePort(port, DeviceHolders());
}

PortProbe probePorts(const QStringList &candidates, const PortTryOpen &tryOpen,
                     const DeviceHolders *holders)
{
    PortProbe probe;
    QStringList tried;
    for (const QString &port : candidates) {
        if (tried.contains(port)) continue;
        tried << port;
        const SerialStatus status = tryOpen(port);
        probe.outcomes.insert(port, status);
        if (status.ok()) {
            probe.available << port;
        } else if (status.kind == PortFailure::NoPermission) {
            probe.noPermission << PortRefusal{port, status.code, portOwningGroup(port)};
        } else if (status.kind == PortFailure::Busy && holders) {
            if (const std::optional<PortHolder> holder = portHolder(port, *holders))
                probe.heldElsewhere << PortHolding{port, *holder};
        }
    }
    return probe;
}

QString preselectedPort(const QStringList &available, const QStringList &named,
                        const QString &lastUsedPort)
{
    const auto listed = [&](const QString &port) {
        return available.contains(port, Qt::CaseInsensitive);
    };
    if (listed(lastUsedPort) && named.contains(lastUsedPort, Qt::CaseInsensitive))
        return lastUsedPort;
    for (const QString &port : named)
        if (listed(port)) return port;
    return lastUsedPort;
}

PortListing orderPortList(const QStringList &available, bool portOpen, const QString &openPort,
                          const QString &lastUsedPort)
{
    PortListing listing;
    listing.ports = available;
    std::reverse(listing.ports.begin(), listing.ports.end());
    if (portOpen) listing.ports << openPort;
    if (listing.ports.isEmpty()) return listing;
    listing.selected = 0;
    for (qsizetype i = 0; i < listing.ports.size(); ++i) {
        if (listing.ports[i].compare(lastUsedPort, Qt::CaseInsensitive) == 0) {
            listing.selected = int(i);
            break;
        }
    }
    return listing;
}
