// The calibration certificate: the unit, the procedure, the reference
// standards, the ambient conditions, the verifications as found and as left
// with their errors and verdicts, the calibration performed, the overall
// verdict, the date the unit is next due, and the technician's and the
// approver's signature lines; A4, in the window's language. It is drawn
// from a calibration entry alone, so a certificate printed years later from
// the records reads as the first one did. The entry goes beside it as JSON.
#pragma once

#include "records/records_entry.h"
#include "ui/captions.h"

#include <QString>

// Writes the certificate and the entry's JSON beside it (the same name with
// ".json"), both whole or neither; false with the reason otherwise. A path
// held by something other than a regular file is refused, never replaced.
bool writeCertificatePdf(const CalibrationEntry &entry, CaptionLanguage language,
                         const QString &path, QString &error);

// "Pass", "Fail", "Passed within guard band" in the language.
QString verdictText(Verdict verdict, CaptionLanguage language);
// A number as the language writes it, in groups of three digits with the
// language's decimal mark: "1 234.5678" or "1 234,5678".
QString certificateNumberText(double value, int decimals, CaptionLanguage language);
