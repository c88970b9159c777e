// Helpers of the peer benchmark (bench_peer): a socat relay between two
// pseudo-terminals, the raw opening of one of them, and the per-thread
// counters the kernel keeps (wake-ups and CPU time), read from /proc so a
// run can say what one round trip costs each thread without a tracer.
// Header-only: each benchmark is one program.
#pragma once

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace peer {

// socat relaying between two pseudo-terminals it creates, as a user would set
// up a pair of virtual serial ports; a fresh one serves each run, since socat
// ends when one side closes.
class SocatRelay {
public:
    SocatRelay() = default;
    SocatRelay(const SocatRelay &) = delete;
    SocatRelay &operator=(const SocatRelay &) = delete;
    ~SocatRelay() { stop(); }

    bool start(const char *socat, std::string &error)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        const char *argv[] = {socat, "-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0", nullptr};
        const int rc = ::posix_spawn(&m_pid, socat, &actions, nullptr,
                                     const_cast<char *const *>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_log = fds[0];
        if (rc != 0) {
            m_pid = -1;
            error = std::string("cannot start ") + socat + ": " + std::strerror(rc);
            return false;
        }
        // socat names each pty ("N PTY is /dev/pts/7") and then says it relays.
        std::string text;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (text.find("starting data transfer loop") == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd pfd{m_log, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, int(left.count())) <= 0) break;
            char buffer[512];
            const ssize_t n = ::read(m_log, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, std::size_t(n));
        }
        for (std::size_t at = text.find("PTY is "); at != std::string::npos;
             at = text.find("PTY is ", at + 1)) {
            const std::size_t from = at + 7;
            m_paths.push_back(text.substr(from, text.find_first_of("\r\n", from) - from));
        }
        if (m_paths.size() != 2 || text.find("starting data transfer loop") == std::string::npos) {
            error = "socat did not set up two ptys: " + text;
            stop();
            return false;
        }
        return true;
    }

    void stop()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        if (m_log >= 0) ::close(m_log);
        m_log = -1;
    }

    pid_t pid() const { return m_pid; }
    const std::string &first() const { return m_paths.at(0); }
    const std::string &second() const { return m_paths.at(1); }

private:
    pid_t m_pid = -1;
    int m_log = -1;
    std::vector<std::string> m_paths;
};

// Opens a pty for a responder: raw, 8N1, blocking (the responder polls).
inline int openRaw(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::cfsetspeed(&t, B115200);
    ::tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// The threads of this process now.
inline std::vector<pid_t> ownThreads()
{
    std::vector<pid_t> ids;
    if (DIR *dir = ::opendir("/proc/self/task")) {
        while (const dirent *entry = ::readdir(dir))
            if (entry->d_name[0] != '.') ids.push_back(pid_t(std::atoi(entry->d_name)));
        ::closedir(dir);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

// What the kernel counted for one thread: how often it blocked and was woken
// (voluntary switches), how often it was pushed off a core (involuntary),
// and its time on a core.
struct TaskCounters {
    std::uint64_t wakeUps = 0;
    std::uint64_t preempted = 0;
    std::uint64_t cpuNs = 0;
};

inline TaskCounters taskCounters(pid_t pid, pid_t tid)
{
    TaskCounters c;
    const std::string base = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(tid);
    if (FILE *f = std::fopen((base + "/status").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned long long value = 0;
            if (std::sscanf(line, "voluntary_ctxt_switches: %llu", &value) == 1)
                c.wakeUps = value;
            else if (std::sscanf(line, "nonvoluntary_ctxt_switches: %llu", &value) == 1)
                c.preempted = value;
        }
        std::fclose(f);
    }
    if (FILE *f = std::fopen((base + "/schedstat").c_str(), "r")) {
        unsigned long long ns = 0;
        if (std::fscanf(f, "%llu", &ns) == 1) c.cpuNs = ns;
        std::fclose(f);
    }
    return c;
}

// One thread that takes part in a run, with its counters at the start and
// the end of the measured part.
struct Role {
    std::string name;
    pid_t pid = 0;
    pid_t tid = 0;
    TaskCounters start;
    TaskCounters end;
    void sampleStart() { start = taskCounters(pid, tid); }
    void sampleEnd() { end = taskCounters(pid, tid); }
};

inline double median(std::vector<double> values)
{
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace peer
