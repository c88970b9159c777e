// The serial platform layer: what the link needs of a serial port, behind an
// interface of our own so that the engine and its reader thread do not care
// which operating system provides the port.
#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

// What kind of failure a port met; the system's code decides it, in
// portFailureOf() alone, and everything else goes by the kind.
enum class PortFailure : std::uint8_t {
    None,
    NotFound,     // no such device (any more)
    NoPermission, // the user may not open it (not in its group)
    Busy,         // another program (or another opening of ours) holds it
    Lost,         // it went away or stopped working while open
    Unsupported,  // not a serial port, or a setting it cannot take
    Other,
};
PortFailure portFailureOf(int code);
// The kind as the link's log names it ("not found" and so on).
const char *portFailureText(PortFailure kind);

// The outcome of a port operation. A failure carries the system's error code,
// its kind and its message text, so a user can see why (for example
// "Permission denied" when the account is not in the dialout group).
struct SerialStatus {
    int code = 0;
    QString message;
    PortFailure kind = PortFailure::None;

    bool ok() const { return code == 0; }
    static SerialStatus success() { return {}; }
    static SerialStatus failure(int code, const QString &message)
    {
        return {code, message, portFailureOf(code)};
    }
};

// What ended a wait for port events. Several flags may be set at once.
struct SerialEvents {
    bool dataWaiting = false; // characters may be waiting in the input queue
    bool hangUp = false;      // the other side went away or the line failed
    bool stopped = false;     // the stop event was signalled

    bool any() const { return dataWaiting || hangUp || stopped; }
};

// The result of reading what is waiting.
struct SerialRead {
    QByteArray data;
    bool lost = false; // the port is gone (hang-up, device removed): a port failure
    SerialStatus status;
};

class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the named device for reading and writing, exclusively: a device that
    // another process (or another open of this one) holds is refused.
    virtual SerialStatus open(const QString &name) = 0;
    virtual bool isOpen() const = 0;
    // Releases the device; line settings found at opening are restored first.
    virtual void close() = 0;

    // Raw 8 data bits, no parity, 1 stop bit, no flow control, at the given speed.
    virtual SerialStatus setLineSettings(std::uint32_t baud) = 0;
    // The speed the driver reports back after setLineSettings (0 when unknown).
    virtual std::uint32_t lineSpeed() const = 0;
    // Discards whatever waits in both directions.
    virtual void purge() = 0;
    // DTR and RTS inactive. Devices without modem lines (ptys) accept this silently.
    virtual void clearDtrRts() = 0;

    // Hands the characters to the driver without waiting, neither for their
    // transmission nor for room: what a full output queue cannot take waits
    // in the device and follows as room appears. Successive writes go out in
    // call order.
    virtual SerialStatus write(std::span<const char> characters) = 0;
    // Characters written but not yet taken by the driver; a count that stays
    // above 0 means the line takes nothing.
    virtual qsizetype outputWaiting() const { return 0; }
    // Drops those characters and whatever the driver has not sent yet (the
    // line has failed): nothing is left to go out in the middle of a frame.
    virtual void discardOutput() {}

    // Blocks until the port has something to report, the stop event is
    // signalled or the timeout has passed (negative: no time limit; nothing set
    // in the result then means the time ran out), to the microsecond: a reader
    // that sleeps until a frame's end is due must not oversleep by a tick.
    // With watchPort false only the stop event is waited for: a port that
    // reported a hang-up would otherwise wake the waiter again at once. Safe to
    // call from one reader thread while other threads write.
    virtual SerialEvents waitFor(bool watchPort, std::chrono::microseconds timeout) = 0;
    SerialEvents waitForEvents(bool watchPort = true, int timeoutMs = -1)
    {
        return waitFor(watchPort, std::chrono::milliseconds(timeoutMs));
    }
    // Thread-safe; the stop event stays signalled until resetStop().
    virtual void signalStop() = 0;
    virtual void resetStop() = 0;

    // Reads the characters waiting in the input queue (possibly none).
    virtual SerialRead readWaiting() = 0;
};

std::unique_ptr<SerialDevice> createSerialDevice();
