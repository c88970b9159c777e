// The last resort for ending the program on SIGTERM or SIGINT. A signal is
// first handed to the event loop, which closes the window as its close button
// does (port closed, settings saved). An event loop that is stuck (a call
// blocking the window's thread) never gets there; the watchdog, a thread of
// its own, then runs its last words (saving what can be saved from another
// thread) and ends the process: after the grace period, or at once on a
// second signal.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

class QuitWatchdog {
public:
    // Runs on the watchdog's thread, while the window's thread may be stuck
    // anywhere: it must touch only what is safe from another thread.
    using LastWords = std::function<void()>;

    QuitWatchdog(std::chrono::milliseconds grace, LastWords lastWords);
    // Stands down: the program is ending by itself.
    ~QuitWatchdog();
    QuitWatchdog(const QuitWatchdog &) = delete;
    QuitWatchdog &operator=(const QuitWatchdog &) = delete;

    bool isWatching() const { return m_thread.joinable(); }
    // Where a signal handler writes one byte, the signal's number, for each
    // signal (write() is async-signal-safe); -1 when the watchdog could not
    // start.
    int signalFd() const { return m_pipe[1]; }

private:
    void watch();
    [[noreturn]] void end(int signal);

    std::chrono::milliseconds m_grace;
    LastWords m_lastWords;
    int m_pipe[2] = {-1, -1};
    std::thread m_thread;
};
