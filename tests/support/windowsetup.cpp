#include "support/windowsetup.h"

#include "frame/mbbuffers.h"
#include "support/instrument_bytes.h"

#include <QFile>

WindowSetup::WindowSetup(QStringList parameters) : m_parameters(std::move(parameters)) {}

void WindowSetup::writeIni(const QByteArray &text) const
{
    QFile file(iniPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(text);
}

QByteArray WindowSetup::readIni() const
{
    QFile file(iniPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WindowSetup::iniExists() const
{
    return QFile::exists(iniPath());
}

FormEnvironment WindowSetup::environment() const
{
    return FormEnvironment{IniFile(iniPath()), m_parameters};
}

QByteArray replyData(const InstrumentReply &reply)
{
    mb::MBTXDataBuffer tx;
    writeReply(tx, reply);
    return testbytes::sent(tx);
}

InstrumentReply typicalReply(quint8 ackBits, quint32 operatingMinutes)
{
    InstrumentReply reply;
    reply.FirmwareYear = 2021;
    reply.FirmwareMonth = 3;
    reply.FirmwareDay = 14;
    reply.AckBits = ackBits;
    reply.InputType = instrument::Type::Current;
    reply.OutputType = instrument::Type::Current;
    reply.InputRange = instrument::CurrentInputRange;
    reply.OperatingMinutes = operatingMinutes;
    reply.InputLow = 4.0;
    reply.InputHigh = 20.0;
    reply.OutputLow = 4.0;
    reply.OutputHigh = 20.0;
    reply.Temperature = 25.0;
    return reply;
}
