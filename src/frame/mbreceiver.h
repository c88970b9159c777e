// Streaming MB frame receiver: assembles
// frames from line characters fed one at a time, whatever the chunking, and
// reports per character what happened so the engine can update its status
// and run the mode's handling between two characters. Plain C++ without Qt;
// no allocation on the per-character path.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "frame/mbframe.h"

namespace mb {

// What one line character did.
enum class RxEvent : std::uint8_t {
    None,           // low-nibble character: latched, nothing else
    Ignored,        // high-nibble character without start flag while no frame is assembled
    ByteStored,     // frame byte appended to the assembly (or dropped because it is full)
    StartAccepted,  // start flag, first byte accepted: assembly restarted with it (count 1)
    StartRefused,   // start flag, first byte refused: assembly discarded (reset)
    FrameDiscarded, // end flag, frame shorter than 5 bytes or wrong CRC: assembly discarded
    FrameAccepted,  // end flag, frame passed: frame() holds it (the assembly is NOT reset)
};

// Why a frame (or characters) were thrown away. The receiver counts the
// first five itself; the engine adds late replies and replies it could not
// decode. Characters outside any frame are counted one by one, everything
// else frame by frame.
enum class DiscardReason : std::uint8_t {
    BadCrc,       // a frame of the station we listen to, too short or with a wrong CRC
    ForeignFrame, // a whole frame the mode does not take: another station's, or our echo
    Overlong,     // more than 2048 bytes, so its end was cut off
    StartInFrame, // a start flag in mid-frame cut the frame before it short
    OutsideFrame, // a character outside any whole frame (noise, a cut frame of another station)
    LateReply,    // a reply that is not the answer to the request out now
    NotDecodable, // a reply its host cannot read (a length other than its layout's)
};

// How many of each were thrown away since the counts were last cleared.
struct MBDiscardCounts {
    std::uint32_t badCrc = 0;
    std::uint32_t foreignFrame = 0;
    std::uint32_t overlong = 0;
    std::uint32_t startInFrame = 0;
    std::uint32_t outsideFrame = 0; // characters
    std::uint32_t lateReply = 0;
    std::uint32_t notDecodable = 0;

    std::uint32_t &operator[](DiscardReason reason) noexcept;
    std::uint32_t operator[](DiscardReason reason) const noexcept;
    // Frames thrown away, whatever the reason; and characters outside a frame.
    std::uint32_t frames() const noexcept
    {
        return badCrc + foreignFrame + overlong + startInFrame + lateReply + notDecodable;
    }
    std::uint32_t characters() const noexcept { return outsideFrame; }
    std::uint32_t total() const noexcept { return frames() + characters(); }
    bool operator==(const MBDiscardCounts &) const = default;
};
// Whether a reason counts characters (outside a frame) rather than frames.
constexpr bool countsCharacters(DiscardReason reason) noexcept
{
    return reason == DiscardReason::OutsideFrame;
}
// The reason as the link's log and tool tips name it ("bad CRC" and so on).
const char *discardReasonText(DiscardReason reason) noexcept;
// The frame reasons first, then the characters.
inline constexpr DiscardReason kDiscardReasons[] = {
    DiscardReason::BadCrc,       DiscardReason::ForeignFrame, DiscardReason::Overlong,
    DiscardReason::StartInFrame, DiscardReason::LateReply,    DiscardReason::NotDecodable,
    DiscardReason::OutsideFrame};

class MBReceiver {
public:
    // The mode's acceptance test for a frame's first byte (master, slave and diagnostic modes
    // differ).
    using StartAcceptance = std::function<bool(std::uint8_t firstByte)>;

    // Without a test every first byte is accepted (diagnostic mode).
    MBReceiver() = default;
    explicit MBReceiver(StartAcceptance accept) : accept_(std::move(accept)) {}

    void setStartAcceptance(StartAcceptance accept) { accept_ = std::move(accept); }

    // Handles one line character (the six receive steps). After FrameAccepted
    // the frame stays in frame() until the assembly changes: the caller copies
    // it (MBRXDataBuffer::loadFrame) and resets the assembly if its mode says
    // so. The acceptance test is called only from here, before any change.
    RxEvent feed(std::uint8_t c);

