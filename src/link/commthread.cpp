// The reader thread of an open port and its hand-over to the owning thread.
#include "link/commthread.h"

#include "frame/mbframe.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <array>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
// The longest frame on the line; a batch this long goes without waiting more.
constexpr qsizetype kGatherMaxCharacters = 2 * qsizetype(mb::kFrameArea);

constexpr bool startsFrame(std::uint8_t c)
{
    return (c & (mb::kHighNibbleBit | mb::kStartFlag)) == (mb::kHighNibbleBit | mb::kStartFlag);
}

// Follows the frames through the characters read, across batches: how far
// the frame under way has come, and how long the last frame of the same kind
// (reply or request, and command) was, which is what the reader expects this
// one to be. Requests and replies are told apart because a line that echoes
// the master's requests carries both with the same command.
class FrameWatch {
public:
    // Takes the characters read; true when one of them ended a frame.
    bool take(QByteArrayView data)
    {
        bool ended = false;
        for (const char ch : data) {
            const auto c = std::uint8_t(ch);
            if (startsFrame(c)) {
                // The frame's first byte: its low-nibble character came before;
                // this one carries the address byte's high nibble.
                m_soFar = 2;
                m_reply = (c & (mb::kReplyFlag >> 4)) != 0;
                continue;
            }
            if (m_soFar > 0) ++m_soFar;
            if (m_soFar == kCommandLow) m_command = c & 0x0F;
            if (m_soFar == kCommandHigh) m_command |= (c & 0x0F) << 4;
            if (mb::endsFrame(c)) {
                if (m_soFar >= kCommandHigh && m_soFar <= kGatherMaxCharacters)
                    m_lastLength[key()] = quint16(m_soFar);
                m_soFar = 0;
                ended = true;
            }
        }
        return ended;
    }
    // Characters still to come of the frame under way, as long as the last
    // one of its kind; 0 while that is not known.
    qsizetype rest() const
    {
        if (m_soFar < kCommandHigh) return 0;
        return std::max<qsizetype>(0, m_lastLength[key()] - m_soFar);
    }

private:
    // Line characters up to the command byte's low and high nibble.
    static constexpr qsizetype kCommandLow = 2 * 2 + 1;
    static constexpr qsizetype kCommandHigh = 2 * 2 + 2;
    std::size_t key() const { return std::size_t(m_command) + (m_reply ? 256 : 0); }
    qsizetype m_soFar = 0; // characters of the frame under way; 0 when none is
    bool m_reply = false;
    int m_command = 0;
    std::array<quint16, 2 * 256> m_lastLength{}; // line characters, by key()
};

// Line time of the characters, ten bit times each.
std::chrono::microseconds lineTime(qsizetype characters, std::uint32_t baud)
{
    return std::chrono::microseconds(characters * 10 * 1'000'000 / baud);
}

} // namespace

TCommThread::TCommThread(std::unique_ptr<SerialDevice> device, QObject *parent)
    : QObject(parent), m_device(std::move(device))
{
}

TCommThread::~TCommThread()
{
    stop();
    m_device->close();
}

void TCommThread::detachHandlers()
{
    m_receive = nullptr;
    m_failure = nullptr;
}

void TCommThread::start()
{
    if (m_thread.joinable()) return;
    m_device->resetStop();
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = false;
    }
    m_watching = true;
    m_held = 0; // whatever a stopped reader held is gone with it
    m_lineSpeed = m_device->lineSpeed();
    m_thread = std::thread([this] { run(); });
}

void TCommThread::stop()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_device->signalStop();
    m_thread.join();
    m_watching = false;
    // What the owning thread has not taken yet is for no one now; a call
    // still on its way finds another generation and does nothing.
    std::lock_guard lock(m_mutex);
    m_waiting = {};
    m_posted = false;
    ++m_generation;
}

bool TCommThread::hasPendingHandOver()
{
    std::lock_guard lock(m_mutex);
    return m_posted;
}

qsizetype TCommThread::charactersWaiting()
{
    std::lock_guard lock(m_mutex);
    return m_waiting.characters.size();
}

