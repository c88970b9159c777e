// Where the calibration records are kept: the bench's own SQLite file in the
// user's data folder, or the factory's PostgreSQL server that several benches
// share, named by a connection string in the initialisation file's [Files]
// section or in KX4720R_RECORDS_DB. The password never stands in either: the
// server's client library takes it from ~/.pgpass or its own environment.
#pragma once

#include <QString>

#include <optional>

// A PostgreSQL server as the connection string names it.
struct PostgresAddress {
    QString host; // empty: the local socket; beginning with '/': the socket's folder
    int port = -1;
    QString user;
    QString database;
    // "key=value" pairs for the client library, ';'-separated (Qt's form).
    QString options;
    QString text; // the connection string as given, for messages
};

// "postgresql://bench3@qa-server/calibration", also with a port, "postgres://",
// and the client library's parameters after '?' (sslmode, connect_timeout,
// host=/run/postgresql for a socket folder, ...). A connection attempt gives up
// after 5 s unless connect_timeout says otherwise, and a server that stops
// answering is given up after about 15 s, so a bench falls back to its spool
// instead of hanging. Refused, with the reason: another scheme, a password,
// a parameter the program does not pass on.
std::optional<PostgresAddress> parseConnectionString(const QString &text, QString &error);

struct RecordsPlace {
    std::optional<PostgresAddress> shared; // none: the bench's own file is the records
    QString folder;                        // the bench's data folder
    QString bench;                         // names the bench in records and certificates

    // The bench's own database: its records, or the spool of records not yet
    // in the shared ones, and what of the calibration log was imported.
    QString localDatabasePath() const;
    QString calibrationLogPath() const;
};

// The initialisation file's [Files] keys of the records.
inline constexpr char RecordsSection[] = "Files";
inline constexpr char RecordsDatabaseKey[] = "RecordsDatabase";
inline constexpr char BenchKey[] = "Bench";

// What the environment and the initialisation file say. KX4720R_RECORDS_DB
// wins over the file's RecordsDatabase, KX4720R_BENCH over its Bench; the
// bench is the host's name when neither names one. The folder is
// $XDG_DATA_HOME/kx4720r.
struct RecordsChoice {
    std::optional<RecordsPlace> place;
    QString error; // a connection string that cannot be used
};
RecordsChoice chooseRecordsPlace(const QString &iniConnection, const QString &iniBench);

// A bench name as it may stand at the head of a certificate number: letters,
// digits, '-' and '_', at most 24 characters; "bench" when nothing is left.
QString benchPrefix(const QString &bench);

// The window's initialisation file as a tool beside it finds it: beside the
// tool's executable when it runs from a folder of its own (a build), else in
// the user's configuration folder, as the installed window keeps it there.
QString windowIniPath(const QString &toolExecutablePath);
// One value of a profile file ("[Section]" headers, "key=value" lines; names
// without regard to letter case, the first occurrence counts). Empty when the
// file or the key is missing.
QString profileValue(const QString &path, const QString &section, const QString &key);
