// PortFollower: the part of the link engine that follows the hardware for a
// user at a panel. While no port is open, the port list is probed again
// whenever a serial device appears or goes (the watcher's coalesced events),
// with the same probe and ordering as Refresh and the selection kept on the
// device the user chose. When the open port is lost (a pulled adapter, a hung
// up line) rather than closed, it waits up to ten minutes for the same device
// to come back, possibly under another ttyUSB number, and opens it again by
// itself; the engine then raises OnMBPortOpenedOrClosed as after Open, so the
// host's exchange goes on. A device that is back but refuses (busy, no
// permission) is tried again no faster than once a second, and the reason is
// part of the wait's text. Any Open, Close or choice of a port ends the wait.
//
// The engine owns it (as a child object) and tells it what happens; it works
// on the engine's own state.
#pragma once

#include "ports/portinfo.h"
#include "ports/portprobe.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class MBEngine;
class PortWatcher;

class PortFollower : public QObject {
    Q_OBJECT
public:
    explicit PortFollower(MBEngine &engine);
    ~PortFollower() override;

    // ---- What the engine tells it. The calls that may raise the engine's
    // events return false when the engine is gone afterwards.
    // A probe ran over these candidates (Refresh, start-up, after a failure, or its own).
    void portsProbed(const QStringList &candidates);
    // The user chose this port (or the host named it as the last used one).
    void portChosen(const QString &port);
    // The port opened; a wait ends.
    [[nodiscard]] bool portOpened();
    // The user closed the port: changes missed while it was open are caught up.
    void portClosed();
    // Open, Close or a choice of port by the user or the host: a wait ends.
    [[nodiscard]] bool takeOver();
    // The open port was lost for this reason; a wait begins where it can.
    [[nodiscard]] bool portLost(const SerialStatus &reason);

    // ---- What the engine asks
    // Which available port to preselect: the chosen device's, under its
    // name or another one, else fallback.
    QString preferredPort(const QStringList &available, const QString &fallback) const;
    bool isReopening() const { return m_reopening; }
    bool isWaiting() const { return m_wait.has_value(); }
    // The port waited for, by the name the user knows (empty when none).
    QString waitedPort() const { return m_wait ? m_wait->device.path : QString(); }
    QString waitText() const;
    void setWaitLimit(std::chrono::milliseconds limit) { m_waitLimit = limit; }
    const PortWatcher *watcher() const { return m_watcher; }

private:
    struct Wait {
        PortDetails device; // what was lost
        QDateTime until;
        QString backAt;  // where it is back, while it refuses to open
        QString refusal; // why it refuses
    };

    void onPortsChanged();
    void lookForReturn();
    QString whereBack() const;
    void reopen(const QString &port);
    [[nodiscard]] bool endWait();
    [[nodiscard]] bool announce();
    void watchCandidates();
    // The programs the last probe found holding ports: when one ends, the
    // list is probed again (it would otherwise name it until Refresh).
    void watchHolders();

    MBEngine &m_engine;
    PortWatcher *m_watcher = nullptr; // child; made when the list is first filled
    QStringList m_candidates;
    PortDetails m_chosen;
    PortDetails m_opened;
    bool m_missedChanges = false;
    bool m_reopening = false;
    std::optional<Wait> m_wait;
    // Across waits too: a port that opens and fails at once is not reopened
    // in a loop.
    std::chrono::steady_clock::time_point m_lastAttempt{};
    std::chrono::milliseconds m_waitLimit{std::chrono::minutes(10)};
    QTimer m_limitTimer;
    QTimer m_retryTimer;
    QTimer m_checkTimer; // a look for the lost device after the probe that ran just now
    struct WatchedHolder;
    std::vector<std::unique_ptr<WatchedHolder>> m_holders;

public:
    static constexpr std::chrono::seconds kReopenInterval{1};
};
