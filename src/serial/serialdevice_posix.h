// The serial platform layer on Linux and other POSIX systems: a tty device
// opened exclusively, driven raw through termios2, with an eventfd as the stop
// event of the reader's wait.
#pragma once

#include "serial/portlock.h"
#include "serial/serialdevice.h"

#include <atomic>
#include <memory>
#include <mutex>

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

class DeviceHolders;
// Opens the named device for reading and writing unless it is no terminal
// device or another holds it: by a lock file, a lock, by merely having it
// open (holders), or by the exclusive flag while some process's descriptors
// cannot be seen. Changes nothing on the device: no purge, no line
// settings, no flag.
SerialStatus openIfUnheld(const QString &name, UniqueFd &fd, const DeviceHolders &holders);
// The failure of a name that is no terminal device.
SerialStatus notASerialPort();

// Characters written to a device whose driver could not take them all at
// once (the other side reads nothing, the line is flow-controlled or stuck).
// The writer never waits for the line: what does not fit is kept here, in
// order, and handed to the driver from the reader's wait as room appears.
class PendingOutput {
public:
    PendingOutput();

    // Owning thread. While nothing waits, one write() as before; what the
    // driver does not take, and everything written while something waits,
    // is kept. Fails for the driver's own errors and when more than
    // kMaxWaiting characters would wait.
    SerialStatus write(int fd, std::span<const char> characters);
    // Reader thread, when fd has room: hands over what it can.
    void flush(int fd);
    bool waiting() const { return m_waiting.load(std::memory_order_acquire); }
    qsizetype size() const;
    void clear();
    // Readable once characters began to wait, so that a reader asleep in
    // poll() starts watching for room; drained by the reader.
    int wakeFd() const { return m_wake.get(); }
    void drainWake();

    static constexpr qsizetype kMaxWaiting = 64 * 1024;

private:
    // With m_mutex held: the characters join those waiting.
    SerialStatus keep(std::span<const char> characters);

    mutable std::mutex m_mutex;
    QByteArray m_rest;
    // Set only by the owning thread, cleared by whichever empties m_rest:
    // while it is clear the reader never writes, so a write needs no lock.
    std::atomic<bool> m_waiting{false};
    UniqueFd m_wake; // eventfd
};

// Descriptor-level steps every POSIX device shares.
// Waits on the stop eventfd and on fd (-1: the stop event only); with
// output waiting, also for room on fd, which is then handed the output.
SerialEvents posixWaitForEvents(int stopFd, int fd, std::chrono::microseconds timeout,
                                PendingOutput *output = nullptr);
// Reads what waits on fd (without asking how much first); a vanished peer
// reads as lost.
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
    qsizetype outputWaiting() const override { return m_output.size(); }
    void discardOutput() override;

    SerialEvents waitFor(bool watchPort, std::chrono::microseconds timeout) override;
    void signalStop() override;
    void resetStop() override;

    SerialRead readWaiting() override;

    // The descriptor of the open device, for tests that inspect the line.
    int nativeHandle() const { return m_fd.get(); }

private:
    struct SavedSettings;
    UniqueFd m_fd;
    UniqueFd m_stop; // eventfd
    PendingOutput m_output;
    std::unique_ptr<SavedSettings> m_saved;
    PortLockFile m_lock;
    std::uint32_t m_speed = 0;
};
