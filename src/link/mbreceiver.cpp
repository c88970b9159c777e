// Streaming MB frame receiver: the per-character state machine.
#include "link/mbreceiver.h"

namespace mb {

RxEvent MBReceiver::feed(std::uint8_t c)
{
    if (!(c & kHighNibbleBit)) { // 1. low-nibble character
        lowNibble_ = c & 0x0F;
        return RxEvent::None;
    }
    const auto b = static_cast<std::uint8_t>(((c & 0x0F) << 4) | lowNibble_); // 2.
    if (c & kStartFlag) { // 3. never examined for the end flag
        if (!accept_ || accept_(b)) {
            buffer_[0] = b;
            count_ = 1;
            full_ = false;
            return RxEvent::StartAccepted;
        }
        resetAssembly();
        return RxEvent::StartRefused;
    }
    if (count_ == 0) // 4.
        return RxEvent::Ignored;
    appendRaw(b); // 5.
    if (!(c & kEndFlag))
        return RxEvent::ByteStored;
    if (frameCrcOk(assembly())) // 6. length >= 5 and CRC
        return RxEvent::FrameAccepted;
    resetAssembly();
    return RxEvent::FrameDiscarded;
}

bool MBReceiver::appendRaw(std::uint8_t byte) noexcept
{
    if (count_ >= kFrameArea)
        return false;
    buffer_[count_++] = byte;
    full_ = (count_ == kFrameArea);
    return true;
}

} // namespace mb
