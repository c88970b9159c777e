// Our link engine side by side with libmodbus, the library someone would
// script the instrument with, on the same kind of line: in one invocation,
// interleaved (A B A B ...), each run over a fresh socat relay between two
// ptys, as many round trips as the relay allows for a fixed time or count:
//   A  MBEngine as master (98 request data bytes, 88 reply data bytes, each
//      reply read with MBReadByte and compared with what the slave sent)
//      against a plain responder thread (poll, read, one write per reply);
//   B  libmodbus's RTU client, modbus_write_and_read_registers with 49
//      registers written and 44 read (the same 98 and 88 payload bytes),
//      against libmodbus's RTU server in a thread (modbus_receive,
//      modbus_reply); each reply's registers compared with those written.
// The responder of A does what libmodbus's server does in B (one thread that
// waits for the request, reads it, answers it with one write), so the
// machine carries the same load beside each master. Every slave echoes the
// request's payload, which changes from one round trip to the next, so a
// reply that belongs to another round trip fails the check.
// Besides the round trips per second and their ratio, each run reads what
// the kernel counted for every thread taking part (wake-ups, preemptions,
// CPU time), per round trip.
// --plain-server puts a plain responder like ours in place of libmodbus's
// server, so that only the masters differ; --prototype puts a sketch of a
// changed receive path (peer_prototypes.h) in our engine's place; --only runs
// one side (for a tracer); --detail prints every run's threads.
//   bench_peer [--pairs N] [--seconds S | --count N] [--only ours|libmodbus]
//              [--plain-server] [--prototype notifier|async] [--detail]
#include "peer_prototypes.h"
#include "peer_support.h"

#include "frame/mbframe.h"
#include "frame/mbreceiver.h"
#include "link/mbengine.h"

#include <modbus.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRequestBytes = 98;
constexpr int kReplyBytes = 88;
constexpr int kWriteRegisters = kRequestBytes / 2;
constexpr int kReadRegisters = kReplyBytes / 2;
constexpr int kWarmUp = 50; // round trips before the measured part of a run
constexpr int kBaud = 115200;
constexpr std::uint8_t kSlaveAddress = 1;

struct Options {
    int pairs = 3;
    double seconds = 3.0;
    long count = 0; // measured round trips per run instead of a time
    bool ours = true;
    bool libmodbus = true;
    bool detail = false;
    bool plainServer = false; // libmodbus's client against a plain responder
    // Side A is a sketch of a changed receive path instead of the engine.
    std::optional<peer::PrototypeMaster::Kind> prototype;
    const char *oursName() const
    {
        if (!prototype) return "ours";
        return *prototype == peer::PrototypeMaster::Kind::Notifier ? "notifier" : "async";
    }
};

struct RunResult {
    bool started = false;
    std::string error;
    quint64 total = 0;    // round trips, warm-up included
    quint64 measured = 0; // round trips in the measured part
    quint64 failed = 0;   // of all round trips: no reply, or a reply that fails the check
    double seconds = 0.0;
    std::vector<peer::Role> roles;
    double perSecond() const { return seconds > 0 ? double(measured) / seconds : 0.0; }
};

// Payload byte i of round trip k: changes every round trip and along the frame.
std::uint8_t payloadByte(quint64 k, int i)
{
    return std::uint8_t(k * 131u + quint64(i) * 7u + (k >> 8));
}

// Counts a run's round trips: the warm-up, then the measured part, with every
// thread's counters read at its start and its end.
class Meter {
public:
    Meter(const Options &options, RunResult &result) : m_options(options), m_result(result) {}
    // Counts one round trip; true once the run is over.
    bool count(bool good)
    {
        m_result.failed += good ? 0 : 1;
        ++m_result.total;
        if (!m_measuring) {
            if (m_result.total == kWarmUp) {
                for (auto &role : m_result.roles)
                    role.sampleStart();
                m_since = Clock::now();
                m_measuring = true;
            }
            return false;
        }
        ++m_result.measured;
        const double seconds = std::chrono::duration<double>(Clock::now() - m_since).count();
        const bool done = m_options.count > 0 ? m_result.measured >= quint64(m_options.count)
                                              : seconds >= m_options.seconds;
        if (!done) return false;
        m_result.seconds = seconds;
        for (auto &role : m_result.roles)
            role.sampleEnd();
        return true;
    }

private:
    const Options &m_options;
    RunResult &m_result;
    bool m_measuring = false;
    Clock::time_point m_since;
};

