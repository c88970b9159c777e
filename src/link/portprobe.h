// Finding the serial ports a user can open, and ordering the port list with
// the last used port preselected. The steps are separate functions so that
// the ordering can be exercised with any candidate list.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The tty devices with hardware behind them, named by device path and sorted
// by name with numbers in numeric order (ttyS2 before ttyS10): ttyS ports
// with a real UART, ttyUSB, ttyACM, ttyAMA and rfcomm.
QStringList systemPortCandidates(const QString &sysClassTty = QStringLiteral("/sys/class/tty"),
                                 const QString &devDir = QStringLiteral("/dev"));

// Ports named by the user: each "--port PATH" (or "--port=PATH") of the
// command line, then the colon-separated entries of the environment value.
QStringList extraPortCandidates(const QStringList &arguments, const QString &environmentValue);

// Every candidate the program knows of: the system's, then the extra ones
// from QCoreApplication::arguments() and KX4720R_PORTS, without duplicates.
QStringList allPortCandidates();

// The candidates that can be opened exclusively right now (each is opened
// and closed again); a port held elsewhere is left out.
using PortTryOpen = std::function<bool(const QString &port)>;
QStringList availablePorts(const QStringList &candidates, const PortTryOpen &tryOpen);
bool tryOpenExclusively(const QString &port);

struct PortListing {
    QStringList ports;
    int selected = -1; // -1 for an empty list
};

// The port list as shown: the available ports in reverse order, the open port
// appended, the first entry selected unless lastUsedPort names a listed port
// (compared without regard to letter case).
PortListing orderPortList(const QStringList &available, bool portOpen, const QString &openPort,
                          const QString &lastUsedPort);
