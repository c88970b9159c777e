// Byte-level helpers for the instrument layout tests: data areas built by hand
// at the offsets of the field tables, and the bytes a TX data buffer holds.
#pragma once

#include "frame/mbbuffers.h"

#include <QByteArray>

#include <cstdint>

namespace testbytes {

// A data area of `size` zero bytes, addressed 1-based like the data buffers.
class DataBytes {
public:
    explicit DataBytes(int size) : bytes_(size, '\0') {}

    DataBytes &byte(int index, std::uint8_t v);
    DataBytes &word(int index, std::uint16_t v);
    DataBytes &int32(int index, std::int32_t v);
    DataBytes &cardinal(int index, std::uint32_t v);
    DataBytes &real(int index, float v);
    // Keeps the first `count` bytes only (a reply cut short).
    DataBytes &truncate(int count);

    const QByteArray &bytes() const { return bytes_; }
    // An RX data buffer holding these bytes as the data of an accepted frame,
    // read index at 1.
    mb::MBRXDataBuffer rx(std::uint8_t address = 0x81, std::uint8_t command = 0) const;

private:
    QByteArray bytes_;
};

// The MBDataNumberToSend bytes of a TX data buffer.
QByteArray sent(const mb::MBTXDataBuffer &tx);

// Bytes of a value at a 1-based index of a data area.
std::uint16_t wordAt(const QByteArray &data, int index);
std::int32_t int32At(const QByteArray &data, int index);
float realAt(const QByteArray &data, int index);

} // namespace testbytes
