// Master transactions per second against a minimal slave over a pty, and the
// master's turnaround: from the moment the slave has written the last
// character of its reply to the moment the first character of the next
// request reaches it (so it includes two pty wake-ups besides the engine).
//   bench_master [seconds]   (default 3)
#include "frame/mbframe.h"
#include "frame/mbreceiver.h"
#include "link/mbengine.h"
#include "support/frameslave.h"
#include "support/ptypair.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

using Clock = std::chrono::steady_clock;

namespace {

// The slave: answers every request from address 1 with 88 data bytes, at once.
class MinimalSlave {
public:
    explicit MinimalSlave(int fd) : m_fd(fd), m_thread([this] { run(); }) {}
    ~MinimalSlave() { stop(); }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    // After stop().
    std::vector<double> turnaroundsUs() const { return m_turnarounds; }

private:
    void run()
    {
        mb::MBReceiver receiver([](std::uint8_t b) { return (b & mb::kReplyFlag) == 0; });
        const QByteArray reply = FrameSlave::replyLine(1, 0, 0, QByteArray(88, '\x5A'));
        bool awaitingFirst = false;
        Clock::time_point replied;
        char buffer[4096];
        while (!m_stop) {
            pollfd pfd{m_fd, POLLIN, 0};
            if (::poll(&pfd, 1, 20) <= 0) continue;
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
            if (n <= 0) continue;
            const auto now = Clock::now();
            if (awaitingFirst) {
                m_turnarounds.push_back(
                    std::chrono::duration<double, std::micro>(now - replied).count());
                awaitingFirst = false;
            }
            for (ssize_t i = 0; i < n; ++i) {
                if (receiver.feed(std::uint8_t(buffer[i])) != mb::RxEvent::FrameAccepted) continue;
                receiver.resetAssembly();
                qsizetype done = 0;
                while (done < reply.size()) {
                    const ssize_t w =
                        ::write(m_fd, reply.constData() + done, std::size_t(reply.size() - done));
                    if (w > 0) done += w;
                }
                replied = Clock::now();
                awaitingFirst = true;
            }
        }
    }

    int m_fd;
    std::atomic<bool> m_stop{false};
    std::vector<double> m_turnarounds;
    std::thread m_thread;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const auto index = std::size_t(p * double(values.size() - 1));
    return values[index];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;

    PtyPair pty;
    if (!pty.isValid()) {
        std::fprintf(stderr, "no pty\n");
        return 1;
    }
    MBEngine engine;
    engine.setMBBaud(TMBBaud::baud115200);
    engine.setMBMasterCommandToSlave(1);
    engine.setMBMasterTimeOut(1000);
    if (!engine.MBOpenPort(pty.slavePath())) {
        std::fprintf(stderr, "%s\n", qPrintable(engine.MBPortErrorText()));
        return 1;
    }

    quint64 ok = 0, failed = 0;
    auto start = Clock::now();
    const auto sendRequest = [&] {
        engine.MBClearTXData();
        for (int i = 0; i < 98; ++i)
            engine.MBAppendByte(quint8(i));
        engine.MBSendFrame();
    };
    QObject::connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &engine, [&](TMBStatus status) {
        (status == TMBStatus::stOK ? ok : failed) += 1;
        for (int i = 0; i < 88; ++i)
            engine.MBReadByte();
        if (std::chrono::duration<double>(Clock::now() - start).count() < seconds)
            sendRequest();
        else
            app.quit();
    });

    std::vector<double> turnarounds;
    {
        MinimalSlave slave(pty.masterFd());
        QTimer::singleShot(0, &engine, sendRequest);
        start = Clock::now();
        app.exec();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        engine.MBClosePort();
        std::printf("master transactions: %llu ok, %llu failed in %.2f s: %.0f transactions/s\n",
                    static_cast<unsigned long long>(ok), static_cast<unsigned long long>(failed),
                    elapsed, double(ok) / elapsed);
        slave.stop();
        turnarounds = slave.turnaroundsUs();
    }
    std::printf("turnaround (reply written -> next request seen, %zu samples): median %.1f us, "
                "p99 %.1f us\n",
                turnarounds.size(), percentile(turnarounds, 0.5), percentile(turnarounds, 0.99));
    return failed == 0 ? 0 : 1;
}
