// The readings behind the trend plot. For every time span the page offers
// there is one ring of columns, as many as the plot has pixels across or a
// few more, and each column keeps the lowest and the highest value that fell
// into it: the plot of any span shows every peak, and the memory needed does
// not grow with the number of readings or with the time the program runs.
//
// Values are kept per track: one quantity in one unit. A quantity whose unit
// changes (the input going from a millivolt range to a volt range) goes on in
// another track, so values of two units are never joined by one line.
// Adding a reading takes constant time and, once its tracks exist, allocates
// nothing.
#pragma once

#include "trend/trend_reading.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

class TrendStore {
public:
    static constexpr std::array<int, 4> kSpanMinutes{1, 5, 15, 60};
    static constexpr int kSpanCount = int(kSpanMinutes.size());
    // Columns per span: a little more than the plot is wide, so each column
    // is at most a pixel.
    static constexpr int kColumns = 600;
    // Tracks kept at once; a new unit beyond that reuses the track that was
    // fed longest ago.
    static constexpr int kMaxTracks = 8;

    struct Track {
        TrendQuantity quantity = TrendQuantity::Input;
        QString unit;
        // Increases with every track created, also when a slot is reused,
        // so the plot can tell a new track from the one it had in that slot.
        quint64 id = 0;
    };

    TrendStore();

    // Adds one reading. A valid value goes to its quantity's track for its
    // unit; a missing value ends that quantity's line; a new unit or a new
    // scale starts a new line. Time never runs back in the store: a reading
    // older than the last one counts as taken at the same moment.
    void add(const TrendReading &reading);
    // The exchange failed or the port closed: every line ends here.
    void breakLines();
    // Forgets every reading and every track.
    void clear();

    int trackCount() const { return int(m_tracks.size()); }
    const Track &track(int index) const { return m_tracks[std::size_t(index)].info; }
    // The newest reading's time (0 before any).
    qint64 lastMsecs() const { return m_lastMsecs; }

    // The time one column of a span covers, in milliseconds.
    static qint64 columnMsecs(int span);

    // Visits the points of one track that lie within [from, to] at one span's
    // resolution, oldest first, as visitor(msecs, value, startsLine). A column
    // with several readings gives its lowest and highest value, in the order
    // they came; startsLine is true where the line must not be joined to the
    // point before.
    template <class Visitor>
    void visit(int track, int span, qint64 from, qint64 to, Visitor &&visitor) const;

private:
    enum ColumnFlag : std::uint8_t {
        HasData = 1,
        LowFirst = 2, // the lowest value came before the highest
        Joined = 4,   // the line goes on from the track's previous column
    };
    struct Column {
        float low = 0.0f;
        float high = 0.0f;
        std::uint8_t flags = 0;
    };
    struct Level {
        std::vector<Column> columns;
        qint64 head = -1; // absolute index of the newest column, -1 while empty
        bool lineEnded = true;
    };
    struct TrackData {
        Track info;
        std::array<Level, kSpanCount> levels;
        qint64 lastMsecs = 0;
    };
    struct QuantityState {
        int track = -1; // the track the quantity's last value went to
        int scale = 0;
    };

    void put(TrackData &track, qint64 msecs, double value);
    void endLine(TrackData &track);
    int trackFor(TrendQuantity quantity, const QString &unit);
    static std::size_t slot(qint64 index) { return std::size_t(index % kColumns); }

    std::vector<TrackData> m_tracks;
    std::array<QuantityState, kTrendQuantityCount> m_quantities;
    qint64 m_lastMsecs = 0;
    quint64 m_nextId = 1;
};

template <class Visitor>
void TrendStore::visit(int track, int span, qint64 from, qint64 to, Visitor &&visitor) const
{
    const Level &level = m_tracks[std::size_t(track)].levels[std::size_t(span)];
    if (level.head < 0) return;
    const qint64 width = columnMsecs(span);
    const qint64 first = std::max(level.head - kColumns + 1, std::max<qint64>(from, 0) / width);
    const qint64 last = std::min(level.head, to / width);
    bool lineOpen = false;
    for (qint64 index = first; index <= last; ++index) {
        const Column &column = level.columns[slot(index)];
        if (!(column.flags & HasData)) continue;
        const qint64 at = index * width + width / 2;
        const bool starts = !lineOpen || !(column.flags & Joined);
        lineOpen = true;
        if (column.low == column.high) {
            visitor(at, double(column.low), starts);
            continue;
        }
        const bool lowFirst = column.flags & LowFirst;
        visitor(at, double(lowFirst ? column.low : column.high), starts);
        visitor(at, double(lowFirst ? column.high : column.low), false);
    }
}