// ---------------------------------------------------------------- responders

// A slave as plain as a slave gets: one thread waiting in poll() on the pty
// and a stop event, reading what is there, answering each whole request in
// one write, as libmodbus's server does (select, read, one write). What the
// requests look like is up to the subclass.
class PlainResponder {
public:
    explicit PlainResponder(int fd) : m_fd(fd), m_stop(::eventfd(0, EFD_CLOEXEC)) {}
    virtual ~PlainResponder()
    {
        stop();
        ::close(m_stop);
        ::close(m_fd);
    }
    void start()
    {
        m_thread = std::thread([this] { run(); });
        while (m_tid.load() == 0)
            std::this_thread::yield();
    }
    void stop()
    {
        if (!m_thread.joinable()) return;
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto rc = ::write(m_stop, &one, sizeof one);
        m_thread.join();
    }
    pid_t tid() const { return m_tid.load(); }

protected:
    // Takes received bytes; appends the bytes of every reply they complete.
    virtual void consume(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) = 0;

private:
    void run()
    {
        ::pthread_setname_np(::pthread_self(), "peer-responder");
        m_tid = ::gettid();
        std::array<std::uint8_t, 4096> buffer{};
        std::vector<std::uint8_t> out;
        out.reserve(2 * mb::kFrameArea);
        for (;;) {
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stop, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR) continue;
                return;
            }
            if (fds[1].revents) return;
            const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return; // the relay went away
            out.clear();
            consume(std::span(buffer.data(), std::size_t(n)), out);
            std::size_t done = 0;
            while (done < out.size()) {
                const ssize_t w = ::write(m_fd, out.data() + done, out.size() - done);
                if (w > 0)
                    done += std::size_t(w);
                else if (errno != EINTR && errno != EAGAIN)
                    return;
            }
        }
    }

    int m_fd;
    int m_stop;
    std::atomic<pid_t> m_tid{0};
    std::thread m_thread;
};

// Beside our master: answers each request to address 1 with the first 88 of
// its data bytes.
class FrameEchoResponder : public PlainResponder {
public:
    using PlainResponder::PlainResponder;
    ~FrameEchoResponder() override { stop(); }

protected:
    void consume(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) override
    {
        for (const std::uint8_t c : bytes) {
            if (m_receiver.feed(c) != mb::RxEvent::FrameAccepted) continue;
            const auto request = m_receiver.frame();
            const std::size_t data =
                std::min<std::size_t>(kReplyBytes, request.size() - mb::kHeaderSize - 2);
            std::copy_n(request.begin() + mb::kHeaderSize, data, m_frame.begin() + mb::kHeaderSize);
            const std::size_t length = mb::completeFrame(
                m_frame, mb::slaveAddressByte(kSlaveAddress), request[1], 0, data);
            m_receiver.resetAssembly();
            const std::size_t at = out.size();
            out.resize(at + 2 * length);
            mb::encodeLine(std::span(m_frame.data(), length), std::span(out).subspan(at));
        }
    }

private:
    mb::MBReceiver m_receiver{
        [](std::uint8_t b) { return (b & mb::kReplyFlag) == 0 && (b & 0x0F) == kSlaveAddress; }};
    std::array<std::uint8_t, mb::kFrameArea> m_frame{};
};

