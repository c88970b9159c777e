// Latching, acknowledging and giving up commands.
#include "core/command_latches.h"

void CommandLatches::press(quint8 commands, std::optional<Clock::time_point> deadline)
{
    commands &= instrument::Command::All;
    m_pending |= commands;
    for (int bit = 0; bit < 8; ++bit)
        if (commands & (1 << bit)) m_deadlines[bit] = deadline;
}

void CommandLatches::release(quint8 commands)
{
    m_pending &= quint8(~commands);
    for (int bit = 0; bit < 8; ++bit)
        if (commands & (1 << bit)) m_deadlines[bit].reset();
}

quint8 CommandLatches::acknowledge(quint8 ackBits)
{
    const quint8 acknowledged = acknowledgedCommands(ackBits);
    release(acknowledged);
    return acknowledged;
}

quint8 CommandLatches::expire(Clock::time_point now)
{
    quint8 expired = 0;
    for (int bit = 0; bit < 8; ++bit)
        if ((m_pending & (1 << bit)) && m_deadlines[bit] && *m_deadlines[bit] <= now)
            expired |= quint8(1 << bit);
    release(expired);
    return expired;
}
