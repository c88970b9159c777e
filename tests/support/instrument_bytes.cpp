#include "support/instrument_bytes.h"

#include "frame/mbframe.h"

#include <bit>
#include <vector>

namespace testbytes {

DataBytes &DataBytes::byte(int index, std::uint8_t v)
{
    bytes_[index - 1] = char(v);
    return *this;
}

DataBytes &DataBytes::word(int index, std::uint16_t v)
{
    return byte(index, v & 0xFF).byte(index + 1, v >> 8);
}

DataBytes &DataBytes::cardinal(int index, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        byte(index + i, std::uint8_t(v >> (8 * i)));
    return *this;
}

DataBytes &DataBytes::int32(int index, std::int32_t v)
{
    return cardinal(index, std::uint32_t(v));
}

DataBytes &DataBytes::real(int index, float v)
{
    return cardinal(index, std::bit_cast<std::uint32_t>(v));
}

DataBytes &DataBytes::truncate(int count)
{
    bytes_.truncate(count);
    return *this;
}

mb::MBRXDataBuffer DataBytes::rx(std::uint8_t address, std::uint8_t command) const
{
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes_.constData());
    const std::vector<std::uint8_t> frame =
        mb::makeFrame(address, 0, command, std::span(data, std::size_t(bytes_.size())));
    mb::MBRXDataBuffer buffer;
    buffer.loadFrame(frame);
    return buffer;
}

QByteArray sent(const mb::MBTXDataBuffer &tx)
{
    const auto data = tx.dataToSend();
    return QByteArray(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
}

static std::uint32_t cardinalAt(const QByteArray &data, int index)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | std::uint8_t(data.at(index - 1 + i));
    return v;
}

std::uint16_t wordAt(const QByteArray &data, int index)
{
    return std::uint16_t(std::uint8_t(data.at(index - 1)) | std::uint8_t(data.at(index)) << 8);
}

std::int32_t int32At(const QByteArray &data, int index)
{
    return std::int32_t(cardinalAt(data, index));
}

float realAt(const QByteArray &data, int index)
{
    return std::bit_cast<float>(cardinalAt(data, index));
}

} // namespace testbytes
