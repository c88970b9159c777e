// Opening the records databases, and running statements on them.
#include "records/sql_connection.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>

#include <atomic>

namespace {

QString newConnectionName()
{
    static std::atomic<int> next{0};
    return QStringLiteral("kx4720r-records-%1").arg(next++);
}

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.driverText().trimmed();
    if (text.isEmpty()) text = error.text().trimmed();
    // The client library's messages run over several lines.
    return text.simplified();
}

// Qt SQL's database drivers come in Debian packages of their own.
bool driverMissing(const char *driver, const char *package, QString &error)
{
    if (QSqlDatabase::isDriverAvailable(QLatin1String(driver))) return false;
    error = QStringLiteral("Qt SQL's %1 driver is missing (install the Debian package %2)")
                .arg(QLatin1String(driver), QLatin1String(package));
    return true;
}

// Qt's PostgreSQL driver warns of every kept statement it cannot free on a
// connection that is gone; the server freed them with the connection.
class LostStatementsQuiet {
public:
    LostStatementsQuiet() { s_previous = qInstallMessageHandler(filter); }
    ~LostStatementsQuiet() { qInstallMessageHandler(s_previous); }

private:
    static void filter(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement")))
            return;
        s_previous(type, context, message);
    }
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace

SqlConnection::SqlConnection(SqlDialect dialect, QString connectionName, QString name)
    : m_dialect(dialect), m_connectionName(std::move(connectionName)), m_name(std::move(name))
{
}

SqlConnection::~SqlConnection()
{
    dropStatements();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

void SqlConnection::dropStatements()
{
    std::optional<LostStatementsQuiet> quiet;
    if (!QSqlDatabase::database(m_connectionName, false).isOpen()) quiet.emplace();
    m_prepared.clear();
}

bool SqlConnection::isOpen() const
{
    // Qt's PostgreSQL driver closes a connection the server broke off.
    if (QSqlDatabase::database(m_connectionName, false).isOpen()) return true;
    m_error = QStringLiteral("the connection to the records database %1 was lost").arg(m_name);
    return false;
}

std::unique_ptr<SqlConnection> SqlConnection::openSqlite(const QString &path, QString &error)
{
    if (driverMissing("QSQLITE", "libqt6sql6-sqlite", error)) return nullptr;
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        error = QStringLiteral("cannot create the folder %1").arg(folder);
        return nullptr;
    }
    std::unique_ptr<SqlConnection> connection(
        new SqlConnection(SqlDialect::SQLite, newConnectionName(), path));
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection->m_connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        error = QStringLiteral("cannot open %1: %2").arg(path, errorText(db.lastError()));
        return nullptr;
    }
    // WAL lets readers go on while a record is written; FULL syncs every
    // commit, so a record said to be stored survives a power cut.
    // Turning a new file to WAL needs it to itself: a second bench opening
    // the same file at that moment is told "locked" at once, without the
    // busy timeout, so it tries again for as long as that timeout.
    std::optional<Rows> mode;
    for (QDeadlineTimer patience(10000);;) {
        mode = connection->select(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (mode || !connection->m_error.contains(u"locked") || patience.hasExpired()) break;
        QThread::msleep(20);
    }
    if (mode) connection->m_error.clear();
    if (!mode || mode->empty() || mode->front().value(0).toString() != u"wal" ||
        !connection->execute(QStringLiteral("PRAGMA synchronous=FULL")) ||
        !connection->execute(QStringLiteral("PRAGMA foreign_keys=ON"))) {
        error = QStringLiteral("cannot use %1: %2")
                    .arg(path, connection->m_error.isEmpty()
                                   ? QStringLiteral("it cannot be kept in WAL mode")
                                   : connection->m_error);
        return nullptr;
    }
    return connection;
}

std::unique_ptr<SqlConnection> SqlConnection::openPostgres(const PostgresAddress &address,
                                                           QString &error)
{
    if (driverMissing("QPSQL", "libqt6sql6-psql", error)) return nullptr;
    std::unique_ptr<SqlConnection> connection(
        new SqlConnection(SqlDialect::PostgreSQL, newConnectionName(), address.text));
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection->m_connectionName);
    db.setHostName(address.host);
    if (address.port > 0) db.setPort(address.port);
    db.setUserName(address.user);
    db.setDatabaseName(address.database);
    db.setConnectOptions(address.options);
    if (!db.open()) {
        error = QStringLiteral("cannot reach the records database %1: %2")
                    .arg(address.text, errorText(db.lastError()));
        return nullptr;
    }
    // Times are written in UTC; reading them back must not depend on the
    // server's zone. The server's notices ("already exists, skipping") are
    // no concern of the bench's.
    if (!connection->execute(QStringLiteral("SET TIME ZONE 'UTC'")) ||
        !connection->execute(QStringLiteral("SET client_min_messages TO warning"))) {
        error = connection->m_error;
        return nullptr;
    }
    return connection;
}

