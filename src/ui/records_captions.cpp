// The records' texts in both languages.
#include "ui/records_captions.h"
#include "ui/caption_table.h"

#include <array>

namespace {

constexpr std::array<LanguageRow<RecordsCaption>, kRecordsCaptionCount> kRows{{
    {RecordsCaption::OpenButton, u"Records…", u"Nyilvántartás…"},
    {RecordsCaption::DialogTitle, u"Records", u"Kalibrálási nyilvántartás"},
    {RecordsCaption::SerialFilter, u"&Serial number:", u"&Gyári szám:"},
    {RecordsCaption::HistoryTab, u"&Calibrations of the unit", u"A &készülék kalibrálásai"},
    {RecordsCaption::DueTab, u"Units &due", u"&Esedékes készülékek"},
    {RecordsCaption::DueWithin, u"Due in the &next", u"Esedékes a &következő"},
    {RecordsCaption::DaysSuffix, u"days, or overdue", u"napban, vagy lejárt"},
    {RecordsCaption::ColumnTime, u"Calibrated", u"Kalibrálva"},
    {RecordsCaption::ColumnKind, u"Kind", u"Fajta"},
    {RecordsCaption::ColumnCertificate, u"Certificate", u"Bizonyítvány"},
    {RecordsCaption::ColumnAsFound, u"As found", u"Kalibrálás előtt"},
    {RecordsCaption::ColumnAsLeft, u"As left", u"Kalibrálás után"},
    {RecordsCaption::ColumnDue, u"Due", u"Esedékes"},
    {RecordsCaption::ColumnSerial, u"Serial number", u"Gyári szám"},
    {RecordsCaption::ColumnBench, u"Bench", u"Munkahely"},
    {RecordsCaption::ColumnTechnician, u"Technician", u"Végezte"},
    {RecordsCaption::ColumnState, u"Records", u"Nyilvántartás"},
    {RecordsCaption::KindInput, u"Input", u"Bemenet"},
    {RecordsCaption::KindOutput, u"Output", u"Kimenet"},
    {RecordsCaption::KindVerification, u"Verification", u"Ellenőrzés"},
    {RecordsCaption::VerdictPass, u"Pass", u"Megfelelt"},
    {RecordsCaption::VerdictGuardBand, u"Pass within guard band", u"Megfelelt (védősávon belül)"},
    {RecordsCaption::VerdictFail, u"Fail", u"Nem felelt meg"},
    {RecordsCaption::NotYetShared, u"not yet in the shared records",
     u"még nincs a közös nyilvántartásban"},
    {RecordsCaption::Overdue, u"overdue", u"lejárt"},
    {RecordsCaption::Reading, u"Reading the records…", u"A nyilvántartás olvasása…"},
    {RecordsCaption::Count, u"Records listed: %1", u"Bejegyzések: %1"},
    {RecordsCaption::NoneFound, u"No records", u"Nincs bejegyzés"},
    {RecordsCaption::SharedAway,
     u"The shared records cannot be reached (%1): only this bench's records not yet sent are "
     u"listed.",
     u"A közös nyilvántartás nem érhető el (%1): csak a munkahely még el nem küldött bejegyzései "
     u"láthatók."},
    {RecordsCaption::NotRead, u"The records cannot be read: %1",
     u"A nyilvántartás nem olvasható: %1"},
    {RecordsCaption::Reprint, u"&Reprint report…", u"Jegyzőkönyv ú&jranyomtatása…"},
    {RecordsCaption::Close, u"Close", u"Bezárás"},
    {RecordsCaption::ReprintTitle, u"Reprint the calibration report",
     u"Kalibrálási jegyzőkönyv újranyomtatása"},
    {RecordsCaption::NotReprinted, u"The calibration report was not written:\n%1",
     u"A kalibrálási jegyzőkönyv nem készült el:\n%1"},
    {RecordsCaption::Reprinted, u"Written to %1", u"Elmentve: %1"},
    {RecordsCaption::NoticeStoring, u"Storing in the records…", u"Tárolás a nyilvántartásban…"},
    {RecordsCaption::NoticeStored, u"Stored in the records, certificate %1",
     u"Tárolva a nyilvántartásban, bizonyítvány: %1"},
    {RecordsCaption::NoticeStoredNone, u"Stored in the records", u"Tárolva a nyilvántartásban"},
    {RecordsCaption::NoticeSpooled, u"Certificate %1, not yet in the shared records",
     u"Bizonyítvány: %1, még nincs a közös nyilvántartásban"},
    {RecordsCaption::NoticeNotStored, u"Not stored in the records",
     u"Nincs tárolva a nyilvántartásban"},
    {RecordsCaption::NotStoredTitle, u"Calibration records", u"Kalibrálási nyilvántartás"},
    {RecordsCaption::NotStored,
     u"The calibration record could not be stored in the records\n%1\n\n%2\n\nIt stays in the "
     u"calibration log, from which it goes into the records at the program's next start.",
     u"A kalibrálás adatai nem tárolhatók a nyilvántartásban:\n%1\n\n%2\n\nA kalibrálási "
     u"naplóban megmaradnak, és a program következő indításakor onnan kerülnek a "
     u"nyilvántartásba."},
    {RecordsCaption::OtherUnit,
     u"The records hold this calibration for the unit %1; it was not stored for another unit.",
     u"A nyilvántartás ezt a kalibrálást a(z) %1 gyári számú készüléknél tartja nyilván; más "
     u"készülékhez nem került."},
}};

static_assert(rowsFollowTheEnum(kRows), "records caption rows must follow the enum order");

} // namespace

QString recordsCaptionText(CaptionLanguage language, RecordsCaption caption)
{
    return rowText(kRows, language, caption);
}
