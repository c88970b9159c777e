// MB frame codec: CRC-16, frame completion and line encoding.
#include "frame/mbframe.h"

#include <algorithm>
#include <cassert>

namespace mb {

namespace {
// Byte-wise table of the reflected 0xA001 CRC, built at compile time.
constexpr std::array<std::uint16_t, 256> makeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t r = static_cast<std::uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? static_cast<std::uint16_t>((r >> 1) ^ 0xA001)
                        : static_cast<std::uint16_t>(r >> 1);
        table[n] = r;
    }
    return table;
}
constexpr auto kCrcTable = makeCrcTable();
} // namespace

std::uint16_t crc16Update(std::uint16_t crc, std::uint8_t byte) noexcept
{
    return static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

std::uint16_t crc16(std::span<const std::uint8_t> bytes) noexcept
{
    std::uint16_t crc = kCrcInit;
    for (std::uint8_t b : bytes)
        crc = crc16Update(crc, b);
    return crc;
}

bool frameCrcOk(std::span<const std::uint8_t> frame) noexcept
{
    if (frame.size() < kMinFrame) return false;
    const std::size_t n = frame.size() - 2;
    const std::uint16_t crc = crc16(frame.first(n));
    return frame[n] == (crc & 0xFF) && frame[n + 1] == (crc >> 8);
}

std::size_t completeFrame(std::span<std::uint8_t> area, std::uint8_t address, std::uint8_t id,
                          std::uint8_t command, std::size_t dataCount) noexcept
{
    assert(dataCount <= kDataCapacity && area.size() >= dataCount + kMinFrame);
    area[0] = address;
    area[1] = id;
    area[2] = command;
    const std::size_t crcPos = dataCount + kHeaderSize;
    const std::uint16_t crc = crc16(area.first(crcPos));
    area[crcPos] = static_cast<std::uint8_t>(crc & 0xFF);
    area[crcPos + 1] = static_cast<std::uint8_t>(crc >> 8);
    return crcPos + 2;
}

std::vector<std::uint8_t> makeFrame(std::uint8_t address, std::uint8_t id, std::uint8_t command,
                                    std::span<const std::uint8_t> data)
{
    assert(data.size() <= kDataCapacity);
    std::vector<std::uint8_t> frame(data.size() + kMinFrame);
    std::copy(data.begin(), data.end(), frame.begin() + kHeaderSize);
    completeFrame(frame, address, id, command, data.size());
    return frame;
}

std::size_t encodeLine(std::span<const std::uint8_t> frame, std::span<std::uint8_t> out) noexcept
{
    assert(out.size() >= 2 * frame.size());
    std::size_t o = 0;
    for (std::size_t p = 0; p < frame.size(); ++p) {
        const CharPair pair = encodeFramePosition(frame, p);
        out[o++] = pair[0];
        out[o++] = pair[1];
    }
    return o;
}

std::vector<std::uint8_t> encodeLine(std::span<const std::uint8_t> frame)
{
    std::vector<std::uint8_t> out(2 * frame.size());
    encodeLine(frame, out);
    return out;
}

} // namespace mb