// In place of libmodbus's server when the slaves are to be the same on both
// sides (--plain-server): answers "write and read registers" (function 0x17)
// from address 1 with the first registers written, as libmodbus's server
// does when both start at register 0.
class RtuEchoResponder : public PlainResponder {
public:
    using PlainResponder::PlainResponder;
    ~RtuEchoResponder() override { stop(); }

protected:
    void consume(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t> &out) override
    {
        m_pending.insert(m_pending.end(), bytes.begin(), bytes.end());
        // address, function, read start and count, write start and count,
        // byte count, the registers written, CRC
        constexpr std::size_t kFixed = 11;
        while (m_pending.size() >= kFixed) {
            if (m_pending[0] != kSlaveAddress || m_pending[1] != 0x17) {
                m_pending.clear(); // not for us, or out of step: wait for the next request
                return;
            }
            const std::size_t length = kFixed + m_pending[10] + 2;
            if (m_pending.size() < length) return;
            const std::span request(m_pending.data(), length);
            const std::uint16_t crc = mb::crc16(request.first(length - 2));
            const std::size_t registers = std::size_t(m_pending[4]) << 8 | m_pending[5];
            if (request[length - 2] == (crc & 0xFF) && request[length - 1] == crc >> 8 &&
                2 * registers <= m_pending[10]) {
                const std::size_t at = out.size();
                out.push_back(kSlaveAddress);
                out.push_back(0x17);
                out.push_back(std::uint8_t(2 * registers));
                out.insert(out.end(), request.begin() + kFixed,
                           request.begin() + kFixed + 2 * registers);
                const std::uint16_t replyCrc = mb::crc16(std::span(out).subspan(at));
                out.push_back(std::uint8_t(replyCrc & 0xFF));
                out.push_back(std::uint8_t(replyCrc >> 8));
            }
            m_pending.erase(m_pending.begin(), m_pending.begin() + std::ptrdiff_t(length));
        }
    }

private:
    std::vector<std::uint8_t> m_pending;
};

// ---------------------------------------------------------------- A: our engine

RunResult runOurs(const Options &options)
{
    RunResult result;
    peer::SocatRelay relay;
    if (!relay.start(KX_SOCAT_BINARY, result.error)) return result;
    const int responderFd = peer::openRaw(relay.second());
    if (responderFd < 0) {
        result.error = "cannot open " + relay.second() + ": " + std::strerror(errno);
        return result;
    }
    FrameEchoResponder responder(responderFd);
    responder.start();

    const auto threadsBefore = peer::ownThreads();
    MBEngine engine;
    engine.setMBRefreshListOnStartup(false);
    engine.setBaudRate(kBaud);
    engine.setMBMasterAddressToSlave(kSlaveAddress);
    engine.setMBMasterCommandToSlave(1);
    engine.setMBMasterTimeOut(1000);
    engine.setMBMasterMaxTryNumber(1); // libmodbus does not retry either
    if (!engine.MBOpenPort(QString::fromStdString(relay.first()))) {
        result.error = engine.MBPortErrorText().toStdString();
        return result;
    }
    // The reader thread is the one the opening added.
    pid_t reader = 0;
    for (const pid_t tid : peer::ownThreads())
        if (!std::binary_search(threadsBefore.begin(), threadsBefore.end(), tid)) reader = tid;
    const pid_t self = ::getpid();
    result.roles = {{"ui", self, self, {}, {}},
                    {"reader", self, reader, {}, {}},
                    {"responder", self, responder.tid(), {}, {}},
                    {"socat", relay.pid(), relay.pid(), {}, {}}};
    result.started = true;

    QEventLoop loop;
    Meter meter(options, result);
    quint64 k = 0; // the round trip under way
    const auto send = [&] {
        engine.MBClearTXData();
        for (int i = 0; i < kRequestBytes; ++i)
            engine.MBAppendByte(payloadByte(k, i));
        engine.MBSendFrame();
    };
    QObject::connect(&engine, &MBEngine::OnMBMasterEndOfEvent, &loop, [&](TMBStatus status) {
        bool good = status == TMBStatus::stOK && engine.MBReceivedDataNumber() == kReplyBytes;
        for (int i = 0; i < kReplyBytes; ++i)
            good = engine.MBReadByte() == payloadByte(k, i) && good;
        ++k;
        if (meter.count(good))
            loop.quit();
        else
            send();
    });
    QTimer::singleShot(0, &engine, send);
    loop.exec();
    engine.MBClosePort();
    responder.stop();
    return result;
}

