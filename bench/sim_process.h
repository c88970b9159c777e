// The instrument simulator's own program (kx4720r-sim) as a separate process
// for the whole-program benchmarks, so the window and the simulator never
// share an event loop or a core's time slice, plus the reading of the
// timing file it writes (--timing) and the small statistics the benchmarks
// print. Header-only: each benchmark is one program.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace bench {

// One line of the simulator's timing file; moments in microseconds of the
// monotonic clock.
struct SimExchange {
    quint64 request = 0;
    qint64 firstCharacter = 0;
    qint64 accepted = 0;
    qint64 replyWritten = 0;
};

// Now on the clock the simulator's timing file uses.
inline qint64 monotonicMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// CPU time of this whole process (every thread), in seconds.
inline double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Peak resident memory of this process so far, in MB.
inline double peakResidentMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Resident memory of this process now, in MB.
inline double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

class SimProcess {
public:
    // Starts kx4720r-sim with these options and --timing; false with a
    // message on stderr when it did not come up.
    bool start(const QStringList &options)
    {
        if (!m_folder.isValid()) return fail("no temporary folder");
        m_timingPath = m_folder.filePath(QStringLiteral("timing.txt"));
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(KX_SIM_BINARY),
                        QStringList(options) << QStringLiteral("--timing") << m_timingPath);
        if (!m_process.waitForStarted(10000)) return fail(m_process.errorString());
        // The one line the simulator prints once its pty is ready.
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000)) return fail("the simulator said nothing");
        const QString line = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        const QString prefix = QStringLiteral("kx4720r-sim: ");
        if (!line.startsWith(prefix)) return fail(line);
        m_port = line.mid(prefix.size());
        return true;
    }

    QString port() const { return m_port; }

    // Ends the simulator (SIGTERM: it writes out its timing file) and reads
    // the file.
    std::vector<SimExchange> stop()
    {
        std::vector<SimExchange> exchanges;
        if (m_process.state() == QProcess::NotRunning) return exchanges;
        const double childrenBefore = childrenCpuSeconds();
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
        m_cpuSeconds = childrenCpuSeconds() - childrenBefore;
        QFile file(m_timingPath);
        if (!file.open(QIODevice::ReadOnly)) return exchanges;
        while (!file.atEnd()) {
            const QList<QByteArray> fields = file.readLine().simplified().split(' ');
            if (fields.size() != 4 || fields[0].startsWith('#')) continue;
            exchanges.push_back({fields[0].toULongLong(), fields[1].toLongLong(),
                                 fields[2].toLongLong(), fields[3].toLongLong()});
        }
        return exchanges;
    }

    ~SimProcess() { stop(); }

    // CPU time the simulator's process took over its whole life (known
    // after stop()): what a real instrument would not take from the PC.
    double cpuSeconds() const { return m_cpuSeconds; }

private:
    static double childrenCpuSeconds()
    {
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }

    bool fail(const QString &why)
    {
        std::fprintf(stderr, "kx4720r-sim: %s\n", qPrintable(why));
        return false;
    }

    QTemporaryDir m_folder;
    QString m_timingPath;
    QProcess m_process;
    QString m_port;
    double m_cpuSeconds = 0.0;
};

// The program's turnarounds in milliseconds, as the simulator saw them: from
// the last character of each reply to the first character of the next
// request, for consecutive requests only, leaving out the first `skip`
// exchanges (the warm-up).
inline std::vector<double> turnarounds(const std::vector<SimExchange> &exchanges, std::size_t skip)
{
    std::vector<double> ms;
    for (std::size_t i = std::max<std::size_t>(skip, 1); i < exchanges.size(); ++i)
        if (exchanges[i].request == exchanges[i - 1].request + 1)
            ms.push_back(double(exchanges[i].firstCharacter - exchanges[i - 1].replyWritten) /
                         1000.0);
    return ms;
}

// The q-quantile (0 ... 1) of the values, nearest rank; 0 for none.
inline double quantile(std::vector<double> values, double q)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto rank = std::size_t(std::clamp(q, 0.0, 1.0) * double(values.size() - 1) + 0.5);
    return values[std::min(rank, values.size() - 1)];
}

inline double median(const std::vector<double> &values)
{
    return quantile(values, 0.5);
}

} // namespace bench
