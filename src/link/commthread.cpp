// The reader thread of an open port and its synchronous hand-over.
#include "link/commthread.h"

#include <QMetaObject>

#include <sys/resource.h>
#include <unistd.h>

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
    for (;;) {
        const SerialEvents events = m_device->waitForEvents(watchPort);
        std::unique_lock lock(m_mutex);
        if (events.stopped || m_stopRequested) return;
        if (!events.dataWaiting && !events.hangUp) continue;

        m_pending = true;
        m_pendingEvents = events;
        lock.unlock();
        QMetaObject::invokeMethod(this, &TCommThread::serviceHandOver, Qt::QueuedConnection);
        lock.lock();
        m_changed.wait(lock, [this] { return !m_pending || m_stopRequested; });
        if (m_stopRequested) {
            m_pending = false; // withdrawn: the owner no longer wants events
            return;
        }
        if (m_verdict == Verdict::StopWatching) {
            watchPort = false;
            m_watching = false;
        }
    }
}

void TCommThread::serviceHandOver()
{
    SerialEvents events;
    {
        std::lock_guard lock(m_mutex);
        if (!m_pending) return; // withdrawn while the call was queued
        events = m_pendingEvents;
    }
    ++m_handOvers;
    ++m_handingOver;
    const Verdict verdict = handle(events);
    --m_handingOver;
    {
        std::lock_guard lock(m_mutex);
        m_verdict = verdict;
        m_pending = false;
    }
    m_changed.notify_all();
}

TCommThread::Verdict TCommThread::handle(const SerialEvents &events)
{
    if (!m_receive) return Verdict::KeepWatching; // detached: the reader is being stopped

    SerialRead read = m_device->readWaiting();
    const bool lost = read.lost || (events.hangUp && read.data.isEmpty());
    if (!read.data.isEmpty()) {
        // Copy the handler: it may detach or stop this reader while it runs.
        const ReceiveHandler receive = m_receive;
        receive(read.data);
    }
    if (!lost) return Verdict::KeepWatching;

    SerialStatus reason = read.status;
    if (reason.ok()) reason = SerialStatus{EIO, QStringLiteral("The device was disconnected")};
    if (const FailureHandler failure = m_failure) failure(reason);
    return Verdict::StopWatching;
}
