// Parsing and running the records commands of kx4720r-cli.
#include "cli_records.h"

#include "cli_arguments.h"
#include "cli_options.h"
#include "cli_output.h"
#include "cli_records_output.h"
#include "records/bench_records.h"
#include "records/entry_json.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <array>
#include <functional>

namespace cli {

namespace {

enum class Action { List, Show, Export, Import };
enum class Format { Text, Json, Csv };

struct ActionInfo {
    Action action;
    const char *name;
    const char *usage;
    const char *summary;
};

constexpr std::array<ActionInfo, 4> Actions{{
    {Action::List, "list", "records list [--serial S] [--due-within DAYS] [--json|--csv]",
     "The calibration records, newest first: all of them, one unit's (--serial), or the units "
     "due within DAYS (30, 30d or 4w; overdue ones too), each with the calibration that made it "
     "due."},
    {Action::Show, "show", "records show ID [--json]",
     "One record in full; ID is its certificate number, its UUID or the UUID's beginning."},
    {Action::Export, "export", "records export [--since DATE] [--csv|--json]",
     "The records since DATE (YYYY-MM-DD, or a time in ISO 8601), oldest first: one CSV line "
     "each (the default), or one JSON line each with every point, which records import takes."},
    {Action::Import, "import", "records import FILE.jsonl",
     "Records from a calibration log (calibration-log.jsonl) or a JSON export. A record already "
     "kept is not kept again, so a file may be imported twice."},
}};

struct RecordsOptions {
    const ActionInfo *info = nullptr;
    bool help = false;
    bool version = false;
    QString serial;
    std::optional<int> dueWithinDays;
    Format format = Format::Text;
    QString id;
    QDateTime since;
    QString file;
};

const char *const RecordsHelp =
    "The records are the bench's own ($XDG_DATA_HOME/kx4720r/records.sqlite), or the shared\n"
    "PostgreSQL database named by KX4720R_RECORDS_DB or by RecordsDatabase in the [Files]\n"
    "section of kx4720r-config.ini (postgresql://USER@HOST/DATABASE; the password comes from\n"
    "~/.pgpass). Records the bench could not send wait in its spool, marked \"not yet in the\n"
    "shared records\"; each records command that reaches the shared database sends them first.\n\n"
    "Exit codes:\n"
    "  0  done\n"
    "  1  no such record, or a record of the file belongs to another unit\n"
    "  2  usage error, a bad file (lines of it refused), or output that cannot be written\n"
    "  3  the records database cannot be reached or used\n";

QString helpText(const ActionInfo *info)
{
    QString text;
    if (!info) {
        text = QStringLiteral("Usage: kx4720r-cli records ACTION [OPTIONS]\nThe calibration "
                              "records.\n\n") +
               recordsUsage();
    } else {
        text = QStringLiteral("Usage: kx4720r-cli %1\n%2\n")
                   .arg(QLatin1String(info->usage), QLatin1String(info->summary));
    }
    return text + u'\n' + QLatin1String(RecordsHelp);
}

class Parser {
public:
    Parser(const QStringList &arguments, QString &error) : m_cursor(arguments, error)
    {
        m_cursor.setCommand(QStringLiteral("records"));
    }

    RecordsOptions run(const QStringList &arguments)
    {
        if (arguments.isEmpty()) {
            usage(QStringLiteral("no action given: list, show, export or import"));
            return m_options;
        }
        const QString first = arguments.first();
        for (const ActionInfo &info : Actions)
            if (first == QLatin1String(info.name)) m_options.info = &info;
        if (m_options.info)
            m_cursor.setCommand(
                QStringLiteral("records %1").arg(QLatin1String(m_options.info->name)));
        if (first == u"--help" || first == u"-h")
            m_options.help = true;
        else if (first == u"--version")
            m_options.version = true;
        else if (!m_options.info)
            usage(QStringLiteral("unknown action \"%1\": list, show, export or import").arg(first));
        while (m_cursor.next())
            option();
        if (!m_cursor.failed() && m_options.info && !m_options.help && !m_options.version) {
            const Action action = m_options.info->action;
            if (action == Action::Show && m_options.id.isEmpty())
                usage(QStringLiteral("no ID given"));
            if (action == Action::Import && m_options.file.isEmpty())
                usage(QStringLiteral("no file given"));
        }
        return m_options;
    }

private:
    void usage(const QString &message) { m_cursor.usage(message); }
    std::optional<QString> value() { return m_cursor.value(); }
    void once(const QString &option) { m_cursor.once(option); }

    void format(const QString &name, Format format)
    {
        if (m_options.format != Format::Text && m_options.format != format)
            usage(QStringLiteral("--json and --csv go one at a time"));
        once(name);
        m_options.format = format;
    }

