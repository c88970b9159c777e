// kx4720r-cli's records commands: the calibration records of the bench, or
// of the factory's shared database, listed, shown, exported and imported.
// They talk to no instrument, so they have a parser and help of their own.
#pragma once

#include <QString>
#include <QStringList>

namespace cli {

// The usage lines of the records commands, for the tool's general help.
QString recordsUsage();

// Runs "records ..." (the arguments after "records") to its exit code.
int runRecords(const QStringList &arguments);

} // namespace cli
