// Opening, exchanging and failing. Why a port failed comes from the link's
// own failure kinds, so a missing port is told from a busy one or one without
// permission without looking at the system's error codes here.
#include "core/instrument_session.h"

#include "link/portinfo.h"
#include "link/portprobe.h"

#include <cerrno>

#include <QEventLoop>

namespace {

LinkFailure::Kind openFailureKind(PortFailure kind)
{
    switch (kind) {
    case PortFailure::NotFound:
        return LinkFailure::Kind::PortMissing;
    case PortFailure::Busy:
        return LinkFailure::Kind::PortBusy;
    case PortFailure::NoPermission:
        return LinkFailure::Kind::NoPermission;
    default:
        return LinkFailure::Kind::PortUnusable;
    }
}

} // namespace

QString LinkFailure::text() const
{
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::PortMissing:
        return QStringLiteral("cannot open %1: %2 (\"kx4720r-cli ports\" lists the serial ports)")
            .arg(port, reason);
    case Kind::PortBusy:
        return QStringLiteral("%1 is %2; close that program or choose another port")
            .arg(port, reason);
    case Kind::NoPermission:
        return QStringLiteral("cannot open %1: %2; %3").arg(port, reason, permissionRemedy(group));
    case Kind::PortUnusable:
        return QStringLiteral("cannot use %1: %2").arg(port, reason);
    case Kind::PortLost:
        return QStringLiteral("lost the port %1: %2").arg(port, reason);
    case Kind::NoAnswer:
        return QStringLiteral("no answer from the instrument on %1 after %2 %3 of %4 ms%5; "
                              "check the cable, the instrument's power and the line speed")
            .arg(port)
            .arg(tries)
            .arg(tries == 1 ? QStringLiteral("try") : QStringLiteral("tries"))
            .arg(timeoutMs)
            .arg(tries == 1 ? QString() : QStringLiteral(" each"));
    case Kind::BadAnswer:
        return QStringLiteral("the instrument on %1 answered, but with replies that cannot be "
                              "read (%2 data bytes where the reply has %3), %4 tries of %5 ms "
                              "each; check that the instrument at address %6 is a KX4720R and "
                              "that no other device answers at that address")
            .arg(port)
            .arg(replyDataBytes)
            .arg(instrument::ReplyDataSize)
            .arg(tries)
            .arg(timeoutMs)
            .arg(instrument::Address);
    case Kind::Refused:
        return QStringLiteral("the instrument on %1 refused the request (result code %2)")
            .arg(port)
            .arg(resultCode);
    case Kind::Cancelled:
        return QStringLiteral("interrupted while talking to the instrument on %1").arg(port);
    }
    return {};
}

InstrumentSession::InstrumentSession(QObject *parent) : QObject(parent)
{
    // The engine probes the ports for a panel's list; a session shows none.
    m_engine.setMBRefreshListOnStartup(false);
    m_engine.setPortCandidateSource([] { return QStringList(); });
    connect(&m_engine, &MBEngine::OnMBMasterEndOfEvent, this,
            [this](TMBStatus status, const QString &) { onEnd(status); });
}

InstrumentSession::~InstrumentSession()
{
    close();
}

bool InstrumentSession::open(const LinkSettings &settings)
{
    close();
    m_settings = settings;
    m_failure = {};
    m_engine.setMBMode(TMBMode::modeMaster);
    m_engine.setBaudRate(settings.baud);
    m_engine.setMBMasterTimeOut(settings.timeoutMs);
    m_engine.setMBMasterMaxTryNumber(settings.tries);
    m_engine.setMBMasterAddressToSlave(instrument::Address);
    // A reply of another length is no reading: thrown away, not decoded.
    m_engine.setExpectedReplyDataBytes(instrument::ReplyDataSize);
    m_engine.setMBMasterIDToSlave(instrument::RequestId);
    m_engine.setMBMasterQueryMode(false);

    if (m_engine.MBOpenPort(settings.port)) return true;

    m_failure.port = settings.port;
    m_failure.kind = openFailureKind(m_engine.portFailure());
    m_failure.reason = portErrorReason();
    if (m_failure.kind == LinkFailure::Kind::NoPermission)
        m_failure.group = portOwningGroup(settings.port);
    // The holder by name, as the port listing gives it.
    if (m_failure.kind == LinkFailure::Kind::PortBusy)
        m_failure.reason = portRefusalText({EBUSY, {}, PortFailure::Busy}, {},
                                           portHolder(settings.port, DeviceHolders()));
    return false;
}

