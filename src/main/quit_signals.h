// SIGINT and SIGTERM for the program entries: a terminal's Ctrl-C or a
// SIGTERM ends the program the way its own quitting does (port closed,
// settings saved, links removed), instead of killing it mid-work. A program
// may also take SIGUSR1 for a request of its own.
#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>

namespace quitsignals {

inline int g_pipe[2] = {-1, -1};
// Where SIGINT and SIGTERM are also told, by their number, to a watchdog that
// ends the program should the event loop never get to it; -1 for none.
inline int g_watchdogFd = -1;

inline void onSignal(int number)
{
    const char byte = number == SIGUSR1 ? 'u' : 'q';
    // Only async-signal-safe work here; the event loop does the rest.
    [[maybe_unused]] const auto rc = ::write(g_pipe[1], &byte, 1);
    if (number != SIGUSR1 && g_watchdogFd >= 0) {
        const char signal = char(number);
        [[maybe_unused]] const auto told = ::write(g_watchdogFd, &signal, 1);
    }
}

// Calls onQuit on the thread of `context` after each SIGINT or SIGTERM, and
// onUser1 (when given) after each SIGUSR1. False (errno set) when the system
// refused.
inline bool install(QObject &context, std::function<void()> onQuit,
                    std::function<void()> onUser1 = {})
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [onQuit, onUser1] {
        char bytes[16];
        ssize_t n;
        bool quit = false, user1 = false;
        while ((n = ::read(g_pipe[0], bytes, sizeof bytes)) > 0)
            for (ssize_t i = 0; i < n; ++i)
                (bytes[i] == 'u' ? user1 : quit) = true;
        if (user1 && onUser1) onUser1();
        if (quit) onQuit();
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0 &&
           (!onUser1 || ::sigaction(SIGUSR1, &action, nullptr) == 0);
}

} // namespace quitsignals
