// The trend page's cost while the program cycles against the simulator's
// program (a separate process) over a pty:
//   CPU share: paced line at 115200 baud, the window on its Settings page,
//              then on its trend page while recording the log (the 5-minute
//              span it starts with, and the 1-minute span, which redraws
//              the most often), its plot filled with five minutes of earlier
//              readings; runs alternate, figures are medians;
//   memory:    unthrottled, the trend page shown and recording, resident
//              memory sampled every tenth of the run.
//   bench_trend [--runs N] [--paced N] [--memory N]
// With --screenshot FILE it only runs the window for a few minutes (--minutes,
// default 4) on its trend page against the paced simulator, writes new input
// settings halfway (a voltage input, 0 ... 10 V, in place of 4 ... 20 mA),
// and saves a picture of the window at the end: run it under a display
// (xvfb-run) for a picture as the user sees it.
#include "sim_process.h"

#include "app/form_main.h"
#include "core/decoded_reading.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"
#include "trend/trend_page.h"
#include "widgets/edit.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int kWarmUp = 20;

enum class Page { Settings, Trend5, Trend1 };

const char *pageName(Page page)
{
    switch (page) {
    case Page::Settings:
        return "Settings page";
    case Page::Trend5:
        return "trend page, 5 min, recording";
    case Page::Trend1:
        return "trend page, 1 min, recording";
    }
    return "";
}

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / 1048576.0
                             : 0.0;
}

// Five minutes of readings before the run, at the paced line's rate, in the
// units the simulator's replies have: the plot is full from the start, as
// after minutes of watching, and not a short line that grows.
void fillHistory(TrendPage &page)
{
    constexpr int kRate = 29;
    const qint64 now = page.clock();
    static const QString milliampere = QStringLiteral("mA");
    for (int i = 5 * 60 * kRate; i > 0; --i) {
        DecodedReading reading;
        reading.time = QDateTime::fromMSecsSinceEpoch(now - i * 1000 / kRate);
        const double phase = 2 * 3.14159265 * double(i) / (60.0 * kRate);
        reading.inputValue = 12.0 + 7.2 * std::sin(phase);
        reading.inputUnit = milliampere;
        reading.outputValue = reading.inputValue;
        reading.outputUnit = milliampere;
        reading.temperature = 28.0 + 0.4 * std::sin(phase / 1.6) + 0.03 * (i % 3);
        page.addReading(reading, 6);
    }
}

struct Run {
    bool ok = false;
    double cpuShare = 0.0;
    double perSecond = 0.0;
    int lines = 0;
    std::vector<double> residentMB; // sampled along the run
};

// One run: a fresh simulator process and a fresh window on `page`.
Run runOnce(bool paced, int exchanges, Page page, int samples = 0)
{
    Run result;
    bench::SimProcess sim;
    QStringList options{QStringLiteral("--baud"), QStringLiteral("115200")};
    if (paced) options << QStringLiteral("--pace");
    if (!sim.start(options)) return result;

    WindowSetup setup;
    TForm_Main window(setup.environment());
    QTemporaryDir folder;
    auto *pages = formaccess::control<TPageControl>(window, "PageControl1");
    if (page != Page::Settings) {
        pages->setActivePage(window.TabSheet_Trend);
        window.TabSheet_Trend->spanBox()->setCurrentIndex(page == Page::Trend1 ? 0 : 1);
        fillHistory(*window.TabSheet_Trend);
        if (!window.TabSheet_Trend->startRecording(folder.filePath(QStringLiteral("log.csv"))))
            return result;
    }
    window.show();
    window.FormActivate(&window);
    TMB &link = *formaccess::mb1(window);

    const int total = kWarmUp + exchanges;
    const int sampleEvery = samples > 0 ? std::max(1, exchanges / samples) : 0;
    int ended = 0;
    double cpuStart = 0.0;
    auto wallStart = std::chrono::steady_clock::now();
    QEventLoop loop;
    QObject::connect(&link, &TMB::OnMBMasterEndOfEvent, &loop, [&] {
        ++ended;
        if (ended > total) return;
        if (ended == kWarmUp) {
            cpuStart = bench::processCpuSeconds();
            wallStart = std::chrono::steady_clock::now();
        }
        if (sampleEvery && ended > kWarmUp && (ended - kWarmUp) % sampleEvery == 0)
            result.residentMB.push_back(residentMB());
        if (ended == total) {
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
            result.cpuShare = (bench::processCpuSeconds() - cpuStart) / wall;
            result.perSecond = exchanges / wall;
            result.ok = true;
            link.MBClosePort();
            loop.quit();
        }
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        std::fprintf(stderr, "bench_trend: stalled after %d exchanges\n", ended);
        loop.quit();
    });
    if (!link.engine().MBOpenPort(sim.port())) return result;
    watchdog.start(std::chrono::seconds(30 + total / (paced ? 10 : 200)));
    loop.exec();
    link.MBClosePort();
    if (page != Page::Settings) {
        window.TabSheet_Trend->stopRecording();
        QFile log(folder.filePath(QStringLiteral("log.csv")));
        if (log.open(QIODevice::ReadOnly))
            result.lines = int(log.readAll().count('\n')) - 1; // without the header
    }
    return result;
}

