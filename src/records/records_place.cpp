// Choosing where the records are kept, and reading connection strings.
#include "records/records_place.h"

#include "core/calibration_log.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <array>

namespace {

// The client library's parameters a connection string may carry. A password
// is not among them: it would end up in the initialisation file.
constexpr std::array<const char *, 13> PassedParameters{"host",
                                                        "port",
                                                        "user",
                                                        "dbname",
                                                        "sslmode",
                                                        "sslrootcert",
                                                        "sslcert",
                                                        "sslkey",
                                                        "connect_timeout",
                                                        "application_name",
                                                        "passfile",
                                                        "target_session_attrs",
                                                        "tcp_user_timeout"};

// Given up on after these, unless the string says otherwise: a bench whose
// server is gone keeps its records in the spool rather than waiting.
constexpr std::array<std::pair<const char *, const char *>, 5> Defaults{{
    {"connect_timeout", "5"},
    {"keepalives_idle", "10"},
    {"keepalives_interval", "3"},
    {"keepalives_count", "3"},
    {"tcp_user_timeout", "15000"},
}};

bool passed(const QString &name)
{
    for (const char *p : PassedParameters)
        if (name == QLatin1String(p)) return true;
    return false;
}

bool inSystemFolder(const QString &path)
{
    for (const char *system : {"/usr/", "/opt/", "/bin/", "/sbin/"})
        if (path.startsWith(QLatin1String(system))) return true;
    return false;
}

} // namespace

std::optional<PostgresAddress> parseConnectionString(const QString &text, QString &error)
{
    const QString given = text.trimmed();
    const QUrl url(given, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"postgresql" && url.scheme() != u"postgres")) {
        error = QStringLiteral("\"%1\" is not a connection string like "
                               "postgresql://bench3@qa-server/calibration")
                    .arg(given);
        return std::nullopt;
    }
    const QUrlQuery query(url);
    if (!url.password().isEmpty() || query.hasQueryItem(QStringLiteral("password"))) {
        error = QStringLiteral("the connection string %1 holds a password: keep it in ~/.pgpass "
                               "(or PGPASSWORD) instead")
                    .arg(url.toString(QUrl::RemovePassword));
        return std::nullopt;
    }
    PostgresAddress address;
    address.text = url.toString();
    address.host = url.host();
    address.port = url.port(-1);
    address.user = url.userName();
    address.database = url.path().mid(1);
    QStringList options;
    const auto items = query.queryItems(QUrl::FullyDecoded);
    for (const auto &[name, value] : items) {
        if (!passed(name)) {
            error = QStringLiteral("the connection string %1 has a parameter \"%2\" that is not "
                                   "passed on")
                        .arg(address.text, name);
            return std::nullopt;
        }
        // Qt hands the options to the client library unquoted.
        if (value.contains(QRegularExpression(QStringLiteral("[\\s;'\\\\]")))) {
            error = QStringLiteral("the value of \"%1\" in %2 holds a space, ';', a quote or a "
                                   "backslash")
                        .arg(name, address.text);
            return std::nullopt;
        }
        if (name == u"host")
            address.host = value;
        else if (name == u"port")
            address.port = value.toInt();
        else if (name == u"user")
            address.user = value;
        else if (name == u"dbname")
            address.database = value;
        else
            options << name + u'=' + value;
    }
    for (const auto &[name, value] : Defaults) {
        const QString key = QLatin1String(name) + u'=';
        if (std::none_of(options.begin(), options.end(),
                         [&](const QString &option) { return option.startsWith(key); }))
            options << key + QLatin1String(value);
    }
    address.options = options.join(u';');
    return address;
}

QString RecordsPlace::localDatabasePath() const
{
    return folder + QStringLiteral("/records.sqlite");
}

QString RecordsPlace::calibrationLogPath() const
{
    return CalibrationLog(folder).path();
}

QString benchPrefix(const QString &bench)
{
    QString prefix = bench.trimmed();
    prefix.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]+")), QStringLiteral("-"));
    prefix = prefix.left(24);
    while (prefix.startsWith(u'-'))
        prefix.remove(0, 1);
    while (prefix.endsWith(u'-'))
        prefix.chop(1);
    return prefix.isEmpty() ? QStringLiteral("bench") : prefix;
}

RecordsChoice chooseRecordsPlace(const QString &iniConnection, const QString &iniBench)
{
    RecordsChoice choice;
    RecordsPlace place;
    place.folder = CalibrationLog::defaultFolder();
    if (place.folder.isEmpty()) {
        choice.error =
            QStringLiteral("no data folder is known (neither XDG_DATA_HOME nor HOME is set)");
        return choice;
    }
    const QString environmentBench = qEnvironmentVariable("KX4720R_BENCH").trimmed();
    place.bench = !environmentBench.isEmpty()     ? environmentBench
                  : !iniBench.trimmed().isEmpty() ? iniBench.trimmed()
                                                  : QSysInfo::machineHostName();
    QString connection = qEnvironmentVariable("KX4720R_RECORDS_DB").trimmed();
    if (connection.isEmpty()) connection = iniConnection.trimmed();
    if (!connection.isEmpty()) {
        place.shared = parseConnectionString(connection, choice.error);
        if (!place.shared) return choice;
    }
    choice.place = std::move(place);
    return choice;
}

QString windowIniPath(const QString &toolExecutablePath)
{
    const QFileInfo tool(toolExecutablePath);
    const QString beside = tool.absolutePath() + QStringLiteral("/kx4720r-config.ini");
    if (!inSystemFolder(tool.absolutePath() + u'/')) return beside;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString own = config + QStringLiteral("/kx4720r-config.ini");
    // The window starts from a file an administrator put beside it until the
    // user has one.
    return config.isEmpty() || (!QFileInfo::exists(own) && QFileInfo(beside).isFile()) ? beside
                                                                                       : own;
}

QString profileValue(const QString &path, const QString &section, const QString &key)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) return {};
    QString current;
    // Connection strings and bench names are plain ASCII: no code page matters.
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine(64 * 1024)).trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            current = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && current.compare(section, Qt::CaseInsensitive) == 0 &&
            line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}
