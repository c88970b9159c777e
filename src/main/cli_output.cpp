// Checked writes to standard output and the one-line errors.
#include "cli_output.h"

#include "core/file_write.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <unistd.h>

#include <utility>

namespace cli {

namespace {

std::atomic<int> g_outputError = 0;
thread_local OutputCapture *t_capture = nullptr;

} // namespace

OutputCapture::OutputCapture(std::function<bool(const QString &)> onText)
    : onText(std::move(onText)), m_previous(std::exchange(t_capture, this))
{
}

OutputCapture::~OutputCapture()
{
    t_capture = m_previous;
}

bool print(const QString &text)
{
    if (t_capture) {
        if (t_capture->onText) return t_capture->onText(text);
        t_capture->out += text;
        return true;
    }
    if (g_outputError != 0) return false;
    const QByteArray bytes = text.toLocal8Bit();
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::write(STDOUT_FILENO, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written > 0) {
            done += written;
        } else if (written < 0 && errno == EAGAIN) {
            // Standard output was handed to us non-blocking: wait until it
            // takes more.
            pollfd out{STDOUT_FILENO, POLLOUT, 0};
            ::poll(&out, 1, -1);
        } else if (written == 0 || errno != EINTR) {
            g_outputError = written == 0 ? EIO : errno;
            return false;
        }
    }
    return true;
}

int outputError()
{
    return g_outputError;
}

bool outputReaderGone()
{
    return g_outputError == EPIPE;
}

QString outputErrorText()
{
    return QStringLiteral("cannot write to standard output: %1")
        .arg(systemErrorText(g_outputError));
}

void passReading(const DecodedReading &reading)
{
    if (t_capture && t_capture->onReading) t_capture->onReading(reading);
}

void printError(const QString &message)
{
    if (t_capture) {
        t_capture->errors << message;
        return;
    }
    std::fprintf(stderr, "kx4720r-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace cli