void InstrumentSession::close()
{
    m_engine.MBClosePort();
}

void InstrumentSession::cancel()
{
    m_cancelled = true;
    if (m_loop) m_loop->quit();
}

std::optional<InstrumentReply> InstrumentSession::fail(LinkFailure::Kind kind, QString reason)
{
    m_failure = {};
    m_failure.kind = kind;
    m_failure.port = m_settings.port;
    m_failure.reason = std::move(reason);
    return std::nullopt;
}

QString InstrumentSession::portErrorReason() const
{
    // "TMB : port lost <port>" or "... cannot open <port>", a carriage
    // return, then the system's message.
    const QString text = m_engine.MBPortErrorText();
    const qsizetype cr = text.indexOf(u'\r');
    return cr >= 0 ? text.mid(cr + 1) : text;
}

void InstrumentSession::onEnd(TMBStatus status)
{
    m_ended = true;
    m_status = status;
    m_tries = m_engine.MBMasterTryNumber();
    if (m_loop) m_loop->quit();
}

std::optional<InstrumentReply> InstrumentSession::exchange(const InstrumentRequest &request)
{
    if (m_cancelled) return fail(LinkFailure::Kind::Cancelled);
    if (!m_engine.MBPortOpen())
        return fail(LinkFailure::Kind::PortLost, portErrorReason().isEmpty()
                                                     ? QStringLiteral("the port is closed")
                                                     : portErrorReason());
    m_engine.setMBMasterCommandToSlave(instrument::RequestCommand);
    if (!writeRequest(m_engine.txBuffer(), request))
        return fail(LinkFailure::Kind::PortUnusable,
                    QStringLiteral("the request holds a value that cannot travel"));

    m_ended = false;
    const std::uint32_t notDecodableBefore = m_engine.discardCounts().notDecodable;
    QEventLoop loop;
    m_loop = &loop;
    m_engine.MBSendFrame(); // a closed or failing port ends the transaction at once
    if (!m_ended && !m_cancelled) loop.exec();
    m_loop = nullptr;

    if (m_cancelled) return fail(LinkFailure::Kind::Cancelled);
    switch (m_status) {
    case TMBStatus::stOK: {
        m_replyTime = QDateTime::currentDateTime();
        mb::MBRXDataBuffer &rx = m_engine.rxBuffer();
        rx.setMBMBRXDataBufferIndex(1);
        return readReply(rx);
    }
    case TMBStatus::stSlaveGlobalError:
        fail(LinkFailure::Kind::Refused);
        m_failure.resultCode = m_engine.rxBuffer().command();
        return std::nullopt;
    case TMBStatus::stTimeOut: {
        // Replies that came but could not be read are a bad answer, not silence.
        const bool badAnswer = m_engine.discardCounts().notDecodable != notDecodableBefore;
        fail(badAnswer ? LinkFailure::Kind::BadAnswer : LinkFailure::Kind::NoAnswer);
        m_failure.tries = m_settings.tries;
        m_failure.timeoutMs = int(m_engine.answerInterval());
        m_failure.replyDataBytes = m_engine.lastNotDecodableDataBytes();
        return std::nullopt;
    }
    case TMBStatus::stPortError:
        // A write that failed leaves the port counted as open: it is closed
        // here, as a lost port is.
        if (m_engine.MBPortOpen()) m_engine.closePortAfterFailure();
        return fail(LinkFailure::Kind::PortLost, portErrorReason());
    }
    return std::nullopt;
}
