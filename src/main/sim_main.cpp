// Program entry of kx4720r-sim, the instrument simulator: listens on a new
// pty (or a given serial device), prints where, and answers the program until
// SIGINT or SIGTERM.
#include "quit_signals.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"
#include "sim/timing_log.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

// Points `linkPath` at the pty. An existing symbolic link is replaced (a
// simulator that died leaves one behind); anything else there is left alone.
bool makeLink(const QString &linkPath, const QString &target, QString &error)
{
    const QByteArray link = QFile::encodeName(linkPath);
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            error = QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath);
            return false;
        }
        ::unlink(link.constData());
    }
    if (::symlink(QFile::encodeName(target).constData(), link.constData()) != 0) {
        error = QStringLiteral("cannot link %1: %2")
                    .arg(linkPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

// Removes the link only while it is still ours.
void removeLink(const QString &linkPath, const QString &target)
{
    const QFileInfo info(linkPath);
    if (info.isSymLink() && info.symLinkTarget() == target)
        ::unlink(QFile::encodeName(linkPath).constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const SimOptionsParse parsed = parseSimOptions(QCoreApplication::arguments());
    if (!parsed.ok) {
        std::fprintf(stderr, "kx4720r-sim: %s\n\n%s", qPrintable(parsed.error),
                     qPrintable(parsed.helpText));
        return 2;
    }
    if (parsed.helpRequested) {
        std::fputs(qPrintable(parsed.helpText), stdout);
        return 0;
    }
    if (parsed.versionRequested) {
        std::puts("kx4720r-sim " KX4720R_VERSION);
        return 0;
    }
    const SimOptions &options = parsed.options;

    if (!quitsignals::install(app, [&app] { app.quit(); })) {
        std::fprintf(stderr, "kx4720r-sim: cannot set up signal handling: %s\n",
                     std::strerror(errno));
        return 1;
    }

    InstrumentSimulator simulator(InstrumentSimulator::fromOptions(options));
    const bool started = options.portDevice.isEmpty() ? simulator.startOnNewPty()
                                                      : simulator.startOnPort(options.portDevice);
    if (!started) {
        std::fprintf(stderr, "kx4720r-sim: %s\n", qPrintable(simulator.errorText()));
        return 1;
    }
    int exitCode = 0;
    QObject::connect(&simulator, &InstrumentSimulator::portLost, &app, [&](const QString &reason) {
        std::fprintf(stderr, "kx4720r-sim: %s\n",
                     qPrintable(QString(reason).replace(QLatin1Char('\r'), QLatin1String(": "))));
        exitCode = 1;
        app.quit();
    });

    QFile timingFile(options.timingPath);
    std::unique_ptr<TimingLog> timing;
    if (!options.timingPath.isEmpty()) {
        if (!timingFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            std::fprintf(stderr, "kx4720r-sim: cannot write %s: %s\n",
                         qPrintable(options.timingPath), qPrintable(timingFile.errorString()));
            return 1;
        }
        timing = std::make_unique<TimingLog>(simulator, timingFile);
    }

    const QString path = simulator.portPath();
    if (!options.linkPath.isEmpty()) {
        QString error;
        if (!makeLink(options.linkPath, path, error)) {
            std::fprintf(stderr, "kx4720r-sim: %s\n", qPrintable(error));
            return 1;
        }
    }
    // The one line a script waits for: the port (and its link) is ready
    // when it appears.
    std::printf("kx4720r-sim: %s\n", qPrintable(path));
    std::fflush(stdout);

    const int rc = app.exec();
    simulator.stop();
    if (!options.linkPath.isEmpty()) removeLink(options.linkPath, path);
    return exitCode != 0 ? exitCode : rc;
}
