// Writing entries as JSON, and reading them and the calibration log's lines
// back with a reason for every line refused.
#include "records/entry_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace {

// Calibration log records get their UUID in this namespace (version 5), from
// what tells one calibration from another.
const QUuid LogRecordNamespace(QStringLiteral("{df780a95-f66e-465b-8df2-7a1679a0e446}"));

QJsonValue textOrNull(const QString &text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue dateOrNull(const QDate &date)
{
    return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

QJsonValue numberOrNull(const std::optional<double> &number)
{
    return number ? QJsonValue(*number) : QJsonValue(QJsonValue::Null);
}

QString timeText(const QDateTime &time)
{
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

QJsonObject verificationJson(const Verification &v)
{
    QJsonArray points;
    for (const VerificationPoint &p : v.points)
        points.append(QJsonObject{{"point", p.point},
                                  {"applied", p.applied},
                                  {"reading", p.reading},
                                  {"error", p.error},
                                  {"errorPercentOfSpan", p.errorPercentOfSpan},
                                  {"verdict", verdictName(p.verdict)}});
    return {{"phase", phaseName(v.phase)},
            {"side", sideName(v.side)},
            {"time", timeText(v.time)},
            {"unit", v.unit},
            {"tolerancePercentOfSpan", v.tolerancePercentOfSpan},
            {"guardBandPercentOfSpan", v.guardBandPercentOfSpan},
            {"points", points}};
}

// Reads the members of untrusted JSON, keeping the first thing wrong with
// the member's path ("record.asFound.workingMinutes is not a whole number").
class Reader {
public:
    QString error;

    bool ok() const { return error.isEmpty(); }

    QJsonValue member(const QJsonObject &object, const QString &path, const char *name,
                      bool required = true)
    {
        const QJsonValue value = object.value(QLatin1String(name));
        if (required && value.isUndefined()) fail(path, name, QStringLiteral("is missing"));
        return value;
    }
    QString text(const QJsonObject &object, const QString &path, const char *name,
                 bool nullable = true)
    {
        const QJsonValue value = member(object, path, name, !nullable);
        if (nullable && (value.isNull() || value.isUndefined())) return {};
        if (!value.isString()) fail(path, name, QStringLiteral("is not a text"));
        return value.toString();
    }
    double number(const QJsonObject &object, const QString &path, const char *name)
    {
        const QJsonValue value = member(object, path, name);
        if (!value.isDouble()) fail(path, name, QStringLiteral("is not a number"));
        return value.toDouble();
    }
    std::optional<double> optionalNumber(const QJsonObject &object, const QString &path,
                                         const char *name)
    {
        const QJsonValue value = member(object, path, name, false);
        if (value.isNull() || value.isUndefined()) return std::nullopt;
        return number(object, path, name);
    }
    qint64 whole(const QJsonObject &object, const QString &path, const char *name, qint64 low,
                 qint64 high)
    {
        const double value = number(object, path, name);
        // The range first: a number beyond a whole type must not be cast to one.
        if (ok() && (value < double(low) || value > double(high) || value != std::floor(value)))
            fail(path, name,
                 QStringLiteral("is not a whole number from %1 to %2").arg(low).arg(high));
        return ok() ? qint64(value) : 0;
    }
    QDate date(const QJsonObject &object, const QString &path, const char *name)
    {
        const QString value = text(object, path, name);
        const QDate date = QDate::fromString(value, Qt::ISODate);
        if (!value.isEmpty() && !date.isValid())
            fail(path, name, QStringLiteral("is not a date (YYYY-MM-DD)"));
        return date;
    }
    QDateTime time(const QJsonObject &object, const QString &path, const char *name)
    {
        const QString value = text(object, path, name, false);
        const QDateTime time = QDateTime::fromString(value, Qt::ISODateWithMs);
        if (ok() && !time.isValid())
            fail(path, name, QStringLiteral("is not a time in ISO 8601 with its offset"));
        return time;
    }
    QJsonObject object(const QJsonObject &object, const QString &path, const char *name)
    {
        const QJsonValue value = member(object, path, name);
        if (!value.isObject()) fail(path, name, QStringLiteral("is not an object"));
        return value.toObject();
    }
    QJsonArray array(const QJsonObject &object, const QString &path, const char *name)
    {
        const QJsonValue value = member(object, path, name, false);
        if (value.isUndefined() || value.isNull()) return {};
        if (!value.isArray()) fail(path, name, QStringLiteral("is not a list"));
        return value.toArray();
    }
    // Each item of a list as an object, with its path ("verifications[2]").
    template <typename F>
    void eachObject(const QJsonObject &parent, const QString &path, const char *name, F read)
    {
        const QJsonArray items = array(parent, path, name);
        for (qsizetype i = 0; ok() && i < items.size(); ++i) {
            const QString itemPath = join(path, name) + QStringLiteral("[%1]").arg(i);
            if (!items[i].isObject())
                error = itemPath + QStringLiteral(" is not an object");
            else
                read(items[i].toObject(), itemPath);
        }
    }
    template <typename E>
    E named(const QJsonObject &object, const QString &path, const char *name,
            std::optional<E> (*from)(const QString &))
    {
        const QString value = text(object, path, name, false);
        const std::optional<E> known = from(value);
        if (ok() && !known) fail(path, name, QStringLiteral("\"%1\" is not known").arg(value));
        return known.value_or(E{});
    }

    static QString join(const QString &path, const char *name)
    {
        return path.isEmpty() ? QString::fromLatin1(name) : path + u'.' + QLatin1String(name);
    }

private:
    void fail(const QString &path, const char *name, const QString &what)
    {
        if (ok()) error = join(path, name) + u' ' + what;
    }
};

std::optional<InstrumentState> readState(Reader &r, const QJsonObject &parent, const QString &path,
                                         const char *name)
{
    const QJsonValue value = r.member(parent, path, name, false);
    if (value.isNull() || value.isUndefined()) return std::nullopt;
    const QString at = Reader::join(path, name);
    const QJsonObject object = r.object(parent, path, name);
    if (!r.ok()) return std::nullopt;
    InstrumentState state;
    state.workingMinutes =
        quint32(r.whole(object, at, "workingMinutes", 0, std::numeric_limits<quint32>::max()));
    const QJsonValue temperature = r.member(object, at, "temperature", false);
    if (temperature.isObject())
        state.temperature =
            r.number(temperature.toObject(), at + QStringLiteral(".temperature"), "value");
    else if (!temperature.isNull() && !temperature.isUndefined())
        r.error = at + QStringLiteral(".temperature is neither an object nor null");
    const QDate calibrated = r.date(object, at, "calibrationDate");
    if (calibrated.isValid()) state.calibrationDate = calibrated;
    const QJsonObject status = r.object(object, at, "status");
    state.statusBits = quint8(r.whole(status, at + QStringLiteral(".status"), "bits", 0, 255));
    return state;
}

// What the calibration log's records and entries share.
void readRecordPart(Reader &r, const QJsonObject &o, const QString &path, CalibrationEntry &e)
{
    e.time = r.time(o, path, "time");
    const QJsonObject program = r.object(o, path, "program");
    e.programVersion = r.text(program, Reader::join(path, "program"), "version");
    const QString at = Reader::join(path, "instrument");
    const QJsonObject unit = r.object(o, path, "instrument");
    e.model = r.text(unit, at, "model", false);
    e.port = r.text(unit, at, "port");
    e.firmware = r.text(unit, at, "firmware");
    e.serialNumber = r.text(unit, at, "serialNumber").trimmed();
    e.technician = r.text(o, path, "technician");
    e.asFound = readState(r, o, path, "asFound");
    e.asLeft = readState(r, o, path, "asLeft");
    r.eachObject(o, path, "inputPoints", [&](const QJsonObject &p, const QString &at) {
        e.inputPoints.push_back(
            {r.text(p, at, "name", false), r.text(p, at, "step"),
             qint32(r.whole(p, at, "reading", std::numeric_limits<qint32>::min(),
                            std::numeric_limits<qint32>::max()))});
    });
    r.eachObject(o, path, "outputPoints", [&](const QJsonObject &p, const QString &at) {
        e.outputPoints.push_back({r.text(p, at, "name", false), r.text(p, at, "target"),
                                  int(r.whole(p, at, "pwm", 0, 65535))});
    });
    r.eachObject(o, path, "testPoints", [&](const QJsonObject &p, const QString &at) {
        e.testPoints.push_back(
            {r.text(p, at, "name", false), int(r.whole(p, at, "pwm", 0, 65535))});
    });
    if (!r.ok()) return;
    if (e.model.trimmed().isEmpty()) r.error = Reader::join(path, "instrument.model is empty");
    // Stored values belong to the wizard that stored them.
    const std::pair<const char *, bool> lists[] = {
        {"inputPoints", !e.inputPoints.empty() && e.kind != EntryKind::Input},
        {"outputPoints", !e.outputPoints.empty() && e.kind != EntryKind::Output},
        {"testPoints", !e.testPoints.empty() && e.kind != EntryKind::Output}};
    for (const auto &[name, misplaced] : lists)
        if (misplaced && r.ok())
            r.error = Reader::join(path, name) +
                      QStringLiteral(" do not belong to a record of the kind \"%1\"")
                          .arg(entryKindName(e.kind));
}

void readEntryPart(Reader &r, const QJsonObject &o, CalibrationEntry &e)
{
    const QString idText = r.text(o, {}, "id", false);
    e.id = QUuid::fromString(idText);
    if (r.ok() && e.id.isNull()) r.error = QStringLiteral("id is not a UUID");
    e.certificateNumber = r.text(o, {}, "certificateNumber");
    e.bench = r.text(o, {}, "bench");
    e.approver = r.text(o, {}, "approver");
    e.dueDate = r.date(o, {}, "dueDate");
    e.ambientTemperature = r.optionalNumber(o, {}, "ambientTemperature");
    e.relativeHumidity = r.optionalNumber(o, {}, "relativeHumidity");
    r.eachObject(o, {}, "verifications", [&](const QJsonObject &v, const QString &at) {
        Verification verification;
        verification.phase = r.named(v, at, "phase", &phaseFromName);
        verification.side = r.named(v, at, "side", &sideFromName);
        verification.time = r.time(v, at, "time");
        verification.unit = r.text(v, at, "unit");
        verification.tolerancePercentOfSpan = r.number(v, at, "tolerancePercentOfSpan");
        verification.guardBandPercentOfSpan = r.number(v, at, "guardBandPercentOfSpan");
        r.eachObject(v, at, "points", [&](const QJsonObject &p, const QString &pointAt) {
            verification.points.push_back(
                {r.text(p, pointAt, "point"), r.number(p, pointAt, "applied"),
                 r.number(p, pointAt, "reading"), r.number(p, pointAt, "error"),
                 r.number(p, pointAt, "errorPercentOfSpan"),
                 r.named(p, pointAt, "verdict", &verdictFromName)});
        });
        e.verifications.push_back(std::move(verification));
    });
    r.eachObject(o, {}, "standards", [&](const QJsonObject &s, const QString &at) {
        e.standards.push_back({r.text(s, at, "identifier", false), r.text(s, at, "description"),
                               r.text(s, at, "certificateNumber"), r.date(s, at, "dueDate")});
    });
}

bool hasFormat(Reader &r, const QJsonObject &o, const QString &path, const char *format)
{
    const QString at = path.isEmpty() ? QString() : path + u'.';
    if (r.text(o, path, "format") != QLatin1String(format)) {
        r.error = QStringLiteral("%1format is not \"%2\"").arg(at, QLatin1String(format));
        return false;
    }
    if (r.number(o, path, "version") != 1.0 && r.ok())
        r.error = QStringLiteral("%1version %2 is not known (this program reads version 1)")
                      .arg(at)
                      .arg(o.value(QStringLiteral("version")).toDouble());
    return r.ok();
}

EntryRead fromLogLine(Reader &r, const QJsonObject &line)
{
    EntryRead read;
    const QString event = r.text(line, {}, "event", false);
    if (r.ok() && event != u"calibration" && event != u"report")
        r.error =
            QStringLiteral("event \"%1\" is neither \"calibration\" nor \"report\"").arg(event);
    const QJsonObject record = r.object(line, {}, "record");
    if (!r.ok() || !hasFormat(r, record, QStringLiteral("record"), CalibrationRecordFormatName))
        return {std::nullopt, r.error};
    CalibrationEntry e;
    const QString kind = r.text(record, QStringLiteral("record"), "kind", false);
    if (kind != u"input" && kind != u"output" && r.ok())
        r.error =
            QStringLiteral("record.kind \"%1\" is neither \"input\" nor \"output\"").arg(kind);
    e.kind = kind == u"input" ? EntryKind::Input : EntryKind::Output;
    readRecordPart(r, record, QStringLiteral("record"), e);
    if (!r.ok()) return {std::nullopt, r.error};
    // The same calibration, however often it was logged, is one entry.
    e.id = QUuid::createUuidV5(
        LogRecordNamespace,
        QStringLiteral("%1|%2|%3").arg(kind, record.value("time").toString(), e.port));
    e.dueDate = e.time.date().addMonths(DefaultIntervalMonths);
    read.entry = std::move(e);
    return read;
}

} // namespace

QJsonObject entryToJson(const CalibrationEntry &e)
{
    // The record's own JSON, with what only the records know beside it.
    QJsonObject o = e.toRecord().toJson();
    o[QStringLiteral("format")] = QString::fromLatin1(EntryFormatName);
    o[QStringLiteral("version")] = EntryFormatVersion;
    o[QStringLiteral("kind")] = entryKindName(e.kind);
    if (e.kind == EntryKind::Verification) o.remove(QStringLiteral("inputPoints"));
    QJsonObject instrument = o[QStringLiteral("instrument")].toObject();
    instrument[QStringLiteral("model")] = e.model;
    o[QStringLiteral("instrument")] = instrument;
    o[QStringLiteral("id")] = e.id.toString(QUuid::WithoutBraces);
    o[QStringLiteral("certificateNumber")] = textOrNull(e.certificateNumber);
    o[QStringLiteral("bench")] = textOrNull(e.bench);
    o[QStringLiteral("approver")] = textOrNull(e.approver);
    o[QStringLiteral("dueDate")] = dateOrNull(e.dueDate);
    o[QStringLiteral("ambientTemperature")] = numberOrNull(e.ambientTemperature);
    o[QStringLiteral("relativeHumidity")] = numberOrNull(e.relativeHumidity);
    QJsonArray verifications;
    for (const Verification &v : e.verifications)
        verifications.append(verificationJson(v));
    o[QStringLiteral("verifications")] = verifications;
    QJsonArray standards;
    for (const ReferenceStandard &s : e.standards)
        standards.append(QJsonObject{{"identifier", s.identifier},
                                     {"description", textOrNull(s.description)},
                                     {"certificateNumber", textOrNull(s.certificateNumber)},
                                     {"dueDate", dateOrNull(s.dueDate)}});
    o[QStringLiteral("standards")] = standards;
    return o;
}

EntryRead readEntryLine(const QByteArray &line)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return {std::nullopt, QStringLiteral("not JSON: %1 at character %2")
                                  .arg(parseError.errorString())
                                  .arg(parseError.offset + 1)};
    if (!document.isObject()) return {std::nullopt, QStringLiteral("not a JSON object")};
    const QJsonObject o = document.object();
    Reader r;
    if (!o.contains(QStringLiteral("format"))) return fromLogLine(r, o);
    if (!hasFormat(r, o, {}, EntryFormatName)) return {std::nullopt, r.error};
    CalibrationEntry e;
    e.kind = r.named(o, {}, "kind", &entryKindFromName);
    readRecordPart(r, o, {}, e);
    readEntryPart(r, o, e);
    if (!r.ok()) return {std::nullopt, r.error};
    return {std::move(e), {}, 0};
}

EntryLines readEntryLines(const QByteArray &text, int firstLine)
{
    EntryLines lines;
    qsizetype start = 0;
    for (int number = firstLine;; ++number) {
        const qsizetype end = text.indexOf('\n', start);
        if (end < 0) break;
        const QByteArray line = text.sliced(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty()) continue;
        EntryRead read = readEntryLine(line);
        read.line = number;
        if (read.entry)
            lines.entries.push_back(std::move(read));
        else
            lines.refused.push_back({number, read.error});
    }
    return lines;
}
