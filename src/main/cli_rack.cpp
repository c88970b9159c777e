// Many instruments at once: a thread per port running one port's command with
// its output kept aside, and the main thread telling each result as a line.
// A thread per port keeps every behaviour of the one-port command (its
// waits, retries, acknowledgements and read-backs) exactly as it is.
#include "cli_rack.h"

#include "cli_commands.h"
#include "cli_output.h"
#include "cli_report.h"
#include "core/readings_csv.h"
#include "ports/portprobe.h"
#include "serial/portholders.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <array>

namespace cli {

namespace {

// The serial number in a station's name ("KX4720R simulator, serial
// SIM00003"): the word after "serial"; empty for a name without one.
QString serialNumberIn(const QString &stationName)
{
    static const QRegularExpression serial(QStringLiteral("\\bserial\\s+([^\\s,;]+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    return serial.match(stationName).captured(1);
}

} // namespace

// One port's command on a thread of its own. Its session lives on that
// thread; cancel() reaches it through the thread's event loop, which runs
// while the session waits.
class UnitWorker : public QThread {
public:
    UnitWorker(Options options, std::function<bool(const QString &)> onText,
               std::function<void(const DecodedReading &)> onReading)
        : m_options(std::move(options)), m_onText(std::move(onText)),
          m_onReading(std::move(onReading))
    {
    }
    ~UnitWorker() override { wait(); }

    void cancel()
    {
        const QMutexLocker lock(&m_mutex);
        m_cancelled = true;
        if (m_session)
            QMetaObject::invokeMethod(m_session, &InstrumentSession::cancel, Qt::QueuedConnection);
    }

    int exitCode = ExitDone;
    QString out;
    QStringList errors;
    QString serial; // empty: not known
    bool started = false;

protected:
    void run() override
    {
        OutputCapture capture(m_onText);
        capture.onReading = m_onReading;
        InstrumentSession session;
        {
            const QMutexLocker lock(&m_mutex);
            started = !m_cancelled;
            m_session = &session;
        }
        if (started) {
            exitCode = runCommand(m_options, session);
        } else {
            exitCode = ExitRefused;
            capture.errors
                << QStringLiteral("not started: nothing was sent to %1").arg(m_options.link.port);
        }
        {
            const QMutexLocker lock(&m_mutex);
            m_session = nullptr;
        }
        serial = serialNumberIn(session.stationName().value_or(QString()));
        out = capture.out;
        errors = capture.errors;
    }

private:
    const Options m_options;
    const std::function<bool(const QString &)> m_onText;
    const std::function<void(const DecodedReading &)> m_onReading;
    QMutex m_mutex;
    InstrumentSession *m_session = nullptr;
    bool m_cancelled = false;
};

struct Rack::Unit {
    QString port;
    QString serial;
    int exitCode = ExitDone;
    QString out;
    QStringList errors;
};

std::optional<QStringList> readPortList(const QString &path, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = QStringLiteral("cannot read the port list %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QStringList ports;
    QList<int> lines;
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString line = QString::fromUtf8(file.readLine()).section(u'#', 0, 0).trimmed();
        if (line.isEmpty()) continue;
        const auto at = QStringLiteral("%1, line %2: ").arg(path).arg(number);
        if (line.contains(QRegularExpression(QStringLiteral("\\s")))) {
            error = at + QStringLiteral("\"%1\" is not one port (one port a line)").arg(line);
            return std::nullopt;
        }
        if (const qsizetype first = ports.indexOf(line); first >= 0) {
            error =
                at + QStringLiteral("%1 is listed already on line %2").arg(line).arg(lines[first]);
            return std::nullopt;
        }
        ports << line;
        lines << number;
    }
    if (ports.isEmpty()) {
        error = QStringLiteral("the port list %1 names no port").arg(path);
        return std::nullopt;
    }
    return ports;
}

int worseExitCode(int a, int b)
{
    static constexpr std::array<int, 5> Order{ExitDone, ExitRefused, ExitNoAnswer, ExitPort,
                                              ExitUsage};
    const auto rank = [](int code) {
        const auto it = std::find(Order.begin(), Order.end(), code);
        return it == Order.end() ? int(Order.size()) : int(it - Order.begin());
    };
    return rank(b) > rank(a) ? b : a;
}

Rack::Rack(const Options &options, QObject *parent) : QObject(parent), m_options(options)
{
    // A tenth of a second behind the replies: quick enough to watch.
    m_monitorFlush.setInterval(100);
    connect(&m_monitorFlush, &QTimer::timeout, this, &Rack::flushMonitorText);
}

Rack::~Rack()
{
    for (const auto &worker : m_workers)
        worker->cancel();
}

void Rack::cancel()
{
    m_interrupted = true;
    for (const auto &worker : m_workers)
        worker->cancel();
}

bool Rack::out(const QString &text)
{
    flushMonitorText();
    if (print(text)) return true;
    // Nobody reads the results any more: the instruments stop as on Ctrl-C.
    for (const auto &worker : m_workers)
        worker->cancel();
    return false;
}

bool Rack::monitorText(const QString &port, const QString &text)
{
    QString lines;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts))
        lines += QStringLiteral("%1  %2\n").arg(port, -m_portWidth).arg(line);
    const QMutexLocker lock(&m_monitorMutex);
    m_monitorText += lines;
    // Once the output failed the unit stops, as the one-port tool does.
    return outputError() == 0;
}

void Rack::flushMonitorText()
{
    QString text;
    {
        const QMutexLocker lock(&m_monitorMutex);
        text.swap(m_monitorText);
    }
    if (text.isEmpty() || print(text)) return;
    for (const auto &worker : m_workers)
        worker->cancel();
}

void Rack::record(const QString &port, const DecodedReading &reading)
{
    if (!m_csv->isOpen() || m_csv->append(reading, port)) return;
    // A readings file that lost lines would look whole: monitoring stops.
    printError(m_csv->errorString() + QStringLiteral("; monitoring stopped"));
    m_csv->close();
    m_worst = worseExitCode(m_worst, ExitUsage);
    for (const auto &worker : m_workers)
        worker->cancel();
}

void Rack::serve(const QStringList &ports, const Options &options, bool probing)
{
    m_units.assign(std::size_t(ports.size()), Unit());
    m_workers.clear();
    for (const QString &port : ports)
        m_portWidth = std::max(m_portWidth, int(port.size()));
    for (qsizetype i = 0; i < ports.size(); ++i) {
        Options unit = options;
        unit.link.port = ports[i];
        unit.ports = {ports[i]};
        unit.portsFile.clear();
        unit.allPorts = false;
        unit.askStationName = !probing;
        // The status as JSON, to be told in a line or an object.
        if (unit.command == Command::Status) unit.json = true;
        if (!options.csvDirectory.isEmpty())
            unit.csvFile = QDir(options.csvDirectory)
                               .filePath(QString(ports[i]).remove(0, 1).replace(u'/', u'_') +
                                         QStringLiteral(".csv"));
        std::function<bool(const QString &)> onText;
        std::function<void(const DecodedReading &)> onReading;
        if (unit.command == Command::Monitor)
            onText = [this, port = ports[i]](const QString &text) {
                return monitorText(port, text);
            };
        if (m_csv) {
            unit.csvFile.clear();
            onReading = [this, port = ports[i]](const DecodedReading &reading) {
                QMetaObject::invokeMethod(this, [=, this] { record(port, reading); });
            };
        }
        m_units[std::size_t(i)].port = ports[i];
        m_workers.push_back(std::make_unique<UnitWorker>(unit, onText, onReading));
        connect(m_workers.back().get(), &QThread::finished, this,
                [this, i, probing] { ended(std::size_t(i), probing); });
    }
    // One look for other holders serves every port's first open.
    const SharedHolderScan holders(ports);
    QEventLoop loop;
    m_loop = &loop;
    m_running = m_workers.size();
    for (const auto &worker : m_workers)
        worker->start();
    if (options.command == Command::Monitor) m_monitorFlush.start();
    if (m_running > 0) loop.exec();
    m_monitorFlush.stop();
    flushMonitorText();
    m_loop = nullptr;
}

void Rack::ended(std::size_t index, bool probing)
{
    Unit &unit = m_units[index];
    const UnitWorker &worker = *m_workers[index];
    unit.exitCode = worker.exitCode;
    unit.out = worker.out;
    unit.errors = worker.errors;
    unit.serial = worker.serial;
    if (probing) {
        if (unit.exitCode == ExitDone)
            m_answering << unit.port;
        else
            tell(unit, QStringLiteral("skipped"), unit.errors.join(QStringLiteral("; ")));
    } else {
        const bool good = unit.exitCode == ExitDone;
        if (!good) {
            m_failed << unit.port;
            m_worst = worseExitCode(m_worst, unit.exitCode);
            if (m_options.stopOnFirstFailure && m_stoppedBy.isEmpty() && !m_interrupted) {
                m_stoppedBy = unit.port;
                for (const auto &other : m_workers)
                    other->cancel();
            } else if (!m_stoppedBy.isEmpty()) {
                unit.errors.prepend(
                    QStringLiteral("stopped after the failure on %1").arg(m_stoppedBy));
            }
        }
        QString what = good ? unit.out.trimmed() : unit.errors.join(QStringLiteral("; "));
        // Monitoring told its lines as they came.
        if (good && m_options.command == Command::Monitor)
            what = QStringLiteral("monitoring ended");
        tell(unit, good ? QStringLiteral("ok") : QStringLiteral("failed"), what);
    }
    if (--m_running == 0 && m_loop) m_loop->quit();
}

// The status in a line: what a technician at the rack looks at first.
QString statusLine(const QJsonObject &status)
{
    const auto value = [&](const char *part) {
        const QJsonObject o = status.value(QLatin1String(part)).toObject();
        return QStringLiteral("%1 %2 %3 %4")
            .arg(QLatin1String(part), o.value(u"type").toString(),
                 QString::number(o.value(u"value").toDouble(), 'g', 6),
                 o.value(u"unit").toString());
    };
    const QJsonObject temperature = status.value(u"temperature").toObject();
    QStringList flags;
    for (const QJsonValue &flag : status.value(u"status").toObject().value(u"flags").toArray())
        flags << flag.toString();
    return QStringLiteral("firmware %1, %2, %3, temperature %4 %5, status %6")
        .arg(status.value(u"firmware").toString(), value("input"), value("output"),
             QString::number(temperature.value(u"value").toDouble(), 'f', 1),
             temperature.value(u"unit").toString(),
             flags.isEmpty() ? QStringLiteral("good") : flags.join(u' '));
}

// One line for the instrument: text, or a JSON object with its port.
void Rack::tell(const Unit &unit, const QString &word, const QString &what)
{
    const bool good = word == u"ok";
    // The status was asked for as JSON; the text line takes its lines in one.
    const QJsonObject data = QJsonDocument::fromJson(unit.out.toUtf8()).object();
    if (m_options.json) {
        QJsonObject line{{"port", unit.port}, {"result", word}};
        if (!unit.serial.isEmpty()) line.insert(QStringLiteral("serial"), unit.serial);
        if (word != u"skipped") line.insert(QStringLiteral("exitCode"), unit.exitCode);
        if (!good) line.insert(QStringLiteral("reason"), what);
        if (good && m_options.command == Command::Status)
            line.insert(QStringLiteral("status"), data);
        else if (good && m_options.command == Command::Read)
            line.insert(QStringLiteral("settings"), data);
        else if (good && !what.isEmpty())
            line.insert(QStringLiteral("message"), what);
        out(QString::fromUtf8(QJsonDocument(line).toJson(QJsonDocument::Compact)) + u'\n');
        return;
    }
    QString shown = what;
    if (good && m_options.command == Command::Status)
        shown = statusLine(data);
    else if (good && !data.isEmpty())
        shown = QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
    shown.replace(u'\n', QStringLiteral("; "));
    if (!unit.serial.isEmpty()) shown = QStringLiteral("serial %1, %2").arg(unit.serial, shown);
    out(QStringLiteral("%1  %2  %3\n").arg(unit.port, -m_portWidth).arg(word, -7).arg(shown));
}

std::optional<QStringList> Rack::findInstruments()
{
    const DeviceHolders holders;
    const PortProbe probe = probePorts(
        allPortCandidates(), [&](const QString &port) { return probePort(port, holders); });
    if (probe.available.isEmpty()) {
        printError(QStringLiteral("--all: no free serial port found"));
        m_worst = ExitPort;
        return std::nullopt;
    }
    // A short probe: one try, within the instrument's time to answer.
    Options probeOptions = m_options;
    probeOptions.command = Command::Status;
    probeOptions.csvDirectory.clear();
    probeOptions.link.tries = 1;
    probeOptions.link.timeoutMs = std::min(probeOptions.link.timeoutMs, 500);
    serve(probe.available, probeOptions, true);
    if (m_interrupted) return std::nullopt;
    if (m_answering.isEmpty()) {
        printError(QStringLiteral("--all: no instrument answered on the free ports (%1)")
                       .arg(probe.available.join(QStringLiteral(", "))));
        m_worst = ExitNoAnswer;
        return std::nullopt;
    }
    m_answering.sort();
    return m_answering;
}

int Rack::summary()
{
    const int all = int(m_units.size());
    const QString done =
        QStringLiteral("%1 of %2 instruments done").arg(all - m_failed.size()).arg(all);
    QString text = QStringLiteral("summary: %1").arg(done);
    if (m_interrupted) text = QStringLiteral("summary so far (interrupted): %1").arg(done);
    if (!m_failed.isEmpty())
        text += QStringLiteral("; failed: %1").arg(m_failed.join(QStringLiteral(", ")));
    if (!m_stoppedBy.isEmpty())
        text += QStringLiteral("; stopped after the failure on %1").arg(m_stoppedBy);
    if (m_options.json) {
        QJsonObject summary{{"instruments", all},
                            {"done", all - int(m_failed.size())},
                            {"failed", QJsonArray::fromStringList(m_failed)},
                            {"interrupted", m_interrupted},
                            {"exitCode", m_worst}};
        if (!m_stoppedBy.isEmpty()) summary.insert(QStringLiteral("stoppedBy"), m_stoppedBy);
        text = QString::fromUtf8(
            QJsonDocument(QJsonObject{{"summary", summary}}).toJson(QJsonDocument::Compact));
    }
    out(text + u'\n');
    if (outputError() != 0 && !(m_options.command == Command::Monitor && outputReaderGone())) {
        printError(outputErrorText());
        return ExitUsage;
    }
    return m_worst;
}

int Rack::run()
{
    Options options = m_options;
    if (options.command == Command::Write) {
        // Checked once, before any port: every instrument gets the same settings.
        const std::optional<InstrumentSettings> settings = settingsToWrite(options);
        if (!settings) return ExitUsage;
        if (options.dryRun) {
            print(QStringLiteral("would write: %1\n").arg(settingsSummary(*settings)));
            return ExitDone;
        }
        options.settingsFile.clear();
        options.input = settings->input;
        options.output = settings->output;
    }
    if (!options.csvDirectory.isEmpty() && !QDir().mkpath(options.csvDirectory)) {
        printError(QStringLiteral("cannot make the folder %1 for the readings files")
                       .arg(options.csvDirectory));
        return ExitUsage;
    }
    if (options.command == Command::Monitor && !options.csvFile.isEmpty()) {
        CsvFormat format = CsvFormat::forLocale(QLocale());
        format.portColumn = true;
        m_csv = std::make_unique<ReadingsCsvWriter>(format);
        if (!m_csv->open(options.csvFile)) {
            printError(m_csv->errorString());
            return ExitUsage;
        }
    }
    QStringList ports = options.ports;
    if (options.allPorts) {
        const std::optional<QStringList> found = findInstruments();
        if (!found) return m_interrupted ? summary() : m_worst;
        ports = *found;
    }
    serve(ports, options, false);
    return summary();
}

} // namespace cli
