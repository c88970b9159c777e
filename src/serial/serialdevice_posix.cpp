// POSIX serial device. termios2 is used for every speed so that rates without
// a Bnnn constant (7200, 14400, 128000) go through BOTHER like the others;
// <asm/termbits.h> clashes with <termios.h>, so this file uses only the former.
#include "serial/serialdevice_posix.h"

#include "serial/linklog.h"
#include "serial/portholders.h"
#include "serial/portlock.h"

#include <array>
#include <asm/termbits.h>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The speed read back may differ from the requested one on real UARTs whose
// divisor cannot hit it exactly; beyond this the line would not work.
constexpr double kSpeedTolerance = 0.03;

struct BaudConstant {
    std::uint32_t baud;
    unsigned constant;
};

constexpr BaudConstant kBaudConstants[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

unsigned baudConstant(std::uint32_t baud)
{
    for (const auto &entry : kBaudConstants)
        if (entry.baud == baud) return entry.constant;
    return BOTHER;
}

// What one read takes at most; a longer backlog is read in several, up to
// the limit, and the rest at the next wake-up.
constexpr std::size_t kReadChunk = 4096;
constexpr qsizetype kReadLimit = 64 * 1024;

int retryOnInterrupt(auto call)
{
    int rc;
    do {
        rc = call();
    } while (rc < 0 && errno == EINTR);
    return rc;
}

// Whether the other side of fd went away (a read found nothing).
bool hungUp(int fd)
{
    pollfd probe{fd, POLLIN, 0};
    return ::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL));
}

} // namespace

struct PosixSerialDevice::SavedSettings {
    termios2 settings;
    bool lowLatencyAsked = false; // by us: given back at closing
};

void UniqueFd::reset(int fd)
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

SerialStatus posixError(int code)
{
    return SerialStatus::failure(code, QString::fromLocal8Bit(std::strerror(code)));
}

PortFailure portFailureOf(int code)
{
    switch (code) {
    case 0:
        return PortFailure::None;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: // a folder on the way is a file
        return PortFailure::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortFailure::NoPermission;
    case EBUSY:
    case EAGAIN:
        return PortFailure::Busy;
    case EIO:
    case EBADF:
    case EPIPE:
    case ETIMEDOUT:
        return PortFailure::Lost;
    case ENOTTY:
    case EINVAL:
    case EOPNOTSUPP:
    case ENOSYS:
        return PortFailure::Unsupported;
    default:
        return PortFailure::Other;
    }
}

const char *portFailureText(PortFailure kind)
{
    switch (kind) {
    case PortFailure::None:
        return "none";
    case PortFailure::NotFound:
        return "not found";
    case PortFailure::NoPermission:
        return "no permission";
    case PortFailure::Busy:
        return "busy";
    case PortFailure::Lost:
        return "lost";
    case PortFailure::Unsupported:
        return "unsupported";
    case PortFailure::Other:
        break;
    }
    return "other";
}

std::unique_ptr<SerialDevice> createSerialDevice()
{
    return std::make_unique<PosixSerialDevice>();
}

PosixSerialDevice::PosixSerialDevice() : m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PosixSerialDevice::~PosixSerialDevice()
{
    close();
}

namespace {

// Whether the tty layer serves the character device: sysfs files every
// registered device under its class (/dev/null under "mem", a watchdog under
// "misc", where merely opening one starts its timer). Pseudo-terminals have
// no entry there; isatty() tells once they are open.
bool servedByTtyLayer(dev_t device)
{
    char link[64];
    std::snprintf(link, sizeof link, "/sys/dev/char/%u:%u/subsystem", major(device), minor(device));
    char target[PATH_MAX];
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0) return true;
    target[n] = '\0';
    const char *last = std::strrchr(target, '/');
    return std::strcmp(last ? last + 1 : target, "tty") == 0;
}

} // namespace

SerialStatus notASerialPort()
{
    return SerialStatus{ENOTTY, QStringLiteral("Not a serial port (no terminal device)"),
                        PortFailure::Unsupported};
}

