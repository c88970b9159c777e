// The bench's calibration records for the window, on a thread of their own:
// opening them may import the calibration log, and a shared server that does
// not answer takes seconds to give up, so nothing of it runs on the window's
// thread. Work is queued in order; each answer comes back on the window's
// thread, and none after the window is gone.
#pragma once

#include "records/bench_records.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>

class RecordsAccess : public QObject {
    Q_OBJECT
public:
    // The place as the initialisation file (and the environment) name it.
    static std::optional<RecordsPlace> placeFromIni(const QString &iniPath, QString &error);

    explicit RecordsAccess(RecordsPlace place, QObject *parent = nullptr);
    ~RecordsAccess() override;

    // Runs `work` with the open records (null with the reason when they
    // cannot be opened) on the records' thread, then `done` with its result
    // on this object's thread.
    template <typename Result>
    void run(std::function<Result(BenchRecords *, const QString &error)> work,
             std::function<void(Result)> done)
    {
        // The destructor waits for the thread: `this` outlives the work, and
        // an answer still queued when it goes is dropped with it.
        QMetaObject::invokeMethod(m_worker, [this, work, done] {
            QString error;
            BenchRecords *records = open(error);
            Result result = work(records, error);
            QMetaObject::invokeMethod(
                this, [done, result = std::move(result)] { done(result); }, Qt::QueuedConnection);
        });
    }

private:
    // On the records' thread.
    BenchRecords *open(QString &error);

    RecordsPlace m_place;
    QThread m_thread;
    QObject *m_worker = nullptr;             // lives on m_thread
    std::unique_ptr<BenchRecords> m_records; // used on m_thread only
};
