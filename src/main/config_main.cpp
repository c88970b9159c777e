// Program entry of kx4720r-config: checks the command line (help, version
// and faulty options need no display), creates the main window and runs the
// event loop until it closes.
#include "app/form_main.h"
#include "app/program_options.h"
#include "app/quit_watchdog.h"
#include "common/readme_line.h"
#include "panel/mb.h"
#include "quit_signals.h"
#include "widgets/speedbutton.h"

#include <QApplication>
#include <QIcon>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// Presses Open on the link panel once, as soon as the start-up probe has
// filled the port list: the preselected port is opened as by a user's click,
// and a port that fails shows its red lamp as then.
void pressOpenWhenListed(TMB &link)
{
    QObject::connect(
        &link.engine(), &MBEngine::portListChanged, &link,
        [&link](const QStringList &, int selected) {
            TSpeedButton *open = link.panel().openCloseButton();
            if (selected < 0 || !open->isEnabled()) {
                std::fputs("kx4720r-config: --open: no serial port to open\n", stderr);
                return;
            }
            if (!open->Down()) open->click();
        },
        Qt::SingleShotConnection);
}

// The settings the initialisation file would get now, kept where the quit
// watchdog can save them from its own thread.
class LatestIniSettings {
public:
    void set(IniSettings settings)
    {
        const std::lock_guard lock(m_mutex);
        m_settings = std::move(settings);
    }
    void save() const
    {
        IniSettings settings;
        {
            const std::lock_guard lock(m_mutex);
            settings = m_settings;
        }
        settings.date = currentIniDateText();
        IniFile::forThisProgram().save(settings);
    }

private:
    mutable std::mutex m_mutex;
    IniSettings m_settings;
};

// How long a SIGTERM waits for the window to close before the watchdog ends
// the program.
constexpr std::chrono::seconds kQuitGrace{3};

} // namespace

int main(int argc, char *argv[])
{
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters << QString::fromLocal8Bit(argv[i]);
    const ProgramOptions options = parseProgramOptions(parameters);
    switch (options.action) {
    case ProgramOptions::Action::Help:
        std::fputs(qPrintable(programUsage() + readmeLine(QStringLiteral("kx4720r"))), stdout);
        return 0;
    case ProgramOptions::Action::Version:
        std::puts("kx4720r-config " KX4720R_VERSION);
        return 0;
    case ProgramOptions::Action::UsageError:
        std::fprintf(stderr, "kx4720r-config: %s\n\n%s", qPrintable(options.error),
                     qPrintable(programUsage()));
        return 2;
    case ProgramOptions::Action::Run:
        break;
    }

    QApplication app(argc, argv);
    // Lets the desktop match the window with the installed menu entry (the
    // Wayland app id) and gives it the installed icon, where there is one.
    QGuiApplication::setDesktopFileName(QStringLiteral(KX4720R_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(KX4720R_APP_ID)));
    // Made before the window, so it watches until the window is gone.
    LatestIniSettings latest;
    QuitWatchdog watchdog(kQuitGrace, [&latest] { latest.save(); });
    quitsignals::g_watchdogFd = watchdog.signalFd();
    TForm_Main Form_Main;
    const auto keepLatest = [&latest, &Form_Main] { latest.set(Form_Main.iniSettings()); };
    keepLatest();
    QObject::connect(&Form_Main, &TForm_Main::iniSettingsChanged, &Form_Main, keepLatest);
    if (!quitsignals::install(Form_Main, [&Form_Main] { Form_Main.close(); }))
        std::fprintf(stderr, "kx4720r-config: cannot set up signal handling: %s\n",
                     std::strerror(errno));
    if (options.openPort) {
        if (TMB *link = Form_Main.findChild<TMB *>(QStringLiteral("MB1")))
            pressOpenWhenListed(*link);
    }
    Form_Main.show();
    return app.exec();
}