double median(std::vector<double> values)
{
    return bench::median(values);
}

// The window for `minutes` on its trend page, recording, with an input range
// change halfway; its picture goes to `path`.
bool screenshot(const QString &path, int minutes)
{
    bench::SimProcess sim;
    if (!sim.start({QStringLiteral("--baud"), QStringLiteral("115200"), QStringLiteral("--pace")}))
        return false;
    WindowSetup setup;
    TForm_Main window(setup.environment());
    window.ApplyLanguage(QStringLiteral("english"));
    using formaccess::control;
    control<TPageControl>(window, "PageControl1")->setActivePage(window.TabSheet_Trend);
    QTemporaryDir folder;
    if (!window.TabSheet_Trend->startRecording(folder.filePath(QStringLiteral("readings.csv"))))
        return false;
    window.show();
    window.FormActivate(&window);
    TMB &link = *formaccess::mb1(window);
    if (!link.engine().MBOpenPort(sim.port())) return false;

    const int halfway = minutes * 30000;
    QTimer::singleShot(halfway, &window, [&] {
        // What a technician does after wiring a voltage signal to the input.
        control<TRadioGroup>(window, "RadioGroup_BemenetTipusa")->setItemIndex(1);
        control<TEdit>(window, "Edit_InputLow")->setText(QStringLiteral("0"));
        control<TEdit>(window, "Edit_InputHigh")->setText(QStringLiteral("10"));
        control<TSpeedButton>(window, "SpeedButton_WriteSettings")->setDown(true);
        std::printf("input settings written after %d s\n", halfway / 1000);
        std::fflush(stdout);
    });
    QEventLoop loop;
    QTimer::singleShot(2 * halfway, &loop, &QEventLoop::quit);
    loop.exec();
    const bool saved = window.grab().save(path);
    std::printf("%u replies; picture %s %s\n", link.MBNumberOfRxFrames(),
                saved ? "saved to" : "could not be saved to", qPrintable(path));
    link.MBClosePort();
    return saved;
}

int argument(int argc, char *argv[], const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::max(0, std::atoi(argv[i + 1]));
    return fallback;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = std::max(1, argument(argc, argv, "--runs", 3));
    const int paced = argument(argc, argv, "--paced", 600);
    const int memory = argument(argc, argv, "--memory", 100000);
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--screenshot") == 0)
            return screenshot(QString::fromLocal8Bit(argv[i + 1]),
                              std::max(1, argument(argc, argv, "--minutes", 4)))
                       ? 0
                       : 1;
    bool ok = true;

    if (paced > 0) {
        std::printf("paced line at 115200 baud, %d exchanges per run after %d of warm-up, "
                    "%d runs of each page, alternating:\n",
                    paced, kWarmUp, runs);
        std::fflush(stdout);
        const Page kinds[] = {Page::Settings, Page::Trend5, Page::Trend1};
        std::vector<double> shares[3];
        for (int r = 1; r <= runs && ok; ++r) {
            for (int k = 0; k < 3; ++k) {
                const Run run = runOnce(true, paced, kinds[k]);
                if (!run.ok) {
                    std::printf("    %s: run %d failed\n", pageName(kinds[k]), r);
                    ok = false;
                    break;
                }
                shares[k].push_back(run.cpuShare);
                std::printf("    run %d, %-30s %6.2f exchanges/s, CPU %.2f %% of one core", r,
                            pageName(kinds[k]), run.perSecond, run.cpuShare * 100.0);
                if (kinds[k] != Page::Settings)
                    std::printf(", %d log lines for %d exchanges", run.lines, kWarmUp + paced);
                std::printf("\n");
                std::fflush(stdout);
            }
        }
        if (ok) {
            const double settings = median(shares[0]);
            for (int k = 0; k < 3; ++k)
                std::printf("  median, %-30s CPU %.2f %% of one core (%.2f times the Settings "
                            "page; target <= 1.5)\n",
                            pageName(kinds[k]), median(shares[k]) * 100.0,
                            median(shares[k]) / settings);
        }
    }

    if (memory > 0 && ok) {
        std::printf("unthrottled pty, trend page shown (5 min) and recording, %d exchanges:\n",
                    memory);
        std::fflush(stdout);
        const Run run = runOnce(false, memory, Page::Trend5, 10);
        if (!run.ok) {
            std::printf("  failed\n");
            ok = false;
        } else {
            std::printf("  %.0f exchanges/s, %d log lines; resident memory at each tenth:",
                        run.perSecond, run.lines);
            for (double mb : run.residentMB)
                std::printf(" %.1f", mb);
            std::printf(" MB\n  growth from the first tenth to the end: %.1f MB (target: flat)\n",
                        run.residentMB.back() - run.residentMB.front());
        }
    }
    std::printf("peak resident memory: %.1f MB\n", bench::peakResidentMB());
    return ok ? 0 : 1;
}
