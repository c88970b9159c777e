// Puts a reply on the line piece by piece at given moments: how the simulator
// paces its replies at the line's speed and splits them into chunks. Each
// piece goes out as one write, so a reader sees the pieces apart.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <vector>

class ReplyWriter : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    struct Piece {
        QByteArray characters;
        Clock::time_point due; // not written before this moment (within half a millisecond)
    };
    // Writes one piece; false when the line is gone.
    using Sink = std::function<bool(const QByteArray &characters)>;

    explicit ReplyWriter(Sink sink, QObject *parent = nullptr);

    // Replaces whatever is still waiting (a newer request supersedes an
    // older reply) and starts on these pieces, in order. With a minimum gap,
    // pieces that fell behind still leave one by one, that far apart, so a
    // busy event loop cannot merge them into one write.
    void start(std::vector<Piece> pieces,
               std::chrono::microseconds minimumGap = std::chrono::microseconds(0));
    // Drops what has not been written yet.
    void cancel();
    bool isBusy() const { return m_next < m_pieces.size(); }

    // The pieces of a line: one piece at `start`, or pieces of random sizes
    // (`split`, sizes from `splitSizes`), each due when the line would have
    // carried its last character (`baud` > 0: ten bit times per character),
    // or `unpacedSpacing` apart without pacing.
    static std::vector<Piece> schedule(const QByteArray &characters, Clock::time_point start,
                                       int pacedBaud, const std::vector<QByteArray> &splitPieces,
                                       std::chrono::microseconds unpacedSpacing =
                                           std::chrono::milliseconds(1));

signals:
    // The last piece has been written (not after cancel() or a failed write).
    void finished();
    void failed();

private:
    void writeDue();

    Sink m_sink;
    std::vector<Piece> m_pieces;
    std::size_t m_next = 0;
    std::chrono::microseconds m_gap{0};
    QTimer m_timer;
};
