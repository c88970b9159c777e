// The records database's schema and its migrations. The database keeps the
// number of the last migration it went through; opening it runs the newer
// ones, each once, each in a transaction of its own (a migration that fails
// leaves the database as the one before left it), and never backwards: a
// database that a newer program migrated further is refused, not changed.
// Two programs opening a new database at once take turns (a lock on
// PostgreSQL, the write lock on SQLite).
#pragma once

#include "records/sql_connection.h"

#include <QString>
#include <QStringList>

#include <span>

struct Migration {
    int version = 0;
    QStringList sqlite;
    QStringList postgres;
};

// The program's migrations, in order.
std::span<const Migration> recordsMigrations();

// Brings the database to the last of `migrations`. False with the reason
// when a migration fails or the database is newer than them.
bool migrate(SqlConnection &db, std::span<const Migration> migrations, QString &error);

// The version the database is at; 0 for a new one, none when it cannot be read.
std::optional<int> schemaVersion(SqlConnection &db);