    // Feeds a chunk, calling onEvent(RxEvent) after every character whose
    // event is not None/Ignored/ByteStored. The callback may call
    // resetAssembly() or change the acceptance test; the loop continues with
    // the next character. Returns the number of frames accepted.
    template <class OnEvent>
    std::size_t feed(std::span<const std::uint8_t> chunk, OnEvent &&onEvent)
    {
        std::size_t accepted = 0;
        for (std::uint8_t c : chunk) {
            const RxEvent e = feed(c);
            if (e == RxEvent::None || e == RxEvent::Ignored || e == RxEvent::ByteStored) continue;
            accepted += (e == RxEvent::FrameAccepted);
            onEvent(e);
        }
        return accepted;
    }

    // Reset of the assembly: no bytes, not full. The latched low nibble
    // survives. Used by the discards above, the master's send and the
    // string-mode send.
    void resetAssembly() noexcept
    {
        count_ = 0;
        full_ = false;
        complete_ = false;
        overflowed_ = false;
    }

    // Byte and string mode: one raw byte into the assembly buffer (dropped
    // when 2048 bytes are held). Returns false when dropped.
    bool appendRaw(std::uint8_t byte) noexcept;

    std::uint16_t MBNumberOfReceivedBytes() const noexcept { return count_; }
    bool MBRxBufferFull() const noexcept { return full_; }
    std::uint8_t latchedLowNibble() const noexcept { return lowNibble_; }
    bool assembling() const noexcept { return count_ != 0; }

    // The bytes collected so far; after FrameAccepted, the accepted frame.
    std::span<const std::uint8_t> assembly() const noexcept
    {
        return std::span(buffer_).first(count_);
    }
    std::span<const std::uint8_t> frame() const noexcept { return assembly(); }

    // What was thrown away and why, since clearDiscards(). Counting costs
    // nothing on the path of a good frame.
    const MBDiscardCounts &discards() const noexcept { return discards_; }
    void clearDiscards() noexcept { discards_ = {}; }
    // For the discards the receiver cannot see itself (late replies, replies
    // the host cannot decode).
    void countDiscard(DiscardReason reason, std::uint32_t count = 1) noexcept
    {
        discards_[reason] += count;
    }
    // After FrameDiscarded: the length of the frame thrown away when it was
    // one of the accepted station's frames that failed its CRC (a damaged
    // reply still answers a request); 0 after any other discard.
    std::size_t damagedFrameLength() const noexcept { return damagedLength_; }

private:
    // Characters outside a frame go to the refused frame being skipped, when
    // one is, else straight to the count.
    void chargeOutside(std::uint32_t characters) noexcept
    {
        if (skipping_)
            skipped_ += characters;
        else
            discards_.outsideFrame += characters;
    }
    // A refused frame's bytes pass through a running CRC, so that a whole
    // frame of another station can be told from noise without storing it.
    void skipByte(std::uint8_t b) noexcept;
    bool skippedFrameWhole() const noexcept;

    std::array<std::uint8_t, kFrameArea> buffer_{};
    std::uint16_t count_ = 0;
    bool full_ = false;
    bool complete_ = false;   // the assembly holds a frame that passed its checks
    bool overflowed_ = false; // bytes were dropped because the assembly was full
    bool skipping_ = false;   // the characters of a refused frame are going by
    // A low-nibble character outside a frame: the first half of a frame's
    // first byte if a start follows, else a stray character.
    bool lowPending_ = false;
    std::uint8_t lowNibble_ = 0;
    std::uint32_t skipped_ = 0; // characters of the refused frame so far
    std::size_t skipBytes_ = 0; // its bytes so far
    std::uint16_t skipCrc_ = kCrcInit;
    std::array<std::uint8_t, 2> skipTail_{}; // its last two bytes: the CRC when it ends
    std::size_t damagedLength_ = 0;
    StartAcceptance accept_;
    MBDiscardCounts discards_;
};

} // namespace mb
