// The link's enumerations (line speed, mode, activity, result) and their texts,
// shared by the engine, the panel and the hosts.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace MBTypes {
Q_NAMESPACE

enum class TMBBaud : quint8 {
    baud000075,
    baud000110,
    baud000134,
    baud000150,
    baud000300,
    baud000600,
    baud001200,
    baud001800,
    baud002400,
    baud004800,
    baud007200,
    baud009600,
    baud014400,
    baud019200,
    baud038400,
    baud057600,
    baud115200,
    baud128000,
    baud230400,
    baud460800,
    baud921600,
};
Q_ENUM_NS(TMBBaud)

enum class TMBMode : quint8 { modeMaster, modeSlave, modeDiagnostic, modeByte, modeString };
Q_ENUM_NS(TMBMode)

// Master, slave and diagnostic mode speak in frames; byte and string mode
// send and receive raw characters.
constexpr bool usesFrames(TMBMode mode)
{
    return mode == TMBMode::modeMaster || mode == TMBMode::modeSlave ||
           mode == TMBMode::modeDiagnostic;
}

enum class TMBStatusNow : quint8 {
    stnReady,
    stnSending,
    stnWaitingForAnswer,
    stnReceiving,
    stnPortError,
    stnTimeOut,
    stnWaitingForCommand,
    stnReceivedCommand,
};
Q_ENUM_NS(TMBStatusNow)

enum class TMBStatus : quint8 { stOK, stSlaveGlobalError, stTimeOut, stPortError };
Q_ENUM_NS(TMBStatus)

// Lamp colours of the panel; the panel maps Neutral to its button-face colour.
enum class TMBLamp : quint8 { Neutral, Green, Orange, Red };
Q_ENUM_NS(TMBLamp)

} // namespace MBTypes

using MBTypes::TMBBaud;
using MBTypes::TMBLamp;
using MBTypes::TMBMode;
using MBTypes::TMBStatus;
using MBTypes::TMBStatusNow;

// One row of the speed table: list entry i is TMBBaud ordinal i.
struct MBBaudEntry {
    TMBBaud baud;
    std::uint32_t speed;
    const char *text;
};

inline constexpr std::array<MBBaudEntry, 21> kMBBaudTable{{
    {TMBBaud::baud000075, 75, "75 baud"},         {TMBBaud::baud000110, 110, "110 baud"},
    {TMBBaud::baud000134, 134, "134 baud"},       {TMBBaud::baud000150, 150, "150 baud"},
    {TMBBaud::baud000300, 300, "300 baud"},       {TMBBaud::baud000600, 600, "600 baud"},
    {TMBBaud::baud001200, 1200, "1200 baud"},     {TMBBaud::baud001800, 1800, "1800 baud"},
    {TMBBaud::baud002400, 2400, "2400 baud"},     {TMBBaud::baud004800, 4800, "4800 baud"},
    {TMBBaud::baud007200, 7200, "7200 baud"},     {TMBBaud::baud009600, 9600, "9600 baud"},
    {TMBBaud::baud014400, 14400, "14400 baud"},   {TMBBaud::baud019200, 19200, "19200 baud"},
    {TMBBaud::baud038400, 38400, "38400 baud"},   {TMBBaud::baud057600, 57600, "57600 baud"},
    {TMBBaud::baud115200, 115200, "115200 baud"}, {TMBBaud::baud128000, 128000, "128000 baud"},
    {TMBBaud::baud230400, 230400, "230400 baud"}, {TMBBaud::baud460800, 460800, "460800 baud"},
    {TMBBaud::baud921600, 921600, "921600 baud"},
}};

// Numeric speed of a TMBBaud ordinal; an ordinal outside the table gives 9600.
std::uint32_t mbBaudToSpeed(int ordinal);
inline std::uint32_t mbBaudToSpeed(TMBBaud baud)
{
    return mbBaudToSpeed(int(baud));
}
// The TMBBaud of a numeric speed; a speed not in the table reads as baud009600.
TMBBaud mbSpeedToBaud(std::uint32_t speed);
// The 21 texts of the speed list, in ordinal order.
QStringList mbBaudListTexts();

QString mbStatusNowText(TMBStatusNow status);
// The text of a result; stSlaveGlobalError carries the slave's result code.
QString mbStatusText(TMBStatus status, int slaveCode = 0);
// The status lamp's colour for a result.
TMBLamp mbStatusLamp(TMBStatus status);
// A lamp colour as 0x00BBGGRR (Neutral has no fixed value and gives -1).
qint64 mbLampColourValue(TMBLamp lamp);