    void option()
    {
        const QString &argument = m_cursor.argument();
        const QString &name = m_cursor.name();
        const bool inlineValue = m_cursor.hasInlineValue();
        const Action action = m_options.info ? m_options.info->action : Action::List;
        const bool known = m_options.info != nullptr;
        if (name == u"--help" || name == u"-h") {
            m_options.help = true;
        } else if (name == u"--version") {
            m_options.version = true;
        } else if (known && name == u"--json" && !inlineValue && action != Action::Import) {
            format(name, Format::Json);
        } else if (known && name == u"--csv" && !inlineValue &&
                   (action == Action::List || action == Action::Export)) {
            format(name, Format::Csv);
        } else if (known && action == Action::List && name == u"--serial") {
            once(name);
            if (const auto v = value()) {
                if (v->trimmed().isEmpty()) usage(QStringLiteral("--serial needs a serial number"));
                m_options.serial = v->trimmed();
            }
        } else if (known && action == Action::List && name == u"--due-within") {
            once(name);
            if (const auto v = value()) dueWithin(*v);
        } else if (known && action == Action::Export && name == u"--since") {
            once(name);
            if (const auto v = value()) since(*v);
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            usage(QStringLiteral("unknown option %1").arg(name));
        } else if (known && action == Action::Show && m_options.id.isEmpty()) {
            m_options.id = argument;
        } else if (known && action == Action::Import && m_options.file.isEmpty()) {
            m_options.file = argument;
        } else {
            usage(QStringLiteral("unexpected argument \"%1\"").arg(argument));
        }
    }

    void dueWithin(const QString &text)
    {
        static const QRegularExpression form(QStringLiteral("^(\\d{1,5})([dw]?)$"));
        const QRegularExpressionMatch match = form.match(text.trimmed());
        const int count = match.hasMatch() ? match.captured(1).toInt() : -1;
        const int days = match.captured(2) == u"w" ? count * 7 : count;
        if (!match.hasMatch() || days > 36500)
            usage(QStringLiteral("--due-within \"%1\" is not a number of days (30, 30d or 4w, "
                                 "up to 100 years)")
                      .arg(text));
        m_options.dueWithinDays = days;
    }

    void since(const QString &text)
    {
        const QDate date = QDate::fromString(text, Qt::ISODate);
        m_options.since = date.isValid() && text.size() == 10
                              ? QDateTime(date, QTime(0, 0))
                              : QDateTime::fromString(text, Qt::ISODateWithMs);
        if (!m_options.since.isValid())
            usage(QStringLiteral("--since \"%1\" is not a date (YYYY-MM-DD) or a time in ISO "
                                 "8601")
                      .arg(text));
    }

