// Making, starting and stopping the throw-away PostgreSQL server.
#include "support/pgserver.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <QVersionNumber>

#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

const QString Port = QStringLiteral("5432"); // on a socket in our own folder: never shared
const QString User = QStringLiteral("kxtest");

// The newest server installed: Debian keeps each version's programs apart.
QString findBinaries()
{
    QString best;
    QVersionNumber bestVersion;
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = versions.filePath(version + QStringLiteral("/bin"));
        const QVersionNumber number = QVersionNumber::fromString(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && number > bestVersion) {
            best = bin;
            bestVersion = number;
        }
    }
    if (!best.isEmpty()) return best;
    const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
    return initdb.isEmpty() ? QString() : QFileInfo(initdb).canonicalPath();
}

// The server refuses to run as root: the suite's root gives it to "nobody".
struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    bool change = false;
};

Account serverAccount()
{
    if (::geteuid() != 0) return {};
    const passwd *nobody = ::getpwnam("nobody");
    if (!nobody) return {};
    return {nobody->pw_uid, nobody->pw_gid, true};
}

void becomeServerAccount(const Account &account, bool dieWithParent)
{
    const pid_t parent = ::getppid();
    if (account.change &&
        (::setgroups(0, nullptr) != 0 || ::setgid(account.gid) != 0 || ::setuid(account.uid) != 0))
        ::_exit(126);
    // After the change of user, which clears it: a crashed suite leaves no
    // server behind.
    if (dieWithParent && (::prctl(PR_SET_PDEATHSIG, SIGINT) != 0 || ::getppid() != parent))
        ::_exit(126);
}

} // namespace

PostgresServer::PostgresServer(Durability durability)
    : m_durability(durability), m_binaries(findBinaries())
{
}

PostgresServer::~PostgresServer()
{
    stop();
}

bool PostgresServer::required()
{
    return qEnvironmentVariableIntValue("KX4720R_REQUIRE_POSTGRES") == 1;
}

QString PostgresServer::howToRun()
{
    return QStringLiteral("these tests need PostgreSQL (Debian packages postgresql and "
                          "postgresql-common, which scripts/install-deps installs); they start a "
                          "server of their own");
}

QString PostgresServer::tool(const char *name) const
{
    return m_binaries + u'/' + QLatin1String(name);
}

bool PostgresServer::run(const QString &program, const QStringList &arguments, QString *output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const Account account = serverAccount();
    if (program.endsWith(QLatin1String("/initdb")))
        process.setChildProcessModifier([account] { becomeServerAccount(account, false); });
    process.start(program, arguments);
    const bool done = process.waitForFinished(120000) &&
                      process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output) *output = QString::fromLocal8Bit(process.readAll()).trimmed();
    if (!done)
        m_whyNot = QStringLiteral("%1 failed: %2")
                       .arg(QFileInfo(program).fileName(),
                            QString::fromLocal8Bit(process.readAll()).trimmed());
    return done;
}

bool PostgresServer::start()
{
    if (m_binaries.isEmpty() || !QFile::exists(tool("postgres"))) {
        m_whyNot = QStringLiteral("PostgreSQL is not installed");
        return false;
    }
    const Account account = serverAccount();
    if (::geteuid() == 0 && !account.change) {
        m_whyNot = QStringLiteral("running as root, and there is no user \"nobody\" to run the "
                                  "server as");
        return false;
    }
    if (!m_folder.isValid() ||
        (account.change &&
         ::chown(QFile::encodeName(m_folder.path()).constData(), account.uid, account.gid) != 0)) {
        m_whyNot = QStringLiteral("no temporary folder for the cluster");
        return false;
    }
    QString output;
    if (!run(tool("initdb"),
             {QStringLiteral("-D"), m_folder.filePath(QStringLiteral("data")), QStringLiteral("-U"),
              User, QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"),
              QStringLiteral("UTF8"), QStringLiteral("--locale=C"), QStringLiteral("--no-sync")},
             &output))
        return false;
    return resume();
}

bool PostgresServer::resume()
{
    QStringList arguments{QStringLiteral("-D"), m_folder.filePath(QStringLiteral("data")),
                          QStringLiteral("-k"), m_folder.path(),
                          QStringLiteral("-p"), Port,
                          QStringLiteral("-c"), QStringLiteral("listen_addresses=")};
    if (m_durability == Durability::Relaxed)
        for (const char *setting : {"fsync=off", "synchronous_commit=off", "full_page_writes=off"})
            arguments << QStringLiteral("-c") << QLatin1String(setting);
    m_server = std::make_unique<QProcess>();
    m_server->setStandardOutputFile(m_folder.filePath(QStringLiteral("server.log")),
                                    QIODevice::Append);
    m_server->setStandardErrorFile(m_folder.filePath(QStringLiteral("server.log")),
                                   QIODevice::Append);
    const Account account = serverAccount();
    m_server->setChildProcessModifier([account] { becomeServerAccount(account, true); });
    m_server->start(tool("postgres"), arguments);
    const bool ready =
        m_server->waitForStarted() &&
        QTest::qWaitFor([&] { return m_server->state() != QProcess::Running || accepting(); },
                        60000);
    if (ready && m_server->state() == QProcess::Running) return true;
    QFile log(m_folder.filePath(QStringLiteral("server.log")));
    log.open(QIODevice::ReadOnly);
    m_whyNot = QStringLiteral("the PostgreSQL server did not start: %1")
                   .arg(QString::fromLocal8Bit(log.readAll().right(2000)).trimmed());
    stop();
    return false;
}

bool PostgresServer::accepting()
{
    QProcess probe;
    probe.start(tool("pg_isready"), {QStringLiteral("-q"), QStringLiteral("-h"), m_folder.path(),
                                     QStringLiteral("-p"), Port});
    return probe.waitForFinished() && probe.exitCode() == 0;
}

bool PostgresServer::stop()
{
    if (!m_server || m_server->state() == QProcess::NotRunning) return true;
    // A fast shutdown: the connections the suite holds are cut, as when a
    // server is stopped under a bench.
    ::kill(pid_t(m_server->processId()), SIGINT);
    const bool stopped = m_server->waitForFinished(60000);
    if (!stopped) m_server->kill();
    m_server->waitForFinished();
    return stopped;
}

QString PostgresServer::createDatabase(const QString &name)
{
    if (!run(tool("createdb"), {QStringLiteral("-h"), m_folder.path(), QStringLiteral("-p"), Port,
                                QStringLiteral("-U"), User, name}))
        return {};
    return connectionString(name);
}

QString PostgresServer::connectionString(const QString &database) const
{
    return QStringLiteral("postgresql://%1@/%2?host=%3&port=%4")
        .arg(User, database, m_folder.path(), Port);
}
