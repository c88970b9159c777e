// TX and RX data buffers: typed appends and reads over 1-based data areas.
#include "frame/mbbuffers.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace mb {

namespace {
constexpr std::size_t kPos0 = kHeaderSize - 1; // data index i is area position i + kPos0

std::uint16_t clampIndex(int value) noexcept
{
    return static_cast<std::uint16_t>(std::clamp(value, 1, static_cast<int>(kDataCapacity)));
}
} // namespace

FloatOverflow::FloatOverflow(double value)
    : std::overflow_error("MBAppendReal: value beyond single precision: " + std::to_string(value)),
      value_(value)
{
}

std::optional<float> toSingle(double value) noexcept
{
    if (std::isnan(value)) return static_cast<float>(value);
    // Round to nearest, ties to even: magnitudes from the midpoint between
    // FLT_MAX and 2^128 upwards round to infinity. Checked before the
    // conversion, which is undefined for values outside the float range.
    constexpr double kOverflowAt = 0x1p128 - 0x1p103;
    if (!(std::fabs(value) < kOverflowAt)) return std::nullopt;
    return static_cast<float>(value);
}

// ---------------------------------------------------------------- TX buffer

void MBTXDataBuffer::MBClearTXData() noexcept
{
    // One memset: a byte loop costs every data byte a check in checked builds.
    std::memset(area_.data() + kHeaderSize, 0, kDataCapacity);
    index_ = 1;
    count_ = 0;
    full_ = false;
}

bool MBTXDataBuffer::append(std::span<const std::uint8_t> bytes, bool terminate) noexcept
{
    const std::size_t i = index_;
    const std::size_t k = bytes.size() + (terminate ? 1 : 0);
    if (full_ || bytes.size() > kDataCapacity || i + k > kDataCapacity + 1) return false;
    auto out = std::copy(bytes.begin(), bytes.end(), area_.begin() + kPos0 + i);
    if (terminate) *out = 0;
    const std::size_t last = i + k - 1; // last index written
    if (last > count_) count_ = static_cast<std::uint16_t>(last);
    if (i + k <= kDataCapacity) {
        index_ = static_cast<std::uint16_t>(i + k);
    } else { // ends exactly at index 2043: see the header
        index_ = static_cast<std::uint16_t>(kDataCapacity);
        full_ = true;
    }
    return true;
}

bool MBTXDataBuffer::appendLittleEndian(std::uint32_t value, std::size_t k) noexcept
{
    std::uint8_t bytes[4];
    for (std::size_t n = 0; n < k; ++n)
        bytes[n] = static_cast<std::uint8_t>(value >> (8 * n));
    return append(std::span<const std::uint8_t>(bytes, k), false);
}

bool MBTXDataBuffer::MBAppendByte(std::uint8_t value) noexcept
{
    return appendLittleEndian(value, 1);
}
bool MBTXDataBuffer::MBAppendWord(std::uint16_t value) noexcept
{
    return appendLittleEndian(value, 2);
}
bool MBTXDataBuffer::MBAppendCardinal(std::uint32_t value) noexcept
{
    return appendLittleEndian(value, 4);
}
bool MBTXDataBuffer::MBAppendInteger(std::int32_t value) noexcept
{
    return appendLittleEndian(static_cast<std::uint32_t>(value), 4);
}

bool MBTXDataBuffer::MBAppendReal(double value)
{
    const std::optional<float> single = toSingle(value);
    if (!single) throw FloatOverflow(value);
    return appendLittleEndian(std::bit_cast<std::uint32_t>(*single), 4);
}

bool MBTXDataBuffer::MBAppendString(std::span<const std::uint8_t> text) noexcept
{
    return append(text, true);
}

bool MBTXDataBuffer::MBAppendString(std::string_view text) noexcept
{
    return MBAppendString(
        std::span(reinterpret_cast<const std::uint8_t *>(text.data()), text.size()));
}

