// The whole program at work: the real main window (offscreen) runs its own
// exchange cycle against the simulator's program in a separate process, over
// a pty.
//   paced:       the simulator takes the line's time at 115200 baud both ways
//                (20 bit times per frame byte): exchanges per second and their
//                ratio to the line's limit 1 / (request time + reply time),
//                the program's turnaround as the simulator sees it (last
//                character of a reply to the first of the next request), and
//                the window process's CPU time per exchange and CPU share;
//   unthrottled: the pty at full speed: complete exchanges per second, each
//                decoded and shown, with turnaround and CPU per exchange.
// Each kind runs several times; the figures are the medians of the runs.
// The peak resident memory of the window's process comes last.
// --census prints, after each kind's first run, how often each thread of the
// window's process was woken and its CPU time per exchange, and which
// controls were painted, resized or moved how often per exchange: what to
// look at first when the window costs too much.
//   bench_window [--runs N] [--paced N] [--unthrottled N] [--piece-ms N] [--factory] [--hidden]
//                [--census]
// --paced/--unthrottled give the exchanges per run (0 leaves the kind out),
// --piece-ms how the paced simulator hands its replies over (pieces of N ms
// of line time, 0 character by character; 1 by default),
// --factory runs the factory-level view on its Test page, which shows the
// most of every reply, --hidden never shows the window, which leaves the
// painting out of the figures.
#include "peer_support.h"
#include "sim_process.h"

#include "app/form_main.h"
#include "panel/mb.h"
#include "protocol/instrument_protocol.h"
#include "sim/sim_faults.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"
#include "widgets/pagecontrol.h"

#include <QApplication>
#include <QHash>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kBaud = 115200;
constexpr int kWarmUp = 20; // exchanges left out of every figure

// One exchange's time on the paced line: the request's and the reply's.
double exchangeLineSeconds()
{
    return std::chrono::duration<double>(lineTime(instrument::RequestDataSize + 5, kBaud) +
                                         lineTime(instrument::ReplyDataSize + 5, kBaud))
        .count();
}

// Counts paint, resize and move events per control while it is on.
class EventCensus : public QObject {
public:
    void start()
    {
        m_counts.clear();
        m_threads.clear();
        for (const pid_t tid : peer::ownThreads())
            m_threads.push_back(
                {threadName(tid), ::getpid(), tid, peer::taskCounters(::getpid(), tid), {}});
        qApp->installEventFilter(this);
    }
    void stop()
    {
        qApp->removeEventFilter(this);
        for (peer::Role &thread : m_threads)
            thread.sampleEnd();
    }
    void print(int exchanges) const
    {
        std::vector<std::pair<QString, std::array<int, 3>>> rows;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            rows.emplace_back(it.key(), it.value());
        std::sort(rows.begin(), rows.end(), [](const auto &a, const auto &b) {
            return a.second[0] + a.second[1] + a.second[2] >
                   b.second[0] + b.second[1] + b.second[2];
        });
        std::array<int, 3> all{};
        for (const auto &row : rows)
            for (int i = 0; i < 3; ++i)
                all[std::size_t(i)] += row.second[std::size_t(i)];
        const double n = std::max(1, exchanges);
        for (const peer::Role &t : m_threads)
            if (t.end.wakeUps > t.start.wakeUps)
                std::printf(
                    "    thread %-14s %6.2f wake-ups, %5.2f preempted, CPU %6.1f us per exchange\n",
                    t.name.c_str(), double(t.end.wakeUps - t.start.wakeUps) / n,
                    double(t.end.preempted - t.start.preempted) / n,
                    double(t.end.cpuNs - t.start.cpuNs) / n / 1000.0);
        std::printf("    per exchange: %.2f paint events, %.2f resizes, %.2f moves; by control:\n",
                    all[0] / n, all[1] / n, all[2] / n);
        for (const auto &[name, c] : rows)
            if ((c[0] + c[1] + c[2]) / n >= 0.05)
                std::printf("      %6.2f %6.2f %6.2f  %s\n", c[0] / n, c[1] / n, c[2] / n,
                            qPrintable(name));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const int kind = event->type() == QEvent::Paint    ? 0
                         : event->type() == QEvent::Resize ? 1
                         : event->type() == QEvent::Move   ? 2
                                                           : -1;
        if (kind < 0 || !watched->isWidgetType()) return false;
        QString name = QString::fromLatin1(watched->metaObject()->className());
        for (const QObject *o = watched; o; o = o->parent())
            if (!o->objectName().isEmpty()) {
                name += QLatin1Char(' ') + o->objectName() +
                        (o == watched ? QString() : QStringLiteral(" (inside)"));
                break;
            }
        ++m_counts[name][std::size_t(kind)];
        return false;
    }

private:
    // The user-interface thread, or the thread's own name (the link's reader
    // has its program's).
    static std::string threadName(pid_t tid)
    {
        if (tid == ::getpid()) return "ui";
        std::string name = "thread " + std::to_string(tid);
        const std::string path = "/proc/self/task/" + std::to_string(tid) + "/comm";
        if (FILE *f = std::fopen(path.c_str(), "r")) {
            char text[64] = {};
            if (std::fgets(text, sizeof text, f))
                name = std::string(text, std::strcspn(text, "\n"));
            std::fclose(f);
        }
        return name;
    }

