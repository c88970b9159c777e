// Finding the serial ports a user can open, and ordering the port list with
// the last used port preselected. The steps are separate functions so that
// the ordering can be exercised with any candidate list.
#pragma once

#include "serial/portholders.h"
#include "serial/serialdevice.h"

#include <QHash>

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The tty devices with hardware behind them, named by device path and sorted
// by name with numbers in numeric order (ttyS2 before ttyS10): ttyS ports
// with a real UART, ttyUSB, ttyACM, ttyAMA and rfcomm. The system console
// is left out: requests written there would land among the kernel's messages
// (and a login prompt may be listening).
QStringList systemPortCandidates(const QString &sysClassTty = QStringLiteral("/sys/class/tty"),
                                 const QString &devDir = QStringLiteral("/dev"));
// The serial ports the kernel uses as its console (/sys/class/tty/console/active).
QStringList consolePorts(const QString &sysClassTty = QStringLiteral("/sys/class/tty"),
                         const QString &devDir = QStringLiteral("/dev"));

// Whether a device node's name is one of those serial kinds ("ttyUSB3").
bool isSerialDeviceName(const QString &name);

// Ports named by the user: each "--port PATH" (or "--port=PATH") of the
// command line, then the colon-separated entries of the environment value.
QStringList extraPortCandidates(const QStringList &arguments, const QString &environmentValue);

// The ports the user named: --port in QCoreApplication::arguments(), then
// KX4720R_PORTS.
QStringList namedPorts();

// Every candidate the program knows of: the system's, then the named ones,
// without duplicates.
QStringList allPortCandidates(const QString &sysClassTty = QStringLiteral("/sys/class/tty"));

// A candidate the user may not open (PortFailure::NoPermission; error is the
// system's code). group names the group that owns the device node and may
// open it; empty when unknown, when it is root's own group (which no user
// should be added to), or when the node lets its group neither read nor
// write (a root:root 0600 device, which joining no group opens).
struct PortRefusal {
    QString port;
    int error = 0;
    QString group;

    bool operator==(const PortRefusal &) const = default;
};

// A candidate another program holds open, and which program that is.
struct PortHolding {
    QString port;
    PortHolder holder;

    bool operator==(const PortHolding &) const = default;
};

// What one probe found: the ports that opened, and the ones left out for lack
// of permission or because another program holds them, so the user can be
// told why the list is short; and how opening each candidate went.
struct PortProbe {
    QStringList available;
    QList<PortRefusal> noPermission;
    // Only ports whose holder could be named (a program the user may look
    // at, other than this one): a lock of unknown origin says nothing useful.
    QList<PortHolding> heldElsewhere;
    QHash<QString, SerialStatus> outcomes;
};

// Opening a candidate (and closing it again at once); tests hand in their own.
using PortTryOpen = std::function<SerialStatus(const QString &port)>;
// With holders, busy candidates are looked up among the other processes.
PortProbe probePorts(const QStringList &candidates, const PortTryOpen &tryOpen,
                     const DeviceHolders *holders = nullptr);
// Whether the port could be opened for us alone: refused when missing, not
// permitted, locked, flagged exclusive or merely open in another process
// (holders). The device is opened and closed, nothing more.
SerialStatus probePort(const QString &port, const DeviceHolders &holders);
// probePort with a fresh look at the other processes.
SerialStatus tryOpenExclusively(const QString &port);
// The group that owns the device node at path, the one a user joins to get at
// the port; empty when unknown, root's own group, or a group the node does
// not let read and write.
QString portOwningGroup(const QString &path);

struct PortListing {
    QStringList ports;
    int selected = -1; // -1 for an empty list
};

// The port to preselect among the available ones: the last used port, unless
// the user named ports (--port, KX4720R_PORTS), one of which is available, and
// the last used one is not among them: then the first of them that is.
QString preselectedPort(const QStringList &available, const QStringList &named,
                        const QString &lastUsedPort);

// The port list as shown: the available ports in reverse order, the open port
// appended, the first entry selected unless lastUsedPort names a listed port
// (compared without regard to letter case).
PortListing orderPortList(const QStringList &available, bool portOpen, const QString &openPort,
                          const QString &lastUsedPort);
