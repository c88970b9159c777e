// Timed writing of a reply's pieces.
#include "sim/reply_writer.h"

#include "sim/sim_faults.h"

#include <QSocketNotifier>

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ReplyWriter::ReplyWriter(Sink sink, QObject *parent)
    : QObject(parent), m_sink(std::move(sink)),
      m_timer(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
{
    // Without its timer the simulator could only pace wrongly; a process
    // that has run out of descriptors has nothing better to do.
    if (!m_timer.valid()) qFatal("kx4720r-sim: no timerfd: %s", std::strerror(errno));
    // Always watched: a disarmed timer never fires, and switching the
    // notifier on and off at every piece would cost the event loop more than
    // the piece itself.
    m_wake = std::make_unique<QSocketNotifier>(m_timer.get(), QSocketNotifier::Read);
    connect(m_wake.get(), &QSocketNotifier::activated, this, [this] {
        std::uint64_t expirations = 0;
        while (::read(m_timer.get(), &expirations, sizeof expirations) < 0 && errno == EINTR) {
        }
        writeDue();
    });
}

ReplyWriter::~ReplyWriter() = default;

void ReplyWriter::start(std::vector<Piece> pieces, Catching catching,
                        std::chrono::microseconds minimumGap)
{
    cancel();
    m_catching = catching;
    m_gap = minimumGap;
    m_pieces = std::move(pieces);
    m_next = 0;
    writeDue();
}

void ReplyWriter::cancel()
{
    const itimerspec off{};
    ::timerfd_settime(m_timer.get(), 0, &off, nullptr);
    m_pieces.clear();
    m_next = 0;
}

void ReplyWriter::wakeAt(Clock::time_point due)
{
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
    itimerspec at{};
    at.it_value.tv_sec = time_t(ns / 1000000000);
    at.it_value.tv_nsec = long(ns % 1000000000);
    if (at.it_value.tv_sec == 0 && at.it_value.tv_nsec == 0) at.it_value.tv_nsec = 1; // 0 disarms
    ::timerfd_settime(m_timer.get(), TFD_TIMER_ABSTIME, &at, nullptr);
}

void ReplyWriter::writeDue()
{
    while (m_next < m_pieces.size()) {
        const auto now = Clock::now();
        if (m_pieces[m_next].due > now) {
            wakeAt(m_pieces[m_next].due);
            return;
        }
        QByteArray characters = m_pieces[m_next++].characters;
        if (m_catching == Catching::Merge)
            for (; m_next < m_pieces.size() && m_pieces[m_next].due <= now; ++m_next)
                characters += m_pieces[m_next].characters;
        if (!m_sink(characters)) {
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

std::vector<QByteArray> ReplyWriter::cutByLineTime(const QByteArray &characters, int baud,
                                                   std::chrono::microseconds period)
{
    std::vector<QByteArray> parts;
    qsizetype begin = 0;
    qint64 currentPeriod = -1;
    for (qsizetype i = 0; i < characters.size(); ++i) {
        // The period k a character's end falls in: (k - 1) * period < end <= k * period.
        const qint64 end = characterTime(i + 1, baud).count();
        const qint64 k = period.count() > 0 ? (end + period.count() - 1) / period.count() : i;
        if (k == currentPeriod) continue;
        if (i > begin) parts.push_back(characters.mid(begin, i - begin));
        begin = i;
        currentPeriod = k;
    }
    if (begin < characters.size()) parts.push_back(characters.mid(begin));
    return parts;
}

std::vector<ReplyWriter::Piece> ReplyWriter::paced(const std::vector<QByteArray> &parts,
                                                   Clock::time_point start, int baud)
{
    std::vector<Piece> pieces;
    qint64 carried = 0;
    for (const QByteArray &part : parts) {
        carried += part.size();
        pieces.push_back({part, start + characterTime(carried, baud)});
    }
    return pieces;
}

std::vector<ReplyWriter::Piece> ReplyWriter::spaced(const std::vector<QByteArray> &parts,
                                                    Clock::time_point start,
                                                    std::chrono::microseconds spacing)
{
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < parts.size(); ++i)
        pieces.push_back({parts[i], start + spacing * qint64(i)});
    return pieces;
}
