// Exchanges per second against the simulator pacing the line at 115200 baud
// (both directions take their line time, 20 bit times per frame byte), and
// their ratio to the line's own limit 1 / (request time + reply time) for the
// 98-byte request and the 88-byte reply. Shows how much the engine and the
// simulator add to an exchange beyond the line itself.
//   bench_paced_line [exchanges] [--piece-ms N]   (default 300, pieces of 1 ms of line time)
#include "frame/mbbuffers.h"
#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int exchanges = 300;
    int pieceMs = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--piece-ms") == 0 && i + 1 < argc)
            pieceMs = std::clamp(std::atoi(argv[++i]), 0, 1000);
        else
            exchanges = std::max(10, std::atoi(argv[i]));
    }
    constexpr int baud = 115200;

    InstrumentSimulator::Settings settings;
    settings.faults.pace = true;
    settings.faults.pieceMs = pieceMs;
    settings.baud = baud;
    InstrumentSimulator sim(settings);
    if (!sim.startOnNewPty()) {
        std::fprintf(stderr, "bench_paced_line: %s\n", qPrintable(sim.errorText()));
        return 1;
    }

    MBEngine master;
    master.setMBRefreshListOnStartup(false);
    master.setBaudRate(baud);
    if (!master.MBOpenPort(sim.portPath())) {
        std::fprintf(stderr, "bench_paced_line: %s\n", qPrintable(master.MBPortErrorText()));
        return 1;
    }
    mb::MBTXDataBuffer tx;
    writeRequest(tx, InstrumentRequest{});
    const auto send = [&] {
        master.MBClearTXData();
        for (std::uint8_t byte : tx.dataToSend())
            master.MBAppendByte(byte);
        master.setMBMasterCommandToSlave(instrument::RequestCommand);
        master.MBSendFrame();
    };

    int done = 0;
    int failed = 0;
    const auto start = std::chrono::steady_clock::now();
    QObject::connect(&master, &MBEngine::OnMBMasterEndOfEvent, &app, [&](TMBStatus status) {
        if (status != TMBStatus::stOK) ++failed;
        if (++done < exchanges)
            send();
        else
            app.quit();
    });
    send();
    app.exec();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const double line =
        std::chrono::duration<double>(lineTime(instrument::RequestDataSize + 5, baud) +
                                      lineTime(instrument::ReplyDataSize + 5, baud))
            .count();
    const double rate = done / seconds;
    std::printf("paced line at %d baud, replies in pieces of %d ms of line time: %d exchanges (%d "
                "failed) in %.2f s\n",
                baud, pieceMs, done, failed, seconds);
    std::printf("  %.2f exchanges/s; the line's limit %.2f/s; ratio %.3f\n", rate, 1.0 / line,
                rate * line);
    std::printf("figures: engine_line_share=%.3f\n", rate * line);
    return failed == 0 ? 0 : 1;
}