void MBTXDataBuffer::setMBMBTXDataBufferIndex(int value) noexcept
{
    index_ = clampIndex(value);
    full_ = false;
}

void MBTXDataBuffer::setMBDataNumberToSend(int value) noexcept
{
    count_ = static_cast<std::uint16_t>(std::clamp(value, 0, static_cast<int>(kDataCapacity)));
}

std::uint8_t MBTXDataBuffer::dataAt(std::size_t index) const noexcept
{
    return (index >= 1 && index <= kDataCapacity) ? area_[kPos0 + index] : 0;
}

std::span<const std::uint8_t> MBTXDataBuffer::dataToSend() const noexcept
{
    return std::span(area_).subspan(kHeaderSize, count_);
}

std::span<const std::uint8_t> MBTXDataBuffer::buildFrame(std::uint8_t address, std::uint8_t id,
                                                         std::uint8_t command) noexcept
{
    const std::size_t length = completeFrame(area_, address, id, command, count_);
    return std::span(area_).first(length);
}

// ---------------------------------------------------------------- RX buffer

bool MBRXDataBuffer::readable(std::size_t k) const noexcept
{
    return index_ + k - 1 <= count_;
}

std::uint32_t MBRXDataBuffer::readLittleEndian(std::size_t k) noexcept
{
    if (!readable(k)) return 0;
    const std::size_t i = index_;
    // The k bytes copied at once and put together whatever the host's order.
    std::array<std::uint8_t, 4> b{};
    std::memcpy(b.data(), area_.data() + kPos0 + i, std::min<std::size_t>(k, b.size()));
    const std::uint32_t value =
        b[0] | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
    if (i + k <= kDataCapacity) index_ = static_cast<std::uint16_t>(i + k);
    return value;
}

std::uint8_t MBRXDataBuffer::MBReadByte() noexcept
{
    return static_cast<std::uint8_t>(readLittleEndian(1));
}
std::uint16_t MBRXDataBuffer::MBReadWord() noexcept
{
    return static_cast<std::uint16_t>(readLittleEndian(2));
}
std::uint32_t MBRXDataBuffer::MBReadCardinal() noexcept
{
    return readLittleEndian(4);
}
std::int32_t MBRXDataBuffer::MBReadInteger() noexcept
{
    return static_cast<std::int32_t>(readLittleEndian(4));
}

double MBRXDataBuffer::MBReadReal() noexcept
{
    // An unreadable value gives the pattern 0, that is 0.0.
    return static_cast<double>(std::bit_cast<float>(readLittleEndian(4)));
}

void MBRXDataBuffer::setMBMBRXDataBufferIndex(int value) noexcept
{
    index_ = clampIndex(value);
}

bool MBRXDataBuffer::loadFrame(std::span<const std::uint8_t> frame) noexcept
{
    if (frame.size() < kMinFrame || frame.size() > kFrameArea) return false;
    std::copy(frame.begin(), frame.end(), area_.begin());
    count_ = static_cast<std::uint16_t>(frame.size() - kMinFrame);
    index_ = 1;
    return true;
}

void MBRXDataBuffer::loadRaw(std::span<const std::uint8_t> bytes) noexcept
{
    const std::size_t n = std::min(bytes.size(), kRawCapacity);
    std::copy_n(bytes.begin(), n, area_.begin() + kHeaderSize);
    count_ = static_cast<std::uint16_t>(n);
}

void MBRXDataBuffer::clear() noexcept
{
    count_ = 0;
    index_ = 1;
}

std::uint8_t MBRXDataBuffer::dataAt(std::size_t index) const noexcept
{
    return (index >= 1 && index <= count_) ? area_[kPos0 + index] : 0;
}

std::span<const std::uint8_t> MBRXDataBuffer::receivedData() const noexcept
{
    return std::span(area_).subspan(kHeaderSize, count_);
}

} // namespace mb
