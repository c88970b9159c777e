// Following the ports: the list refreshed on the watcher's changes, and the
// wait for a lost port to come back.
#include "link/portfollower.h"

#include "link/mbengine.h"
#include "ports/portwatcher.h"
#include "serial/linklog.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QSocketNotifier>

#include <algorithm>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The folder and name of a path, and of the path its link leads to.
void watchPath(PortWatcher::Watched &watched, const QString &path)
{
    const QFileInfo info(path);
    watched.names[info.absolutePath()].insert(info.fileName());
    if (info.isSymLink()) {
        const QFileInfo target(info.symLinkTarget());
        watched.names[target.absolutePath()].insert(target.fileName());
    }
}

} // namespace

PortFollower::PortFollower(MBEngine &engine) : QObject(&engine), m_engine(engine)
{
    m_limitTimer.setSingleShot(true);
    connect(&m_limitTimer, &QTimer::timeout, this, [this] {
        qCDebug(lcLink).noquote() << "port wait: gave up on" << m_wait->device.path;
        const QPointer<PortFollower> self(this);
        if (!endWait() || !self) return;
        // The missing entry leaves the list.
        if (!m_engine.m_portOpen && !m_engine.portReady()) m_engine.refreshPortList(true);
    });
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &PortFollower::lookForReturn);
    m_checkTimer.setSingleShot(true);
    m_checkTimer.setInterval(0);
    connect(&m_checkTimer, &QTimer::timeout, this, &PortFollower::lookForReturn);
}

// A program holding a port, watched through a descriptor of its process
// that becomes readable when it ends.
struct PortFollower::WatchedHolder {
    pid_t pid;
    UniqueFd fd;
    std::unique_ptr<QSocketNotifier> notifier;
};

PortFollower::~PortFollower() = default;

// ---------------------------------------------------------------- the list

void PortFollower::portsProbed(const QStringList &candidates)
{
    m_candidates = candidates;
    if (!m_watcher) {
        m_watcher = new PortWatcher(this);
        connect(m_watcher, &PortWatcher::changed, this, &PortFollower::onPortsChanged);
    }
    watchCandidates();
    watchHolders();
    // Not from inside the probe: it may belong to an opening in progress.
    if (m_wait && !m_reopening) m_checkTimer.start();
}

void PortFollower::watchHolders()
{
    std::vector<std::unique_ptr<WatchedHolder>> kept;
    for (const PortHolding &holding : m_engine.m_portsHeldElsewhere) {
        const pid_t pid = holding.holder.pid;
        const auto known = std::find_if(m_holders.begin(), m_holders.end(),
                                        [pid](const auto &h) { return h && h->pid == pid; });
        if (known != m_holders.end()) {
            kept.push_back(std::move(*known));
            continue;
        }
        UniqueFd fd(int(::syscall(SYS_pidfd_open, pid, 0)));
        if (!fd.valid()) continue; // gone already, or a system without pidfd
        auto holder = std::make_unique<WatchedHolder>();
        holder->pid = pid;
        holder->notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
        holder->fd = std::move(fd);
        connect(holder->notifier.get(), &QSocketNotifier::activated, this, [this, pid] {
            qCDebug(lcLink) << "the program holding a port ended (process" << pid << ")";
            for (auto &h : m_holders)
                if (h && h->pid == pid) h->notifier->setEnabled(false);
            if (m_watcher) m_watcher->noteChange();
        });
        kept.push_back(std::move(holder));
    }
    m_holders = std::move(kept);
}

void PortFollower::watchCandidates()
{
    if (!m_watcher) return;
    PortWatcher::Watched watched;
    // Serial devices come and go in /dev, whatever the candidates are now.
    watched.serialNames.insert(QStringLiteral("/dev"));
    // The stable names follow their devices a moment later.
    if (QFileInfo(m_engine.m_catalog.byIdRoot()).isDir())
        watched.anyName.insert(m_engine.m_catalog.byIdRoot());
    for (const QString &candidate : m_candidates)
        watchPath(watched, candidate);
    if (m_wait) watchPath(watched, m_wait->device.path);
    m_watcher->watch(watched);
}

void PortFollower::onPortsChanged()
{
    // Nothing is probed while a port is open: opening other devices could
    // disturb them, and the list cannot be used meanwhile anyway.
    if (m_engine.m_portOpen || m_engine.portReady()) {
        m_missedChanges = true;
        return;
    }
    m_engine.refreshPortList(true);
}

void PortFollower::portChosen(const QString &port)
{
    m_chosen = m_engine.m_catalog.details(port);
}

QString PortFollower::preferredPort(const QStringList &available, const QString &fallback) const
{
    if (m_chosen.path.isEmpty()) return fallback;
    for (const QString &port : available)
        if (port.compare(m_chosen.path, Qt::CaseInsensitive) == 0) return port;
    for (const QString &port : available)
        if (m_chosen.sameDevice(m_engine.m_catalog.details(port))) return port;
    return fallback;
}

bool PortFollower::portOpened()
{
    m_opened = m_engine.m_catalog.details(m_engine.m_port);
    m_chosen = m_opened;
    m_missedChanges = false;
    return m_wait ? endWait() : true;
}

void PortFollower::portClosed()
{
    if (!m_missedChanges || !m_watcher) return;
    m_missedChanges = false;
    m_watcher->noteChange();
}

