// The calibration records as the window reaches them: the bench's records
// (its own SQLite file, or the shared PostgreSQL server with the bench's
// spool) on a thread of their own. Opening the shared records may wait up
// to the connection's timeout for a server that is away, and Qt SQL's
// connections belong to the thread that made them: the records are opened,
// used and closed on that thread only, and the window's thread never waits
// for them. Work is done in the order it was asked for; its result comes
// back to the window's thread.
#pragma once

#include "records/bench_records.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>

#include <functional>
#include <memory>

class RecordsThreadState;

class WindowRecords : public QObject {
    Q_OBJECT
public:
    // The records the choice names (from the window's initialisation file
    // and the environment), opened at once on their thread: the calibration
    // log is imported on the program's first start, before any new record.
    explicit WindowRecords(RecordsChoice choice, QObject *parent = nullptr);
    // Finishes what was asked (a record being stored is stored), then closes.
    ~WindowRecords() override;

    // The records named, for messages: the shared ones' connection string,
    // or the bench's own file.
    const QString &where() const { return m_where; }

    // Runs `job` on the records' thread with the bench's records, opened
    // (null when they cannot be, `why` says why), then `done` with its result
    // on the window's thread, unless `context` is gone by then.
    template <typename Result>
    void run(QObject *context, std::function<Result(BenchRecords *, const QString &)> job,
             std::function<void(const Result &)> done)
    {
        QPointer<QObject> guard(context);
        post([job = std::move(job), done = std::move(done),
              guard](BenchRecords *records, const QString &why) -> std::function<void()> {
            Result result = job(records, why);
            return [result = std::move(result), done, guard] {
                if (guard) done(result);
            };
        });
    }

private:
    using Task = std::function<std::function<void()>(BenchRecords *, const QString &)>;
    void post(Task task);

    QString m_where;
    QThread m_thread;
    std::unique_ptr<RecordsThreadState> m_state; // used on m_thread only
    std::unique_ptr<QObject> m_worker;           // lives on m_thread
    QObject m_home;                              // takes the results on the window's thread
};
