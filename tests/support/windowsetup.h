// Main windows under test: a temporary initialisation file and a command
// line of the test's choosing, and instrument replies for a test slave.
#pragma once

#include "app/form_main.h"
#include "protocol/instrument_protocol.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

class WindowSetup {
public:
    explicit WindowSetup(QStringList parameters = {});

    QString iniPath() const { return m_folder.filePath(QStringLiteral("kx4720r-config.ini")); }
    // Replaces the file with this text (UTF-8).
    void writeIni(const QByteArray &text) const;
    // The file as it is now; empty when there is none.
    QByteArray readIni() const;
    bool iniExists() const;

    void setParameters(QStringList parameters) { m_parameters = std::move(parameters); }
    FormEnvironment environment() const;

private:
    QTemporaryDir m_folder;
    QStringList m_parameters;
};

// The 88 data bytes of an instrument reply.
QByteArray replyData(const InstrumentReply &reply);

// A reply such as the instrument gives after a start: firmware date, working
// time and acknowledgement bits as given, a current input and output.
InstrumentReply typicalReply(quint8 ackBits = 0, quint32 operatingMinutes = 0);
