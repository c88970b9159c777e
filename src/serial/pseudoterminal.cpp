// Pseudo-terminal pair held from the device side, and its master as a serial device.
#include "serial/pseudoterminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        m_error = posixError(errno).message;
        return;
    }
    char name[256] = {};
    if (::ptsname_r(master.get(), name, sizeof name) != 0) {
        m_error = posixError(errno).message;
        return;
    }
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave.valid()) {
        m_error = posixError(errno).message;
        return;
    }
    // Raw from the start: until the program sets its own settings, and after
    // it restores these at closing, bytes pass unchanged and are not echoed.
    termios raw{};
    if (::tcgetattr(slave.get(), &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(slave.get(), TCSANOW, &raw);
    }
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    m_master = std::move(master);
    m_heldSlave = std::move(slave);
    m_slavePath = QString::fromLocal8Bit(name);
}

std::unique_ptr<SerialDevice> PseudoTerminal::masterDevice() const
{
    if (!m_master.valid()) return nullptr;
    UniqueFd copy(::fcntl(m_master.get(), F_DUPFD_CLOEXEC, 0));
    if (!copy.valid()) return nullptr;
    return std::make_unique<PtyMasterDevice>(std::move(copy));
}

PtyMasterDevice::PtyMasterDevice(UniqueFd master)
    : m_fd(std::move(master)), m_stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

PtyMasterDevice::~PtyMasterDevice()
{
    close();
}

SerialStatus PtyMasterDevice::open(const QString &)
{
    if (!m_fd.valid()) return posixError(EBADF);
    if (!m_stop.valid()) return posixError(EMFILE);
    return SerialStatus::success();
}

void PtyMasterDevice::close()
{
    m_output.clear();
    m_fd.reset();
}

SerialStatus PtyMasterDevice::setLineSettings(std::uint32_t baud)
{
    if (!m_fd.valid()) return posixError(EBADF);
    if (baud == 0) return posixError(EINVAL);
    m_speed = baud;
    return SerialStatus::success();
}

void PtyMasterDevice::purge()
{
    // Only what the program sent before the device side was ready.
    if (m_fd.valid()) ::tcflush(m_fd.get(), TCIFLUSH);
}

SerialStatus PtyMasterDevice::write(std::span<const char> characters)
{
    return m_output.write(m_fd.get(), characters);
}

SerialEvents PtyMasterDevice::waitFor(bool watchPort, std::chrono::microseconds timeout)
{
    return posixWaitForEvents(m_stop.get(), watchPort ? m_fd.get() : -1, timeout, &m_output);
}

void PtyMasterDevice::signalStop()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto rc = ::write(m_stop.get(), &one, sizeof one);
}

void PtyMasterDevice::resetStop()
{
    std::uint64_t value;
    [[maybe_unused]] const auto rc = ::read(m_stop.get(), &value, sizeof value);
}

SerialRead PtyMasterDevice::readWaiting()
{
    return posixReadWaiting(m_fd.get());
}
