// The quit watchdog's thread: it sleeps in poll() until a signal's byte comes,
// then gives the event loop the grace period to end the program.
#include "app/quit_watchdog.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The byte the destructor writes: no signal has this number.
constexpr char kStandDown = 0;

} // namespace

QuitWatchdog::QuitWatchdog(std::chrono::milliseconds grace, LastWords lastWords)
    : m_grace(grace), m_lastWords(std::move(lastWords))
{
    if (::pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_thread = std::thread([this] { watch(); });
}

QuitWatchdog::~QuitWatchdog()
{
    if (m_thread.joinable()) {
        [[maybe_unused]] const auto rc = ::write(m_pipe[1], &kStandDown, 1);
        m_thread.join();
    }
    for (const int fd : m_pipe)
        if (fd >= 0) ::close(fd);
}

void QuitWatchdog::watch()
{
    using Clock = std::chrono::steady_clock;
    std::chrono::time_point<Clock> deadline{};
    int first = 0;
    for (;;) {
        int timeout = -1;
        if (first != 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) end(first);
            timeout = int(left.count());
        }
        pollfd wait{m_pipe[0], POLLIN, 0};
        const int ready = ::poll(&wait, 1, timeout);
        if (ready < 0 && errno != EINTR) return; // nothing to watch with
        if (ready <= 0) continue;
        char bytes[16];
        const ssize_t n = ::read(m_pipe[0], bytes, sizeof bytes);
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[i] == kStandDown) return;
            // The second signal: whoever sent it does not want to wait.
            if (first != 0) end(first);
            first = bytes[i];
            deadline = Clock::now() + m_grace;
        }
    }
}

void QuitWatchdog::end(int signal)
{
    if (m_lastWords) m_lastWords();
    // As a shell reports a program that a signal ended.
    std::_Exit(128 + signal);
}
