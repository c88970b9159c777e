// Which other processes hold a serial device open. A program that opens a
// port without any lock (cat, screen, a script with default settings) leaves
// no flock and no exclusive flag behind; only its open descriptors, listed
// under /proc, give it away. Only the processes this user may inspect are seen.
#pragma once

#include <QString>

#include <QStringList>

#include <memory>
#include <optional>
#include <sys/types.h>
#include <utility>
#include <vector>

// Another program that holds a port open: its process and its name ("minicom").
struct PortHolder {
    pid_t pid = 0;
    QString program;

    bool operator==(const PortHolder &) const = default;
};

// One look through /proc/<pid>/fd of every process but this one, taken at
// the first question and kept for the next ones (a probe asks for each port).
class DeviceHolders {
public:
    explicit DeviceHolders(const QString &procRoot = QStringLiteral("/proc")) : m_procRoot(procRoot)
    {
    }

    // True when another process holds the device behind path open. The
    // process at the master end of a pseudo-terminal is the other end of the
    // line (a simulated instrument keeps the slave end open as well, so that
    // its line does not hang up), not a second user of the port.
    bool holdsOpen(const QString &path) const { return holderOf(path).has_value(); }
    // The first other process that holds it open, and that process's name
    // (from /proc/<pid>/comm; empty when it cannot be read).
    std::optional<PortHolder> holderOf(const QString &path) const;
    // Whether every other process's descriptors could be looked at (as
    // root); otherwise a holder may be one we cannot see.
    bool sawEveryProcess() const;

private:
    void scan() const;

    struct Holder {
        pid_t pid;
        dev_t device;
    };
    QString m_procRoot;
    mutable bool m_scanned = false;
    mutable bool m_sawEvery = true;
    mutable std::vector<Holder> m_devices;
    mutable std::vector<std::pair<pid_t, int>> m_ptyMasters; // pid, pseudo-terminal number
};

// One look through /proc shared by the ports a run opens together (a rack of
// 32 ports would otherwise look 32 times, some 30,000 system calls). Made
// before those ports are opened, it stands for what held them at the run's
// start: each listed port's first open takes it, once; a later open of the
// same port (after a lost line) looks anew. While none is made, every open
// looks for itself. One at a time per process.
class SharedHolderScan {
public:
    explicit SharedHolderScan(const QStringList &ports);
    ~SharedHolderScan();
    SharedHolderScan(const SharedHolderScan &) = delete;
    SharedHolderScan &operator=(const SharedHolderScan &) = delete;

    // The shared look for the first open of path, or null: no run made one,
    // path is not among its ports, or its first open took it already.
    static std::shared_ptr<const DeviceHolders> claim(const QString &path);
};

// The number N of /dev/pts/N behind path (symbolic links followed), or -1.
int pseudoTerminalNumber(const QString &path);

// Who holds the port: the program a live lock file names (whoever it runs
// as), else another process with the device open (of those we may see).
std::optional<PortHolder> portHolder(const QString &path, const DeviceHolders &holders);
// The name of a running process ("minicom"), empty when it cannot be read.
QString processName(pid_t pid, const QString &procRoot = QStringLiteral("/proc"));
