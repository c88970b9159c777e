// The reader thread of an open port and its hand-over to the owning thread.
#include "link/commthread.h"

#include "link/mbframe.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
// The longest frame on the line; a batch this long goes without waiting more.
constexpr qsizetype kGatherMaxCharacters = 2 * qsizetype(mb::kFrameArea);

constexpr bool startsFrame(char c)
{
    return (std::uint8_t(c) & (mb::kHighNibbleBit | mb::kStartFlag)) ==
           (mb::kHighNibbleBit | mb::kStartFlag);
}

// Characters of the frame begun last in `text`: from its start character
// on, or all of them when none starts there (a frame begun in a batch
// before).
qsizetype sinceLastStart(QByteArrayView text)
{
    for (qsizetype i = text.size(); i-- > 0;)
        if (startsFrame(text[i])) return text.size() - i;
    return text.size();
}

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

void TCommThread::run()
{
    bool watchPort = true;
    QByteArray gathered; // read, not yet handed over
    Clock::time_point gatheringSince;
    bool sleptInFrame = false; // the sleep through a frame's line time is over
    qsizetype lastFrame = 0;   // characters of the last frame that ended
    for (;;) {
        const auto gatherLimit = std::chrono::milliseconds(m_gatherLimitMs.load());
        const bool gather = m_gatherFrames;
        int timeoutMs = -1;
        if (!gathered.isEmpty()) {
            const auto left = gatheringSince + gatherLimit - Clock::now();
            if (gather && !sleptInFrame && m_lineSpeed > 0) {
                // Most of the frame is still on its way: sleep through its
                // line time without watching the port, then take the rest as
                // it comes. Only the stop event (or output waiting for room)
                // ends the sleep early.
                sleptInFrame = true;
                const auto rest = lineTime(lastFrame - sinceLastStart(gathered), m_lineSpeed);
                const auto sleep = std::chrono::floor<std::chrono::milliseconds>(
                    std::min<Clock::duration>(rest - kWakeBeforeEnd, left));
                if (sleep.count() > 0) {
                    const SerialEvents events = m_device->waitForEvents(false, int(sleep.count()));
                    if (events.stopped || stopRequested()) return;
                    continue;
                }
            }
            timeoutMs = std::max(0, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        const SerialEvents events = m_device->waitForEvents(watchPort, timeoutMs);
        if (events.stopped || stopRequested()) return;

        HandOver batch;
        qsizetype frameEnd = -1; // just behind the last character that ends a frame
        if (events.dataWaiting || events.hangUp) {
            SerialRead read = m_device->readWaiting();
            batch.lost = read.lost || (events.hangUp && read.data.isEmpty());
            batch.reason = read.status;
            for (qsizetype i = read.data.size(); i-- > 0;)
                if (mb::endsFrame(std::uint8_t(read.data[i]))) {
                    frameEnd = gathered.size() + i + 1;
                    break;
                }
            if (gathered.isEmpty()) gatheringSince = Clock::now();
            gathered += read.data;
        }
        if (gathered.isEmpty() && !batch.lost) continue;
        if (frameEnd > 0)
            lastFrame = sinceLastStart(QByteArrayView(gathered).first(frameEnd));
        const bool due = batch.lost || !gather || frameEnd > 0 ||
                         gathered.size() >= kGatherMaxCharacters ||
                         Clock::now() >= gatheringSince + gatherLimit;
        m_held = due ? 0 : gathered.size();
        if (!due) continue;
        batch.characters = std::exchange(gathered, {});
        batch.readAt = gatheringSince;
        sleptInFrame = false;
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
