// The serial platform layer on Linux and other POSIX systems: a tty device
// opened exclusively, driven raw through termios2, with an eventfd as the stop
// event of the reader's wait.
#pragma once

#include "link/serialdevice.h"

#include <memory>

// Owns one file descriptor; closes it when destroyed.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    UniqueFd(UniqueFd &&other) noexcept : m_fd(other.release()) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept
    {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int m_fd = -1;
};

// The system's text for an errno value, as a SerialStatus.
SerialStatus posixError(int code);

// Descriptor-level steps every POSIX device shares.
// Writes everything, waiting a bounded time for room in a full output queue.
SerialStatus posixWriteAll(int fd, std::span<const char> characters);
// Waits on the stop eventfd and on fd (-1: the stop event only).
SerialEvents posixWaitForEvents(int stopFd, int fd, int timeoutMs = -1);
// Reads exactly what waits on fd; a vanished peer reads as lost.
SerialRead posixReadWaiting(int fd);

class PosixSerialDevice final : public SerialDevice {
public:
    PosixSerialDevice();
    ~PosixSerialDevice() override;

    SerialStatus open(const QString &name) override;
    bool isOpen() const override;
    void close() override;

    SerialStatus setLineSettings(std::uint32_t baud) override;
    std::uint32_t lineSpeed() const override;
    void purge() override;
    void clearDtrRts() override;

    SerialStatus write(std::span<const char> characters) override;

    SerialEvents waitForEvents(bool watchPort = true, int timeoutMs = -1) override;
    void signalStop() override;
    void resetStop() override;

    SerialRead readWaiting() override;

    // The descriptor of the open device, for tests that inspect the line.
    int nativeHandle() const { return m_fd.get(); }

private:
    struct SavedSettings;
    UniqueFd m_fd;
    UniqueFd m_stop; // eventfd
    std::unique_ptr<SavedSettings> m_saved;
    std::uint32_t m_speed = 0;
};
