// Lock files of serial ports: reading, checking and writing them.
#include "serial/portlock.h"

#include "serial/linklog.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The process number a lock file holds: ten characters and a newline, or in
// the oldest programs' files four bytes of a binary number. -1 when none.
pid_t readLockFile(const QString &path)
{
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return -1;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n == 4 && (text[0] < ' ' || text[3] < ' ')) {
        int binary = 0;
        std::memcpy(&binary, text, sizeof binary);
        return binary > 0 ? pid_t(binary) : -1;
    }
    if (n <= 0) return -1;
    char *end = nullptr;
    const long pid = std::strtol(text, &end, 10);
    return pid > 0 && end != text ? pid_t(pid) : -1;
}

bool running(pid_t pid)
{
    // Another user's process answers EPERM: it runs all the same.
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

} // namespace

namespace portlock {

QString lockDirectory()
{
    return QStringLiteral("/var/lock");
}

QString lockFilePath(const QString &port, const QString &directory)
{
    char *resolved = ::realpath(encoded(port).constData(), nullptr);
    QString device = resolved ? QFile::decodeName(resolved) : port;
    std::free(resolved);
    if (device.startsWith(QLatin1String("/dev/"))) device = device.mid(5);
    device.replace(u'/', u'_');
    return directory + QStringLiteral("/LCK..") + device;
}

std::optional<pid_t> lockingProcess(const QString &port, const QString &directory)
{
    const pid_t pid = readLockFile(lockFilePath(port, directory));
    if (pid == ::getpid() || !running(pid)) return std::nullopt;
    return pid;
}

} // namespace portlock

bool PortLockFile::acquire(const QString &port, const QString &directory)
{
    release();
    const QString path = portlock::lockFilePath(port, directory);
    const QString temporary = directory + QStringLiteral("/LTMP.%1").arg(::getpid());
    const int fd = ::open(encoded(temporary).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        qCDebug(lcLink).noquote() << "no lock file for" << port << "(" << directory
                                  << "is not writable:"
                                  << QString::fromLocal8Bit(std::strerror(errno))
                                  << "): used without one";
        return true;
    }
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%10d\n", int(::getpid()));
    const bool written = ::write(fd, text, std::size_t(length)) == length;
    ::close(fd);
    // Made whole first and then linked in place, so that no other program
    // ever reads a lock file half written.
    bool linked = false;
    for (int attempt = 0; written && attempt < 2 && !linked; ++attempt) {
        linked = ::link(encoded(temporary).constData(), encoded(path).constData()) == 0;
        if (linked || errno != EEXIST) break;
        const pid_t holder = readLockFile(path);
        if (holder != ::getpid() && running(holder)) {
            ::unlink(encoded(temporary).constData());
            errno = EBUSY;
            return false;
        }
        // Stale: its program has ended (or it is a leftover of ours).
        ::unlink(encoded(path).constData());
    }
    ::unlink(encoded(temporary).constData());
    if (linked)
        m_path = path;
    else
        qCDebug(lcLink).noquote() << "no lock file for" << port << ":" << path
                                  << "could not be made: used without one";
    return true;
}

void PortLockFile::release()
{
    if (m_path.isEmpty()) return;
    if (readLockFile(m_path) == ::getpid()) ::unlink(encoded(m_path).constData());
    m_path.clear();
}
