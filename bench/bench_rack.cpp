// kx4720r-cli over a rack of paced simulated instruments (one kx4720r-sim
// --count N process): the wall time of `status` over 1, 8 and 32 units as a
// ratio to one unit; `monitor` over 1 ... 32 units for a while: exchanges per
// second of each unit as a share of what the line carries at most, the
// tool's CPU per unit, and its resident memory.
//   bench_rack [--runs N] [--seconds S] [--units 8,32]
// (--runs 0 leaves out `status`; --units names the racks monitored.)
#include "sim_process.h"

#include "protocol/instrument_protocol.h"
#include "sim/sim_faults.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// A paced rack of `count` units on links PREFIX0 ... in a folder of its own.
class Rack {
public:
    bool start(int count)
    {
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(KX_SIM_BINARY),
                        {"--count", QString::number(count), "--link-prefix",
                         m_folder.filePath(QStringLiteral("tty")), "--pace"});
        // Each unit says it is ready with one line.
        for (int ready = 0; ready < count;) {
            if (!m_process.canReadLine() && !m_process.waitForReadyRead(10000)) return false;
            while (m_process.canReadLine()) {
                m_process.readLine();
                ++ready;
            }
        }
        QFile list(listPath());
        if (!list.open(QIODevice::WriteOnly)) return false;
        for (int i = 0; i < count; ++i) {
            m_ports << m_folder.filePath(QStringLiteral("tty%1").arg(i));
            list.write(m_ports.last().toUtf8() + '\n');
        }
        return true;
    }
    ~Rack()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) m_process.kill();
        m_process.waitForFinished();
    }
    QStringList portOptions() const
    {
        QStringList options;
        for (const QString &port : m_ports)
            options << QStringLiteral("-p") << port;
        return options;
    }
    const QStringList &ports() const { return m_ports; }
    // The units as a --ports file: a line per unit even for one.
    QString listPath() const { return m_folder.filePath(QStringLiteral("rack.txt")); }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    QStringList m_ports;
};

// utime + stime of a process in seconds, and its resident memory in MB.
struct Usage {
    double cpuSeconds = 0;
    double residentMB = 0;
};

Usage usageOf(qint64 pid)
{
    Usage usage;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        const double ticks = double(::sysconf(_SC_CLK_TCK));
        usage.cpuSeconds = (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                usage.residentMB = line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return usage;
}

// The one-minute load average: the machine is shared, and every figure is
// told with the load it was taken under.
QByteArray loadAverage()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    return load.open(QIODevice::ReadOnly) ? load.readAll().split(' ').value(0) : "?";
}

// Median wall time of `status` over the rack, in ms: the ports as -p options
// (one -p: the one-port tool), or as a --ports list (a rack even of one).
double statusMs(const Rack &rack, int runs, bool asList = false)
{
    std::vector<double> ms;
    const QStringList ports = asList ? QStringList{"--ports", rack.listPath()} : rack.portOptions();
    for (int i = 0; i < runs; ++i) {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 start = bench::monotonicMicroseconds();
        cli.start(QStringLiteral(KX_CLI_BINARY), QStringList{"status"} + ports);
        if (!cli.waitForFinished(60000) || cli.exitCode() != 0) {
            std::fprintf(stderr, "bench_rack: status over %lld units failed\n",
                         qlonglong(rack.ports().size()));
            std::exit(1);
        }
        ms.push_back(double(bench::monotonicMicroseconds() - start) / 1000.0);
    }
    return bench::median(ms);
}

struct Monitoring {
    double minShare = 0, medianShare = 0; // of the line's most exchanges per second
    double cpuPercentPerUnit = 0;         // of one core
    double residentMB = 0;
};

