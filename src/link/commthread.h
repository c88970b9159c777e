// TCommThread: the reader of one open port. Its thread only waits for port
// events; each event is handed to the thread that created the object (the
// user-interface thread) and the reader blocks until it has been dealt with
// there, so the engine's state is only ever touched by one thread.
#pragma once

#include "link/serialdevice.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TCommThread : public QObject {
    Q_OBJECT
public:
    using ReceiveHandler = std::function<void(const QByteArray &chunk)>;
    using FailureHandler = std::function<void(const SerialStatus &reason)>;

    // Takes an open, configured device; the device is closed when the reader is destroyed.
    explicit TCommThread(std::unique_ptr<SerialDevice> device, QObject *parent = nullptr);
    ~TCommThread() override;

    SerialDevice &device() { return *m_device; }
    const SerialDevice &device() const { return *m_device; }

    // Characters waiting at a hand-over go to the receive handler as one chunk.
    void setReceiveHandler(ReceiveHandler handler) { m_receive = std::move(handler); }
    // Called once when the port goes away (hang-up, device removed); the reader
    // then stops watching the port and waits only for stop().
    void setFailureHandler(FailureHandler handler) { m_failure = std::move(handler); }
    void detachHandlers();

    void start();
    // Ends the thread and waits for it. Safe from anywhere on the owning thread,
    // including from inside a handler of this reader: a hand-over still pending
    // is withdrawn instead of waited for, so this never deadlocks.
    void stop();

    // True while a handler of this reader runs; an owner that stops the reader
    // from inside a handler must not destroy it before the handler has returned.
    bool isHandingOver() const { return m_handingOver > 0; }
    // Number of hand-overs serviced so far (lets tests see that a dead port
    // does not keep waking the user-interface thread).
    quint64 handOverCount() const { return m_handOvers.load(); }
    // False once the reader reported the port lost and waits only for stop().
    bool isWatchingPort() const { return m_watching.load(); }
    // True while a hand-over waits for the owning thread (for tests).
    bool hasPendingHandOver();

private:
    enum class Verdict { KeepWatching, StopWatching };

    void run();
    void serviceHandOver();
    Verdict handle(const SerialEvents &events);

    std::unique_ptr<SerialDevice> m_device;
    ReceiveHandler m_receive;
    FailureHandler m_failure;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false;       // a hand-over waits for the owning thread
    SerialEvents m_pendingEvents; // what the pending hand-over reports
    Verdict m_verdict = Verdict::KeepWatching;
    bool m_stopRequested = false;

    int m_handingOver = 0;
    std::atomic<quint64> m_handOvers{0};
    std::atomic<bool> m_watching{false};
};
