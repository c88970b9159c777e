// Port folders watched with inotify, read through a socket notifier.
#include "ports/portwatcher.h"

#include "ports/portprobe.h"
#include "serial/linklog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB |
                                  IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

} // namespace

PortWatcher::PortWatcher(QObject *parent)
    : QObject(parent), m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, &PortWatcher::changed);
    if (!m_fd.valid()) {
        qCDebug(lcLink).noquote() << "port list: no folder watch:"
                                  << QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_notifier = new QSocketNotifier(m_fd.get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PortWatcher::readEvents);
}

PortWatcher::~PortWatcher() = default;

void PortWatcher::watch(const Watched &what)
{
    m_what = what;
    if (!m_fd.valid()) return;
    QSet<QString> folders(what.serialNames.begin(), what.serialNames.end());
    folders.unite(what.anyName);
    for (auto it = what.names.cbegin(); it != what.names.cend(); ++it)
        folders.insert(it.key());

    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (folders.contains(it.value())) {
            ++it;
            continue;
        }
        ::inotify_rm_watch(m_fd.get(), it.key());
        it = m_folders.erase(it);
    }
    for (const QString &folder : folders) {
        if (std::find(m_folders.cbegin(), m_folders.cend(), folder) != m_folders.cend()) continue;
        const int watch =
            ::inotify_add_watch(m_fd.get(), QFile::encodeName(folder).constData(), kEvents);
        if (watch >= 0) m_folders.insert(watch, folder);
    }
}

QStringList PortWatcher::watchedFolders() const
{
    QStringList folders = m_folders.values();
    folders.sort();
    return folders;
}

void PortWatcher::noteChange()
{
    if (!m_settle.isActive()) m_burst.start();
    const qint64 left = qint64(kLongestWait.count()) - m_burst.elapsed();
    m_settle.start(int(std::clamp<qint64>(left, 0, kSettle.count())));
}

bool PortWatcher::matters(int watch, const QString &name) const
{
    const QString folder = m_folders.value(watch);
    if (folder.isEmpty()) return false;
    // The folder itself went or moved: what was in it has gone with it.
    if (name.isEmpty()) return true;
    if (m_what.anyName.contains(folder)) return true;
    if (m_what.serialNames.contains(folder) && isSerialDeviceName(name)) return true;
    return m_what.names.value(folder).contains(name);
}

void PortWatcher::readEvents()
{
    alignas(inotify_event) char buffer[4096];
    bool relevant = false;
    for (;;) {
        const ssize_t n = ::read(m_fd.get(), buffer, sizeof buffer);
        if (n <= 0) break; // EAGAIN: all read
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            at += ssize_t(sizeof(inotify_event)) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                relevant = true; // events were lost: look again
                continue;
            }
            const QString name =
                event->len ? QFile::decodeName(event->name) : QString(); // NUL-padded
            if (matters(event->wd, name)) relevant = true;
            // The kernel dropped the watch (folder gone); a later watch()
            // takes the folder up again once it exists.
            if (event->mask & IN_IGNORED) m_folders.remove(event->wd);
        }
    }
    if (relevant) noteChange();
}
