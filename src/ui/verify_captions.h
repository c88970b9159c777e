// Texts of the Verification page, its dialogs and messages, and of the
// question before a calibration that does not look plausible is stored, in
// both languages. They follow the caption language.
#pragma once

#include "ui/captions.h"

#include <QString>

enum class VerifyCaption : int {
    Page,
    AsFound,
    AsLeft,
    Input,
    Output,
    TestPoints,
    Tolerance,
    GuardBand,
    Replies,
    StableBand,
    Point,
    Applied,
    Expected,
    Reading,
    Error,
    ErrorPercent,
    Verdict,
    Capture,
    Capturing,    // %1 readings steady, %2 wanted
    NoInputValue, // while capturing: the reply has no calibrated input value
    NextAsFound,
    NextCalibrate,
    NextAsLeft,
    NextCertificate,
    NoUnit, // no reply or no serial number yet
    Standards,
    StandardId,
    StandardDescription,
    StandardCertificate,
    StandardDue,
    SaveStandard,
    Temperature,
    Humidity,
    Technician,
    Approver,
    Certificate,
    CertificateWritten, // %1 certificate number, %2 file
    NotShared,          // appended to CertificateWritten
    NotStored,          // %1 reason
    NotWritten,         // %1 file, %2 reason
    RecordsUnavailable, // %1 reason
    BadTestPoints,
    NothingToCertify,
    StoreDoubtTitle,
    StoreDoubtText, // %1 the doubts, one a line
};
inline constexpr int kVerifyCaptionCount = 45;

QString verifyCaptionText(CaptionLanguage language, VerifyCaption caption);
