// Exchanges per second against the simulator pacing the line at 115200 baud
// (both directions take their line time, 20 bit times per frame byte), and
// their ratio to the line's own limit 1 / (request time + reply time) for the
// 98-byte request and the 88-byte reply. Shows how much the engine and the
// simulator add to an exchange beyond the line itself.
//   bench_paced_line [exchanges]   (default 300)
#include "protocol/instrument_protocol.h"
#include "link/mbbuffers.h"
#include "link/mbengine.h"
#include "sim/simulator.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int exchanges = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    constexpr int baud = 115200;

    InstrumentSimulator::Settings settings;
    settings.faults.pace = true;
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
    std::printf("paced line at %d baud: %d exchanges (%d failed) in %.2f s\n", baud, done, failed,
                seconds);
    std::printf("  %.2f exchanges/s; the line's limit %.2f/s; ratio %.3f\n", rate, 1.0 / line,
                rate * line);
    return failed == 0 ? 0 : 1;
}
