// Port probing on Linux: /sys/class/tty lists every tty; only those with a
// device behind them are serial ports, and the 8250 driver registers ttyS
// entries for UARTs that are not there, which TIOCGSERIAL reveals. A port the
// user may not open is reported with the group that owns its device node.
#include "link/portprobe.h"

#include "link/portholders.h"
#include "link/serialdevice_posix.h"

#include <QCoreApplication>
#include <QDir>
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

bool hasRealUart(const QString &devicePath)
{
    UniqueFd fd(
        ::open(devicePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) return false;
    serial_struct info{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &info) != 0) return false;
    return info.type != PORT_UNKNOWN;
}

} // namespace

QString portOwningGroup(const QString &devicePath)
{
    struct stat node {};
    if (::stat(devicePath.toLocal8Bit().constData(), &node) != 0 || node.st_gid == 0) return {};
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

QStringList systemPortCandidates(const QString &sysClassTty, const QString &devDir)
{
    QStringList names;
    const QDir sys(sysClassTty);
    for (const QString &name : sys.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System)) {
        if (!isSerialDeviceName(name)) continue;
        // rfcomm ports have no "device" link; every other serial tty has one
        // (and a driver) when hardware is behind it.
        const QString entry = sys.filePath(name);
        const bool isRfcomm = name.startsWith(QLatin1String("rfcomm"));
        if (!isRfcomm && !QFileInfo::exists(entry + QStringLiteral("/device/driver"))) continue;
        const QString path = QDir(devDir).filePath(name);
        if (name.startsWith(QLatin1String("ttyS")) && !hasRealUart(path)) continue;
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

QStringList allPortCandidates()
{
    QStringList candidates = systemPortCandidates();
    const QStringList arguments =
        QCoreApplication::instance() ? QCoreApplication::arguments() : QStringList();
    candidates << extraPortCandidates(arguments, qEnvironmentVariable("KX4720R_PORTS"));
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
            if (const std::optional<PortHolder> holder = holders->holderOf(port))
                probe.heldElsewhere << PortHolding{port, *holder};
        }
    }
    return probe;
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
