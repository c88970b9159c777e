// One connection to a records database through Qt SQL, owned: it is closed
// and handed back to Qt with the object. Statements are prepared once and
// kept; every failure is kept with the database's own words, so the caller
// can tell the technician why a record was not stored.
#pragma once

#include "records/records_place.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <map>
#include <memory>
#include <optional>
#include <vector>

enum class SqlDialect { SQLite, PostgreSQL };

class SqlConnection {
public:
    ~SqlConnection();
    SqlConnection(const SqlConnection &) = delete;
    SqlConnection &operator=(const SqlConnection &) = delete;

    // The file in WAL mode, synced at every commit, waiting up to 10 s for
    // another program (a second window, the tool) that is writing it.
    static std::unique_ptr<SqlConnection> openSqlite(const QString &path, QString &error);
    static std::unique_ptr<SqlConnection> openPostgres(const PostgresAddress &address,
                                                       QString &error);

    SqlDialect dialect() const { return m_dialect; }
    // "/home/bench3/.local/share/kx4720r/records.sqlite" or the connection string.
    const QString &name() const { return m_name; }

    using Rows = std::vector<QVariantList>;
    // Runs a query (prepared once, then kept) with its values in order and
    // returns its rows. Empty on failure, with lastError() saying why.
    std::optional<Rows> select(const QString &sql, const QVariantList &values = {});
    // The same for a statement that returns nothing.
    bool change(const QString &sql, const QVariantList &values = {});
    // Runs statements that take no values and return nothing (schema,
    // transactions): PostgreSQL prepares only queries and data changes.
    bool execute(const QString &sql);

    // A transaction that takes the write lock at once on SQLite, so two
    // programs writing the same file wait for each other instead of failing
    // half-way.
    bool begin();
    bool commit();
    void rollback();

    const QString &lastError() const { return m_error; }
    // After a failure: whether the database still answers, or has gone away
    // (the server stopped, the network lost). A connection that has gone is
    // not used again.
    bool answers();

    // Values as both databases take them: times in UTC as ISO 8601 text with
    // milliseconds (sorted as text, they are in time order), dates as ISO text.
    static QVariant timeValue(const QDateTime &time);
    static QVariant dateValue(const QDate &date);
    static QVariant textValue(const QString &text); // empty is NULL
    static QDateTime timeFrom(const QVariant &value, int offsetSeconds);
    static QDate dateFrom(const QVariant &value);

private:
    SqlConnection(SqlDialect dialect, QString connectionName, QString name);
    bool fail(const QString &what, const QString &reason);
    bool isOpen() const;
    void dropStatements();
    QSqlQuery *run(const QString &sql, const QVariantList &values);

    SqlDialect m_dialect;
    QString m_connectionName;
    QString m_name;
    mutable QString m_error;
    std::map<QString, std::unique_ptr<QSqlQuery>> m_prepared;
};
