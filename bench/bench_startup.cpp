// Start-up time of the program to its first request on the line. The
// simulator's program listens on a pty; then a fresh process (this program
// again, as the window's process) is started, builds the application and the
// real main window as the program's entry does, shows it, and on its first
// turn of the event loop opens the pty as a click on Open would (the program
// sends nothing before the user opens a port). The time counts from just
// before the window's process is started to the moment the simulator
// receives the first character of the first request; the phases in between
// come from the window's process itself ("open returned" comes after the
// first request: the opened port's handler sends it before the opening
// returns).
//   bench_startup [--runs N]
#include "sim_process.h"

#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"

#include <QApplication>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The window's process: prints the monotonic moments of its phases, on one
// line, once its first exchange has ended.
int windowProcess(int argc, char *argv[], const QString &port)
{
    const qint64 entered = bench::monotonicMicroseconds();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 applicationReady = bench::monotonicMicroseconds();
    WindowSetup setup;
    TForm_Main window(setup.environment());
    window.show();
    const qint64 shown = bench::monotonicMicroseconds();
    qint64 opened = 0;
    TMB &link = *formaccess::mb1(window);
    bool reported = false;
    QObject::connect(&link, &TMB::OnMBMasterEndOfEvent, &app, [&](TMBStatus status) {
        if (reported) return; // the closing below ends no second exchange worth telling
        reported = true;
        std::printf("%lld %lld %lld %lld %d\n", static_cast<long long>(entered),
                    static_cast<long long>(applicationReady), static_cast<long long>(shown),
                    static_cast<long long>(opened), status == TMBStatus::stOK ? 1 : 0);
        std::fflush(stdout);
        link.MBClosePort();
        app.quit();
    });
    QTimer::singleShot(0, &app, [&] {
        if (!link.engine().MBOpenPort(port)) app.exit(1);
        opened = bench::monotonicMicroseconds();
    });
    QTimer::singleShot(10000, &app, [&] { app.exit(1); });
    return app.exec();
}

struct Phases {
    double toMain = 0, toApplication = 0, toShown = 0, toOpened = 0, toFirstRequest = 0;
};

bool runOnce(const QString &self, Phases &phases)
{
    bench::SimProcess sim;
    if (!sim.start({})) return false;
    QProcess window;
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const qint64 start = bench::monotonicMicroseconds();
    window.start(self, {QStringLiteral("--window"), sim.port()});
    if (!window.waitForFinished(20000) || window.exitCode() != 0) {
        std::fprintf(stderr, "bench_startup: the window's process failed\n");
        return false;
    }
    const QList<QByteArray> fields = window.readAllStandardOutput().simplified().split(' ');
    const std::vector<bench::SimExchange> exchanges = sim.stop();
    if (fields.size() != 5 || fields[4] != "1" || exchanges.empty()) {
        std::fprintf(stderr, "bench_startup: no complete first exchange\n");
        return false;
    }
    const auto ms = [start](qint64 moment) { return double(moment - start) / 1000.0; };
    phases.toMain = ms(fields[0].toLongLong());
    phases.toApplication = ms(fields[1].toLongLong());
    phases.toShown = ms(fields[2].toLongLong());
    phases.toOpened = ms(fields[3].toLongLong());
    phases.toFirstRequest = ms(exchanges.front().firstCharacter);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0)
        return windowProcess(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    std::printf("start-up to the first request (ms from starting the window's process):\n");
    std::vector<double> toMain, toApplication, toShown, toOpened, toFirstRequest;
    for (int i = 1; i <= runs; ++i) {
        Phases p;
        if (!runOnce(QCoreApplication::applicationFilePath(), p)) return 1;
        std::printf("    run %d: main() %.1f, application %.1f, window shown %.1f, open returned "
                    "%.1f, first request at the simulator %.1f\n",
                    i, p.toMain, p.toApplication, p.toShown, p.toOpened, p.toFirstRequest);
        std::fflush(stdout);
        toMain.push_back(p.toMain);
        toApplication.push_back(p.toApplication);
        toShown.push_back(p.toShown);
        toOpened.push_back(p.toOpened);
        toFirstRequest.push_back(p.toFirstRequest);
    }
    std::printf("  median of %d runs: main() %.1f, application %.1f, window shown %.1f, open "
                "returned %.1f, first request %.1f ms\n",
                runs, bench::median(toMain), bench::median(toApplication), bench::median(toShown),
                bench::median(toOpened), bench::median(toFirstRequest));
    return 0;
}
