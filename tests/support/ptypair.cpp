// Pseudo-terminal pair for link tests.
#include "support/ptypair.h"

#include "serial/portlock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    if (::openpty(&m_master, &m_slave, name, &raw, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    // The slave's settings are the line's settings: raw, so that whatever the
    // program restores at closing still passes bytes unchanged.
    ::tcsetattr(m_slave, TCSANOW, &raw);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slave >= 0) ::close(m_slave);
}

bool PtyPair::write(const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(m_master, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd pfd{m_master, POLLOUT, 0};
            if (::poll(&pfd, 1, 5000) <= 0) return false;
        } else {
            return false;
        }
    }
    return true;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray all;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) break;
        all.append(buffer, n);
    }
    return all;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
}

PortHolderProcess::PortHolderProcess(const QString &path, bool exclusive, bool lockFile)
{
    const QByteArray device = path.toLocal8Bit();
    if (lockFile) m_lockFile = QFile::encodeName(portlock::lockFilePath(path));
    int ready[2], release[2];
    if (::pipe2(ready, O_CLOEXEC) != 0) return;
    if (::pipe2(release, O_CLOEXEC) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    m_pid = ::fork();
    if (m_pid == 0) {
        // Only async-signal-safe calls from here: the parent has threads.
        // The child keeps nothing of the test but its two pipes, so it holds
        // the device alone, as an unrelated program would.
        ::dup2(release[0], 0);
        ::dup2(ready[1], 1);
        ::close_range(3, ~0U, 0);
        const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool ok = fd >= 0 && (!exclusive || ::ioctl(fd, TIOCEXCL) == 0);
        const char answer = ok ? '1' : '0';
        [[maybe_unused]] ssize_t n = ::write(1, &answer, 1);
        char end;
        n = ::read(0, &end, 1); // until the parent lets go
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_release = release[1];
    char answer = '0';
    if (m_pid > 0 && ::read(ready[0], &answer, 1) == 1) m_holding = answer == '1';
    if (lockFile) { // ten characters of its process number, and a newline
        QFile lock(QFile::decodeName(m_lockFile));
        m_holding = m_holding && lock.open(QIODevice::NewOnly) &&
                    lock.write(QByteArray::number(m_pid).rightJustified(10) + '\n') == 11;
    }
    ::close(ready[0]);
}

PortHolderProcess::~PortHolderProcess()
{
    if (m_release >= 0) ::close(m_release);
    if (m_pid > 0) ::waitpid(m_pid, nullptr, 0);
    if (!m_lockFile.isEmpty()) ::unlink(m_lockFile.constData());
}