SerialStatus openIfUnheld(const QString &name, UniqueFd &fd, const DeviceHolders &holders)
{
    const QByteArray path = name.toLocal8Bit();
    // Only a terminal device is a serial port. Anything else (a file, a
    // FIFO, /dev/null) is not even opened: opening some devices does
    // something by itself.
    struct stat node {};
    if (::stat(path.constData(), &node) != 0) return posixError(errno);
    if (S_ISCHR(node.st_mode) && !servedByTtyLayer(node.st_rdev)) return notASerialPort();
    // A lock file of a running program holds the port, whoever it runs as;
    // the port is not touched at all then.
    if (S_ISCHR(node.st_mode) && portlock::lockingProcess(name)) return posixError(EBUSY);
    // Anything but a device opens without effect (a file, a FIFO); opened
    // all the same, its failure says why the user cannot have it.
    UniqueFd opened(retryOnInterrupt(
        [&] { return ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }));
    if (!opened.valid()) return posixError(errno);
    if (!S_ISCHR(node.st_mode) || !::isatty(opened.get())) return notASerialPort();
    // TIOCEXCL refuses further opens by other users, but root passes it; the
    // advisory lock is what makes a second open of ours (or of any program
    // that locks as well) fail even then.
    if (::flock(opened.get(), LOCK_EX | LOCK_NB) != 0)
        return posixError(errno == EWOULDBLOCK ? EBUSY : errno);
    // A program that took no lock shows only among the open descriptors.
    if (holders.holdsOpen(name)) return posixError(EBUSY);
    // The exclusive flag says another program asked to be alone on the line.
    // With no lock, no lock file and no descriptor of anyone else behind it
    // (and every process seen), it was left by a program that was killed
    // while the other end stayed open: the port is ours to take.
    int exclusive = 0;
    if (::ioctl(opened.get(), TIOCGEXCL, &exclusive) == 0 && exclusive) {
        if (!holders.sawEveryProcess()) return posixError(EBUSY);
        qCDebug(lcLink).noquote() << name << "is flagged exclusive, but no program holds it:"
                                  << "taken";
    }
    fd = std::move(opened);
    return SerialStatus::success();
}

SerialStatus PosixSerialDevice::open(const QString &name)
{
    if (m_fd.valid()) return posixError(EBUSY);
    if (!m_stop.valid()) return posixError(EMFILE);

    UniqueFd fd;
    const std::shared_ptr<const DeviceHolders> shared = SharedHolderScan::claim(name);
    const SerialStatus status = openIfUnheld(name, fd, shared ? *shared : DeviceHolders());
    if (!status.ok()) return status;

    // Ours alone before anything on the line changes: the exclusive flag,
    // then our lock file, and only then the settings and the purge.
    if (::ioctl(fd.get(), TIOCEXCL) != 0) return posixError(errno);
    if (!m_lock.acquire(name)) {
        const int code = errno;
        ::ioctl(fd.get(), TIOCNXCL);
        return posixError(code);
    }
    auto saved = std::make_unique<SavedSettings>();
    if (::ioctl(fd.get(), TCGETS2, &saved->settings) != 0) {
        const int code = errno;
        ::ioctl(fd.get(), TIOCNXCL);
        m_lock.release();
        return posixError(code);
    }
    // A USB adapter holds what it received back for its latency timer (16 ms
    // on FTDI chips) unless asked for low latency: the end of every reply
    // would wait that long. A pty or a driver without the setting refuses,
    // and the line works as it is.
    serial_struct serial{};
    if (::ioctl(fd.get(), TIOCGSERIAL, &serial) == 0 && !(serial.flags & ASYNC_LOW_LATENCY)) {
        serial.flags |= ASYNC_LOW_LATENCY;
        saved->lowLatencyAsked = ::ioctl(fd.get(), TIOCSSERIAL, &serial) == 0;
    }

    m_saved = std::move(saved);
    m_fd = std::move(fd);
    m_speed = 0;
    // Flush what a previous user of the line left behind.
    purge();
    return SerialStatus::success();
}

bool PosixSerialDevice::isOpen() const
{
    return m_fd.valid();
}

