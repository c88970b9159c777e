// What the receive path costs the program per exchange on a line that
// delivers a reply in pieces, as a serial adapter does: the simulator's
// program (a separate process) paces its replies at 115200 baud, one piece
// every millisecond of line time (--piece-ms N: every N ms; 0, one character
// a piece). Interleaved in one invocation, each run a fresh
// simulator:
//   engine    MBEngine as master (its reader thread wakes for every piece
//             and hands the frame over once its last character has come);
//   async     a sketch whose reader hands a frame over without waiting for
//             it to be dealt with (bench/peer_prototypes.h);
//   gather    as async, and once a reply has begun the line discipline wakes
//             the reader only when the rest of it is there;
//   notifier  a sketch without a reader thread: the user-interface thread
//             watches the port and wakes for every piece;
//   notifier-gather  as notifier, leaving the port unwatched through most of
//             a reply's line time once it has begun.
// For each, per exchange: how often every thread of this process was woken
// and its CPU time, which is what the window's CPU share at 115200 baud is
// made of besides its painting.
//   bench_paced_reader [--runs N] [--exchanges N] [--piece-ms N] [--only
//   engine|async|gather|notifier|notifier-gather]
#include "peer_prototypes.h"
#include "peer_support.h"
#include "sim_process.h"

#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>
#include <map>
#include <optional>

namespace {

constexpr int kBaud = 115200;
constexpr int kWarmUp = 10;
int g_pieceMs = 1; // --piece-ms

// The simulator's options: paced, in pieces of --piece-ms.
QStringList simulatorOptions()
{
    return {QStringLiteral("--baud"), QString::number(kBaud), QStringLiteral("--piece-ms"),
            QString::number(g_pieceMs)};
}

struct Result {
    bool ok = false;
    int exchanges = 0;
    int failed = 0;
    double seconds = 0.0;
    double turnaroundMs = 0.0; // median, as the simulator saw it
    std::vector<peer::Role> threads;
};

// Counts exchanges; reads every thread's counters at the end of the warm-up
// and at the end.
class Counter {
public:
    Counter(Result &result, int exchanges) : m_result(result), m_exchanges(exchanges) {}
    bool count(bool good)
    {
        ++m_seen;
        if (m_seen == kWarmUp) {
            for (const pid_t tid : peer::ownThreads())
                m_result.threads.push_back({tid == ::getpid() ? "ui" : "reader",
                                            ::getpid(),
                                            tid,
                                            peer::taskCounters(::getpid(), tid),
                                            {}});
            m_since = std::chrono::steady_clock::now();
            return false;
        }
        if (m_seen < kWarmUp) return false;
        ++m_result.exchanges;
        m_result.failed += good ? 0 : 1;
        if (m_result.exchanges < m_exchanges) return false;
        m_result.seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_since).count();
        for (peer::Role &thread : m_result.threads)
            thread.sampleEnd();
        m_result.ok = true;
        return true;
    }

private:
    Result &m_result;
    int m_exchanges;
    int m_seen = 0;
    std::chrono::steady_clock::time_point m_since;
};

std::vector<std::uint8_t> requestData()
{
    mb::MBTXDataBuffer tx;
    writeRequest(tx, InstrumentRequest{});
    const auto data = tx.dataToSend();
    return {data.begin(), data.end()};
}

bool replyGood(int received, int code)
{
    return received == instrument::ReplyDataSize && code == 0;
}

Result runEngine(int exchanges)
{
    Result result;
    bench::SimProcess sim;
    if (!sim.start(simulatorOptions())) return result;
    const auto request = requestData();
    MBEngine master;
    master.setMBRefreshListOnStartup(false);
    master.setBaudRate(kBaud);
    master.setMBMasterCommandToSlave(instrument::RequestCommand);
    if (!master.MBOpenPort(sim.port())) return result;
    QEventLoop loop;
    Counter counter(result, exchanges);
    const auto send = [&] {
        master.MBClearTXData();
        for (const std::uint8_t byte : request)
            master.MBAppendByte(byte);
        master.MBSendFrame();
    };
    QObject::connect(&master, &MBEngine::OnMBMasterEndOfEvent, &loop, [&](TMBStatus status) {
        const bool good = status == TMBStatus::stOK &&
                          replyGood(master.MBReceivedDataNumber(), master.rxBuffer().command());
        if (counter.count(good))
            loop.quit();
        else
            send();
    });
    QTimer::singleShot(0, &loop, send);
    loop.exec();
    master.MBClosePort();
    result.turnaroundMs = bench::median(bench::turnarounds(sim.stop(), kWarmUp));
    return result;
}

