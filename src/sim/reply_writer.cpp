// Timed writing of a reply's pieces.
#include "sim/reply_writer.h"

#include <algorithm>
#include <cmath>

namespace {

// A piece may leave this much before its moment: the event loop's timers
// count whole milliseconds, and waiting for the next tick would make every
// paced reply late by up to one.
constexpr auto kEarly = std::chrono::microseconds(500);

} // namespace

ReplyWriter::ReplyWriter(Sink sink, QObject *parent) : QObject(parent), m_sink(std::move(sink))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &ReplyWriter::writeDue);
}

void ReplyWriter::start(std::vector<Piece> pieces, std::chrono::microseconds minimumGap)
{
    cancel();
    m_gap = minimumGap;
    m_pieces = std::move(pieces);
    m_next = 0;
    writeDue();
}

void ReplyWriter::cancel()
{
    m_timer.stop();
    m_pieces.clear();
    m_next = 0;
}

void ReplyWriter::writeDue()
{
    while (m_next < m_pieces.size()) {
        const auto now = Clock::now();
        const Piece &piece = m_pieces[m_next];
        if (piece.due > now + kEarly) {
            const double ms = std::chrono::duration<double, std::milli>(piece.due - now).count();
            m_timer.start(std::max(1, int(std::lround(ms))));
            return;
        }
        ++m_next;
        if (!m_sink(piece.characters)) {
            cancel();
            emit failed();
            return;
        }
        if (m_gap.count() > 0 && m_next < m_pieces.size()) {
            Piece &following = m_pieces[m_next];
            following.due = std::max(following.due, Clock::now() + m_gap);
        }
    }
    if (m_pieces.empty()) return;
    m_pieces.clear();
    m_next = 0;
    emit finished();
}

std::vector<ReplyWriter::Piece> ReplyWriter::schedule(const QByteArray &characters,
                                                      Clock::time_point start, int pacedBaud,
                                                      const std::vector<QByteArray> &splitPieces,
                                                      std::chrono::microseconds unpacedSpacing)
{
    std::vector<Piece> pieces;
    if (characters.isEmpty()) return pieces;

    std::vector<QByteArray> parts = splitPieces;
    if (parts.empty() && pacedBaud > 0) {
        // About a millisecond of line per piece, so the characters trickle in
        // as on a real line.
        const qsizetype perMs = std::max<qsizetype>(1, (pacedBaud + 9999) / 10000);
        for (qsizetype at = 0; at < characters.size(); at += perMs)
            parts.push_back(characters.mid(at, perMs));
    }
    if (parts.empty()) parts.push_back(characters);

    qsizetype sent = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        sent += parts[i].size();
        Clock::time_point due = start;
        if (pacedBaud > 0)
            due += std::chrono::microseconds((qint64(sent) * 10 * 1000000 + pacedBaud - 1) /
                                             pacedBaud);
        else
            due += unpacedSpacing * qint64(i);
        pieces.push_back({parts[i], due});
    }
    return pieces;
}
