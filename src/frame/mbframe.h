// MB frame codec: frame-area constants, CRC-16 (poly 0xA001 reflected, init 0xFFFF), the
// nibble-pair line encoding of one frame byte, and frame building.
// Plain C++ without Qt, so the codec can be fuzzed and reused by the simulator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace mb {

inline constexpr std::size_t kFrameArea = 2048;    // longest frame, bytes
inline constexpr std::size_t kDataCapacity = 2043; // data bytes of the longest frame
inline constexpr std::size_t kHeaderSize = 3;      // address, ID, command
inline constexpr std::size_t kMinFrame = 5;        // header + CRC, no data

// Line-character bits (line encoding).
inline constexpr std::uint8_t kHighNibbleBit = 0x40; // set in every high-nibble character
inline constexpr std::uint8_t kStartFlag = 0x80;
inline constexpr std::uint8_t kEndFlag = 0x20;

// True for the character that closes a frame: a high-nibble character with
// the end flag and without the start flag (a start flag opens a new frame,
// whatever else it carries).
constexpr bool endsFrame(std::uint8_t c) noexcept
{
    return (c & (kHighNibbleBit | kStartFlag | kEndFlag)) == (kHighNibbleBit | kEndFlag);
}

// Address-byte bits.
inline constexpr std::uint8_t kQueryFlag = 0x40;
inline constexpr std::uint8_t kReplyFlag = 0x80;

// CRC-16: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
inline constexpr std::uint16_t kCrcInit = 0xFFFF;
std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) noexcept;
std::uint16_t crc16(std::span<const std::uint8_t> bytes) noexcept;

// True when the frame has at least 5 bytes and its last two bytes are the
// CRC-16 (low byte first) of all the bytes before them.
bool frameCrcOk(std::span<const std::uint8_t> frame) noexcept;

// The two line characters of one frame byte, in sending order: the
// low-nibble character, then the high-nibble character with the start flag
// (frame's first byte) and/or end flag (frame's last byte).
using CharPair = std::array<std::uint8_t, 2>;
constexpr CharPair encodeByte(std::uint8_t byte, bool start, bool end) noexcept
{
    return {static_cast<std::uint8_t>(byte & 0x0F),
            static_cast<std::uint8_t>(kHighNibbleBit | (byte >> 4) | (start ? kStartFlag : 0) |
                                      (end ? kEndFlag : 0))};
}
// The pair for position p of `frame` (start flag at 0, end flag at the last byte).
constexpr CharPair encodeFramePosition(std::span<const std::uint8_t> frame, std::size_t p) noexcept
{
    return encodeByte(frame[p], p == 0, p + 1 == frame.size());
}

// Address bytes of a request and of a reply.
constexpr std::uint8_t masterAddressByte(std::uint8_t slaveAddress, bool queryMode) noexcept
{
    return static_cast<std::uint8_t>((slaveAddress & 0x0F) | (queryMode ? kQueryFlag : 0));
}
constexpr std::uint8_t slaveAddressByte(std::uint8_t ownAddress) noexcept
{
    return static_cast<std::uint8_t>((ownAddress & 0x0F) | kReplyFlag);
}

// Completes a frame in place: `area` holds the data bytes at positions
// 3 .. dataCount + 2 already; the header goes into positions 0-2 and the CRC
// behind the data. Returns the frame length dataCount + 5.
// Precondition: dataCount <= kDataCapacity and area.size() >= dataCount + 5.
std::size_t completeFrame(std::span<std::uint8_t> area, std::uint8_t address, std::uint8_t id,
                          std::uint8_t command, std::size_t dataCount) noexcept;

// A whole frame from its parts (for tests, the simulator, tools).
// Precondition: data.size() <= kDataCapacity.
std::vector<std::uint8_t> makeFrame(std::uint8_t address, std::uint8_t id, std::uint8_t command,
                                    std::span<const std::uint8_t> data);

// The line characters of a frame: 2 * frame.size() characters written to
// `out` (which must hold that many); returns the count.
std::size_t encodeLine(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out) noexcept;
std::vector<std::uint8_t> encodeLine(std::span<const std::uint8_t> frame);

} // namespace mb
