// The Verification page and the calibration records: the reference
// standards list, and the certificate with the record it is issued for.
#include "app/certificate.h"
#include "app/commandline.h"
#include "app/form_verify.h"
#include "records/certificate_entry.h"
#include "records/entry_json.h"
#include "text/numberpattern.h"

#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {

QString standardLine(const ReferenceStandard &s)
{
    QString line = s.identifier;
    if (!s.description.isEmpty()) line += QStringLiteral(" – ") + s.description;
    return line +
           QStringLiteral(" (%1, %2)").arg(s.certificateNumber, s.dueDate.toString(Qt::ISODate));
}

// What a certificate wants of the records' answer.
struct StoreAnswer {
    bool kept = false;
    bool shared = true;
    CalibrationEntry entry;
    QString reason;
    QString logError; // why the calibration log did not take it
};

} // namespace

void VerificationPage::loadStandards()
{
    if (!m_records) return;
    m_records->run<std::optional<std::vector<ReferenceStandard>>>(
        this,
        [](BenchRecords *records,
           const QString &) -> std::optional<std::vector<ReferenceStandard>> {
            if (!records || !records->records()) return std::nullopt;
            return records->records()->standards();
        },
        [this](const std::optional<std::vector<ReferenceStandard>> &standards) {
            if (!standards) return;
            // Ticks survive a reload: the technician picked them.
            QStringList ticked;
            for (int i = 0; i < standardsList->count(); ++i)
                if (standardsList->item(i)->checkState() == Qt::Checked)
                    ticked << m_standards[std::size_t(i)].identifier;
            m_standards = *standards;
            standardsList->clear();
            for (const ReferenceStandard &s : m_standards) {
                auto *item = new QListWidgetItem(standardLine(s), standardsList);
                item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                item->setCheckState(ticked.contains(s.identifier) ? Qt::Checked : Qt::Unchecked);
            }
            emit standardsLoaded();
        });
}

void VerificationPage::saveStandard()
{
    ReferenceStandard s{standardId->text().trimmed(), standardDescription->text().trimmed(),
                        standardCertificate->text().trimmed(), standardDue->date()};
    if (s.identifier.isEmpty() || !m_records) return;
    m_records->run<QString>(
        this,
        [s](BenchRecords *records, const QString &error) {
            if (!records) return error;
            if (!records->records()) return records->error();
            return records->records()->saveStandard(s) ? QString() : records->records()->error();
        },
        [this](const QString &error) {
            if (!error.isEmpty())
                showMessage(this, text(VerifyCaption::Page),
                            text(VerifyCaption::RecordsUnavailable).arg(error));
            loadStandards();
        });
}

void VerificationPage::issueCertificate()
{
    if (!unitKnown()) return;
    m_runs.forUnit(m_unit.connection(), m_unit.serialNumber());
    if (m_runs.all().empty() && !m_calibration) {
        showMessage(this, text(VerifyCaption::Page), text(VerifyCaption::NothingToCertify));
        return;
    }
    if (!m_records) {
        showMessage(this, text(VerifyCaption::Page),
                    text(VerifyCaption::RecordsUnavailable).arg(QStringLiteral("-")));
        return;
    }
    const QString path = askFileName(
        this,
        {FileQuestion::Mode::Save,
         text(VerifyCaption::Certificate),
         QDir::home().filePath(QStringLiteral("certificate-%1.pdf").arg(m_unit.serialNumber())),
         {fileCaptionText(m_language, FileCaption::PdfFilter)}});
    if (path.isEmpty()) return;

    CertificateDetails details;
    details.serialNumber = m_unit.serialNumber();
    if (const std::optional<SettingsSource> heard = m_unit.lastHeard()) {
        details.port = heard->port;
        details.firmware = heard->firmware;
    }
    details.programVersion = kVersionDate;
    details.technician = technicianEdit->text().trimmed();
    details.approver = approverEdit->text().trimmed();
    for (int i = 0; i < standardsList->count(); ++i)
        if (standardsList->item(i)->checkState() == Qt::Checked)
            details.standards.push_back(m_standards[std::size_t(i)]);
    details.ambientTemperature = parseLocaleNumber(temperatureEdit->text());
    details.relativeHumidity = parseLocaleNumber(humidityEdit->text());
    bool ok = false;
    const int months =
        m_ini.value(QString::fromLatin1(Section), QStringLiteral("IntervalMonths")).toInt(&ok);
    if (ok && months > 0) details.intervalMonths = months;
    m_ini.setValue(QString::fromLatin1(Section), QStringLiteral("Technician"), details.technician);
    m_ini.setValue(QString::fromLatin1(Section), QStringLiteral("Approver"), details.approver);

    // Only what belongs to the unit on the line: its runs, its calibration.
    m_runs.forUnit(m_unit.connection(), m_unit.serialNumber());
    const CalibrationEntry entry =
        certificateEntry(m_calibration, m_runs.all(), details, QDateTime::currentDateTime());
    certificateButton->setEnabled(false);
    const CaptionLanguage language = m_language;
    m_records->run<StoreAnswer>(
        this,
        [entry, log = log](BenchRecords *records, const QString &error) {
            StoreAnswer answer{false, true, entry, error, {}};
            if (!records) return answer;
            const BenchRecords::Stored stored = records->store(answer.entry);
            answer.kept = stored.where != BenchRecords::Stored::Where::Nowhere &&
                          stored.kind != RecordsStore::Outcome::Kind::OtherUnit &&
                          stored.kind != RecordsStore::Outcome::Kind::Failed;
            answer.shared = stored.where == BenchRecords::Stored::Where::Records;
            answer.entry.certificateNumber = stored.certificateNumber;
            answer.reason = stored.reason;
            // The log keeps every verification as well; the records read it
            // back as the entry they hold already.
            if (answer.kept) log.appendObject(entryToJson(answer.entry), answer.logError);
            return answer;
        },
        [this, path, language](const StoreAnswer &answer) {
            certificateButton->setEnabled(true);
            if (!answer.kept) {
                showMessage(this, text(VerifyCaption::Page),
                            text(VerifyCaption::NotStored).arg(answer.reason));
                emit certificateDone(false, {});
                return;
            }
            // The record is kept: the certificate is printed from it alone.
            QString error;
            if (!writeCertificatePdf(answer.entry, language, path, error)) {
                showMessage(
                    this, text(VerifyCaption::Page),
                    text(VerifyCaption::NotWritten).arg(QDir::toNativeSeparators(path), error));
                emit certificateDone(false, answer.entry.certificateNumber);
                return;
            }
            if (!answer.logError.isEmpty())
                showMessage(this, text(VerifyCaption::Page),
                            fileCaptionText(m_language, FileCaption::NotLogged)
                                .arg(QDir::toNativeSeparators(log.path()), answer.logError));
            m_status = text(VerifyCaption::CertificateWritten)
                           .arg(answer.entry.certificateNumber, QFileInfo(path).fileName()) +
                       (answer.shared ? QString() : text(VerifyCaption::NotShared));
            refreshNext();
            emit certificateDone(true, answer.entry.certificateNumber);
        });
}
