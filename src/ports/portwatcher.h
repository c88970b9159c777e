// Watching the folders where serial ports appear and go. inotify on a folder
// names each entry that was created, removed, renamed or had its owner or
// mode changed, so everything else that happens in /dev is ignored, and the
// permission fix udev applies just after the kernel creates a node (root-only
// at first, then the dialout group) counts as a change of its own. The events
// of a burst (a USB adapter brings a node, its mode change and its by-id link
// at once) end in one changed() signal. Between events nothing runs: the
// descriptor waits in the event loop.
#pragma once

#include "serial/serialdevice_posix.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>

#include <chrono>

class QSocketNotifier;

class PortWatcher : public QObject {
    Q_OBJECT
public:
    // Which entries matter, per folder.
    struct Watched {
        QHash<QString, QSet<QString>> names; // folder: the entry names that matter in it
        QSet<QString> serialNames;           // folders where every serial device name matters
        QSet<QString> anyName;               // folders where every entry matters

        bool operator==(const Watched &) const = default;
    };

    explicit PortWatcher(QObject *parent = nullptr);
    ~PortWatcher() override;

    // False when the system refused a watch descriptor (too many in use):
    // the list then changes on Refresh only.
    bool isValid() const { return m_fd.valid(); }
    // Watches these folders from now on; folders that do not exist are
    // skipped (and taken up by a later call once they do).
    void watch(const Watched &what);
    QStringList watchedFolders() const;

    // Counts as a change, as if an event had come (coalesced like one).
    void noteChange();

    // A burst is over once no event has come for kSettle, and never later
    // than kLongestWait after its first event.
    static constexpr std::chrono::milliseconds kSettle{200};
    static constexpr std::chrono::milliseconds kLongestWait{1000};

signals:
    void changed();

private:
    void readEvents();
    bool matters(int watch, const QString &name) const;

    UniqueFd m_fd;
    QSocketNotifier *m_notifier = nullptr;
    QHash<int, QString> m_folders; // watch descriptor: folder
    Watched m_what;
    QTimer m_settle;
    QElapsedTimer m_burst;
};
