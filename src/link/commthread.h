// TCommThread: the reader of one open port. Its thread waits for port events
// and reads the characters waiting; each batch is handed to the thread that
// created the object (the user-interface thread) and the reader blocks until
// it has been dealt with there, so the engine's state is only ever touched by
// one thread.
//
// In frame mode the reader gathers the pieces in which a frame trickles in
// (a serial adapter delivers a reply in about one piece per millisecond) and
// hands them over together once a frame's last character has come, a short
// time after the first of them at the latest. The user-interface thread is
// then woken once per frame instead of once per piece, and nothing that ends
// a frame waits.
#pragma once

#include "link/serialdevice.h"

#include <QObject>

#include <atomic>
#include <chrono>
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

    // Longest time the first of a batch of gathered characters waits for the
    // frame's end before the batch is handed over anyway (a frame cut short,
    // line noise, a slow line).
    static constexpr std::chrono::milliseconds kGatherLimit{20};

    // Characters of one hand-over go to the receive handler as one chunk.
    void setReceiveHandler(ReceiveHandler handler) { m_receive = std::move(handler); }
    // Called once when the port goes away (hang-up, device removed); the reader
    // then stops watching the port and waits only for stop().
    void setFailureHandler(FailureHandler handler) { m_failure = std::move(handler); }
    void detachHandlers();
    // Frame mode (see above); off, every batch of waiting characters is handed
    // over as it comes. May be changed while the reader runs.
    void setGatherFrames(bool on, std::chrono::milliseconds limit = kGatherLimit)
    {
        m_gatherLimitMs = int(limit.count());
        m_gatherFrames = on;
    }
    // Characters read and held back for the end of their frame (for tests).
    qsizetype heldCharacters() const { return m_held.load(); }
    // While the receive handler runs: when the first of its characters was
    // read from the port (a simulator takes this as their arrival).
    std::chrono::steady_clock::time_point handOverReadAt() const { return m_handOverReadAt; }

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

    // What the reader hands over: the characters read, and whether the port
    // was found gone (with the reason).
    struct HandOver {
        QByteArray characters;
        std::chrono::steady_clock::time_point readAt; // of the first character
        bool lost = false;
        SerialStatus reason;
    };

    void run();
    bool stopRequested();
    // Hands over and waits until the owning thread has dealt with it; false
    // when the reader is being stopped.
    bool handOver(HandOver batch, bool &watchPort);
    void serviceHandOver();
    Verdict handle(const HandOver &batch);

    std::unique_ptr<SerialDevice> m_device;
    ReceiveHandler m_receive;
    FailureHandler m_failure;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false;       // a hand-over waits for the owning thread
    HandOver m_pendingBatch;      // what the pending hand-over carries
    Verdict m_verdict = Verdict::KeepWatching;
    bool m_stopRequested = false;

    int m_handingOver = 0;
    std::chrono::steady_clock::time_point m_handOverReadAt;
    std::atomic<quint64> m_handOvers{0};
    std::atomic<bool> m_watching{false};
    std::atomic<bool> m_gatherFrames{false};
    std::atomic<int> m_gatherLimitMs{int(kGatherLimit.count())};
    std::atomic<qsizetype> m_held{0};
};
