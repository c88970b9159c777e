// TCommThread: the reader of one open port. Its thread waits for port events
// and reads the characters waiting; each batch is handed to the thread that
// created the object (the user-interface thread), which alone touches the
// engine's state. The reader does not wait until a batch has been dealt
// with: it goes back to the port at once, and what it reads meanwhile joins
// the batch still waiting, in order, so the owning thread is woken once for
// however much has come.
//
// In frame mode the reader gathers the pieces in which a frame trickles in
// (a serial adapter delivers a reply in about one piece per millisecond) and
// hands them over together once a frame's last character has come, a short
// time after the first of them at the latest. Once a frame has begun, the
// reader looks at the port for two characters' time: pieces that come faster
// than the line carries them (written back to back) are taken as they come.
// Otherwise it sleeps through most of the line time the rest of the frame
// needs (as long as the last reply, or request, with the same command was),
// to the microsecond, so it wakes a few times per frame instead of once per
// piece; it watches the port again a little before the frame's end is due.
// A frame that ends in the piece that begins it goes at once; only a frame
// shorter than the last one of its kind can wait, for its shortfall's line
// time and never beyond the gather limit.
#pragma once

#include "serial/serialdevice.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
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
    // How long before the end of a frame, as the last one's length predicts,
    // a reader asleep in a frame watches the port again: a piece of the
    // adapter's delivery as seen (at most kWakeBeforeEnd) and kWakeBeforeEndMin
    // more, so a frame's end is taken as it comes.
    static constexpr std::chrono::milliseconds kWakeBeforeEnd{2};
    static constexpr std::chrono::microseconds kWakeBeforeEndMin{300};

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
    // including from inside a handler of this reader: the reader never waits
    // for the owning thread, and what it read but the owning thread has not
    // taken yet is dropped.
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
    // Characters read and waiting for the owning thread to take them (for tests).
    qsizetype charactersWaiting();

private:
    // What the reader hands over: the characters read, and whether the port
    // was found gone (with the reason), which comes after the characters.
    struct HandOver {
        QByteArray characters;
        std::chrono::steady_clock::time_point readAt; // of the first character
        bool lost = false;
        SerialStatus reason;
    };

    void run();
    bool stopRequested();
    // Adds the batch to what waits for the owning thread and, unless a call
    // is on its way there already, sends one.
    void handOver(HandOver batch);
    void serviceHandOver(quint64 generation);
    void handle(const HandOver &batch);

    std::unique_ptr<SerialDevice> m_device;
    ReceiveHandler m_receive;
    FailureHandler m_failure;
    std::thread m_thread;

    std::mutex m_mutex;
    HandOver m_waiting;       // read, not yet taken by the owning thread
    bool m_posted = false;    // a call to take it is on its way
    quint64 m_generation = 0; // of the reader's run; a call from an earlier one is void
    bool m_stopRequested = false;

    int m_handingOver = 0;
    std::chrono::steady_clock::time_point m_handOverReadAt;
    std::atomic<quint64> m_handOvers{0};
    std::atomic<bool> m_watching{false};
    std::atomic<bool> m_gatherFrames{false};
    std::atomic<int> m_gatherLimitMs{int(kGatherLimit.count())};
    std::atomic<qsizetype> m_held{0};
    std::uint32_t m_lineSpeed = 0; // read at start: what the sleep in a frame goes by
};
