// What the window costs while it waits for a pulled line, and how soon the
// exchange goes on once the line is back. The simulator's program runs
// beside it with --pull-at and --replug-after; the window (offscreen) opens
// the simulator's link as a click on Open does, loses the line in
// mid-exchange, and waits. Over the wait this process's CPU time (every
// thread, from /proc/self/stat and the process CPU clock) and its voluntary context switches (each
// a wake-up) are measured; then the time from the line's return (the simulator's new pty) to the
// reopening and to the next good reply. Last, the line is lost and comes back again and again
// (a pty of this process behind a link made anew each time), and the resident memory is
// reported along the way: it must level off.
//   bench_port_wait [--wait SECONDS] [--reconnects N]   (default 30, 1000)
#include "sim_process.h"

#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/frameslave.h"
#include "support/ptypair.h"
#include "support/windowsetup.h"
#include "widgets/speedbutton.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// User and system time of this process so far, in milliseconds.
double cpuMs()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly)) return 0;
    const QByteArray text = stat.readAll();
    // Fields after the command name in parentheses; utime and stime are 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
}

long wakeUps()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// The line lost and back `count` times: each time a new pty behind the link
// (made anew, as a simulator or udev does), answered, then hung up. The
// window reopens it by itself every time; its resident memory is sampled.
bool reconnectMany(TMB &mb, const QString &link, int count, const int &good)
{
    if (count == 0) return true;
    mb.engine().setPortCandidateSource([link] { return QStringList{link}; });
    const auto plugIn = [&link](std::unique_ptr<PtyPair> &pty, std::unique_ptr<FrameSlave> &slave) {
        pty = std::make_unique<PtyPair>();
        slave = std::make_unique<FrameSlave>(*pty);
        slave->answerAll(1, 0, replyData(typicalReply()));
        QFile::remove(link);
        return pty->isValid() && QFile::link(pty->slavePath(), link);
    };
    std::unique_ptr<PtyPair> pty;
    std::unique_ptr<FrameSlave> slave;
    if (!plugIn(pty, slave)) return false;
    mb.engine().MBRefreshPortList();
    if (!mb.engine().MBOpenPort(link)) return false;
    std::printf("bench_port_wait: the line lost and back %d times\n", count);
    std::printf("  resident memory at the start   %.1f MB\n", bench::residentMB());
    QElapsedTimer wall;
    wall.start();
    for (int i = 1; i <= count; ++i) {
        const int before = good;
        if (!QTest::qWaitFor([&] { return mb.MBPortOpen() && good > before; }, 10000)) {
            std::fprintf(stderr, "reconnect %d: the line came back but was not reopened\n", i);
            return false;
        }
        slave.reset();
        pty.reset(); // hung up: the port is lost and waited for
        if (!QTest::qWaitFor([&] { return mb.engine().isWaitingForPort(); }, 10000)) return false;
        if (!plugIn(pty, slave)) return false;
        if (i % (count >= 10 ? count / 10 : 1) == 0)
            std::printf("  after %4d reconnects          %.1f MB (%.2f s each)\n", i,
                        bench::residentMB(), double(wall.elapsed()) / 1000.0 / i);
    }
    mb.MBClosePort();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int waitSeconds = 30;
    int reconnects = 1000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--wait") == 0) waitSeconds = std::max(5, std::atoi(argv[i + 1]));
        if (std::strcmp(argv[i], "--reconnects") == 0)
            reconnects = std::max(0, std::atoi(argv[i + 1]));
    }

    QTemporaryDir folder;
    const QString link = folder.filePath(QStringLiteral("ttyKX"));
    bench::SimProcess sim;
    // Pulled at the 20th request, back after the measured wait and a margin.
    if (!sim.start({QStringLiteral("--link"), link, QStringLiteral("--pull-at"),
                    QStringLiteral("20"), QStringLiteral("--replug-after"),
                    QString::number((waitSeconds + 3) * 1000)}))
        return 1;

    WindowSetup setup;
    TForm_Main window(setup.environment());
    TMB &mb = *formaccess::mb1(window);
    mb.engine().setPortCandidateSource([link] { return QStringList{link}; });
    int good = 0;
    QObject::connect(&mb, &TMB::OnMBMasterEndOfEvent, &app, [&](TMBStatus status) {
        if (status == TMBStatus::stOK) ++good;
    });
    window.show();
    if (!QTest::qWaitFor([&] { return mb.panel().openCloseButton()->isEnabled(); }, 5000)) {
        std::fprintf(stderr, "the port list stayed empty\n");
        return 1;
    }
    QTest::mouseClick(mb.panel().openCloseButton(), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return !mb.MBPortOpen(); }, 20000) ||
        !mb.engine().isWaitingForPort()) {
        std::fprintf(stderr, "the line was not lost, or not waited for\n");
        return 1;
    }
    const int goodBefore = good;

    const double cpuBefore = cpuMs();
    const double preciseBefore = bench::processCpuSeconds();
    const long wakeUpsBefore = wakeUps();
    QElapsedTimer wall;
    wall.start();
    // The event loop alone (QTest::qWait would poll every 10 ms itself).
    QEventLoop loop;
    QTimer::singleShot(waitSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuMs() - cpuBefore;
    const double precise = (bench::processCpuSeconds() - preciseBefore) * 1000.0;
    const long woken = wakeUps() - wakeUpsBefore;
    const double seconds = double(wall.elapsed()) / 1000.0;

    // The line comes back: from the moment its link reappears.
    QElapsedTimer back;
    if (!QTest::qWaitFor([&] { return QFileInfo::exists(link); }, 20000)) return 1;
    back.start();
    if (!QTest::qWaitFor([&] { return mb.MBPortOpen(); }, 10000)) {
        std::fprintf(stderr, "the line came back but was not reopened\n");
        return 1;
    }
    const qint64 reopenedMs = back.elapsed();
    if (!QTest::qWaitFor([&] { return good > goodBefore; }, 10000)) return 1;
    const qint64 replyMs = back.elapsed();

    std::printf("bench_port_wait: waiting for a pulled line, %.1f s\n", seconds);
    std::printf("  CPU of the window's process   %.0f ms by /proc/self/stat (clock ticks), "
                "%.2f ms by the process CPU clock (%.4f %% of one core)\n",
                cpu, precise, precise / (seconds * 10.0));
    std::printf("  voluntary wake-ups            %ld (%.1f per second)\n", woken,
                double(woken) / seconds);
    std::printf("  line back to port reopened    %lld ms\n", static_cast<long long>(reopenedMs));
    std::printf("  line back to next good reply  %lld ms\n", static_cast<long long>(replyMs));
    mb.MBClosePort();
    return reconnectMany(mb, folder.filePath(QStringLiteral("ttyKX2")), reconnects, good) ? 0 : 1;
}
