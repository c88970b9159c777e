// Soak run of the whole program: the real main window (offscreen) cycles
// against the simulated instrument on a pty while the simulator drops
// requests, corrupts replies, cuts every reply into random pieces and answers
// some with a slave error. It proves, exchange by exchange, that every reply
// the window decoded is exactly the one the simulator sent for that exchange,
// that the cycle never stalls longer than the retry budget, and that memory
// stays flat.
//
// How a reply is tied to its exchange: the window stamps every request with
// the PC's date, which the harness supplies as a running number (one day per
// request built); the simulator records the request it received and tags its
// reply with a serial number in ADValueCH1. The harness therefore knows, for
// the request the window built for exchange n, which tag the simulator sent
// back, and compares it with what the window decoded (its variable
// ADValueCH1 and the Test page's Label_ADErtek2).
//
// The simulator runs on a thread of its own, as an instrument runs beside
// the PC: a busy moment of the window's thread does not hold its answers up.
//
//   bench_soak [exchanges] [--timeout ms] [--split-gap-us us] [--seed n] [--piece-ms n]
//   (default 100000 exchanges, reply allowance 50 ms, pieces back to back)
// --piece-ms cuts every reply into pieces of n ms of line time at 115200 baud
// (0: one character a piece) instead of random sizes, still back to back:
// pieces far faster than their line time, which a reader that predicts a
// frame's end from its line time must not sleep through.
// Exit status 0 only when every check held.
#include "app/form_main.h"
#include "frame/mbbuffers.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QLocale>
#include <QThread>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int exchanges = 100000;
    int timeoutMs = 50;
    int splitGapUs = 0;
    std::uint32_t seed = 1;
    std::optional<int> pieceMs;
};

std::optional<Options> parseOptions(const QStringList &arguments)
{
    Options options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        bool ok = true;
        auto number = [&](int &target) {
            if (++i >= arguments.size()) {
                ok = false;
                return;
            }
            target = arguments[i].toInt(&ok);
            ok = ok && target >= 0;
        };
        if (argument == QLatin1String("--timeout"))
            number(options.timeoutMs);
        else if (argument == QLatin1String("--split-gap-us"))
            number(options.splitGapUs);
        else if (argument == QLatin1String("--piece-ms")) {
            int ms = 0;
            number(ms);
            options.pieceMs = ms;
        } else if (argument == QLatin1String("--seed")) {
            int seed = 0;
            number(seed);
            options.seed = std::uint32_t(seed);
        } else {
            options.exchanges = argument.toInt(&ok);
            ok = ok && options.exchanges >= 1;
        }
        if (!ok) return std::nullopt;
    }
    return options;
}

// Resident memory of this process (window, link and simulator together).
long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// The request ids the date carries: days after the first date, modulo the span.
const QDate kFirstDate(2000, 1, 1);
constexpr int kIdSpan = 36500; // a hundred years of dates, all valid in the request

// Which request of the window a request id stands for at present.
struct ExchangeRecord {
    qint64 seq = -1;
};

struct Tally {
    qint64 exchanges = 0;
    qint64 ok = 0;
    qint64 slaveErrors = 0;
    qint64 timeOuts = 0;
    qint64 otherEnds = 0;
    qint64 wrongDecodes = 0;
    qint64 lateDecodes = 0; // of those: a clean reply the simulator sent late for an earlier exchange
    qint64 cycleBreaks = 0; // an end of exchange after which the window sent nothing
    std::chrono::microseconds longestGap{0};
    qint64 longestGapAt = 0;
};

