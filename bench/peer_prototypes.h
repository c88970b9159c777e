// Sketches of two changes to our master's receive path, for the peer
// benchmark only (bench_peer --prototype): the engine's own codec and data
// buffers, one write per frame and a Qt answer timer as in the engine, with
// the port watched
//   notifier: by the user-interface thread itself (a QSocketNotifier on the
//             port), without a reader thread: one thread wakes per reply
//             piece, as with libmodbus's client;
//   async:    by a reader thread that reads until a frame's end and hands the
//             characters over without waiting until they have been dealt
//             with (it goes straight back to poll()).
// Neither carries the engine's events, counters or status texts; they show
// what each change could gain before it is made in the engine. Header-only:
// each benchmark is one program.
#pragma once

#include "link/mbbuffers.h"
#include "link/mbframe.h"
#include "link/mbreceiver.h"

#include <QByteArray>
#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

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
    enum class Kind { Notifier, Async };
    using EndHandler = std::function<void(bool replied)>;

    // Takes a non-blocking descriptor of the port; closes it at the end.
    PrototypeMaster(Kind kind, int fd, EndHandler onEnd, int answerMs)
        : m_fd(fd), m_onEnd(std::move(onEnd)), m_answerMs(answerMs)
    {
        m_answer.setSingleShot(true);
        QObject::connect(&m_answer, &QTimer::timeout, this, [this] { m_onEnd(false); });
        if (kind == Kind::Notifier) {
            m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
                std::array<char, 4096> buffer;
                const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
                if (n > 0) receive(buffer.data(), std::size_t(n));
            });
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
            m_onEnd(true); // sends the next request: what follows is stale
            return;
        }
    }

    void readFrames()
    {
        ::pthread_setname_np(::pthread_self(), "peer-reader");
        m_readerTid = ::gettid();
        QByteArray gathered;
        std::array<char, 4096> buffer;
        for (;;) {
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
    int m_answerMs;
    QTimer m_answer;
    mb::MBTXDataBuffer m_tx;
    mb::MBRXDataBuffer m_rx;
    mb::MBReceiver m_receiver{
        [](std::uint8_t b) { return (b & mb::kReplyFlag) != 0 && (b & 0x0F) == 1; }};
    std::array<std::uint8_t, 2 * mb::kFrameArea> m_line{};
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::thread m_reader;
    int m_stop = -1;
    std::atomic<pid_t> m_readerTid{0};
};

} // namespace peer
