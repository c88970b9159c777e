// kx4720r-cli status from process start to exit, against the simulator's
// program pacing the line at 115200 baud. What the tool adds is the total
// less the line time of one exchange (the request's and the reply's
// characters at the line's speed); the simulator's timing file splits it into
// the time before the request's first character and the time after the
// reply's last one.
//   bench_cli [--runs N]
#include "sim_process.h"

#include "protocol/instrument_protocol.h"
#include "sim/sim_faults.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 20;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));

    bench::SimProcess sim;
    if (!sim.start({QStringLiteral("--pace")})) return 1;
    std::vector<qint64> starts, ends;
    for (int i = 0; i < runs; ++i) {
        QProcess cli;
        cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const qint64 start = bench::monotonicMicroseconds();
        cli.start(QStringLiteral(KX_CLI_BINARY),
                  {QStringLiteral("status"), QStringLiteral("-p"), sim.port()});
        if (!cli.waitForFinished(20000) || cli.exitCode() != 0) {
            std::fprintf(stderr, "bench_cli: kx4720r-cli status failed\n");
            return 1;
        }
        ends.push_back(bench::monotonicMicroseconds());
        starts.push_back(start);
    }
    const std::vector<bench::SimExchange> exchanges = sim.stop();
    if (exchanges.size() != std::size_t(runs)) {
        std::fprintf(stderr, "bench_cli: %zu exchanges for %d runs\n", exchanges.size(), runs);
        return 1;
    }

    const double lineMs = double((lineTime(instrument::RequestDataSize + 5, 115200) +
                                  lineTime(instrument::ReplyDataSize + 5, 115200))
                                     .count()) /
                          1000.0;
    std::vector<double> total, beforeRequest, afterReply;
    for (int i = 0; i < runs; ++i) {
        total.push_back(double(ends[i] - starts[i]) / 1000.0);
        beforeRequest.push_back(double(exchanges[i].firstCharacter - starts[i]) / 1000.0);
        afterReply.push_back(double(ends[i] - exchanges[i].replyWritten) / 1000.0);
    }
    std::printf("kx4720r-cli status, process start to exit, paced line at 115200 baud (%d runs):\n",
                runs);
    std::printf("  total: median %.1f ms, p90 %.1f ms, fastest %.1f ms\n", bench::median(total),
                bench::quantile(total, 0.9), bench::quantile(total, 0.0));
    std::printf("  line time of one exchange: %.1f ms\n", lineMs);
    std::printf("  on top of the line time: median %.1f ms (target < 100 ms)\n",
                bench::median(total) - lineMs);
    std::printf("  start to the request's first character: median %.1f ms; reply's last character "
                "to exit: median %.1f ms\n",
                bench::median(beforeRequest), bench::median(afterReply));
    return bench::median(total) - lineMs < 100.0 ? 0 : 1;
}
