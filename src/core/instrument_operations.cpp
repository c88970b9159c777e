// The operations as sequences of exchanges.
#include "core/instrument_operations.h"

#include "core/command_latches.h"

RequestState InstrumentOperations::baseState() const
{
    RequestState state;
    state.date = QDate::currentDate();
    // Requests always carry settings; sending the ones the instrument holds
    // asks for nothing it does not already have.
    state.scale = ScaleEntry::fromSettings(m_known.value_or(InstrumentSettings::factoryDefaults()));
    return state;
}

std::optional<InstrumentReply> InstrumentOperations::exchange(const RequestState &state)
{
    std::optional<InstrumentReply> reply = m_session.exchange(buildRequest(state));
    if (reply) {
        if (auto stored = InstrumentSettings::fromReply(*reply); stored && stored->isValid())
            m_known = stored;
    }
    return reply;
}

std::optional<InstrumentReply> InstrumentOperations::readOnce()
{
    return exchange(baseState());
}

InstrumentOperations::CommandResult
InstrumentOperations::runCommand(quint8 command, std::chrono::milliseconds limit,
                                 const std::optional<InstrumentSettings> &settings)
{
    CommandLatches latches;
    latches.press(command, CommandLatches::Clock::now() + limit);
    CommandResult result;
    while (true) {
        RequestState state = baseState();
        state.commands = latches.pending();
        if (settings) state.scale = ScaleEntry::fromSettings(*settings);
        result.lastReply = exchange(state);
        ++result.exchanges;
        if (!result.lastReply) {
            result.outcome = CommandResult::Outcome::LinkFailed;
            return result;
        }
        if (latches.acknowledge(result.lastReply->AckBits) & command) {
            result.outcome = CommandResult::Outcome::Acknowledged;
            return result;
        }
        if (latches.expire(CommandLatches::Clock::now()) & command) {
            result.outcome = CommandResult::Outcome::NotAcknowledged;
            return result;
        }
    }
}

InstrumentOperations::WriteResult
InstrumentOperations::writeSettings(const InstrumentSettings &settings,
                                    std::chrono::milliseconds limit)
{
    using Outcome = WriteResult::Outcome;
    WriteResult result;
    result.problems = settings.problems();
    if (!result.problems.isEmpty()) {
        result.outcome = Outcome::InvalidSettings;
        return result;
    }
    const CommandResult command = runCommand(instrument::Command::WriteSettings, limit, settings);
    if (command.outcome != CommandResult::Outcome::Acknowledged) {
        result.outcome = command.outcome == CommandResult::Outcome::NotAcknowledged
                             ? Outcome::NotAcknowledged
                             : Outcome::LinkFailed;
        return result;
    }
    // The reply after the acknowledgement shows what the instrument stored.
    RequestState state = baseState();
    state.scale = ScaleEntry::fromSettings(settings);
    const std::optional<InstrumentReply> readBack = exchange(state);
    if (!readBack) {
        result.outcome = Outcome::LinkFailed;
        return result;
    }
    result.stored = InstrumentSettings::fromReply(*readBack);
    if (!result.stored) {
        result.outcome = Outcome::NoSettingsInReply;
        return result;
    }
    result.differences = settings.differences(*result.stored);
    result.outcome = result.differences.isEmpty() ? Outcome::Confirmed : Outcome::ReadBackDiffers;
    return result;
}