void TCommThread::run()
{
    bool watchPort = true;
    QByteArray gathered; // read, not yet handed over
    Clock::time_point gatheringSince;
    bool slept = false; // the sleep through the frame's line time is over for this batch
    FrameWatch frames;
    for (;;) {
        const auto gatherLimit = std::chrono::milliseconds(m_gatherLimitMs.load());
        const bool gather = m_gatherFrames;
        int timeoutMs = -1;
        if (!gathered.isEmpty()) {
            const auto left = gatheringSince + gatherLimit - Clock::now();
            const qsizetype rest = gather && !slept && m_lineSpeed > 0 ? frames.rest() : 0;
            if (rest > 0) {
                // Most of the frame is still on its way: sleep through its
                // line time without watching the port, then take the rest as
                // it comes. The stop event (or output to be sent) ends the
                // sleep early; the gather limit still holds.
                slept = true;
                const auto sleep = std::chrono::floor<std::chrono::milliseconds>(
                    std::min<Clock::duration>(lineTime(rest, m_lineSpeed) - kWakeBeforeEnd, left));
                if (sleep.count() > 0) {
                    const SerialEvents events = m_device->waitForEvents(false, int(sleep.count()));
                    if (events.stopped || stopRequested()) return;
                    continue;
                }
            }
            timeoutMs =
                std::max(0, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        const SerialEvents events = m_device->waitForEvents(watchPort, timeoutMs);
        if (events.stopped || stopRequested()) return;

        HandOver batch;
        bool frameEnded = false;
        if (events.dataWaiting || events.hangUp) {
            SerialRead read = m_device->readWaiting();
            batch.lost = read.lost || (events.hangUp && read.data.isEmpty());
            batch.reason = read.status;
            frameEnded = frames.take(read.data);
            if (gathered.isEmpty()) gatheringSince = Clock::now();
            gathered += read.data;
        }
        if (gathered.isEmpty() && !batch.lost) continue;
        const bool due = batch.lost || !gather || frameEnded ||
                         gathered.size() >= kGatherMaxCharacters ||
                         Clock::now() >= gatheringSince + gatherLimit;
        m_held = due ? 0 : gathered.size();
        if (!due) continue;
        batch.characters = std::exchange(gathered, {});
        batch.readAt = gatheringSince;
        slept = false;
        if (batch.lost) {
            // A dead port would report its hang-up for ever: from here on
            // only the stop event is waited for.
            watchPort = false;
            m_watching = false;
        }
        handOver(std::move(batch));
    }
}

bool TCommThread::stopRequested()
{
    std::lock_guard lock(m_mutex);
    return m_stopRequested;
}

void TCommThread::handOver(HandOver batch)
{
    quint64 generation;
    {
        std::lock_guard lock(m_mutex);
        if (m_waiting.characters.isEmpty()) m_waiting.readAt = batch.readAt;
        m_waiting.characters += batch.characters;
        if (batch.lost) {
            m_waiting.lost = true;
            m_waiting.reason = batch.reason;
        }
        if (m_posted) return; // the call on its way takes this batch as well
        m_posted = true;
        generation = m_generation;
    }
    QMetaObject::invokeMethod(
        this, [this, generation] { serviceHandOver(generation); }, Qt::QueuedConnection);
}

void TCommThread::serviceHandOver(quint64 generation)
{
    HandOver batch;
    {
        std::lock_guard lock(m_mutex);
        if (generation != m_generation) return; // sent before the reader was stopped
        m_posted = false;
        batch = std::exchange(m_waiting, {});
    }
    if (batch.characters.isEmpty() && !batch.lost) return;
    ++m_handOvers;
    ++m_handingOver;
    m_handOverReadAt = batch.readAt;
    // The handlers may destroy this reader (its owner deleted from one of its
    // own handlers); its thread is then joined and nothing here is left.
    const QPointer<TCommThread> self(this);
    handle(batch);
    if (!self) return;
    --m_handingOver;
}

void TCommThread::handle(const HandOver &batch)
{
    if (!m_receive) return; // detached: the reader is being stopped

    if (!batch.characters.isEmpty()) {
        // Copy the handler: it may detach, stop or destroy this reader while it runs.
        const ReceiveHandler receive = m_receive;
        const QPointer<TCommThread> self(this);
        receive(batch.characters);
        if (!self) return;
    }
    if (!batch.lost) return;

    SerialStatus reason = batch.reason;
    if (reason.ok())
        reason = SerialStatus::failure(EIO, QStringLiteral("The device was disconnected"));
    if (const FailureHandler failure = m_failure) failure(reason);
}
