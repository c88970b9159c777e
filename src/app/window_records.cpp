// The records' thread and the order of its work.
#include "app/window_records.h"

#include <QDebug>

// What the records' thread keeps between jobs.
class RecordsThreadState {
public:
    explicit RecordsThreadState(RecordsChoice choice) : m_choice(std::move(choice)) {}

    // Opened at the first job, and again after a failure to open: a disk
    // that was full may have room now.
    BenchRecords *records()
    {
        if (m_records) return m_records.get();
        if (!m_choice.place) {
            m_why = m_choice.error;
            return nullptr;
        }
        auto records = std::make_unique<BenchRecords>(*m_choice.place);
        if (!records->open()) {
            m_why = records->error();
            return nullptr;
        }
        for (const QString &note : records->notes())
            qWarning().noquote() << "calibration records:" << note;
        m_records = std::move(records);
        return m_records.get();
    }
    const QString &why() const { return m_why; }
    void close() { m_records.reset(); }

private:
    RecordsChoice m_choice;
    std::unique_ptr<BenchRecords> m_records;
    QString m_why;
};

WindowRecords::WindowRecords(RecordsChoice choice, QObject *parent)
    : QObject(parent), m_where(!choice.place          ? QString()
                               : choice.place->shared ? choice.place->shared->text
                                                      : choice.place->localDatabasePath()),
      m_state(std::make_unique<RecordsThreadState>(std::move(choice))),
      m_worker(std::make_unique<QObject>())
{
    m_thread.setObjectName(QStringLiteral("calibration records"));
    m_worker->moveToThread(&m_thread);
    m_thread.start();
    post([](BenchRecords *, const QString &) { return std::function<void()>(); });
}

WindowRecords::~WindowRecords()
{
    // Queued behind every job asked for: those are done first.
    QMetaObject::invokeMethod(
        m_worker.get(),
        [state = m_state.get()] {
            state->close();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    m_thread.wait();
}

void WindowRecords::post(Task task)
{
    QMetaObject::invokeMethod(
        m_worker.get(),
        [this, task = std::move(task)] {
            BenchRecords *records = m_state->records();
            std::function<void()> finish = task(records, records ? QString() : m_state->why());
            if (finish) QMetaObject::invokeMethod(&m_home, std::move(finish), Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