    ArgumentCursor m_cursor;
    RecordsOptions m_options;
};

QString uuidText(const QUuid &id)
{
    return id.toString(QUuid::WithoutBraces);
}

// The spooled records a key names, as the database's find() names its own.
std::vector<CalibrationEntry> findSpooled(const std::vector<CalibrationEntry> &spooled,
                                          const QString &key)
{
    std::vector<CalibrationEntry> found;
    const QString wanted = key.trimmed().toLower();
    for (const CalibrationEntry &e : spooled)
        if (e.certificateNumber == key.trimmed() ||
            (wanted.size() >= 4 && uuidText(e.id).startsWith(wanted)))
            found.push_back(e);
    return found;
}

bool printed(const QString &text)
{
    if (print(text)) return true;
    printError(outputErrorText());
    return false;
}

int list(const RecordsOptions &o, BenchRecords &bench)
{
    const QDate today = QDate::currentDate();
    const std::optional<BenchRecords::Listing> listing =
        o.dueWithinDays ? bench.dueBy(today.addDays(*o.dueWithinDays)) : bench.list(o.serial);
    if (!listing) {
        printError(bench.error());
        return ExitPort;
    }
    // Out of reach, the shared records are not listed; what waits in the
    // spool is, marked.
    if (!listing->complete && listing->records.empty()) {
        printError(bench.error());
        return ExitPort;
    }
    QString text;
    if (o.format == Format::Json)
        text = QString::fromUtf8(QJsonDocument(recordsJson(listing->records)).toJson());
    else if (o.format == Format::Csv)
        text = recordsCsv(listing->records, CsvFormat::forLocale(QLocale()));
    else
        text = recordsTable(listing->records, o.dueWithinDays ? today : QDate());
    if (!printed(text)) return ExitUsage;
    if (listing->complete) return ExitDone;
    printError(bench.error() +
               QStringLiteral("; only the records of this bench's spool are listed"));
    return ExitPort;
}

int show(const RecordsOptions &o, RecordsStore &store, const std::vector<CalibrationEntry> &spooled)
{
    const std::optional<std::vector<QUuid>> found = store.find(o.id);
    if (!found) {
        printError(store.error());
        return ExitPort;
    }
    std::vector<ShownEntry> shown;
    for (const QUuid &id : *found) {
        std::optional<CalibrationEntry> entry = store.entry(id);
        if (!entry) {
            printError(store.error());
            return ExitPort;
        }
        shown.push_back({std::move(*entry), false});
    }
    for (const CalibrationEntry &e : findSpooled(spooled, o.id))
        if (std::none_of(found->begin(), found->end(), [&](const QUuid &id) { return id == e.id; }))
            shown.push_back({e, true});
    if (shown.empty()) {
        printError(
            QStringLiteral("no record is named \"%1\" (see kx4720r-cli records list)").arg(o.id));
        return ExitRefused;
    }
    if (shown.size() > 1) {
        QStringList ids;
        for (const ShownEntry &s : shown)
            ids << uuidText(s.entry.id);
        printError(QStringLiteral("\"%1\" names %2 records (%3): give more of the UUID")
                       .arg(o.id)
                       .arg(shown.size())
                       .arg(ids.join(QStringLiteral(", "))));
        return ExitUsage;
    }
    const QString text = o.format == Format::Json
                             ? QString::fromUtf8(QJsonDocument(recordJson(shown.front())).toJson())
                             : recordText(shown.front());
    return printed(text) ? ExitDone : ExitUsage;
}

int exportRecords(const RecordsOptions &o, RecordsStore &store,
                  const std::vector<CalibrationEntry> &spooled)
{
    const std::optional<std::vector<EntrySummary>> records = store.list({{}, o.since});
    if (!records) {
        printError(store.error());
        return ExitPort;
    }
    std::vector<ShownEntry> entries;
    for (auto it = records->rbegin(); it != records->rend(); ++it) {
        std::optional<CalibrationEntry> entry = store.entry(it->id);
        if (!entry) {
            printError(store.error());
            return ExitPort;
        }
        entries.push_back({std::move(*entry), false});
    }
    for (const CalibrationEntry &e : spooled)
        if (!o.since.isValid() || e.time >= o.since) entries.push_back({e, true});
    if (o.format != Format::Json)
        return printed(exportCsv(entries, CsvFormat::forLocale(QLocale()))) ? ExitDone : ExitUsage;
    for (const ShownEntry &shown : entries)
        if (!printed(QString::fromUtf8(
                         QJsonDocument(entryToJson(shown.entry)).toJson(QJsonDocument::Compact)) +
                     u'\n'))
            return ExitUsage;
    return ExitDone;
}

int import(const RecordsOptions &o, BenchRecords &bench)
{
    const BenchRecords::Import result = bench.importFile(o.file);
    for (const QString &note : result.notes)
        printError(QStringLiteral("%1, %2").arg(o.file, note));
    if (!result.error.isEmpty()) {
        printError(result.error + QStringLiteral("; nothing of %1 was imported").arg(o.file));
        return QFileInfo(o.file).isFile() ? ExitPort : ExitUsage;
    }
    if (!printed(QStringLiteral("%1 imported, %2 kept already, %3 attached to their unit\n")
                     .arg(result.stored)
                     .arg(result.alreadyThere)
                     .arg(result.attached)))
        return ExitUsage;
    if (result.refused > 0) return ExitUsage;
    return result.otherUnit > 0 ? ExitRefused : ExitDone;
}

} // namespace

QString recordsUsage()
{
    QString text;
    for (const ActionInfo &info : Actions)
        text += QStringLiteral("  %1\n").arg(QLatin1String(info.usage));
    return text;
}

int runRecords(const QStringList &arguments)
{
    QString error;
    const RecordsOptions o = Parser(arguments, error).run(arguments);
    if (!error.isEmpty()) {
        printError(error);
        return ExitUsage;
    }
    if (o.help || o.version) {
        if (printed(o.help ? helpText(o.info) : versionText())) return ExitDone;
        return ExitUsage;
    }
    const QString ini = windowIniPath(QCoreApplication::applicationFilePath());
    const RecordsChoice choice = chooseRecordsPlace(
        profileValue(ini, QLatin1String(RecordsSection), QLatin1String(RecordsDatabaseKey)),
        profileValue(ini, QLatin1String(RecordsSection), QLatin1String(BenchKey)));
    if (!choice.place) {
        printError(choice.error);
        return ExitUsage;
    }
    BenchRecords bench(*choice.place);
    if (!bench.open()) {
        printError(bench.error());
        return ExitPort;
    }
    for (const QString &note : bench.notes())
        printError(note);
    if (o.info->action == Action::Import && !QFileInfo(o.file).isFile()) {
        printError(QStringLiteral("%1 is not a file that can be imported").arg(o.file));
        return ExitUsage;
    }
    if (o.info->action == Action::List) return list(o, bench);
    RecordsStore *store = bench.records();
    const std::optional<std::vector<CalibrationEntry>> spooled = bench.spooled();
    if (!store || !spooled) {
        printError(bench.error());
        return ExitPort;
    }
    switch (o.info->action) {
    case Action::List:
        break;
    case Action::Show:
        return show(o, *store, *spooled);
    case Action::Export:
        return exportRecords(o, *store, *spooled);
    case Action::Import:
        return import(o, bench);
    }
    return ExitUsage;
}

} // namespace cli
