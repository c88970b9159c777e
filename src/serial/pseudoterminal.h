// A pseudo-terminal held from the device side: whoever creates it plays the
// instrument on the master descriptor, and a program opens slavePath() like a
// serial port. The link engine drives the master through PtyMasterDevice, so
// a simulated device runs on the same engine as the program.
#pragma once

#include "serial/serialdevice.h"
#include "serial/serialdevice_posix.h"

#include <QString>

#include <memory>

class PseudoTerminal {
public:
    // Opens a new pair; check isValid() (errorText() says why not).
    PseudoTerminal();
    ~PseudoTerminal() = default;
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master.valid(); }
    QString errorText() const { return m_error; }
    // The path a program opens, /dev/pts/N.
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master.get(); }

    // A serial device on the master side, with its own descriptor, so that
    // the engine may open and close it as it likes while the pair lives on.
    std::unique_ptr<SerialDevice> masterDevice() const;

private:
    UniqueFd m_master;
    // Held open for the pair's whole life: without any slave descriptor a
    // master reports a hang-up on every wait, so the program's closing and
    // reopening of the port would look like a dead line (or spin a reader).
    UniqueFd m_heldSlave;
    QString m_slavePath;
    QString m_error;
};

// The master side of a pseudo-terminal behind the serial device interface.
// There is no real line: the speed is recorded, not applied (the program sets
// its end's settings itself), and there are no modem lines.
class PtyMasterDevice final : public SerialDevice {
public:
    // Takes ownership of an open master descriptor.
    explicit PtyMasterDevice(UniqueFd master);
    ~PtyMasterDevice() override;

    // The descriptor is open already; the name is only what the engine shows.
    SerialStatus open(const QString &name) override;
    bool isOpen() const override { return m_fd.valid(); }
    void close() override;

    SerialStatus setLineSettings(std::uint32_t baud) override;
    std::uint32_t lineSpeed() const override { return m_speed; }
    void purge() override;
    void clearDtrRts() override {}

    SerialStatus write(std::span<const char> characters) override;
    qsizetype outputWaiting() const override { return m_output.size(); }
    void discardOutput() override { m_output.clear(); }

    SerialEvents waitFor(bool watchPort, std::chrono::microseconds timeout) override;
    void signalStop() override;
    void resetStop() override;

    SerialRead readWaiting() override;

private:
    UniqueFd m_fd;
    UniqueFd m_stop; // eventfd
    PendingOutput m_output;
    std::uint32_t m_speed = 0;
};
