// The records' own thread.
#include "app/records_access.h"

std::optional<RecordsPlace> RecordsAccess::placeFromIni(const QString &iniPath, QString &error)
{
    const RecordsChoice choice = chooseRecordsPlace(
        profileValue(iniPath, QLatin1String(RecordsSection), QLatin1String(RecordsDatabaseKey)),
        profileValue(iniPath, QLatin1String(RecordsSection), QLatin1String(BenchKey)));
    error = choice.error;
    return choice.place;
}

RecordsAccess::RecordsAccess(RecordsPlace place, QObject *parent)
    : QObject(parent), m_place(std::move(place))
{
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    m_thread.setObjectName(QStringLiteral("records"));
    m_thread.start();
}

RecordsAccess::~RecordsAccess()
{
    // What is queued runs to its end (a record being stored is kept), then
    // the database is closed on its own thread.
    QMetaObject::invokeMethod(m_worker, [this] { m_records.reset(); });
    m_thread.quit();
    m_thread.wait();
    delete m_worker; // its thread has ended
}

BenchRecords *RecordsAccess::open(QString &error)
{
    if (!m_records) {
        auto records = std::make_unique<BenchRecords>(m_place);
        if (!records->open()) {
            error = records->error();
            return nullptr;
        }
        m_records = std::move(records);
    }
    return m_records.get();
}