    QHash<QString, std::array<int, 3>> m_counts;
    std::vector<peer::Role> m_threads;
};

EventCensus *g_census = nullptr; // set by --census
int g_pieceMs = 1;               // set by --piece-ms

struct RunResult {
    bool ok = false;
    int exchanges = 0;
    int failed = 0;
    double perSecond = 0.0;
    double cpuPerExchangeMs = 0.0;
    double cpuShare = 0.0; // of one core
    double turnaroundMedianMs = 0.0;
    double turnaroundP99Ms = 0.0;
    double turnaroundMaxMs = 0.0;
    double simulatorLateMs = 0.0; // median of the simulator's lateness beyond the line's time
    double simulatorCpuMs = 0.0;  // the simulator's CPU per exchange (its start included)
};

// One run: a fresh simulator process and a fresh window, `exchanges`
// exchanges measured after the warm-up.
RunResult runOnce(bool paced, int exchanges, bool factory, bool hidden)
{
    RunResult result;
    bench::SimProcess sim;
    QStringList options{QStringLiteral("--baud"), QString::number(kBaud)};
    if (paced) options << QStringLiteral("--piece-ms") << QString::number(g_pieceMs);
    if (!sim.start(options)) return result;

    WindowSetup setup(factory ? QStringList{QStringLiteral("/VARNEL")} : QStringList{});
    TForm_Main window(setup.environment());
    if (!hidden) window.show();
    window.FormActivate(&window);
    if (factory)
        formaccess::control<TPageControl>(window, "PageControl1")
            ->setActivePage(formaccess::control<QWidget>(window, "TabSheet_Test"));
    TMB &link = *formaccess::mb1(window);

    const int total = kWarmUp + exchanges;
    int ended = 0;
    double cpuStart = 0.0;
    auto wallStart = std::chrono::steady_clock::now();
    QEventLoop loop;
    // Runs after the window's own handler, which has already sent the next
    // request: counting here measures the window's cycle as it is.
    QObject::connect(&link, &TMB::OnMBMasterEndOfEvent, &loop, [&](TMBStatus status) {
        ++ended;
        if (ended > total) return; // the closing's end of the request in flight
        if (ended > kWarmUp && status != TMBStatus::stOK) ++result.failed;
        if (ended == kWarmUp) {
            if (g_census) g_census->start();
            cpuStart = bench::processCpuSeconds();
            wallStart = std::chrono::steady_clock::now();
        } else if (ended == total) {
            const double wall =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
            const double cpu = bench::processCpuSeconds() - cpuStart;
            if (g_census) g_census->stop();
            result.exchanges = exchanges;
            result.perSecond = exchanges / wall;
            result.cpuPerExchangeMs = cpu * 1000.0 / exchanges;
            result.cpuShare = cpu / wall;
            link.MBClosePort();
            loop.quit();
        }
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
        std::fprintf(stderr, "bench_window: stalled after %d exchanges\n", ended);
        loop.quit();
    });
    // The user's click on Open does no more than this: the window's handler
    // of the opened port starts the cycle.
    if (!link.engine().MBOpenPort(sim.port())) {
        std::fprintf(stderr, "bench_window: %s\n", qPrintable(link.MBPortErrorText()));
        return result;
    }
    watchdog.start(std::chrono::seconds(20 + total / (paced ? 10 : 200)));
    loop.exec();
    link.MBClosePort();
    if (result.exchanges == 0) return result;

    const std::vector<bench::SimExchange> timing = sim.stop();
    result.simulatorCpuMs = sim.cpuSeconds() * 1000.0 / (kWarmUp + exchanges);
    const std::vector<double> turns = bench::turnarounds(timing, kWarmUp);
    if (paced) {
        const double lineMs = exchangeLineSeconds() * 1000.0;
        std::vector<double> late;
        for (std::size_t i = kWarmUp; i < timing.size(); ++i)
            late.push_back(double(timing[i].replyWritten - timing[i].firstCharacter) / 1000.0 -
                           lineMs);
        result.simulatorLateMs = bench::median(late);
    }
    result.turnaroundMedianMs = bench::median(turns);
    result.turnaroundP99Ms = bench::quantile(turns, 0.99);
    result.turnaroundMaxMs = bench::quantile(turns, 1.0);
    result.ok = !turns.empty();
    return result;
}