// ---------------------------------------------------------------- the wait

bool PortFollower::takeOver()
{
    if (!m_wait || m_reopening) return true;
    return endWait();
}

bool PortFollower::portLost(const SerialStatus &reason)
{
    // Only a device that went away comes back; any other failure (a reply
    // the host could not use, a setting the line refused) would only recur.
    if (reason.kind != PortFailure::Lost && reason.kind != PortFailure::NotFound) return true;
    PortDetails device =
        m_opened.path == m_engine.m_port ? m_opened : m_engine.m_catalog.details(m_engine.m_port);
    if (!device.canComeBack()) return true;
    m_wait =
        Wait{std::move(device), QDateTime::currentDateTime().addMSecs(m_waitLimit.count()), {}, {}};
    m_limitTimer.start(int(m_waitLimit.count()));
    watchCandidates();
    qCDebug(lcLink).noquote() << "port wait: waiting for" << m_wait->device.path;
    return announce();
}

QString PortFollower::whereBack() const
{
    QStringList places = m_candidates;
    // Opened by name (not from the list), it may be no candidate at all.
    if (!places.contains(m_wait->device.path)) places.prepend(m_wait->device.path);
    QString back;
    for (const QString &place : places) {
        if (!QFileInfo::exists(place)) continue;
        if (!m_wait->device.cameBackAs(m_engine.m_catalog.details(place))) continue;
        // The name it had is the one the user knows.
        if (place == m_wait->device.path) return place;
        if (back.isEmpty()) back = place;
    }
    return back;
}

void PortFollower::lookForReturn()
{
    if (!m_wait || m_engine.m_portOpen || m_engine.portReady()) return;
    const QString back = whereBack();
    if (back.isEmpty()) {
        m_retryTimer.stop();
        if (m_wait->backAt.isEmpty()) return;
        m_wait->backAt.clear();
        m_wait->refusal.clear();
        (void)announce();
        return;
    }
    m_wait->backAt = back;
    const auto sinceLast = Clock::now() - m_lastAttempt;
    if (sinceLast < kReopenInterval) {
        m_retryTimer.start(
            int(std::chrono::duration_cast<std::chrono::milliseconds>(kReopenInterval - sinceLast)
                    .count()) +
            1);
        return;
    }
    m_lastAttempt = Clock::now();
    // Tried the way a probe tries it, so a port another program holds
    // without a lock is left alone.
    const DeviceHolders holders;
    const SerialStatus status =
        m_engine.m_tryOpen ? m_engine.m_tryOpen(back) : probePort(back, holders);
    if (status.ok()) {
        reopen(back);
        return;
    }
    const QString group =
        status.kind == PortFailure::NoPermission ? portOwningGroup(back) : QString();
    const std::optional<PortHolder> holder =
        status.kind == PortFailure::Busy ? holders.holderOf(back) : std::nullopt;
    const QString refusal = portRefusalText(status, group, holder);
    m_retryTimer.start(int(std::chrono::milliseconds(kReopenInterval).count()));
    if (refusal == m_wait->refusal) return;
    m_wait->refusal = refusal;
    (void)announce();
}

void PortFollower::reopen(const QString &port)
{
    qCDebug(lcLink).noquote() << "port wait:" << m_wait->device.path << "is back as" << port;
    // The list shows where it is back, as if the user had chosen it there.
    m_engine.m_lastUsedPort = port;
    if (const qsizetype index = m_engine.m_portList.indexOf(port); index >= 0) {
        m_engine.m_selectedPort = int(index);
        emit m_engine.portListChanged(m_engine.m_portList, int(index));
    }
    const QPointer<PortFollower> self(this);
    m_reopening = true;
    const bool opened = m_engine.MBOpenPort(port);
    if (!self) return;
    m_reopening = false;
    if (opened || !m_wait) return;
    // It refused after all; the engine shows why and has probed again.
    const QString text = m_engine.MBPortErrorText();
    m_wait->refusal = text.mid(text.indexOf(u'\r') + 1);
    m_retryTimer.start(int(std::chrono::milliseconds(kReopenInterval).count()));
    (void)announce();
}

bool PortFollower::endWait()
{
    if (!m_wait) return true;
    m_wait.reset();
    m_limitTimer.stop();
    m_retryTimer.stop();
    m_checkTimer.stop();
    watchCandidates();
    return announce();
}

bool PortFollower::announce()
{
    const QPointer<MBEngine> engine(&m_engine);
    emit m_engine.portWaitChanged();
    return !engine.isNull();
}

QString PortFollower::waitText() const
{
    if (!m_wait) return {};
    const PortDetails &device = m_wait->device;
    const QString name = device.usb ? device.description() : device.path;
    const QString until = QLocale().toString(m_wait->until.time(), QLocale::ShortFormat);
    const QString ending = QStringLiteral("Open/Close or another port ends the wait.");
    if (m_wait->backAt.isEmpty() || m_wait->refusal.isEmpty())
        return QStringLiteral("Waiting until %1 for %2 to come back; it then opens again by "
                              "itself. %3")
            .arg(until, name, ending);
    return QStringLiteral("%1 is back as %2 but cannot be opened: %3. Trying again every second "
                          "until %4. %5")
        .arg(name, m_wait->backAt, m_wait->refusal, until, ending);
}
