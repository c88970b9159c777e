// The commands of kx4720r-cli, each from its parsed options to an exit code.
// Results go to standard output, failures as one line to standard error.
#pragma once

#include "cli_options.h"

#include <optional>

class InstrumentSession;

namespace cli {

int runCommand(const Options &options, InstrumentSession &session);

// The settings a write sends, from its file or its options, checked; nullopt
// after saying why.
std::optional<InstrumentSettings> settingsToWrite(const Options &options);

} // namespace cli
