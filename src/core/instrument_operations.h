// What a tool asks of the instrument, each as one operation over a session:
// read its state once; run a command ("restart", "clear temperature minimum
// and maximum") until the instrument acknowledges it or its time runs out;
// write settings, wait for the acknowledgement and read them back, so that
// success means the instrument now holds them.
#pragma once

#include "core/instrument_session.h"
#include "core/instrument_settings.h"
#include "core/request_state.h"

#include <chrono>
#include <optional>

class InstrumentOperations {
public:
    explicit InstrumentOperations(InstrumentSession &session) : m_session(session) {}

    // Every request starts from this: nothing forced, no command, the
    // calibration values the instrument keeps unless told to store others,
    // today's date, and the settings the instrument was last seen to hold
    // (the factory defaults before the first reply).
    RequestState baseState() const;

    // One exchange; nullopt with the session's failure.
    std::optional<InstrumentReply> readOnce();

    struct CommandResult {
        enum class Outcome { Acknowledged, NotAcknowledged, LinkFailed };
        Outcome outcome = Outcome::LinkFailed;
        int exchanges = 0;
        std::optional<InstrumentReply> lastReply;
    };
    // Sets the command's bit (one of instrument::Command) in every request
    // until a reply acknowledges it or `limit` has passed since the first.
    // With settings, the requests carry them.
    CommandResult runCommand(quint8 command, std::chrono::milliseconds limit,
                             const std::optional<InstrumentSettings> &settings = std::nullopt);

    struct WriteResult {
        enum class Outcome {
            Confirmed,         // acknowledged, and the read-back equals what was written
            InvalidSettings,   // refused before anything was sent; see problems
            NotAcknowledged,   // no acknowledgement within the limit
            ReadBackDiffers,   // acknowledged, but the instrument holds something else
            NoSettingsInReply, // the read-back holds no settings (unknown type codes)
            LinkFailed,
        };
        Outcome outcome = Outcome::LinkFailed;
        QList<SettingsProblem> problems;
        QStringList differences;
        std::optional<InstrumentSettings> stored;
    };
    WriteResult writeSettings(const InstrumentSettings &settings, std::chrono::milliseconds limit);

private:
    std::optional<InstrumentReply> exchange(const RequestState &state);

    InstrumentSession &m_session;
    std::optional<InstrumentSettings> m_known; // what the instrument last reported holding
};
