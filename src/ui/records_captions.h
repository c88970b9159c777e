// Texts of the calibration records in the window, in both languages: the
// "Records" dialog, the notice on the calibration pages that says where a
// record was kept, and the messages when it was not. They follow the caption
// language like the window's other texts.
#pragma once

#include "ui/captions.h"

#include <QString>

enum class RecordsCaption : int {
    OpenButton,   // the button that opens the dialog
    DialogTitle,  // %1 the serial number, or empty for every unit
    SerialFilter, // label of the serial number filter
    HistoryTab,   // the unit's calibrations
    DueTab,       // the units due
    DueWithin,    // label before the number of days
    DaysSuffix,   // after the number of days
    ColumnTime,   // when the calibration was made
    ColumnKind,   // input, output, verification
    ColumnCertificate,
    ColumnAsFound,
    ColumnAsLeft,
    ColumnDue,
    ColumnSerial,
    ColumnBench,
    ColumnTechnician,
    ColumnState, // where the record is: the pending mark
    KindInput,   // values of ColumnKind
    KindOutput,
    KindVerification,
    VerdictPass,
    VerdictGuardBand,
    VerdictFail,
    NotYetShared, // "not yet in the shared records"
    Overdue,      // a due date already past
    Reading,      // while the records are read
    Count,        // %1 records listed
    NoneFound,    // nothing listed
    SharedAway,   // %1 why: only the spool is listed
    NotRead,      // %1 why the records cannot be read
    Reprint,      // button
    Close,        // button
    ReprintTitle,
    NotReprinted, // %1 why
    Reprinted,    // %1 file
    NoticeStoring,
    NoticeStored,     // %1 the certificate number
    NoticeStoredNone, // stored, no certificate number
    NoticeSpooled,    // %1 the certificate number
    NoticeNotStored,
    NotStoredTitle,
    NotStored, // %1 the records, %2 why
    OtherUnit, // %1 the unit the records hold it for
};
inline constexpr int kRecordsCaptionCount = 43;

QString recordsCaptionText(CaptionLanguage language, RecordsCaption caption);
