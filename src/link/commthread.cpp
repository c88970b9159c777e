// The reader thread of an open port and its synchronous hand-over.
#include "link/commthread.h"

#include "link/mbframe.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <chrono>

#include <sys/resource.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
// The longest frame on the line; a batch this long goes without waiting more.
constexpr qsizetype kGatherMaxCharacters = 2 * qsizetype(mb::kFrameArea);

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
        m_pending = false;
    }
    m_watching = true;
    m_held = 0; // whatever a stopped reader held is gone with it
    m_thread = std::thread([this] { run(); });
}

void TCommThread::stop()
{
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stopRequested = true;
    }
    m_changed.notify_all();
    m_device->signalStop();
    m_thread.join();
    m_watching = false;
}

bool TCommThread::hasPendingHandOver()
{
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void TCommThread::run()
{
    // Received characters should be picked up promptly; raising the priority
    // needs a privilege most users lack, and the reader works without it.
    const pid_t self = ::gettid();
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, id_t(self));
    if (errno == 0) ::setpriority(PRIO_PROCESS, id_t(self), nice - 1);

    bool watchPort = true;
    QByteArray gathered; // read, not yet handed over
    Clock::time_point gatheringSince;
    for (;;) {
        const auto gatherLimit = std::chrono::milliseconds(m_gatherLimitMs.load());
        int timeoutMs = -1;
        if (!gathered.isEmpty()) {
            const auto left = gatheringSince + gatherLimit - Clock::now();
            timeoutMs = std::max(0, int(std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        const SerialEvents events = m_device->waitForEvents(watchPort, timeoutMs);
        if (events.stopped || stopRequested()) return;

        HandOver batch;
        bool frameEnded = false;
        if (events.dataWaiting || events.hangUp) {
            SerialRead read = m_device->readWaiting();
            batch.lost = read.lost || (events.hangUp && read.data.isEmpty());
            batch.reason = read.status;
            frameEnded = std::any_of(read.data.cbegin(), read.data.cend(),
                                     [](char c) { return mb::endsFrame(std::uint8_t(c)); });
            if (gathered.isEmpty()) gatheringSince = Clock::now();
            gathered += read.data;
        }
        if (gathered.isEmpty() && !batch.lost) continue;
        const bool due = batch.lost || !m_gatherFrames || frameEnded ||
                         gathered.size() >= kGatherMaxCharacters ||
                         Clock::now() >= gatheringSince + gatherLimit;
        m_held = due ? 0 : gathered.size();
        if (!due) continue;
        batch.characters = std::exchange(gathered, {});
        batch.readAt = gatheringSince;
        if (!handOver(std::move(batch), watchPort)) return;
    }
}

bool TCommThread::stopRequested()
{
    std::lock_guard lock(m_mutex);
    return m_stopRequested;
}

bool TCommThread::handOver(HandOver batch, bool &watchPort)
{
    std::unique_lock lock(m_mutex);
    if (m_stopRequested) return false;
    m_pending = true;
    m_pendingBatch = std::move(batch);
    lock.unlock();
    QMetaObject::invokeMethod(this, &TCommThread::serviceHandOver, Qt::QueuedConnection);
    lock.lock();
    m_changed.wait(lock, [this] { return !m_pending || m_stopRequested; });
    if (m_stopRequested) {
        m_pending = false; // withdrawn: the owner no longer wants events
        return false;
    }
    if (m_verdict == Verdict::StopWatching) {
        watchPort = false;
        m_watching = false;
    }
    return true;
}

void TCommThread::serviceHandOver()
{
    HandOver batch;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending) return; // withdrawn while the call was queued
        batch = m_pendingBatch;
    }
    ++m_handOvers;
    ++m_handingOver;
    m_handOverReadAt = batch.readAt;
    // The handlers may destroy this reader (its owner deleted from one of its
    // own handlers); its thread is then joined and nothing here is left.
    const QPointer<TCommThread> self(this);
    const Verdict verdict = handle(batch);
    if (!self) return;
    --m_handingOver;
    {
        std::lock_guard lock(m_mutex);
        m_verdict = verdict;
        m_pending = false;
    }
    m_changed.notify_all();
}

TCommThread::Verdict TCommThread::handle(const HandOver &batch)
{
    if (!m_receive) return Verdict::KeepWatching; // detached: the reader is being stopped

    if (!batch.characters.isEmpty()) {
        // Copy the handler: it may detach, stop or destroy this reader while it runs.
        const ReceiveHandler receive = m_receive;
        const QPointer<TCommThread> self(this);
        receive(batch.characters);
        if (!self) return Verdict::StopWatching;
    }
    if (!batch.lost) return Verdict::KeepWatching;

    SerialStatus reason = batch.reason;
    if (reason.ok())
        reason = SerialStatus::failure(EIO, QStringLiteral("The device was disconnected"));
    if (const FailureHandler failure = m_failure) failure(reason);
    return Verdict::StopWatching;
}