bool SqlConnection::fail(const QString &what, const QString &reason)
{
    m_error = QStringLiteral("%1 (%2): %3").arg(what, m_name, reason);
    return false;
}

QSqlQuery *SqlConnection::run(const QString &sql, const QVariantList &values)
{
    if (!isOpen()) return nullptr;
    auto found = m_prepared.find(sql);
    if (found == m_prepared.end()) {
        auto query = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connectionName, false));
        query->setForwardOnly(true);
        if (!query->prepare(sql)) {
            fail(QStringLiteral("the records database refused a statement"),
                 errorText(query->lastError()));
            return nullptr;
        }
        found = m_prepared.emplace(sql, std::move(query)).first;
    }
    QSqlQuery &query = *found->second;
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values[i]);
    if (!query.exec()) {
        fail(QStringLiteral("the records database refused a statement"),
             errorText(query.lastError()));
        query.finish();
        return nullptr;
    }
    return &query;
}

std::optional<SqlConnection::Rows> SqlConnection::select(const QString &sql,
                                                         const QVariantList &values)
{
    QSqlQuery *query = run(sql, values);
    if (!query) return std::nullopt;
    Rows rows;
    const int columns = query->record().count();
    while (query->next()) {
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row << query->value(i);
        rows.push_back(std::move(row));
    }
    // A statement left open would hold SQLite's read snapshot.
    query->finish();
    return rows;
}

bool SqlConnection::change(const QString &sql, const QVariantList &values)
{
    QSqlQuery *query = run(sql, values);
    if (query) query->finish();
    return query != nullptr;
}

bool SqlConnection::execute(const QString &sql)
{
    if (!isOpen()) return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (query.exec(sql)) return true;
    return fail(QStringLiteral("the records database refused \"%1\"").arg(sql.section(u' ', 0, 2)),
                errorText(query.lastError()));
}

bool SqlConnection::begin()
{
    return execute(m_dialect == SqlDialect::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                   : QStringLiteral("BEGIN"));
}

bool SqlConnection::commit()
{
    return execute(QStringLiteral("COMMIT"));
}

void SqlConnection::rollback()
{
    const QString error = m_error; // the failure that made us roll back counts
    execute(QStringLiteral("ROLLBACK"));
    m_error = error;
}

bool SqlConnection::answers()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) return false;
    if (m_dialect == SqlDialect::SQLite) return true;
    QSqlQuery query(db);
    if (query.exec(QStringLiteral("SELECT 1")) && query.next()) return true;
    db.close();
    dropStatements();
    return false;
}

QVariant SqlConnection::timeValue(const QDateTime &time)
{
    if (!time.isValid()) return QVariant(QMetaType(QMetaType::QString));
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QVariant SqlConnection::dateValue(const QDate &date)
{
    return date.isValid() ? QVariant(date.toString(Qt::ISODate))
                          : QVariant(QMetaType(QMetaType::QString));
}

QVariant SqlConnection::textValue(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(text);
}

QDateTime SqlConnection::timeFrom(const QVariant &value, int offsetSeconds)
{
    if (value.isNull()) return {};
    const QDateTime time = value.typeId() == QMetaType::QDateTime
                               ? value.toDateTime()
                               : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    return time.toOffsetFromUtc(offsetSeconds);
}

QDate SqlConnection::dateFrom(const QVariant &value)
{
    if (value.isNull()) return {};
    return value.typeId() == QMetaType::QDate ? value.toDate()
                                              : QDate::fromString(value.toString(), Qt::ISODate);
}
