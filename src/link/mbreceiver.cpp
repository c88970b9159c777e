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
        if (count_ != 0 && !complete_) ++discards_.startInFrame;
        skipping_ = false;
        if (!accept_ || accept_(b)) {
            buffer_[0] = b;
            count_ = 1;
            full_ = false;
            complete_ = false;
            overflowed_ = false;
            return RxEvent::StartAccepted;
        }
        ++discards_.foreignFrame;
        resetAssembly();
        skipping_ = true; // the refused frame's own characters follow
        return RxEvent::StartRefused;
    }
    if (count_ == 0) { // 4.
        if (!skipping_)
            ++discards_.outsideFrame;
        else if (c & kEndFlag)
            skipping_ = false;
        return RxEvent::Ignored;
    }
    if (!appendRaw(b)) overflowed_ = true; // 5.
    if (!(c & kEndFlag))
        return RxEvent::ByteStored;
    if (frameCrcOk(assembly())) { // 6. length >= 5 and CRC
        complete_ = true;
        return RxEvent::FrameAccepted;
    }
    // Characters behind a whole frame lie outside any frame; a frame that
    // outgrew the buffer lost its end; anything else failed its check.
    ++(complete_ ? discards_.outsideFrame : overflowed_ ? discards_.overlong : discards_.badCrc);
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

std::uint32_t &MBDiscardCounts::operator[](DiscardReason reason) noexcept
{
    switch (reason) {
    case DiscardReason::BadCrc:
        return badCrc;
    case DiscardReason::ForeignFrame:
        return foreignFrame;
    case DiscardReason::Overlong:
        return overlong;
    case DiscardReason::StartInFrame:
        return startInFrame;
    case DiscardReason::OutsideFrame:
        return outsideFrame;
    case DiscardReason::LateReply:
        break;
    }
    return lateReply;
}

std::uint32_t MBDiscardCounts::operator[](DiscardReason reason) const noexcept
{
    return const_cast<MBDiscardCounts &>(*this)[reason];
}

const char *discardReasonText(DiscardReason reason) noexcept
{
    switch (reason) {
    case DiscardReason::BadCrc:
        return "bad CRC";
    case DiscardReason::ForeignFrame:
        return "another station or echo";
    case DiscardReason::Overlong:
        return "overlong";
    case DiscardReason::StartInFrame:
        return "start in mid-frame";
    case DiscardReason::OutsideFrame:
        return "characters outside a frame";
    case DiscardReason::LateReply:
        break;
    }
    return "late reply";
}

} // namespace mb
