// Puts a reply on the line piece by piece at given moments: how the simulator
// paces its replies at the line's speed, hands them over in pieces of line
// time as a serial adapter does, and splits them into chunks. The moments are
// kept to the microsecond (a timerfd, not the event loop's millisecond
// timers), so even one character every 87 µs at 115200 baud comes out on time.
#pragma once

#include "serial/serialdevice_posix.h"

#include <QByteArray>
#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

class ReplyWriter : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    struct Piece {
        QByteArray characters;
        Clock::time_point due; // not written before this moment
    };
    // Writes one piece; false when the line is gone.
    using Sink = std::function<bool(const QByteArray &characters)>;

    // How pieces that are due together leave.
    enum class Catching { Merge, Apart };

    explicit ReplyWriter(Sink sink, QObject *parent = nullptr);
    ~ReplyWriter() override;

    // Replaces whatever is still waiting (a newer request supersedes an
    // older reply) and starts on these pieces, in order. Pieces found due
    // together (the simulator fell behind) go in one write with Merge, as a
    // line's driver hands over all it holds; with Apart each keeps a write
    // of its own, at least `minimumGap` after the one before, so a busy
    // event loop cannot merge the chunks of a split reply.
    void start(std::vector<Piece> pieces, Catching catching = Catching::Apart,
               std::chrono::microseconds minimumGap = std::chrono::microseconds(0));
    // Drops what has not been written yet.
    void cancel();
    bool isBusy() const { return m_next < m_pieces.size(); }

    // Pieces of the line's characters as an adapter hands them over: those
    // whose last bit ends within the same `period` of line time go together
    // (ten bit times per character at `baud`; a period of 0 gives one
    // character a piece).
    static std::vector<QByteArray> cutByLineTime(const QByteArray &characters, int baud,
                                                 std::chrono::microseconds period);
    // Each part due when the line has carried its last character, the line
    // starting at `start`.
    static std::vector<Piece> paced(const std::vector<QByteArray> &parts, Clock::time_point start,
                                    int baud);
    // The parts `spacing` apart from `start` on (all at once with 0).
    static std::vector<Piece> spaced(const std::vector<QByteArray> &parts, Clock::time_point start,
                                     std::chrono::microseconds spacing);

signals:
    // The last piece has been written (not after cancel() or a failed write).
    void finished();
    void failed();

private:
    void writeDue();
    void wakeAt(Clock::time_point due);

    Sink m_sink;
    std::vector<Piece> m_pieces;
    std::size_t m_next = 0;
    Catching m_catching = Catching::Apart;
    std::chrono::microseconds m_gap{0};
    UniqueFd m_timer; // a timerfd on the monotonic clock, which steady_clock reads
    std::unique_ptr<QSocketNotifier> m_wake;
};