Monitoring monitor(const Rack &rack, double seconds)
{
    QProcess cli;
    cli.start(QStringLiteral(KX_CLI_BINARY), {"monitor", "--ports", rack.listPath()});
    cli.waitForStarted();
    QHash<QString, int> replies;
    QByteArray pending;
    const auto take = [&] {
        pending += cli.readAllStandardOutput();
        const qsizetype end = pending.lastIndexOf('\n');
        if (end < 0) return;
        for (const QByteArray &line : pending.left(end).split('\n'))
            if (line.contains(" input "))
                ++replies[QString::fromUtf8(line.left(line.indexOf(' ')))];
        pending.remove(0, end + 1);
    };
    // A second to settle, then the measured time.
    const qint64 settle = bench::monotonicMicroseconds() + 1000000;
    while (bench::monotonicMicroseconds() < settle)
        cli.waitForReadyRead(100), take();
    replies.clear();
    const Usage before = usageOf(cli.processId());
    const qint64 start = bench::monotonicMicroseconds();
    const qint64 end = start + qint64(seconds * 1e6);
    while (bench::monotonicMicroseconds() < end)
        cli.waitForReadyRead(100), take();
    const Usage after = usageOf(cli.processId());
    const double elapsed = double(bench::monotonicMicroseconds() - start) / 1e6;
    ::kill(pid_t(cli.processId()), SIGINT);
    cli.waitForFinished(10000);

    const double lineSeconds = double((lineTime(instrument::RequestDataSize + 5, 115200) +
                                       lineTime(instrument::ReplyDataSize + 5, 115200))
                                          .count()) /
                               1e6;
    std::vector<double> shares;
    for (const QString &port : rack.ports())
        shares.push_back(double(replies.value(port)) / elapsed * lineSeconds);
    Monitoring m;
    m.minShare = *std::min_element(shares.begin(), shares.end());
    m.medianShare = bench::median(shares);
    m.cpuPercentPerUnit =
        100.0 * (after.cpuSeconds - before.cpuSeconds) / elapsed / double(rack.ports().size());
    m.residentMB = after.residentMB;
    return m;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 5;
    double seconds = 10;
    std::vector<int> monitored{1, 2, 4, 8, 16, 32};
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(0, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::max(1.0, std::atof(argv[i + 1]));
        if (std::strcmp(argv[i], "--units") == 0) {
            monitored.clear();
            for (const QByteArray &count : QByteArray(argv[i + 1]).split(','))
                if (count.toInt() > 0) monitored.push_back(count.toInt());
        }
    }
    QFile load(QStringLiteral("/proc/loadavg"));
    const QByteArray average = load.open(QIODevice::ReadOnly) ? load.readAll() : "?\n";
    std::printf("load average at start (the machine is shared): %s", average.constData());

    std::printf("kx4720r-cli status over a paced rack, median of %d runs (ratios to the\n"
                "one-port tool, and to a rack of one: --ports with one line, which asks the\n"
                "station's name as well):\n",
                runs);
    double one = 0, rackOfOne = 0;
    for (const int count : {1, 8, 32}) {
        if (runs == 0) break;
        Rack rack;
        if (!rack.start(count)) return 1;
        if (count == 1) {
            one = statusMs(rack, runs);
            rackOfOne = statusMs(rack, runs, true);
            std::printf("   1 unit   %7.1f ms  (-p)  %7.1f ms  (--ports)         load %s\n", one,
                        rackOfOne, loadAverage().constData());
            continue;
        }
        const double ms = statusMs(rack, runs);
        std::printf("  %2d units  %7.1f ms  %.2fx one unit  %.2fx a rack of one  load %s\n", count,
                    ms, ms / one, ms / rackOfOne, loadAverage().constData());
        std::fflush(stdout);
    }

    std::printf("kx4720r-cli monitor over a paced rack for %.0f s:\n"
                "  units  share of line limit (min / median)  CPU per unit  resident  load\n",
                seconds);
    for (const int count : monitored) {
        Rack rack;
        if (!rack.start(count)) return 1;
        const Monitoring m = monitor(rack, seconds);
        std::printf("  %5d  %.3f / %.3f                        %5.2f %%       %4.1f MB   %s\n",
                    count, m.minShare, m.medianShare, m.cpuPercentPerUnit, m.residentMB,
                    loadAverage().constData());
        std::fflush(stdout);
    }
    return 0;
}