void reportWrong(const Tally &tally, const char *what, qint64 seq, qint64 decoded, qint64 expected)
{
    if (tally.wrongDecodes <= 10)
        std::fprintf(stderr, "bench_soak: exchange %lld (request %lld): %s (decoded %lld, sent %lld)\n",
                     static_cast<long long>(tally.exchanges), static_cast<long long>(seq), what,
                     static_cast<long long>(decoded), static_cast<long long>(expected));
}

} // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::optional<Options> parsed = parseOptions(app.arguments());
    if (!parsed) {
        std::fprintf(stderr, "usage: bench_soak [exchanges] [--timeout ms] [--split-gap-us us] "
                             "[--seed n] [--piece-ms n]\n");
        return 2;
    }
    const Options options = *parsed;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    InstrumentSimulator::Settings settings;
    settings.faults.dropEvery = 100;     // 1 % of the requests
    settings.faults.corruptEvery = 101;  // about 1 % of the replies, never with an error
    settings.faults.errorEvery = 1000;   // 0.1 % of the replies
    settings.faults.errorCode = 200;     // above 128: the master reports a slave error
    settings.faults.split = !options.pieceMs;
    settings.faults.pieceMs = options.pieceMs;
    settings.faults.tagReplies = true;
    settings.seed = options.seed;
    settings.splitGap = std::chrono::microseconds(options.splitGapUs);
    QThread instrumentThread;
    instrumentThread.start();
    QObject instrumentHost;
    instrumentHost.moveToThread(&instrumentThread);
    std::unique_ptr<InstrumentSimulator> simulator;
    auto onInstrumentThread = [&](auto work) {
        QMetaObject::invokeMethod(&instrumentHost, work, Qt::BlockingQueuedConnection);
    };
    auto stopInstrument = [&] {
        onInstrumentThread([&] { simulator.reset(); });
        instrumentThread.quit();
        instrumentThread.wait();
    };
    bool started = false;
    QString portPath;
    onInstrumentThread([&] {
        simulator = std::make_unique<InstrumentSimulator>(settings);
        started = simulator->startOnNewPty();
        portPath = started ? simulator->portPath() : simulator->errorText();
    });
    if (!started) {
        std::fprintf(stderr, "bench_soak: %s\n", qPrintable(portPath));
        stopInstrument();
        return 1;
    }

    WindowSetup setup;
    TForm_Main window(setup.environment());
    TMB *mb1 = formaccess::mb1(window);
    QLabel *tagLabel = formaccess::control<QLabel>(window, "Label_ADErtek2");
    mb1->setMBMasterTimeOut(options.timeoutMs);
    const int tries = mb1->MBMasterMaxTryNumber();

    // Written on the instrument's thread, read on the window's.
    std::mutex recordsMutex;
    std::vector<ExchangeRecord> records(kIdSpan);
    // Every reply sent, by its tag: the window's request it answered and how it left.
    struct TagRecord {
        quint32 tag = 0;
        qint64 seq = -1; // the window's request it answered
        quint8 resultCode = 0;
        bool corruptCrc = false;
    };
    std::vector<TagRecord> tags(kIdSpan);
    qint64 built = 0; // requests the window has built
    window.CurrentLocalDate = [&] {
        const qint64 seq = ++built;
        ExchangeRecord fresh;
        fresh.seq = seq;
        {
            const std::lock_guard lock(recordsMutex);
            records[seq % kIdSpan] = fresh;
        }
        return kFirstDate.addDays(seq % kIdSpan);
    };
    auto recordOf = [&](const InstrumentRequest &request) -> ExchangeRecord & {
        const qint64 id = kFirstDate.daysTo(QDate(request.CalYear, request.CalMonth, request.CalDay));
        return records[std::clamp<qint64>(id, 0, kIdSpan - 1)];
    };
    // Every request the simulator answers is one the window built; its reply
    // is recorded under that request once its last character has left.
    onInstrumentThread([&] {
        InstrumentSimulator *instrument = simulator.get();
        QObject::connect(instrument, &InstrumentSimulator::replySent, instrument, [&, instrument] {
            const InstrumentSimulator::SentReply &sent = instrument->sentReplies().back();
            const auto &received = instrument->receivedRequests();
            const auto request =
                std::find_if(received.rbegin(), received.rend(),
                             [&](const auto &r) { return r.number == sent.requestNumber; });
            if (request == received.rend()) return;
            const std::lock_guard lock(recordsMutex);
            const ExchangeRecord &record = recordOf(request->request);
            if (sent.tag)
                tags[*sent.tag % kIdSpan] = {*sent.tag, record.seq, sent.resultCode,
                                             sent.corruptCrc};
        });
    });

    Tally tally;
    qint64 builtAtLastEnd = 0;
    QString shownTag; // Label_ADErtek2 after the last decoded reply
    const int window10k = std::min(10000, std::max(1, options.exchanges / 3));
    const int sampleEvery = std::max(1, window10k / 20);
    std::vector<long> firstRss;
    std::vector<long> lastRss;
    Clock::time_point lastEnd = Clock::now();
    const Clock::time_point runStart = lastEnd;

    bool finished = false;
    auto finish = [&] {
        // Closing ends the transaction in flight; that end is not one of the run's.
        finished = true;
        mb1->MBClosePort();
        app.quit();
    };

    QObject::connect(mb1, &TMB::OnMBMasterEndOfEvent, &app, [&](TMBStatus status) {
        if (finished) return;
        const Clock::time_point now = Clock::now();
        const auto gap = std::chrono::duration_cast<std::chrono::microseconds>(now - lastEnd);
        lastEnd = now;
        ++tally.exchanges;
        if (gap > tally.longestGap) {
            tally.longestGap = gap;
            tally.longestGapAt = tally.exchanges;
        }
        // The window's own handler ran first: it has built the next request
        // already, so the exchange that ended is the one before.
        if (built != builtAtLastEnd + 1) ++tally.cycleBreaks;
        builtAtLastEnd = built;
        const qint64 seq = built - 1;

        // The tag of the reply that ended the exchange, as it stands in the
        // RX data buffer (an error reply carries one too).
        mb::MBRXDataBuffer rx = mb1->engine().rxBuffer();
        rx.setMBMBRXDataBufferIndex(1);
        const qint64 received = status == TMBStatus::stOK || status == TMBStatus::stSlaveGlobalError
                                    ? qint64(replyTag(readReply(rx)))
                                    : 0;
        // The reply has left the simulator, but its record is written on the
        // instrument's thread just after the last write: wait for it a little.
        auto recorded = [&] {
            const std::lock_guard lock(recordsMutex);
            return tags[quint64(received) % kIdSpan];
        };
        TagRecord sentAs = recorded();
        for (auto deadline = Clock::now() + std::chrono::seconds(2);
             received > 0 && sentAs.tag != quint64(received) && Clock::now() < deadline;
             sentAs = recorded())
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        const bool sent = received > 0 && sentAs.tag == quint64(received);

        switch (status) {
        case TMBStatus::stOK: {
            ++tally.ok;
            const qint64 decoded = window.ADValueCH1;
            const QString label = tagLabel->text();
            const qint64 shown = QString(label).remove(u' ').toLongLong();
            shownTag = label;
            if (decoded != received || shown != decoded) {
                ++tally.wrongDecodes;
                reportWrong(tally, "shows another reading than the reply holds", seq, decoded,
                            received);
            } else if (!sent) {
                ++tally.wrongDecodes;
                reportWrong(tally, "decoded a reply the simulator never sent", seq, decoded, -1);
            } else if (sentAs.corruptCrc || sentAs.resultCode != 0) {
                ++tally.wrongDecodes;
                reportWrong(tally, "accepted a corrupted or error reply", seq, decoded, sentAs.seq);
            } else if (sentAs.seq != seq) {
                ++tally.wrongDecodes;
                // A slave that answers a request after the allowance has
                // answered its retry too: one of the two replies arrives after
                // the next request went out, and nothing in a reply tells
                // which request it answers.
                const bool late = sentAs.seq >= 0 && sentAs.seq < seq;
                if (late) ++tally.lateDecodes;
                reportWrong(tally,
                            late ? "decoded a late reply to an earlier exchange (request in last field)"
                                 : "decoded the reply to another request (request in last field)",
                            seq, decoded, sentAs.seq);
            }
            break;
        }
        case TMBStatus::stSlaveGlobalError:
            ++tally.slaveErrors;
            // An error reply is not decoded: the displays keep the last reply.
            if (!sent || sentAs.seq != seq || sentAs.resultCode <= instrument::HighestSuccessCode ||
                sentAs.corruptCrc || tagLabel->text() != shownTag) {
                ++tally.wrongDecodes;
                reportWrong(tally, "slave error without its error reply", seq, received, sentAs.seq);
            }
            break;
        case TMBStatus::stTimeOut:
            ++tally.timeOuts;
            break;
        default:
            ++tally.otherEnds;
            break;
        }

        if (tally.exchanges % sampleEvery == 0) {
            if (tally.exchanges <= window10k) firstRss.push_back(residentKiB());
            if (tally.exchanges > options.exchanges - window10k) lastRss.push_back(residentKiB());
        }
        if (tally.exchanges >= options.exchanges) finish();
    });

    // A cycle that stops altogether ends the run instead of hanging it.
    bool stalled = false;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &app, [&] {
        if (Clock::now() - lastEnd > std::chrono::seconds(10)) {
            stalled = true;
            finish();
        }
    });
    watchdog.start(1000);

    window.show();
    mb1->engine().setBaudRate(quint32(settings.baud));
    if (!mb1->engine().MBOpenPort(portPath)) {
        std::fprintf(stderr, "bench_soak: %s\n", qPrintable(mb1->engine().MBPortErrorText()));
        stopInstrument();
        return 1;
    }
    builtAtLastEnd = built; // the opening sent the first request
    app.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - runStart).count();
    quint64 requestCount = 0;
    quint64 replyCount = 0;
    onInstrumentThread([&] {
        requestCount = simulator->requestCount();
        replyCount = simulator->replyCount();
    });
    stopInstrument();

    const qint64 sendingMs = mb1->engine().MBCalculatedTimeOfSending();
    const qint64 budgetMs = tries * (sendingMs + options.timeoutMs);
    auto peak = [](const std::vector<long> &samples) {
        return samples.empty() ? 0L : *std::max_element(samples.begin(), samples.end());
    };
    auto low = [](const std::vector<long> &samples) {
        return samples.empty() ? 0L : *std::min_element(samples.begin(), samples.end());
    };
    const long growthKiB = peak(lastRss) - peak(firstRss);
    constexpr long kFlatKiB = 2048;

    const QString pieces =
        options.pieceMs ? QStringLiteral("pieces of %1 ms of line time").arg(*options.pieceMs)
                        : QStringLiteral("pieces of random sizes");
    std::printf("soak: %lld exchanges in %.1f s (%.0f/s), reply allowance %d ms, %d tries, "
                "%s %d us apart\n",
                static_cast<long long>(tally.exchanges), seconds, tally.exchanges / seconds,
                options.timeoutMs, tries, qPrintable(pieces), options.splitGapUs);
    std::printf("  simulator: %llu requests, %llu replies sent (every 100th request dropped, "
                "every 101st reply corrupted, every 1000th a slave error)\n",
                static_cast<unsigned long long>(requestCount),
                static_cast<unsigned long long>(replyCount));
    std::printf("  window: %lld decoded, %lld slave errors, %lld timed out after all tries, "
                "%lld other ends\n",
                static_cast<long long>(tally.ok), static_cast<long long>(tally.slaveErrors),
                static_cast<long long>(tally.timeOuts), static_cast<long long>(tally.otherEnds));
    std::printf("  wrong decodes: %lld (late replies among them: %lld); cycle breaks: %lld%s\n",
                static_cast<long long>(tally.wrongDecodes),
                static_cast<long long>(tally.lateDecodes),
                static_cast<long long>(tally.cycleBreaks), stalled ? "; STALLED" : "");
    std::printf("  longest gap between ends of exchange: %.1f ms (exchange %lld); retry budget "
                "%d x (%lld ms sending + %d ms) = %lld ms\n",
                tally.longestGap.count() / 1000.0, static_cast<long long>(tally.longestGapAt), tries,
                static_cast<long long>(sendingMs), options.timeoutMs,
                static_cast<long long>(budgetMs));
    std::printf("  resident memory, first %d exchanges: %ld ... %ld KiB; last %d: %ld ... %ld KiB "
                "(growth of the peak %ld KiB, allowed %ld)\n",
                window10k, low(firstRss), peak(firstRss), window10k, low(lastRss), peak(lastRss),
                growthKiB, kFlatKiB);

    const bool passed = !stalled && tally.exchanges >= options.exchanges &&
                        tally.wrongDecodes == 0 && tally.cycleBreaks == 0 &&
                        tally.otherEnds == 0 &&
                        (replyCount < 1000 || tally.slaveErrors > 0) &&
                        tally.longestGap <= std::chrono::milliseconds(budgetMs) &&
                        growthKiB <= kFlatKiB;
    std::printf("figures: soak_rate=%.0f soak_passed=%d\n", tally.exchanges / seconds,
                passed ? 1 : 0);
    std::printf("soak: %s\n", passed ? "PASSED" : "FAILED");
    return passed ? 0 : 1;
}
