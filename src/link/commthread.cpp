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

// How the characters of the frame under way have come, and so whether the
// reader may sleep until its end is due. A line carries no more than its speed
// allows: characters that come faster (a simulator or relay writing a frame's
// pieces back to back) overtake any prediction from the line time, and the
// reader then watches the port for the rest of the frame instead.
class LinePace {
public:
    void begin(qsizetype characters, Clock::time_point now)
    {
        m_firstAt = m_lastAt = now;
        m_sinceFirst = 0;
        m_lastPiece = characters;
        m_looked = m_overtaken = false;
        m_sleeps = 0;
    }
    void took(qsizetype characters, std::uint32_t baud, Clock::time_point now)
    {
        m_sinceFirst += characters;
        m_lastAt = now;
        m_lastPiece = characters;
        // The first piece may have been read late (the reader woken late):
        // a millisecond's slack for that, two characters for a piece cut in
        // the middle of one.
        if (baud > 0 && m_sinceFirst > charactersIn(now - m_firstAt + kFirstReadLate, baud) + 2)
            m_overtaken = true;
    }
    void slept() { ++m_sleeps; }

    // What the reader does next while the frame under way is not complete.
    struct Step {
        enum class Kind : std::uint8_t {
            Watch, // wait for the port as always
            Look,  // watch the port for `time` at most
            Sleep, // wait for `time` without watching the port
        } kind = Kind::Watch;
        std::chrono::microseconds time{0};
    };
    Step next(qsizetype rest, std::uint32_t baud, Clock::time_point now)
    {
        using std::chrono::microseconds;
        if (rest <= 0 || m_overtaken || m_sleeps >= kMaxSleeps) return {};
        if (!m_looked) {
            // Pieces written back to back are there by now, or come within
            // two characters' time.
            m_looked = true;
            return {Step::Kind::Look, std::max(kShortestLook, lineTime(2, baud))};
        }
        // The rest comes after the last piece read, at the line's speed; the
        // reader is back a little before that: a piece of the delivery seen
        // so far (that piece may have been read late), the time to wake, and
        // the drift of a clock two per cent off.
        const auto restTime = lineTime(rest, baud);
        const auto margin =
            std::min<microseconds>(lineTime(m_lastPiece, baud), TCommThread::kWakeBeforeEnd) +
            TCommThread::kWakeBeforeEndMin + restTime / 50;
        const auto sleep = std::chrono::ceil<microseconds>(m_lastAt + restTime - margin - now);
        if (sleep.count() <= 0) return {};
        return {Step::Kind::Sleep, sleep};
    }

private:
    static constexpr std::chrono::microseconds kShortestLook{100};
    static constexpr std::chrono::milliseconds kFirstReadLate{1};
    // A reader woken from a sleep may sleep once more, closer to the end, as
    // the later pieces show how the line delivers; never more often.
    static constexpr int kMaxSleeps = 2;
    static qsizetype charactersIn(Clock::duration time, std::uint32_t baud)
    {
        return qsizetype(std::chrono::duration_cast<std::chrono::microseconds>(time).count() *
                         qint64(baud) / (10 * 1'000'000));
    }
    Clock::time_point m_firstAt;
    Clock::time_point m_lastAt;
    qsizetype m_sinceFirst = 0; // characters read after the first piece
    qsizetype m_lastPiece = 0;
    bool m_looked = false;
    bool m_overtaken = false;
    int m_sleeps = 0;
};

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
    LinePace pace;
    FrameWatch frames;
    for (;;) {
        const auto gatherLimit = std::chrono::milliseconds(m_gatherLimitMs.load());
        const bool gather = m_gatherFrames;
        bool watch = watchPort;
        auto timeout = std::chrono::microseconds(-1);
        if (!gathered.isEmpty()) {
            const auto now = Clock::now();
            timeout = std::max(
                std::chrono::microseconds(0),
                std::chrono::ceil<std::chrono::microseconds>(gatheringSince + gatherLimit - now));
            const qsizetype rest = gather && m_lineSpeed > 0 ? frames.rest() : 0;
            const LinePace::Step step = pace.next(rest, m_lineSpeed, now);
            if (step.kind == LinePace::Step::Kind::Sleep && step.time < timeout) {
                // Most of the frame is still on its way: sleep through its
                // line time without watching the port, then take the rest as
                // it comes. The stop event (or output to be sent) ends the
                // sleep early; the gather limit still holds.
                watch = false;
                timeout = step.time;
            } else if (step.kind == LinePace::Step::Kind::Look) {
                // Before the first sleep in a frame: a short look at the port
                // shows whether the rest comes faster than the line carries
                // it (pieces written back to back).
                timeout = std::min(timeout, step.time);
            }
        }
        const SerialEvents events = m_device->waitFor(watch, timeout);
        if (events.stopped || stopRequested()) return;

        HandOver batch;
        bool frameEnded = false;
        if (watch && (events.dataWaiting || events.hangUp)) {
            SerialRead read = m_device->readWaiting();
            batch.lost = read.lost || (events.hangUp && read.data.isEmpty());
            batch.reason = read.status;
            frameEnded = frames.take(read.data);
            const auto now = Clock::now();
            if (gathered.isEmpty()) {
                gatheringSince = now;
                pace.begin(read.data.size(), now);
            } else if (!read.data.isEmpty()) {
                pace.took(read.data.size(), m_lineSpeed, now);
            }
            gathered += read.data;
        } else if (!watch) {
            pace.slept();
        }
        if (gathered.isEmpty() && !batch.lost) continue;
        const bool due = batch.lost || !gather || frameEnded ||
                         gathered.size() >= kGatherMaxCharacters ||
                         Clock::now() >= gatheringSince + gatherLimit;
        m_held = due ? 0 : gathered.size();
        if (!due) continue;
        batch.characters = std::exchange(gathered, {});
        batch.readAt = gatheringSince;
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
