// A throw-away PostgreSQL server for the records suites and benchmark: a
// cluster made with initdb in a temporary folder, listening on a socket in
// that folder only, run as a child process (as the user "nobody" when the
// suite runs as root, as CI does: the server refuses root). It stops with
// its owner, and with the suite's process even when that one crashes.
//
// Without PostgreSQL on the machine the suites skip, saying how to run them;
// with KX4720R_REQUIRE_POSTGRES=1 (CI) that is a failure instead.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class PostgresServer {
public:
    enum class Durability {
        Relaxed, // no syncs: the suites' speed; a crash of the machine loses the cluster
        Real,    // as a server is run: the benchmark's figures
    };

    explicit PostgresServer(Durability durability = Durability::Relaxed);
    ~PostgresServer();
    PostgresServer(const PostgresServer &) = delete;
    PostgresServer &operator=(const PostgresServer &) = delete;

    // Makes the cluster and starts the server. False with whyNot() when the
    // machine has no PostgreSQL or it cannot be started.
    bool start();
    // Stops the server (fast shutdown: connections are cut) and waits.
    bool stop();
    // Starts it again after stop(), with everything it held.
    bool resume();
    const QString &whyNot() const { return m_whyNot; }

    // A new, empty database on the server, and its connection string.
    QString createDatabase(const QString &name);
    QString connectionString(const QString &database) const;

    // What a suite does when start() failed: skip, or fail in CI.
    static bool required();
    static QString howToRun();

private:
    bool run(const QString &program, const QStringList &arguments, QString *output = nullptr);
    QString tool(const char *name) const;
    bool accepting();

    Durability m_durability;
    QString m_binaries;
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_server;
    QString m_whyNot;
};

// In a test function: starts `server`, or skips (fails in CI) with the reason.
#define KX_START_POSTGRES(server)                                                                  \
    do {                                                                                           \
        if (!(server).start()) {                                                                   \
            const QByteArray why =                                                                 \
                ((server).whyNot() + QStringLiteral("; ") + PostgresServer::howToRun())            \
                    .toLocal8Bit();                                                                \
            if (PostgresServer::required()) QFAIL(why.constData());                                \
            QSKIP(why.constData());                                                                \
        }                                                                                          \
    } while (false)
