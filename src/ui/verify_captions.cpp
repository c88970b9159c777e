// The Verification page's texts.
#include "ui/verify_captions.h"
#include "ui/caption_table.h"

#include <array>

namespace {

constexpr std::array<LanguageRow<VerifyCaption>, kVerifyCaptionCount> kRows{{
    {VerifyCaption::Page, u"Verification", u"Ellenőrzés"},
    {VerifyCaption::AsFound, u"As found", u"Átvételi állapot"},
    {VerifyCaption::AsLeft, u"As left", u"Kiadási állapot"},
    {VerifyCaption::Input, u"Input", u"Bemenet"},
    {VerifyCaption::Output, u"Output", u"Kimenet"},
    {VerifyCaption::TestPoints, u"Test points (% of scale):", u"Mérési pontok (a skála %-a):"},
    {VerifyCaption::Tolerance, u"Tolerance (± % of span):", u"Tűrés (± a tartomány %-a):"},
    {VerifyCaption::GuardBand, u"Guard band (% of span):", u"Védősáv (a tartomány %-a):"},
    {VerifyCaption::Replies, u"Replies averaged:", u"Átlagolt válaszok:"},
    {VerifyCaption::StableBand, u"Stable within (% of span):", u"Stabil, ha ezen belül (%):"},
    {VerifyCaption::Point, u"Point", u"Pont"},
    {VerifyCaption::Applied, u"Applied", u"Alapérték"},
    {VerifyCaption::Expected, u"Expected", u"Elvárt érték"},
    {VerifyCaption::Reading, u"Reading", u"Mért érték"},
    {VerifyCaption::Error, u"Error", u"Hiba"},
    {VerifyCaption::ErrorPercent, u"Error, %", u"Hiba, %"},
    {VerifyCaption::Verdict, u"Verdict", u"Minősítés"},
    {VerifyCaption::Capture, u"Capture", u"Rögzítés"},
    {VerifyCaption::Capturing, u"Waiting for a steady reading: %1 of %2",
     u"Stabil mért értékre vár: %1 / %2"},
    {VerifyCaption::NoInputValue,
     u"Waiting for an input value: the instrument reports its input as not calibrated.",
     u"Bemeneti értékre vár: a készülék szerint a bemenete nincs kalibrálva."},
    {VerifyCaption::NextAsFound, u"Next: verify as found, before any adjustment.",
     u"Következik: átvételi ellenőrzés, beállítás előtt."},
    {VerifyCaption::NextCalibrate,
     u"Next: calibrate on the calibration pages, then verify as left.",
     u"Következik: kalibrálás a kalibráló lapokon, utána kiadási ellenőrzés."},
    {VerifyCaption::NextAsLeft, u"Next: verify as left, after the calibration.",
     u"Következik: kiadási ellenőrzés, a kalibrálás után."},
    {VerifyCaption::NextCertificate, u"Next: the certificate.", u"Következik: a bizonyítvány."},
    {VerifyCaption::NoUnit,
     u"Open the port; the unit's serial number is asked for at the first capture.",
     u"Nyissa meg a portot; a készülék gyári számát az első rögzítéskor kéri a program."},
    {VerifyCaption::Standards, u"Reference standards used:", u"Felhasznált etalonok:"},
    {VerifyCaption::StandardId, u"Identifier", u"Azonosító"},
    {VerifyCaption::StandardDescription, u"Description", u"Leírás"},
    {VerifyCaption::StandardCertificate, u"Certificate No.", u"Bizonyítvány száma"},
    {VerifyCaption::StandardDue, u"Due", u"Érvényes"},
    {VerifyCaption::SaveStandard, u"Save standard", u"Etalon mentése"},
    {VerifyCaption::Temperature, u"Ambient temperature (°C):", u"Környezeti hőmérséklet (°C):"},
    {VerifyCaption::Humidity, u"Relative humidity (%):", u"Relatív páratartalom (%):"},
    {VerifyCaption::Technician, u"Technician:", u"Kalibrálást végezte:"},
    {VerifyCaption::Approver, u"Approved by:", u"Jóváhagyta:"},
    {VerifyCaption::Certificate, u"Certificate…", u"Bizonyítvány…"},
    {VerifyCaption::CertificateWritten, u"Certificate %1 written: %2",
     u"A(z) %1 számú bizonyítvány elkészült: %2"},
    {VerifyCaption::NotShared, u" (not yet in the shared records)",
     u" (még nincs a közös nyilvántartásban)"},
    {VerifyCaption::NotStored, u"The record was not stored, so no certificate was issued: %1",
     u"A bejegyzés nem tárolható, ezért bizonyítvány sem készült: %1"},
    {VerifyCaption::NotWritten, u"The certificate was not written to\n%1\n\n%2",
     u"A bizonyítvány nem írható ebbe a fájlba:\n%1\n\n%2"},
    {VerifyCaption::RecordsUnavailable, u"The calibration records cannot be used: %1",
     u"A kalibrálási nyilvántartás nem használható: %1"},
    {VerifyCaption::BadTestPoints, u"2 to 11 points of 0 ... 100 %, none twice, separated by \";\"",
     u"2-11 pont 0 ... 100 % között, mindegyik egyszer, \";\" jellel elválasztva"},
    {VerifyCaption::NothingToCertify,
     u"Nothing to certify yet: verify the unit, or calibrate it, in this connection first.",
     u"Még nincs mit tanúsítani: előbb ellenőrizze vagy kalibrálja a készüléket ebben a "
     u"kapcsolatban."},
    {VerifyCaption::StoreDoubtTitle, u"Calibration values not plausible",
     u"Valószínűtlen kalibrálási értékek"},
    {VerifyCaption::StoreDoubtText,
     u"A working unit does not give these values:\n\n%1\n\nStore them in the instrument anyway?",
     u"Működő készülék nem ad ilyen értékeket:\n\n%1\n\nMégis tárolja őket a készülékben?"},
}};

static_assert(rowsFollowTheEnum(kRows), "one row per caption, in the enum's order");

} // namespace

QString verifyCaptionText(CaptionLanguage language, VerifyCaption caption)
{
    return rowText(kRows, language, caption);
}
