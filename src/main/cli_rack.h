// kx4720r-cli over many instruments at once, as a production line's rack of
// USB-serial adapters: every port is served at the same time, each on a
// thread of its own with its own session, running the very command one port
// runs. Only the main thread writes the output: one whole line per
// instrument as it ends, then a summary naming the ports that failed; the
// exit code is the worst of all instruments.
#pragma once

#include "cli_options.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class ReadingsCsvWriter;
struct DecodedReading;

namespace cli {

class UnitWorker;

// The ports of a --ports file: one a line, `#` starts a comment, blank lines
// are skipped. nullopt, with the file and the line in `error`, for a file
// that cannot be read, a line that is no port, a port listed twice, or none.
std::optional<QStringList> readPortList(const QString &path, QString &error);

// The worse of two exit codes, in the order 0 < 1 < 4 < 3 < 2: a refusal is
// better than no answer, no answer better than a port error, and a usage
// error (nothing could be done as asked) worst.
int worseExitCode(int a, int b);

class Rack : public QObject {
    Q_OBJECT
public:
    explicit Rack(const Options &options, QObject *parent = nullptr);
    ~Rack() override;

    int run();
    // Ctrl-C: every exchange ends, and the summary tells what was done so far.
    void cancel();

private:
    struct Unit;
    // Runs the command on every port at once and tells each as it ends.
    void serve(const QStringList &ports, const Options &options, bool probing);
    std::optional<QStringList> findInstruments();
    void ended(std::size_t index, bool probing);
    void tell(const Unit &unit, const QString &word, const QString &what);
    // A unit's monitoring lines, on its own thread: kept for the next flush.
    bool monitorText(const QString &port, const QString &text);
    void flushMonitorText();
    void record(const QString &port, const DecodedReading &reading);
    bool out(const QString &text);
    int summary();

    Options m_options;
    std::vector<std::unique_ptr<UnitWorker>> m_workers;
    std::vector<Unit> m_units;
    std::unique_ptr<ReadingsCsvWriter> m_csv; // monitor --csv: one file, a port column
    // Monitoring lines of all units, written out together a few times a
    // second: no wake-up of this thread and no write per reply.
    QMutex m_monitorMutex;
    QString m_monitorText;
    QTimer m_monitorFlush;
    QStringList m_answering;                  // --all: the ports that answered the probe
    std::size_t m_running = 0;
    int m_portWidth = 0;
    int m_worst = 0;
    QStringList m_failed;
    QString m_stoppedBy;
    bool m_interrupted = false;
    QEventLoop *m_loop = nullptr;
};

} // namespace cli