// A sketch of a changed receive path (peer_prototypes.h) in the engine's place.
RunResult runPrototype(const Options &options)
{
    RunResult result;
    peer::SocatRelay relay;
    if (!relay.start(KX_SOCAT_BINARY, result.error)) return result;
    const int responderFd = peer::openRaw(relay.second());
    const int masterFd = peer::openRaw(relay.first());
    if (responderFd < 0 || masterFd < 0) {
        result.error = std::string("cannot open the relay's ptys: ") + std::strerror(errno);
        return result;
    }
    ::fcntl(masterFd, F_SETFL, ::fcntl(masterFd, F_GETFL) | O_NONBLOCK);
    FrameEchoResponder responder(responderFd);
    responder.start();

    QEventLoop loop;
    Meter meter(options, result);
    quint64 k = 0;
    std::unique_ptr<peer::PrototypeMaster> master;
    const auto send = [&] {
        master->tx().MBClearTXData();
        for (int i = 0; i < kRequestBytes; ++i)
            master->tx().MBAppendByte(payloadByte(k, i));
        master->send();
    };
    master = std::make_unique<peer::PrototypeMaster>(
        *options.prototype, masterFd,
        [&](bool replied) {
            bool good = replied && master->rx().MBReceivedDataNumber() == kReplyBytes;
            for (int i = 0; i < kReplyBytes; ++i)
                good = master->rx().MBReadByte() == payloadByte(k, i) && good;
            ++k;
            if (meter.count(good))
                loop.quit();
            else
                send();
        },
        1019);
    const pid_t self = ::getpid();
    result.roles = {{"ui", self, self, {}, {}}};
    if (master->readerTid()) result.roles.push_back({"reader", self, master->readerTid(), {}, {}});
    result.roles.push_back({"responder", self, responder.tid(), {}, {}});
    result.roles.push_back({"socat", relay.pid(), relay.pid(), {}, {}});
    result.started = true;
    QTimer::singleShot(0, &loop, send);
    loop.exec();
    master.reset();
    responder.stop();
    return result;
}

// ---------------------------------------------------------------- B: libmodbus

