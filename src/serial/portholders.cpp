// Looking for other holders of a device among the open descriptors in /proc.
#include "serial/portholders.h"

#include "serial/portlock.h"

#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isNumber(const char *text)
{
    if (!*text) return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9') return false;
    return true;
}

// The pseudo-terminal number a master descriptor serves, from its fdinfo.
int ptyMasterNumber(int fdinfoDir, const char *fd)
{
    const int info = ::openat(fdinfoDir, fd, O_RDONLY | O_CLOEXEC);
    if (info < 0) return -1;
    char text[512];
    const ssize_t n = ::read(info, text, sizeof text - 1);
    ::close(info);
    if (n <= 0) return -1;
    text[n] = '\0';
    const char *index = std::strstr(text, "tty-index:");
    return index ? std::atoi(index + 10) : -1;
}

// The run's shared look, and the ports whose first open has not taken it yet.
QMutex sharedMutex;
std::shared_ptr<const DeviceHolders> sharedScan;
QStringList sharedPorts;

} // namespace

SharedHolderScan::SharedHolderScan(const QStringList &ports)
{
    auto holders = std::make_shared<DeviceHolders>();
    // Looked at now, on this thread: the ports' threads only read it.
    holders->sawEveryProcess();
    const QMutexLocker lock(&sharedMutex);
    sharedScan = std::move(holders);
    sharedPorts = ports;
}

SharedHolderScan::~SharedHolderScan()
{
    const QMutexLocker lock(&sharedMutex);
    sharedScan.reset();
    sharedPorts.clear();
}

std::shared_ptr<const DeviceHolders> SharedHolderScan::claim(const QString &path)
{
    const QMutexLocker lock(&sharedMutex);
    if (!sharedScan || !sharedPorts.removeOne(path)) return nullptr;
    return sharedScan;
}

void DeviceHolders::scan() const
{
    m_scanned = true;
    const QByteArray root = m_procRoot.toLocal8Bit();
    DIR *proc = ::opendir(root.constData());
    if (!proc) return;
    const pid_t self = ::getpid();
    while (const dirent *process = ::readdir(proc)) {
        if (!isNumber(process->d_name)) continue;
        const pid_t pid = pid_t(std::atol(process->d_name));
        if (pid == self) continue;
        char path[320];
        std::snprintf(path, sizeof path, "%s/%s/fd", root.constData(), process->d_name);
        // Another user's processes are closed to us: what we may not see we
        // cannot count.
        DIR *fds = ::opendir(path);
        if (!fds) {
            // Gone meanwhile, or closed to us.
            if (errno != ENOENT) m_sawEvery = false;
            continue;
        }
        const int fdDir = ::dirfd(fds);
        int fdinfoDir = -1;
        while (const dirent *fd = ::readdir(fds)) {
            if (!isNumber(fd->d_name)) continue;
            char target[256];
            const ssize_t length = ::readlinkat(fdDir, fd->d_name, target, sizeof target - 1);
            if (length < 5 || std::memcmp(target, "/dev/", 5) != 0) continue;
            target[length] = '\0';
            struct stat node {};
            if (::fstatat(fdDir, fd->d_name, &node, 0) != 0 || !S_ISCHR(node.st_mode)) continue;
            m_devices.push_back({pid, node.st_rdev});
            if (std::strcmp(target, "/dev/ptmx") != 0 && std::strcmp(target, "/dev/pts/ptmx") != 0)
                continue;
            if (fdinfoDir < 0) {
                std::snprintf(path, sizeof path, "%s/%s/fdinfo", root.constData(), process->d_name);
                fdinfoDir = ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            }
            const int number = fdinfoDir < 0 ? -1 : ptyMasterNumber(fdinfoDir, fd->d_name);
            if (number >= 0) m_ptyMasters.emplace_back(pid, number);
        }
        if (fdinfoDir >= 0) ::close(fdinfoDir);
        ::closedir(fds);
    }
    ::closedir(proc);
}

std::optional<PortHolder> DeviceHolders::holderOf(const QString &path) const
{
    struct stat node {};
    if (::stat(path.toLocal8Bit().constData(), &node) != 0 || !S_ISCHR(node.st_mode))
        return std::nullopt;
    if (!m_scanned) scan();
    const int pty = pseudoTerminalNumber(path);
    const auto holder = std::find_if(m_devices.begin(), m_devices.end(), [&](const Holder &h) {
        if (h.device != node.st_rdev) return false;
        const bool otherEnd = pty >= 0 && std::find(m_ptyMasters.begin(), m_ptyMasters.end(),
                                                    std::pair(h.pid, pty)) != m_ptyMasters.end();
        return !otherEnd;
    });
    if (holder == m_devices.end()) return std::nullopt;
    return PortHolder{holder->pid, processName(holder->pid, m_procRoot)};
}

bool DeviceHolders::sawEveryProcess() const
{
    if (!m_scanned) scan();
    return m_sawEvery;
}

QString processName(pid_t pid, const QString &procRoot)
{
    char commPath[320];
    std::snprintf(commPath, sizeof commPath, "%s/%d/comm", procRoot.toLocal8Bit().constData(),
                  int(pid));
    QString program;
    if (const int fd = ::open(commPath, O_RDONLY | O_CLOEXEC); fd >= 0) {
        char name[64];
        const ssize_t n = ::read(fd, name, sizeof name);
        ::close(fd);
        if (n > 0) program = QString::fromLocal8Bit(name, n).trimmed();
    }
    return program;
}

std::optional<PortHolder> portHolder(const QString &path, const DeviceHolders &holders)
{
    if (const std::optional<pid_t> pid = portlock::lockingProcess(path))
        return PortHolder{*pid, processName(*pid)};
    return holders.holderOf(path);
}

int pseudoTerminalNumber(const QString &path)
{
    char *resolved = ::realpath(path.toLocal8Bit().constData(), nullptr);
    if (!resolved) return -1;
    int number = -1;
    constexpr char kPts[] = "/dev/pts/";
    if (std::strncmp(resolved, kPts, sizeof kPts - 1) == 0 && isNumber(resolved + sizeof kPts - 1))
        number = std::atoi(resolved + sizeof kPts - 1);
    std::free(resolved);
    return number;
}
