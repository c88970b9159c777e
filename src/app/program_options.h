// The command line of kx4720r-config as a whole: the options it knows, its
// usage text, and the check made before any window (or display) exists.
// The factory-level switch itself is read by the window at each activation
// (commandline.h), and the ports named with --port by the port probe
// (ports/portprobe.h); this check only makes sure the line means something.
#pragma once

#include <QString>
#include <QStringList>

struct ProgramOptions {
    enum class Action {
        Run,        // start the window
        Help,       // print the usage on stdout, exit 0
        Version,    // print the version on stdout, exit 0
        UsageError, // print `error` and the usage on stderr, exit 2
    };
    Action action = Action::Run;
    // --open: press Open on the link panel once its port list has been
    // filled, as a user would.
    bool openPort = false;
    QString error;
};

// `parameters` are the command-line parameters without the program name.
// Options beginning with "--" must be known; everything else (the factory
// switch in any letter case, Qt's own one-dash options such as -platform,
// other parameters) is left to the window and to Qt. The first of --help,
// --version or a faulty option decides; after "--" nothing more is checked.
ProgramOptions parseProgramOptions(const QStringList &parameters);

// The usage text, ending in a newline.
QString programUsage();