// libmodbus's RTU server in a thread of its own, as a user would run it:
// modbus_receive, modbus_reply, over and over.
class LibmodbusServer {
public:
    ~LibmodbusServer() { stop(); }
    bool start(const std::string &path, std::string &error)
    {
        m_thread = std::thread([this, path] { run(path); });
        while (m_state.load() == 0)
            std::this_thread::yield();
        if (m_state.load() > 0) return true;
        error = "libmodbus server: " + m_error;
        stop();
        return false;
    }
    void stop()
    {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    pid_t tid() const { return m_tid.load(); }

private:
    void run(const std::string &path)
    {
        ::pthread_setname_np(::pthread_self(), "peer-server");
        m_tid = ::gettid();
        modbus_t *ctx = modbus_new_rtu(path.c_str(), kBaud, 'N', 8, 1);
        modbus_mapping_t *map = modbus_mapping_new(0, 0, 128, 0);
        if (!ctx || !map || modbus_set_slave(ctx, kSlaveAddress) != 0 || modbus_connect(ctx) != 0) {
            m_error = modbus_strerror(errno);
            m_state = -1;
        } else {
            // Lets the server see the stop flag once the client has finished;
            // while round trips go on it never waits that long.
            modbus_set_indication_timeout(ctx, 0, 200000);
            m_state = 1;
            std::array<std::uint8_t, MODBUS_RTU_MAX_ADU_LENGTH> query{};
            while (!m_stop) {
                const int rc = modbus_receive(ctx, query.data());
                if (rc > 0) modbus_reply(ctx, query.data(), rc, map);
            }
            modbus_close(ctx);
        }
        if (map) modbus_mapping_free(map);
        if (ctx) modbus_free(ctx);
    }

    std::thread m_thread;
    std::atomic<int> m_state{0}; // 1 listening, -1 failed
    std::atomic<bool> m_stop{false};
    std::atomic<pid_t> m_tid{0};
    std::string m_error;
};

RunResult runLibmodbus(const Options &options)
{
    RunResult result;
    peer::SocatRelay relay;
    if (!relay.start(KX_SOCAT_BINARY, result.error)) return result;

    LibmodbusServer server;
    std::unique_ptr<RtuEchoResponder> responder;
    pid_t slaveTid = 0;
    if (options.plainServer) {
        const int fd = peer::openRaw(relay.second());
        if (fd < 0) {
            result.error = "cannot open " + relay.second() + ": " + std::strerror(errno);
            return result;
        }
        responder = std::make_unique<RtuEchoResponder>(fd);
        responder->start();
        slaveTid = responder->tid();
    } else {
        if (!server.start(relay.second(), result.error)) return result;
        slaveTid = server.tid();
    }

    modbus_t *client = modbus_new_rtu(relay.first().c_str(), kBaud, 'N', 8, 1);
    if (!client || modbus_set_slave(client, kSlaveAddress) != 0 || modbus_connect(client) != 0) {
        result.error = std::string("libmodbus client: ") + modbus_strerror(errno);
        if (client) modbus_free(client);
        return result;
    }
    modbus_set_response_timeout(client, 1, 0);
    const pid_t self = ::getpid();
    result.roles = {{"client", self, ::gettid(), {}, {}},
                    {options.plainServer ? "responder" : "server", self, slaveTid, {}, {}},
                    {"socat", relay.pid(), relay.pid(), {}, {}}};
    result.started = true;

    std::array<std::uint16_t, kWriteRegisters> written{};
    std::array<std::uint16_t, kReadRegisters> read{};
    Meter meter(options, result);
    for (quint64 k = 0;; ++k) {
        // Registers travel high byte first: the same payload bytes as ours.
        for (int j = 0; j < kWriteRegisters; ++j)
            written[std::size_t(j)] =
                std::uint16_t(payloadByte(k, 2 * j) << 8 | payloadByte(k, 2 * j + 1));
        read.fill(0);
        const int rc = modbus_write_and_read_registers(client, 0, kWriteRegisters, written.data(),
                                                       0, kReadRegisters, read.data());
        if (meter.count(rc == kReadRegisters &&
                        std::equal(read.begin(), read.end(), written.begin())))
            break;
    }
    modbus_close(client);
    modbus_free(client);
    return result;
}

// ---------------------------------------------------------------- report

struct RoleFigures {
    std::vector<double> wakeUps, preempted, cpuUs;
};

void collect(const RunResult &run, std::vector<std::pair<std::string, RoleFigures>> &figures)
{
    if (!run.started || run.measured == 0) return;
    const double n = double(run.measured);
    for (const auto &role : run.roles) {
        auto it = std::find_if(figures.begin(), figures.end(),
                               [&](const auto &entry) { return entry.first == role.name; });
        if (it == figures.end()) it = figures.insert(figures.end(), {role.name, {}});
        it->second.wakeUps.push_back(double(role.end.wakeUps - role.start.wakeUps) / n);
        it->second.preempted.push_back(double(role.end.preempted - role.start.preempted) / n);
        it->second.cpuUs.push_back(double(role.end.cpuNs - role.start.cpuNs) / n / 1000.0);
    }
}

void printRun(const char *side, const RunResult &run, bool detail)
{
    if (!run.started) {
        std::printf("  %-9s did not run: %s\n", side, run.error.c_str());
        return;
    }
    std::printf("  %-9s %7.0f round trips/s (%llu measured in %.2f s, %llu failed)\n", side,
                run.perSecond(), static_cast<unsigned long long>(run.measured), run.seconds,
                static_cast<unsigned long long>(run.failed));
    if (!detail) return;
    const double n = double(std::max<quint64>(run.measured, 1));
    for (const auto &role : run.roles)
        std::printf("    %-9s tid %-7d wake-ups %.2f, preempted %.3f, CPU %.1f us per round trip"
                    " (%llu round trips in all)\n",
                    role.name.c_str(), int(role.tid),
                    double(role.end.wakeUps - role.start.wakeUps) / n,
                    double(role.end.preempted - role.start.preempted) / n,
                    double(role.end.cpuNs - role.start.cpuNs) / n / 1000.0,
                    static_cast<unsigned long long>(run.total));
}

void printFigures(const char *side, const std::vector<std::pair<std::string, RoleFigures>> &figures)
{
    double wakeUps = 0, cpu = 0;
    for (const auto &[name, f] : figures) {
        const double w = peer::median(f.wakeUps), c = peer::median(f.cpuUs);
        wakeUps += w;
        cpu += c;
        std::printf("  %-10s %-10s %8.2f %10.3f %9.1f\n", side, name.c_str(), w,
                    peer::median(f.preempted), c);
    }
    if (!figures.empty())
        std::printf("  %-10s %-10s %8.2f %10s %9.1f\n", side, "all", wakeUps, "", cpu);
}

std::string loadAverage()
{
    std::string text;
    if (FILE *f = std::fopen("/proc/loadavg", "r")) {
        char line[128] = {};
        if (std::fgets(line, sizeof line, f)) text = line;
        std::fclose(f);
    }
    const auto end = text.find(' ', text.find(' ', text.find(' ') + 1) + 1);
    return text.substr(0, end);
}

int usage()
{
    std::fprintf(stderr, "usage: bench_peer [--pairs N] [--seconds S | --count N]"
                         " [--only ours|libmodbus] [--plain-server]\n"
                         "                  [--prototype notifier|async] [--detail]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pairs" && hasValue)
            options.pairs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--seconds" && hasValue)
            options.seconds = std::max(0.1, std::atof(argv[++i]));
        else if (arg == "--count" && hasValue)
            options.count = std::max(1L, std::atol(argv[++i]));
        else if (arg == "--only" && hasValue) {
            const std::string side = argv[++i];
            if (side != "ours" && side != "libmodbus") return usage();
            options.ours = side == "ours";
            options.libmodbus = side == "libmodbus";
        } else if (arg == "--detail")
            options.detail = true;
        else if (arg == "--plain-server")
            options.plainServer = true;
        else if (arg == "--prototype" && hasValue) {
            const std::string kind = argv[++i];
            if (kind == "notifier")
                options.prototype = peer::PrototypeMaster::Kind::Notifier;
            else if (kind == "async")
                options.prototype = peer::PrototypeMaster::Kind::Async;
            else
                return usage();
        } else
            return usage();
    }

