// The TX and RX data buffers of the link component: 1-based
// data areas inside the transmit and receive frame areas, with the typed
// append and read operations a host uses to fill a request and decode a reply.
// Plain C++ without Qt.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>

#include "frame/mbframe.h"

namespace mb {

// MBAppendReal with a value whose magnitude lies beyond single precision
// (it would round to infinity, or is infinite): the contract's "floating-point
// overflow error". Nothing has been appended when it is thrown.
class FloatOverflow : public std::overflow_error {
public:
    explicit FloatOverflow(double value);
    double value() const noexcept { return value_; }

private:
    double value_;
};

// The value rounded to single precision (round to nearest), or nothing when
// it rounds to infinity or is infinite. NaN stays NaN (sign kept).
std::optional<float> toSingle(double value) noexcept;

class MBTXDataBuffer {
public:
    MBTXDataBuffer() = default;

    // Index 1, nothing to send, all 2043 data bytes 0.
    void MBClearTXData() noexcept;

    // Appends follow the append rules. Each returns true when the value was
    // written; false when it did not fit (nothing written, nothing changed).
    //
    // A value that ends exactly at index 2043 (i + k = 2044; left to the
    // implementer): it is written and counted, so MBDataNumberToSend becomes
    // 2043, and the index stays at 2043, the highest the clamp allows. The
    // buffer is then full: further appends are refused until the host writes
    // MBMBTXDataBufferIndex or calls MBClearTXData. Without that, a following
    // one-byte append (i = 2043, k = 1) would silently overwrite the last byte
    // of the value just stored; writing the index is the host's explicit
    // request to overwrite, which the buffer allows.
    bool MBAppendByte(std::uint8_t value) noexcept;
    bool MBAppendWord(std::uint16_t value) noexcept;
    bool MBAppendCardinal(std::uint32_t value) noexcept;
    bool MBAppendInteger(std::int32_t value) noexcept;
    // Throws FloatOverflow (before any room check; nothing appended) when the
    // value is beyond single precision, infinities included. NaN is appended
    // as a single-precision NaN.
    bool MBAppendReal(double value);
    // One byte per character, then a zero byte (k = text length + 1).
    bool MBAppendString(std::string_view text) noexcept;
    bool MBAppendString(std::span<const std::uint8_t> text) noexcept;

    std::uint16_t MBMBTXDataBufferIndex() const noexcept { return index_; }
    // Clamps: below 1 becomes 1, above 2043 becomes 2043.
    void setMBMBTXDataBufferIndex(int value) noexcept;
    std::uint16_t MBDataNumberToSend() const noexcept { return count_; }
    // Clamps: below 0 becomes 0, above 2043 becomes 2043.
    void setMBDataNumberToSend(int value) noexcept;

    // Data byte at 1-based index 1 .. 2043 (0 outside).
    std::uint8_t dataAt(std::size_t index) const noexcept;
    // The MBDataNumberToSend data bytes (indices 1 .. N): what byte and
    // string mode send raw.
    std::span<const std::uint8_t> dataToSend() const noexcept;
    // Writes header and CRC into the transmit frame area ("Building
    // and sending a frame", steps 1-2) and returns the N + 5 frame bytes.
    // The span stays valid until the buffer is next changed.
    std::span<const std::uint8_t> buildFrame(std::uint8_t address, std::uint8_t id,
                                             std::uint8_t command) noexcept;

private:
    bool append(std::span<const std::uint8_t> bytes, bool terminate) noexcept;
    bool appendLittleEndian(std::uint32_t value, std::size_t k) noexcept;

    std::array<std::uint8_t, kFrameArea> area_{}; // data index i at position i + 2
    std::uint16_t index_ = 1;
    std::uint16_t count_ = 0;
    bool full_ = false; // a value ended at index 2043 (see the appends)
};

class MBRXDataBuffer {
public:
    // Capacity of raw bytes (byte and string mode): the whole assembly buffer.
    static constexpr std::size_t kRawCapacity = kFrameArea;

    MBRXDataBuffer() = default;

    // Reads: past the received data they return 0 and
    // leave the index where it is.
    std::uint8_t MBReadByte() noexcept;
    std::uint16_t MBReadWord() noexcept;
    std::uint32_t MBReadCardinal() noexcept;
    std::int32_t MBReadInteger() noexcept;
    double MBReadReal() noexcept;

    std::uint16_t MBMBRXDataBufferIndex() const noexcept { return index_; }
    // Clamps: below 1 becomes 1, above 2043 becomes 2043.
    void setMBMBRXDataBufferIndex(int value) noexcept;
    std::uint16_t MBReceivedDataNumber() const noexcept { return count_; }

    // An accepted frame (5 .. 2048 bytes, checked by the receiver) goes into
    // the receive frame area: MBReceivedDataNumber = length - 5, index 1.
    // A frame outside 5 .. 2048 bytes is refused (returns false, no change).
    bool loadFrame(std::span<const std::uint8_t> frame) noexcept;
    // Byte and string mode: raw bytes copied from data index 1 on,
    // MBReceivedDataNumber = their count (at most 2048; more are cut). The
    // index and the header bytes are left alone.
    void loadRaw(std::span<const std::uint8_t> bytes) noexcept;
    // Empties the buffer: no data, index 1 (for a host that needs a fresh
    // start in byte mode; construction state).
    void clear() noexcept;

    // Header of the last accepted frame.
    std::uint8_t address() const noexcept { return area_[0]; }
    std::uint8_t id() const noexcept { return area_[1]; }
    std::uint8_t command() const noexcept { return area_[2]; }
    // Data byte at 1-based index (0 outside 1 .. MBReceivedDataNumber).
    std::uint8_t dataAt(std::size_t index) const noexcept;
    // The MBReceivedDataNumber data bytes.
    std::span<const std::uint8_t> receivedData() const noexcept;

private:
    bool readable(std::size_t k) const noexcept;
    std::uint32_t readLittleEndian(std::size_t k) noexcept;

    // Header, then up to 2048 data bytes (raw mode may fill 2048).
    std::array<std::uint8_t, kHeaderSize + kRawCapacity> area_{};
    std::uint16_t index_ = 1;
    std::uint16_t count_ = 0;
};

} // namespace mb
