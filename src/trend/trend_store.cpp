// Columns of lowest and highest values per span and per track.
#include "trend/trend_store.h"

#include <algorithm>
#include <limits>

TrendStore::TrendStore()
{
    // Tracks are few and live long: room for all of them up front keeps the
    // references of the adding path stable.
    m_tracks.reserve(kMaxTracks);
}

qint64 TrendStore::columnMsecs(int span)
{
    return qint64(kSpanMinutes[std::size_t(span)]) * 60000 / kColumns;
}

void TrendStore::add(const TrendReading &reading)
{
    m_lastMsecs = std::max(m_lastMsecs, reading.msecsSinceEpoch);
    const TrendValue *values[kTrendQuantityCount] = {&reading.input, &reading.output,
                                                     &reading.temperature};
    for (int q = 0; q < kTrendQuantityCount; ++q) {
        const TrendValue &value = *values[q];
        QuantityState &state = m_quantities[std::size_t(q)];
        if (!value.isValid()) {
            if (state.track >= 0) endLine(m_tracks[std::size_t(state.track)]);
            continue;
        }
        const int track = trackFor(TrendQuantity(q), value.unit);
        if (track != state.track || value.scale != state.scale) {
            // Another range or type: the new line starts on its own.
            endLine(m_tracks[std::size_t(track)]);
            state.track = track;
            state.scale = value.scale;
        }
        put(m_tracks[std::size_t(track)], m_lastMsecs, value.value);
    }
}

int TrendStore::trackFor(TrendQuantity quantity, const QString &unit)
{
    const int current = m_quantities[std::size_t(quantity)].track;
    if (current >= 0) {
        const Track &info = m_tracks[std::size_t(current)].info;
        if (info.quantity == quantity && info.unit == unit) return current;
    }
    for (int i = 0; i < trackCount(); ++i) {
        const Track &info = m_tracks[std::size_t(i)].info;
        if (info.quantity == quantity && info.unit == unit) return i;
    }
    int chosen;
    if (trackCount() < kMaxTracks) {
        m_tracks.emplace_back();
        chosen = trackCount() - 1;
        for (Level &level : m_tracks.back().levels)
            level.columns.resize(kColumns);
    } else {
        // The track fed longest ago that no quantity is feeding now.
        chosen = -1;
        for (int i = 0; i < trackCount(); ++i) {
            const bool feeding = std::any_of(m_quantities.begin(), m_quantities.end(),
                                             [i](const QuantityState &s) { return s.track == i; });
            if (!feeding && (chosen < 0 || m_tracks[std::size_t(i)].lastMsecs <
                                               m_tracks[std::size_t(chosen)].lastMsecs))
                chosen = i;
        }
        TrackData &reused = m_tracks[std::size_t(chosen)];
        for (Level &level : reused.levels) {
            std::fill(level.columns.begin(), level.columns.end(), Column{});
            level.head = -1;
        }
    }
    TrackData &track = m_tracks[std::size_t(chosen)];
    track.info = {quantity, unit, m_nextId++};
    endLine(track);
    return chosen;
}

void TrendStore::put(TrackData &track, qint64 msecs, double value)
{
    track.lastMsecs = msecs;
    const float v = float(value);
    for (int span = 0; span < kSpanCount; ++span) {
        Level &level = track.levels[std::size_t(span)];
        const qint64 index = std::max<qint64>(msecs, 0) / columnMsecs(span);
        if (level.head < 0 || index - level.head >= kColumns) {
            std::fill(level.columns.begin(), level.columns.end(), Column{});
            level.head = index;
        }
        // Columns skipped since the last value are emptied as the ring
        // comes round to them; each is emptied once per round.
        while (level.head < index)
            level.columns[slot(++level.head)] = Column{};
        Column &column = level.columns[slot(index)];
        if (!(column.flags & HasData)) {
            column = {v, v, std::uint8_t(HasData | (level.lineEnded ? 0 : Joined))};
        } else if (v < column.low) {
            column.low = v;
            column.flags &= std::uint8_t(~LowFirst);
        } else if (v > column.high) {
            column.high = v;
            column.flags |= LowFirst;
        }
        level.lineEnded = false;
    }
}

void TrendStore::endLine(TrackData &track)
{
    for (Level &level : track.levels)
        level.lineEnded = true;
}

void TrendStore::breakLines()
{
    for (TrackData &track : m_tracks)
        endLine(track);
}

void TrendStore::clear()
{
    m_tracks.clear();
    m_quantities = {};
    // The clock stays: readings never go back in time.
}