void PosixSerialDevice::close()
{
    if (!m_fd.valid()) return;
    m_output.clear();
    if (m_saved) ::ioctl(m_fd.get(), TCSETS2, &m_saved->settings);
    serial_struct serial{};
    if (m_saved && m_saved->lowLatencyAsked && ::ioctl(m_fd.get(), TIOCGSERIAL, &serial) == 0) {
        serial.flags &= ~ASYNC_LOW_LATENCY;
        ::ioctl(m_fd.get(), TIOCSSERIAL, &serial);
    }
    ::ioctl(m_fd.get(), TIOCNXCL);
    m_saved.reset();
    m_fd.reset(); // also drops the flock
    m_lock.release();
    m_speed = 0;
}

SerialStatus PosixSerialDevice::setLineSettings(std::uint32_t baud)
{
    if (!m_fd.valid()) return posixError(EBADF);
    if (baud == 0) return posixError(EINVAL);

    termios2 tio{};
    if (::ioctl(m_fd.get(), TCGETS2, &tio) != 0) return posixError(errno);

    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                     IXANY | INPCK | IUCLC | IMAXBEL);
    tio.c_iflag |= IGNPAR;
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL | CMSPAR);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    const unsigned constant = baudConstant(baud);
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= constant | (constant << IBSHIFT);
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
    if (::ioctl(m_fd.get(), TCSETS2, &tio) != 0) return posixError(errno);

    // Drivers may silently keep another speed; only the read-back tells.
    termios2 back{};
    if (::ioctl(m_fd.get(), TCGETS2, &back) != 0) return posixError(errno);
    m_speed = back.c_ospeed;
    const double deviation = (double(m_speed) - double(baud)) / double(baud);
    if (deviation > kSpeedTolerance || deviation < -kSpeedTolerance) {
        SerialStatus status = posixError(EINVAL);
        status.message += QStringLiteral(": the driver runs the line at %1 baud instead of %2")
                              .arg(m_speed)
                              .arg(baud);
        return status;
    }
    return SerialStatus::success();
}

std::uint32_t PosixSerialDevice::lineSpeed() const
{
    return m_speed;
}

void PosixSerialDevice::purge()
{
    if (m_fd.valid()) ::ioctl(m_fd.get(), TCFLSH, TCIOFLUSH);
}

void PosixSerialDevice::clearDtrRts()
{
    if (!m_fd.valid()) return;
    int lines = TIOCM_DTR | TIOCM_RTS;
    // A pty has no modem lines and answers ENOTTY; nothing to clear there.
    ::ioctl(m_fd.get(), TIOCMBIC, &lines);
}

PendingOutput::PendingOutput() : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SerialStatus PendingOutput::write(int fd, std::span<const char> characters)
{
    if (fd < 0) return posixError(EBADF);
    if (!waiting()) {
        // The usual case: the driver takes the whole frame in one call.
        const ssize_t n = retryOnInterrupt(
            [&] { return int(::write(fd, characters.data(), characters.size())); });
        if (n == ssize_t(characters.size())) return SerialStatus::success();
        if (n < 0 && errno != EAGAIN) return posixError(errno);
        characters = characters.subspan(n < 0 ? 0 : std::size_t(n));
    }
    std::lock_guard lock(m_mutex);
    return keep(characters);
}

SerialStatus PendingOutput::keep(std::span<const char> characters)
{
    if (m_rest.size() + qsizetype(characters.size()) > kMaxWaiting) return posixError(ENOBUFS);
    const bool wasWaiting = waiting();
    m_rest.append(characters.data(), qsizetype(characters.size()));
    if (wasWaiting || m_rest.isEmpty()) return SerialStatus::success();
    // The reader may be asleep without watching for room: wake it.
    m_waiting.store(true, std::memory_order_release);
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto rc = ::write(m_wake.get(), &one, sizeof one);
    return SerialStatus::success();
}