Result runPrototype(peer::PrototypeMaster::Kind kind, int exchanges)
{
    Result result;
    bench::SimProcess sim;
    if (!sim.start(simulatorOptions())) return result;
    const int fd = peer::openRaw(sim.port().toStdString());
    if (fd < 0) return result;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const auto request = requestData();
    QEventLoop loop;
    Counter counter(result, exchanges);
    std::unique_ptr<peer::PrototypeMaster> master;
    const auto send = [&] {
        master->tx().MBClearTXData();
        for (const std::uint8_t byte : request)
            master->tx().MBAppendByte(byte);
        master->send();
    };
    master = std::make_unique<peer::PrototypeMaster>(
        kind, fd,
        [&](bool replied) {
            const bool good =
                replied && replyGood(master->rx().MBReceivedDataNumber(), master->rx().command());
            if (counter.count(good))
                loop.quit();
            else
                send();
        },
        1019 + 19, kBaud);
    QTimer::singleShot(0, &loop, send);
    loop.exec();
    master.reset();
    result.turnaroundMs = bench::median(bench::turnarounds(sim.stop(), kWarmUp));
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int runs = 3;
    int exchanges = 100;
    std::vector<std::string> kinds{"engine", "async", "gather", "notifier", "notifier-gather"};
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--runs")
            runs = std::max(1, std::atoi(argv[i + 1]));
        else if (arg == "--exchanges")
            exchanges = std::max(10, std::atoi(argv[i + 1]));
        else if (arg == "--only")
            kinds = {argv[i + 1]};
        else if (arg == "--piece-ms")
            g_pieceMs = std::clamp(std::atoi(argv[i + 1]), 0, 1000);
        else {
            std::fprintf(stderr,
                         "usage: bench_paced_reader [--runs N] [--exchanges N] [--piece-ms N]"
                         " [--only engine|async|gather|notifier|notifier-gather]\n");
            return 2;
        }
    }
    std::printf("receive path against the paced simulator at %d baud, replies in pieces of %d ms "
                "of line time: %d exchanges per run after %d of warm-up, %d runs of each, "
                "interleaved\n",
                kBaud, g_pieceMs, exchanges, kWarmUp, runs);
    // Per kind and thread: wake-ups and CPU microseconds per exchange, one per run.
    std::map<std::string,
             std::map<std::string, std::pair<std::vector<double>, std::vector<double>>>>
        figures;
    std::map<std::string, std::vector<double>> rates, turnarounds;
    bool allGood = true;
    for (int run = 1; run <= runs; ++run) {
        for (const std::string &kind : kinds) {
            Result r;
            if (kind == "engine")
                r = runEngine(exchanges);
            else if (kind == "async")
                r = runPrototype(peer::PrototypeMaster::Kind::Async, exchanges);
            else if (kind == "gather")
                r = runPrototype(peer::PrototypeMaster::Kind::Gather, exchanges);
            else if (kind == "notifier")
                r = runPrototype(peer::PrototypeMaster::Kind::Notifier, exchanges);
            else if (kind == "notifier-gather")
                r = runPrototype(peer::PrototypeMaster::Kind::NotifierGather, exchanges);
            if (!r.ok) {
                std::printf("  %-15s run %d did not finish\n", kind.c_str(), run);
                allGood = false;
                continue;
            }
            allGood = allGood && r.failed == 0;
            rates[kind].push_back(r.exchanges / r.seconds);
            turnarounds[kind].push_back(r.turnaroundMs);
            double cpu = 0.0;
            for (const peer::Role &t : r.threads) {
                const double wake = double(t.end.wakeUps - t.start.wakeUps) / r.exchanges;
                const double us = double(t.end.cpuNs - t.start.cpuNs) / r.exchanges / 1000.0;
                if (t.end.wakeUps == t.start.wakeUps && us < 0.05) continue; // idle threads
                figures[kind][t.name].first.push_back(wake);
                figures[kind][t.name].second.push_back(us);
                cpu += us;
            }
            std::printf(
                "  %-15s run %d: %.2f exchanges/s, %d failed, turnaround median %.3f ms, CPU "
                "%.0f us per exchange\n",
                kind.c_str(), run, r.exchanges / r.seconds, r.failed, r.turnaroundMs, cpu);
            std::fflush(stdout);
        }
    }
    std::printf("per exchange, median of the runs:\n  %-15s %-7s %9s %9s\n", "kind", "thread",
                "wake-ups", "CPU us");
    for (const std::string &kind : kinds) {
        double wake = 0, cpu = 0;
        for (const auto &[thread, f] : figures[kind]) {
            const double w = peer::median(f.first), c = peer::median(f.second);
            wake += w;
            cpu += c;
            std::printf("  %-15s %-7s %9.2f %9.1f\n", kind.c_str(), thread.c_str(), w, c);
        }
        std::printf("  %-15s %-7s %9.2f %9.1f   (%.2f exchanges/s, turnaround median %.3f ms)\n",
                    kind.c_str(), "all", wake, cpu, peer::median(rates[kind]),
                    peer::median(turnarounds[kind]));
        // For bench/run-all's table: the engine as the program has it.
        if (kind == "engine" && figures[kind].count("reader"))
            std::printf("figures: reader_wakeups=%.2f ui_wakeups=%.2f receive_cpu_us=%.1f\n",
                        peer::median(figures[kind]["reader"].first),
                        peer::median(figures[kind]["ui"].first), cpu);
    }
    return allGood ? 0 : 1;
}
