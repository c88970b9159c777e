// Sketches of two changes to our master's receive path, for the peer
// benchmark only (bench_peer --prototype): the engine's own codec and data
// buffers, one write per frame and a Qt answer timer as in the engine, with
// the port watched
//   notifier: by the user-interface thread itself (a QSocketNotifier on the
//             port), without a reader thread: one thread wakes per reply
//             piece, as with libmodbus's client;
//   async:    by a reader thread that reads until a frame's end and hands the
//             characters over without waiting until they have been dealt
//             with (it goes straight back to poll());
//   gather:   as async, and once a reply has begun the reader sleeps through
//             the line time of the rest of a reply as long as the last one,
//             less two pieces, without watching the port, then reads on as
//             usual: a few wake-ups per reply instead of one per piece, and
//             the frame's end still seen as it comes. (Asking the line
//             discipline for the rest instead, with termios VMIN, does not
//             do: poll() honours VMIN, but the kernel still wakes the thread
//             at every piece to check.)
//   notifier-gather: as notifier, and once a reply has begun the port is
//             left unwatched through most of its line time, as gather does.
// None carries the engine's events, counters or status texts; they show
// what each change could gain before it is made in the engine. The engine's
// reader now does what async and gather do; they stay as lean references
// beside it (bench_peer, bench_paced_reader), notifier for a change not made. Header-only:
// each benchmark is one program.
#pragma once

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "frame/mbreceiver.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace peer {

class PrototypeMaster : public QObject {
public:
    enum class Kind { Notifier, NotifierGather, Async, Gather };
    using EndHandler = std::function<void(bool replied)>;

    // Takes a non-blocking descriptor of the port; closes it at the end.
    PrototypeMaster(Kind kind, int fd, EndHandler onEnd, int answerMs, int baud = 115200)
        : m_fd(fd), m_onEnd(std::move(onEnd)), m_answerMs(answerMs), m_baud(baud),
          m_gather(kind == Kind::Gather || kind == Kind::NotifierGather)
    {
        m_answer.setSingleShot(true);
        QObject::connect(&m_answer, &QTimer::timeout, this, [this] { m_onEnd(false); });
        if (kind == Kind::Notifier || kind == Kind::NotifierGather) {
            m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
                std::array<char, 4096> buffer;
                const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
                if (n <= 0) return;
                m_sinceFrame += n;
                receive(buffer.data(), std::size_t(n));
                if (m_gather && m_sinceFrame > 0 && m_lastReply > m_sinceFrame + kEarly) {
                    // As the gathering reader does, on this thread: stop
                    // watching the port through most of the reply's line time.
                    m_notifier->setEnabled(false);
                    m_resume.start(int((m_lastReply - m_sinceFrame - kEarly) * 10 * 1000 / m_baud));
                }
            });
            m_resume.setSingleShot(true);
            m_resume.setTimerType(Qt::PreciseTimer);
            QObject::connect(&m_resume, &QTimer::timeout, this,
                             [this] { m_notifier->setEnabled(true); });
        } else {
            m_stop = ::eventfd(0, EFD_CLOEXEC);
            m_reader = std::thread([this] { readFrames(); });
            while (m_readerTid.load() == 0)
                std::this_thread::yield();
        }
    }
    ~PrototypeMaster() override
    {
        if (m_reader.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto rc = ::write(m_stop, &one, sizeof one);
            m_reader.join();
            ::close(m_stop);
        }
        m_notifier.reset();
        ::close(m_fd);
    }

    mb::MBTXDataBuffer &tx() { return m_tx; }
    mb::MBRXDataBuffer &rx() { return m_rx; }
    pid_t readerTid() const { return m_readerTid.load(); }

    // Sends the TX data buffer as a request to slave 1 (command 1) and
    // starts the answer timer, as the engine's master send does.
    void send()
    {
        const auto frame = m_tx.buildFrame(mb::masterAddressByte(1, false), 0, 1);
        const std::size_t n = mb::encodeLine(frame, m_line);
        m_receiver.resetAssembly();
        std::size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(m_fd, m_line.data() + done, n - done);
            if (w > 0) {
                done += std::size_t(w);
            } else if (errno == EAGAIN) {
                pollfd pfd{m_fd, POLLOUT, 0};
                ::poll(&pfd, 1, 50);
            } else if (errno != EINTR) {
                break;
            }
        }
        m_answer.start(m_answerMs);
    }

private:
    void receive(const char *data, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i) {
            if (m_receiver.feed(std::uint8_t(data[i])) != mb::RxEvent::FrameAccepted) continue;
            m_answer.stop();
            m_rx.loadFrame(m_receiver.frame());
            m_receiver.resetAssembly();
            m_lastReply = m_sinceFrame - qsizetype(n - i - 1);
            m_sinceFrame = 0;
            m_onEnd(true); // sends the next request: what follows is stale
            return;
        }
    }

    void readFrames()
    {
        ::pthread_setname_np(::pthread_self(), "peer-reader");
        m_readerTid = ::gettid();
        QByteArray gathered;
        qsizetype lastReply = 0; // characters of the last whole reply
        std::array<char, 4096> buffer;
        for (;;) {
            if (m_gather && !gathered.isEmpty() && lastReply > gathered.size() + kEarly) {
                // Most of the reply is still on its way: sleep through its line
                // time without watching the port, then take it as usual.
                const qsizetype missing = lastReply - gathered.size() - kEarly;
                pollfd stop{m_stop, POLLIN, 0};
                if (::poll(&stop, 1, int(missing * 10 * 1000 / m_baud)) > 0) return;
            }
            pollfd fds[2] = {{m_fd, POLLIN, 0}, {m_stop, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents) return;
            const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
            if (n <= 0) continue;
            gathered.append(buffer.data(), n);
            bool ended = false;
            for (ssize_t i = 0; i < n && !ended; ++i)
                ended = mb::endsFrame(std::uint8_t(buffer[std::size_t(i)]));
            if (!ended) continue;
            lastReply = gathered.size();
            QMetaObject::invokeMethod(
                this,
                [this, chunk = std::exchange(gathered, {})] {
                    receive(chunk.constData(), std::size_t(chunk.size()));
                },
                Qt::QueuedConnection);
        }
    }

    int m_fd;
    EndHandler m_onEnd;
    // Characters of a reply (about two pieces) left to the port's watch.
    static constexpr qsizetype kEarly = 24;
    int m_answerMs;
    int m_baud;
    bool m_gather;
    QTimer m_answer;
    mb::MBTXDataBuffer m_tx;
    mb::MBRXDataBuffer m_rx;
    mb::MBReceiver m_receiver{
        [](std::uint8_t b) { return (b & mb::kReplyFlag) != 0 && (b & 0x0F) == 1; }};
    std::array<std::uint8_t, 2 * mb::kFrameArea> m_line{};
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_resume;            // notifier-gather: watch the port again
    qsizetype m_sinceFrame = 0; // notifier: characters read since the last frame's end
    qsizetype m_lastReply = 0;  // notifier: characters of the last whole reply
    std::thread m_reader;
    int m_stop = -1;
    std::atomic<pid_t> m_readerTid{0};
};

} // namespace peer
