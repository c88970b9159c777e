// A frame-level slave for link tests, living on the master side of a PtyPair:
// it collects the requests the program sends and answers them as the test
// tells it to (or stays silent), from the test's own event loop.
#pragma once

#include "frame/mbreceiver.h"
#include "support/ptypair.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>

#include <functional>

struct SlaveRequest {
    QByteArray frame; // the whole decoded frame, CRC included
    quint8 address = 0;
    quint8 id = 0;
    quint8 command = 0;
    QByteArray data;
};

class FrameSlave : public QObject {
    Q_OBJECT
public:
    // Returns the line characters to send back; empty stays silent.
    using Responder = std::function<QByteArray(const SlaveRequest &request)>;

    explicit FrameSlave(PtyPair &pty, QObject *parent = nullptr);

    void setResponder(Responder responder) { m_responder = std::move(responder); }
    // Answers every request from slave `address` with result code `code` and the data.
    void answerAll(quint8 address, quint8 code, const QByteArray &data = {});
    void stayQuiet() { m_responder = nullptr; }
    // Closes the master side: the program sees the line hang up.
    void hangUp();
    // Writes line characters to the program, outside any answer.
    bool write(const QByteArray &characters) { return m_pty.write(characters); }

    const QList<SlaveRequest> &requests() const { return m_requests; }
    qsizetype requestCount() const { return m_requests.size(); }
    // Every character the program has sent so far.
    QByteArray line() const { return m_line; }

    // The line characters of a frame with the given header and data.
    static QByteArray encodeFrame(quint8 addressByte, quint8 id, quint8 command,
                                  const QByteArray &data = {});
    // A slave's reply: address byte with bit 7 set.
    static QByteArray replyLine(quint8 slaveAddress, quint8 id, quint8 code,
                                const QByteArray &data = {});

signals:
    void requestReceived(int count);

private:
    void onReadable();

    PtyPair &m_pty;
    QSocketNotifier m_notifier;
    mb::MBReceiver m_receiver;
    Responder m_responder;
    QList<SlaveRequest> m_requests;
    QByteArray m_line;
};
