// Frame-level test slave over a pty.
#include "support/frameslave.h"

#include "frame/mbframe.h"

FrameSlave::FrameSlave(PtyPair &pty, QObject *parent)
    : QObject(parent), m_pty(pty), m_notifier(pty.masterFd(), QSocketNotifier::Read)
{
    // Requests only: a master's frames have bit 7 of the address clear.
    m_receiver.setStartAcceptance([](std::uint8_t b) { return (b & mb::kReplyFlag) == 0; });
    connect(&m_notifier, &QSocketNotifier::activated, this, &FrameSlave::onReadable);
}

void FrameSlave::answerAll(quint8 address, quint8 code, const QByteArray &data)
{
    m_responder = [=](const SlaveRequest &request) {
        return replyLine(address, request.id, code, data);
    };
}

QByteArray FrameSlave::encodeFrame(quint8 addressByte, quint8 id, quint8 command,
                                   const QByteArray &data)
{
    const auto bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    const auto frame =
        mb::makeFrame(addressByte, id, command, std::span(bytes, std::size_t(data.size())));
    const auto line = mb::encodeLine(frame);
    return QByteArray(reinterpret_cast<const char *>(line.data()), qsizetype(line.size()));
}

QByteArray FrameSlave::replyLine(quint8 slaveAddress, quint8 id, quint8 code,
                                 const QByteArray &data)
{
    return encodeFrame(quint8(slaveAddress | mb::kReplyFlag), id, code, data);
}

void FrameSlave::hangUp()
{
    m_notifier.setEnabled(false);
    m_pty.closeMaster();
}

void FrameSlave::onReadable()
{
    const QByteArray chunk = m_pty.readAvailable();
    if (chunk.isEmpty()) return;
    m_line += chunk;
    for (const char c : chunk) {
        if (m_receiver.feed(std::uint8_t(c)) != mb::RxEvent::FrameAccepted) continue;
        const auto frame = m_receiver.frame();
        SlaveRequest request;
        request.frame =
            QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
        request.address = frame[0];
        request.id = frame[1];
        request.command = frame[2];
        request.data = request.frame.mid(3, request.frame.size() - 5);
        m_receiver.resetAssembly();
        m_requests.append(request);
        if (m_responder) {
            const QByteArray reply = m_responder(request);
            if (!reply.isEmpty()) m_pty.write(reply);
        }
        emit requestReceived(int(m_requests.size()));
    }
}
