// The commands of kx4720r-cli, each from its parsed options to an exit code.
// Results go to standard output, failures as one line to standard error.
#pragma once

#include "cli_options.h"

class InstrumentSession;

namespace cli {

int runCommand(const Options &options, InstrumentSession &session);

} // namespace cli
