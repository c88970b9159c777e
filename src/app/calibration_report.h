// The printed calibration report: one A4 page with the product and the
// program's version in its header, the unit and the calibration, the
// instrument's state as found and as left, the values stored, and a line for
// the technician's signature; written with Qt's own PDF writer. The record
// itself goes beside it as JSON, so the page and the data never part.
#pragma once

#include "app/pdf_page.h"
#include "core/calibration_record.h"
#include "ui/captions.h"

#include <QString>

// The record's file beside a report: the same name with ".json".
QString calibrationRecordPathFor(const QString &reportPath);

// Writes the report and its record file, each whole or not at all. False
// with the reason when either cannot be written; a path held by something
// other than a regular file (a folder, a device) is refused, never replaced.
bool writeCalibrationReport(const CalibrationRecord &record, const QString &reportPath,
                            CaptionLanguage language, QString &error);

// Parts of the page that certificates print as well: the product, the
// program and its version above the title; the instrument's state as found
// and as left; the values stored.
void paintDocumentHeader(PdfPage &page, CaptionLanguage language, const QString &title);
void paintInstrumentState(PdfPage &page, const CalibrationRecord &record, CaptionLanguage language);
void paintStoredValues(PdfPage &page, const CalibrationRecord &record, CaptionLanguage language);
