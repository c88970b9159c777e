// Assembling the record of a certificate.
#include "records/certificate_entry.h"

CalibrationEntry certificateEntry(const std::optional<CalibrationRecord> &calibration,
                                  const std::vector<Verification> &verifications,
                                  const CertificateDetails &details, const QDateTime &now)
{
    CalibrationEntry entry;
    if (calibration) {
        entry = CalibrationEntry::fromRecord(*calibration);
    } else {
        entry.id = QUuid::createUuid();
        entry.kind = EntryKind::Verification;
        entry.time = now;
        QDateTime latest;
        for (const Verification &v : verifications)
            if (v.time.isValid() && (!latest.isValid() || v.time > latest)) latest = v.time;
        if (latest.isValid()) entry.time = latest;
    }
    entry.serialNumber = details.serialNumber;
    entry.port = calibration ? entry.port : details.port;
    entry.firmware = calibration ? entry.firmware : details.firmware;
    if (entry.programVersion.isEmpty()) entry.programVersion = details.programVersion;
    entry.technician = details.technician;
    entry.approver = details.approver;
    entry.verifications = verifications;
    entry.standards = details.standards;
    entry.ambientTemperature = details.ambientTemperature;
    entry.relativeHumidity = details.relativeHumidity;
    entry.dueDate = entry.time.date().addMonths(details.intervalMonths);
    return entry;
}