void PendingOutput::flush(int fd)
{
    std::lock_guard lock(m_mutex);
    while (!m_rest.isEmpty()) {
        const ssize_t n = ::write(fd, m_rest.constData(), std::size_t(m_rest.size()));
        if (n > 0) {
            m_rest.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return; // full again: wait for more room
        // The line is gone; the reader reports it as such.
        m_rest.clear();
    }
    m_waiting.store(false, std::memory_order_release);
}

qsizetype PendingOutput::size() const
{
    if (!waiting()) return 0;
    std::lock_guard lock(m_mutex);
    return m_rest.size();
}

void PendingOutput::clear()
{
    std::lock_guard lock(m_mutex);
    m_rest.clear();
    m_waiting.store(false, std::memory_order_release);
}

void PendingOutput::drainWake()
{
    std::uint64_t value;
    [[maybe_unused]] const auto rc = ::read(m_wake.get(), &value, sizeof value);
}

void PosixSerialDevice::discardOutput()
{
    m_output.clear();
    if (m_fd.valid()) ::ioctl(m_fd.get(), TCFLSH, TCOFLUSH);
}

SerialStatus PosixSerialDevice::write(std::span<const char> characters)
{
    return m_output.write(m_fd.get(), characters);
}

SerialEvents posixWaitForEvents(int stopFd, int fd, std::chrono::microseconds timeout,
                                PendingOutput *output)
{
    SerialEvents events;
    const bool room = output && output->waiting();
    pollfd fds[3] = {{stopFd, POLLIN, 0},
                     {fd, short(POLLIN | (room ? POLLOUT : 0)), 0},
                     {output ? output->wakeFd() : -1, POLLIN, 0}};
    timespec limit{};
    if (timeout.count() >= 0) {
        limit.tv_sec = time_t(timeout.count() / 1'000'000);
        limit.tv_nsec = long(timeout.count() % 1'000'000) * 1000;
    }
    // An interrupted wait starts over with its whole time: a signal is rare
    // enough on this thread that the longer wait does not matter.
    const int rc = retryOnInterrupt(
        [&] { return ::ppoll(fds, 3, timeout.count() >= 0 ? &limit : nullptr, nullptr); });
    if (rc < 0) {
        // poll() itself failing (EINVAL, ENOMEM) leaves nothing to wait on.
        events.hangUp = true;
        return events;
    }
    if (fds[2].revents & POLLIN) output->drainWake();
    if (fd >= 0 && (fds[1].revents & POLLOUT) && output) output->flush(fd);
    events.stopped = (fds[0].revents & POLLIN) != 0;
    events.dataWaiting = (fds[1].revents & POLLIN) != 0;
    events.hangUp = (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    return events;
}

SerialEvents PosixSerialDevice::waitFor(bool watchPort, std::chrono::microseconds timeout)
{
    return posixWaitForEvents(m_stop.get(), watchPort ? m_fd.get() : -1, timeout, &m_output);
}

void PosixSerialDevice::signalStop()
{
    const std::uint64_t one = 1;
    // The counter only grows; a full counter (EAGAIN) is still signalled.
    [[maybe_unused]] const auto rc = ::write(m_stop.get(), &one, sizeof one);
}

void PosixSerialDevice::resetStop()
{
    std::uint64_t value;
    [[maybe_unused]] const auto rc = ::read(m_stop.get(), &value, sizeof value);
}

SerialRead posixReadWaiting(int fd)
{
    SerialRead result;
    if (fd < 0) {
        result.status = posixError(EBADF);
        result.lost = true;
        return result;
    }
    // Straight into a buffer, without asking first how much waits: one
    // system call per piece. Only a full buffer can leave more behind.
    std::array<char, kReadChunk> buffer;
    for (;;) {
        const ssize_t n =
            retryOnInterrupt([&] { return int(::read(fd, buffer.data(), buffer.size())); });
        if (n > 0) {
            result.data.append(buffer.data(), n);
            if (std::size_t(n) < buffer.size() || result.data.size() >= kReadLimit) return result;
            continue;
        }
        if (n < 0 && errno == EAGAIN) return result;
        // A raw tty (no minimum count, no time limit) reads nothing as 0 as
        // well; only a hang-up makes 0 the end of the line. EIO says the same
        // more plainly.
        if (n == 0 && !hungUp(fd)) return result;
        result.lost = true;
        result.status = posixError(n == 0 ? EIO : errno);
        return result;
    }
}

SerialRead PosixSerialDevice::readWaiting()
{
    return posixReadWaiting(m_fd.get());
}