double medianOf(const std::vector<RunResult> &runs, double RunResult::*field)
{
    std::vector<double> values;
    for (const RunResult &run : runs)
        values.push_back(run.*field);
    return bench::median(values);
}

void printRun(int index, const RunResult &r, bool paced)
{
    std::printf("    run %d: %8.2f exchanges/s, %d failed, CPU %.3f ms/exchange (%.1f %% of a "
                "core), turnaround median %.3f ms, p99 %.3f ms, max %.3f ms",
                index, r.perSecond, r.failed, r.cpuPerExchangeMs, r.cpuShare * 100.0,
                r.turnaroundMedianMs, r.turnaroundP99Ms, r.turnaroundMaxMs);
    // How far the simulator's reply ended beyond the line's own time.
    if (paced) std::printf("; simulator late by %.3f ms", r.simulatorLateMs);
    // On the same cores: a real instrument takes none of this from the PC.
    std::printf("; simulator's CPU %.3f ms/exchange", r.simulatorCpuMs);
    std::printf("\n");
}

// Runs one kind `runs` times; false when a run failed.
bool runKind(bool paced, int runs, int exchanges, bool factory, bool hidden)
{
    std::printf("%s, %s view%s, %d exchanges per run after %d of warm-up:\n",
                paced ? qPrintable(QStringLiteral("paced line at 115200 baud, replies in pieces of "
                                                  "%1 ms of line time")
                                       .arg(g_pieceMs))
                      : "unthrottled pty",
                factory ? "factory-level (Test page)" : "normal", hidden ? " (hidden)" : "",
                exchanges, kWarmUp);
    std::fflush(stdout);
    std::vector<RunResult> results;
    for (int i = 1; i <= runs; ++i) {
        const RunResult r = runOnce(paced, exchanges, factory, hidden);
        if (!r.ok) {
            std::printf("    run %d failed\n", i);
            return false;
        }
        printRun(i, r, paced);
        if (g_census && i == 1) g_census->print(r.exchanges);
        std::fflush(stdout);
        results.push_back(r);
    }
    const double rate = medianOf(results, &RunResult::perSecond);
    std::printf("  median of %d runs: %.2f exchanges/s", runs, rate);
    if (paced) {
        const double line = exchangeLineSeconds();
        std::printf(" (the line's limit %.2f/s, ratio %.3f; target >= 0.97)", 1.0 / line,
                    rate * line);
    } else {
        std::printf(" (target >= 2000)");
    }
    std::printf("\n  turnaround median %.3f ms (target <= 0.5), p99 %.3f ms (target <= 2)\n",
                medianOf(results, &RunResult::turnaroundMedianMs),
                medianOf(results, &RunResult::turnaroundP99Ms));
    std::printf("  CPU %.3f ms per exchange, %.2f %% of one core%s\n",
                medianOf(results, &RunResult::cpuPerExchangeMs),
                medianOf(results, &RunResult::cpuShare) * 100.0, paced ? " (target <= 3 %)" : "");
    int failed = 0;
    for (const RunResult &r : results)
        failed += r.failed;
    if (failed > 0) std::printf("  %d exchanges failed\n", failed);
    // For bench/run-all's table.
    if (paced) {
        std::printf("figures: line_share=%.3f turnaround_median_ms=%.3f turnaround_p99_ms=%.3f "
                    "window_cpu_percent=%.2f simulator_cpu_ms=%.3f\n",
                    rate * exchangeLineSeconds(), medianOf(results, &RunResult::turnaroundMedianMs),
                    medianOf(results, &RunResult::turnaroundP99Ms),
                    medianOf(results, &RunResult::cpuShare) * 100.0,
                    medianOf(results, &RunResult::simulatorCpuMs));
    }
    std::fflush(stdout);
    return true;
}

int argument(int argc, char *argv[], const char *name, int fallback)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::max(0, std::atoi(argv[i + 1]));
    return fallback;
}

bool flag(int argc, char *argv[], const char *name)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = std::max(1, argument(argc, argv, "--runs", 3));
    const int paced = argument(argc, argv, "--paced", 300);
    const int unthrottled = argument(argc, argv, "--unthrottled", 5000);
    const bool factory = flag(argc, argv, "--factory");
    const bool hidden = flag(argc, argv, "--hidden");
    g_pieceMs = std::min(1000, argument(argc, argv, "--piece-ms", 1));
    EventCensus census;
    if (flag(argc, argv, "--census")) g_census = &census;

    bool ok = true;
    if (paced > 0) ok = runKind(true, runs, paced, factory, hidden) && ok;
    if (unthrottled > 0) ok = runKind(false, runs, unthrottled, factory, hidden) && ok;
    std::printf("peak resident memory of the window's process: %.1f MB (target <= 80)\n",
                bench::peakResidentMB());
    return ok ? 0 : 1;
}
