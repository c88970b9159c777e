// Commands to the instrument are latches: a command's bit stays in every
// request until a reply acknowledges it. A tool also gives each command a
// time limit, so that an instrument that never acknowledges ends the wait
// with an answer instead of keeping it open for ever.
#pragma once

#include "protocol/instrument_protocol.h"

#include <array>
#include <chrono>
#include <optional>

class CommandLatches {
public:
    using Clock = std::chrono::steady_clock;

    // Latches the commands (bits of instrument::Command); with a deadline
    // they are given up once it has passed.
    void press(quint8 commands, std::optional<Clock::time_point> deadline = std::nullopt);
    void release(quint8 commands);
    // The request's CommandBits.
    quint8 pending() const { return m_pending; }

    // Releases what a reply acknowledges and returns every acknowledged
    // command, latched or not: an acknowledgement always means the
    // instrument has done it.
    quint8 acknowledge(quint8 ackBits);
    // Releases and returns the latched commands whose deadline has passed.
    quint8 expire(Clock::time_point now);

    static quint8 acknowledgedCommands(quint8 ackBits)
    {
        return ackBits & instrument::Command::All;
    }
    // Acknowledged settings are read back with the next reply, so what is
    // shown is what the instrument has stored.
    static bool readBackDue(quint8 acknowledged)
    {
        return acknowledged & instrument::Command::WriteSettings;
    }

private:
    quint8 m_pending = 0;
    std::array<std::optional<Clock::time_point>, 8> m_deadlines{}; // by bit
};
