// Streaming MB frame receiver: the per-character state machine.
#include "frame/mbreceiver.h"

namespace mb {

RxEvent MBReceiver::feed(std::uint8_t c)
{
    const bool outside = count_ == 0 || complete_; // no frame of ours under way
    if (!(c & kHighNibbleBit)) {                   // 1. low-nibble character
        // Outside a frame it may begin the next one; only the character
        // after it tells. Two in a row: the first was a stray one.
        if (outside) {
            if (lowPending_) chargeOutside(1);
            lowPending_ = true;
        }
        lowNibble_ = c & 0x0F;
        return RxEvent::None;
    }
    const auto b = static_cast<std::uint8_t>(((c & 0x0F) << 4) | lowNibble_); // 2.
    const std::uint32_t pending = lowPending_ ? 1 : 0;
    lowPending_ = false;
    damagedLength_ = 0;
    if (c & kStartFlag) { // 3. never examined for the end flag
        // A refused frame that never ended was no frame: noise, or one cut
        // short; its characters count as such.
        if (skipping_) discards_.outsideFrame += skipped_;
        skipping_ = false;
        if (count_ != 0 && !complete_) ++discards_.startInFrame;
        if (!accept_ || accept_(b)) {
            buffer_[0] = b;
            count_ = 1;
            full_ = false;
            complete_ = false;
            overflowed_ = false;
            return RxEvent::StartAccepted;
        }
        resetAssembly();
        // The refused frame's own characters follow; whether it was a frame
        // of another station is known at its end.
        skipping_ = true;
        skipped_ = 1 + pending;
        skipBytes_ = 0;
        skipCrc_ = kCrcInit;
        skipByte(b);
        return RxEvent::StartRefused;
    }
    if (skipping_) {
        skipped_ += 1 + pending;
        skipByte(b);
        if (c & kEndFlag) {
            skipping_ = false;
            if (skippedFrameWhole())
                ++discards_.foreignFrame;
            else
                discards_.outsideFrame += skipped_;
        }
        return RxEvent::Ignored;
    }
    if (count_ == 0) { // 4.
        discards_.outsideFrame += 1 + pending;
        return RxEvent::Ignored;
    }
    // Characters behind a whole frame lie outside any frame.
    if (complete_) discards_.outsideFrame += 1 + pending;
    if (!appendRaw(b)) overflowed_ = true; // 5.
    if (!(c & kEndFlag)) return RxEvent::ByteStored;
    // 6. Length >= 5 and CRC; a frame that outgrew the buffer lost its end,
    // whatever its first 2048 bytes say.
    if (!complete_ && !overflowed_ && frameCrcOk(assembly())) {
        complete_ = true;
        return RxEvent::FrameAccepted;
    }
    if (!complete_) {
        if (overflowed_) {
            ++discards_.overlong;
        } else {
            ++discards_.badCrc;
            damagedLength_ = count_;
        }
    }
    resetAssembly();
    return RxEvent::FrameDiscarded;
}

void MBReceiver::skipByte(std::uint8_t b) noexcept
{
    if (skipBytes_ >= 2) skipCrc_ = crc16Update(skipCrc_, skipTail_[0]);
    skipTail_[0] = skipTail_[1];
    skipTail_[1] = b;
    ++skipBytes_;
}

bool MBReceiver::skippedFrameWhole() const noexcept
{
    return skipBytes_ >= kMinFrame && skipBytes_ <= kFrameArea &&
           skipTail_[0] == (skipCrc_ & 0xFF) && skipTail_[1] == (skipCrc_ >> 8);
}

bool MBReceiver::appendRaw(std::uint8_t byte) noexcept
{
    // A raw byte (byte or string mode) ends a refused frame going by: what
    // follows is the assembly's again.
    if (skipping_) {
        discards_.outsideFrame += skipped_;
        skipping_ = false;
    }
    if (count_ >= kFrameArea) return false;
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
        return lateReply;
    case DiscardReason::NotDecodable:
        break;
    }
    return notDecodable;
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
        return "late reply";
    case DiscardReason::NotDecodable:
        break;
    }
    return "not decodable";
}

} // namespace mb