    char length[64];
    if (options.count > 0)
        std::snprintf(length, sizeof length, "%ld round trips", options.count);
    else
        std::snprintf(length, sizeof length, "%.1f s", options.seconds);
    std::printf("peer benchmark: %d request / %d reply payload bytes, a fresh socat pty relay per "
                "run, %s per run after %d warm-up round trips\n",
                kRequestBytes, kReplyBytes, length, kWarmUp);
    std::printf("load average at start: %s\n", loadAverage().c_str());

    std::vector<double> ratios;
    std::vector<std::pair<std::string, RoleFigures>> oursFigures, libFigures;
    bool allGood = true;
    for (int pair = 1; pair <= options.pairs; ++pair) {
        std::printf("pair %d\n", pair);
        RunResult ours, lib;
        if (options.ours) {
            ours = options.prototype ? runPrototype(options) : runOurs(options);
            printRun(options.oursName(), ours, options.detail);
            collect(ours, oursFigures);
            allGood = allGood && ours.started && ours.failed == 0;
        }
        if (options.libmodbus) {
            lib = runLibmodbus(options);
            printRun("libmodbus", lib, options.detail);
            collect(lib, libFigures);
            allGood = allGood && lib.started && lib.failed == 0;
        }
        if (ours.started && lib.started && lib.perSecond() > 0) {
            ratios.push_back(ours.perSecond() / lib.perSecond());
            std::printf("  ratio %s/libmodbus %.3f\n", options.oursName(), ratios.back());
        }
    }
    if (!ratios.empty()) {
        const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
        std::printf("ratio %s/libmodbus, median of %zu pairs: %.3f (lowest %.3f, highest %.3f);"
                    " target >= 1.2\n",
                    options.oursName(), ratios.size(), peer::median(ratios), *low, *high);
    }
    std::printf("per round trip, median of the runs (wake-ups: the thread blocked and was woken;"
                " preempted: pushed off a core):\n");
    std::printf("  %-10s %-10s %8s %10s %9s\n", "side", "thread", "wake-ups", "preempted",
                "CPU us");
    printFigures(options.oursName(), oursFigures);
    printFigures("libmodbus", libFigures);
    std::printf("load average at end: %s\n", loadAverage().c_str());
    if (!allGood) std::printf("FAILED: a run did not start, or a reply was missing or wrong\n");
    return allGood ? 0 : 1;
}
