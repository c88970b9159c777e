// The record a certificate is issued for: the calibration the wizards stored
// into the unit in this connection, if any, with the verifications run
// before and after it, the reference standards, the ambient conditions and
// the people, and the date the unit is next due.
#pragma once

#include "records/records_entry.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

struct CertificateDetails {
    QString serialNumber;
    QString port;
    QString firmware;
    QString programVersion;
    QString technician;
    QString approver;
    std::vector<ReferenceStandard> standards;
    std::optional<double> ambientTemperature; // degrees Celsius
    std::optional<double> relativeHumidity;   // percent
    int intervalMonths = DefaultIntervalMonths;
};

// A new entry with a UUID of its own. Its time is the calibration's, or
// without one the latest verification's (`now` without either); it is due
// `intervalMonths` after that.
CalibrationEntry certificateEntry(const std::optional<CalibrationRecord> &calibration,
                                  const std::vector<Verification> &verifications,
                                  const CertificateDetails &details, const QDateTime &now);
