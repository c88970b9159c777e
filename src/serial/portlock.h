// Lock files of serial ports, the convention every serial program on the
// system shares: /var/lock/LCK..ttyUSB0 holds the process number of the
// program using /dev/ttyUSB0, written as ten characters and a newline. They
// are what shows a port held by a program of another user (a daemon running
// as root, a colleague's session), whose open descriptors /proc does not let
// us see. A lock file naming a process that no longer runs is stale and is
// ignored (and replaced when we take the port).
#pragma once

#include <QString>

#include <optional>
#include <sys/types.h>

namespace portlock {

QString lockDirectory();
// The lock file of the device behind port (links followed): "LCK.." and the
// device's name below /dev, with '/' as '_' (/dev/pts/3: LCK..pts_3).
QString lockFilePath(const QString &port, const QString &directory = lockDirectory());
// The running process, other than this one, that a lock file names.
std::optional<pid_t> lockingProcess(const QString &port,
                                    const QString &directory = lockDirectory());

} // namespace portlock

// Our own lock file while a port is open.
class PortLockFile {
public:
    PortLockFile() = default;
    ~PortLockFile() { release(); }
    PortLockFile(const PortLockFile &) = delete;
    PortLockFile &operator=(const PortLockFile &) = delete;

    // Creates the lock file naming this process. False with errno EBUSY
    // when a running process holds one already. A folder we may not write
    // to is no failure: the port is used without a lock file, and the link's
    // log says so.
    bool acquire(const QString &port, const QString &directory = portlock::lockDirectory());
    // Removes it (if it still names this process).
    void release();
    bool held() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }

private:
    QString m_path;
};
