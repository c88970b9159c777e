// Texts and mappings of the link's enumerations.
#include "link/mbtypes.h"

std::uint32_t mbBaudToSpeed(int ordinal)
{
    if (ordinal < 0 || ordinal >= int(kMBBaudTable.size())) return 9600;
    return kMBBaudTable[std::size_t(ordinal)].speed;
}

TMBBaud mbSpeedToBaud(std::uint32_t speed)
{
    for (const auto &entry : kMBBaudTable)
        if (entry.speed == speed) return entry.baud;
    return TMBBaud::baud009600;
}

QStringList mbBaudListTexts()
{
    QStringList texts;
    for (const auto &entry : kMBBaudTable)
        texts << QString::fromLatin1(entry.text);
    return texts;
}

QString mbStatusNowText(TMBStatusNow status)
{
    switch (status) {
    case TMBStatusNow::stnReady:
        return QStringLiteral("Ready");
    case TMBStatusNow::stnSending:
        return QStringLiteral("Sending");
    case TMBStatusNow::stnWaitingForAnswer:
        return QStringLiteral("Waiting For Answer");
    case TMBStatusNow::stnReceiving:
        return QStringLiteral("Receiving");
    case TMBStatusNow::stnPortError:
        return QStringLiteral("Port Error");
    case TMBStatusNow::stnTimeOut:
        return QStringLiteral("Time Out");
    case TMBStatusNow::stnWaitingForCommand:
        return QStringLiteral("Waiting For Command");
    case TMBStatusNow::stnReceivedCommand:
        return QStringLiteral("Received Command");
    }
    return {};
}

QString mbStatusText(TMBStatus status, int slaveCode)
{
    switch (status) {
    case TMBStatus::stOK:
        return QStringLiteral("OK");
    case TMBStatus::stSlaveGlobalError:
        return QStringLiteral("Slave Global Error: #") + QString::number(slaveCode);
    case TMBStatus::stTimeOut:
        return QStringLiteral("Time Out");
    case TMBStatus::stPortError:
        return QStringLiteral("Port Error");
    }
    return {};
}

TMBLamp mbStatusLamp(TMBStatus status)
{
    switch (status) {
    case TMBStatus::stOK:
        return TMBLamp::Green;
    case TMBStatus::stSlaveGlobalError:
        return TMBLamp::Orange;
    case TMBStatus::stTimeOut:
    case TMBStatus::stPortError:
        return TMBLamp::Red;
    }
    return TMBLamp::Neutral;
}

qint64 mbLampColourValue(TMBLamp lamp)
{
    switch (lamp) {
    case TMBLamp::Green:
        return 0x0000FF00; // RGB 0, 255, 0
    case TMBLamp::Orange:
        return 0x00007CF9; // RGB 249, 124, 0
    case TMBLamp::Red:
        return 0x000000FF; // RGB 255, 0, 0
    case TMBLamp::Neutral:
        break;
    }
    return -1;
}
