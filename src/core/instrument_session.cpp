// Opening, and waiting for one exchange at a time. Why a port failed comes
// from the link's own failure kinds, so a missing port is told from a busy
// one or one without permission without looking at the system's error
// codes here.
#include "core/instrument_session.h"

#include "ports/portinfo.h"
#include "ports/portprobe.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include <QEventLoop>

InstrumentSession::InstrumentSession(QObject *parent) : QObject(parent)
{
    // The engine probes the ports for a panel's list; a session shows none.
    m_engine.setMBRefreshListOnStartup(false);
    m_engine.setPortCandidateSource([] { return QStringList(); });
    m_exchange.followEngine();
    connect(&m_exchange, &InstrumentExchange::ended, this, [this](TMBStatus status) {
        m_status = status;
        m_ended = true;
        if (m_loop) m_loop->quit();
    });
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
    m_engine.setMBMasterQueryMode(false);

    if (m_engine.MBOpenPort(settings.port)) return true;

    const SerialStatus &status = m_engine.portFailureStatus();
    m_failure.port = settings.port;
    m_failure.kind = LinkFailure::ofOpening(status.kind);
    m_failure.reason = status.message;
    if (m_failure.kind == LinkFailure::Kind::NoPermission)
        m_failure.group = portOwningGroup(settings.port);
    // The holder by name, as the port listing gives it.
    if (m_failure.kind == LinkFailure::Kind::PortBusy)
        m_failure.reason = portRefusalText({EBUSY, {}, PortFailure::Busy}, {},
                                           portHolder(settings.port, DeviceHolders()));
    return false;
}

std::optional<QString> InstrumentSession::identify(int timeoutMs)
{
    if (m_stationName) return *m_stationName;
    if (m_cancelled || !m_engine.MBPortOpen()) return std::nullopt;
    m_stationName.emplace();
    // The link's own service command, answered by the station's link itself:
    // no data out; back a version date, the application's date and the name.
    constexpr quint8 Identification = 129;
    constexpr int DatesBytes = 8;
    const int expected = m_engine.expectedReplyDataBytes();
    m_engine.setExpectedReplyDataBytes(-1);
    m_engine.setMBMasterMaxTryNumber(1);
    m_engine.setMBMasterTimeOut(timeoutMs);
    m_engine.setMBMasterCommandToSlave(Identification);
    m_engine.MBClearTXData();
    m_ended = false;
    QEventLoop loop;
    m_loop = &loop;
    m_engine.MBSendFrame();
    if (!m_ended && !m_cancelled) loop.exec();
    m_loop = nullptr;
    m_engine.setExpectedReplyDataBytes(expected);
    m_engine.setMBMasterMaxTryNumber(m_settings.tries);
    m_engine.setMBMasterTimeOut(m_settings.timeoutMs);
    if (m_cancelled || !m_ended || m_status != TMBStatus::stOK) return std::nullopt;
    const std::span<const std::uint8_t> data = m_engine.rxBuffer().receivedData();
    if (data.size() <= std::size_t(DatesBytes)) return std::nullopt;
    const auto name = data.subspan(DatesBytes);
    const auto end = std::find(name.begin(), name.end(), std::uint8_t(0));
    m_stationName = QString::fromLatin1(reinterpret_cast<const char *>(name.data()),
                                        qsizetype(end - name.begin()));
    return *m_stationName;
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

std::optional<InstrumentReply> InstrumentSession::exchange(const InstrumentRequest &request)
{
    if (m_cancelled) return fail(LinkFailure::Kind::Cancelled);
    if (!m_engine.MBPortOpen()) {
        const QString reason = m_engine.portFailureStatus().message;
        return fail(LinkFailure::Kind::PortLost,
                    reason.isEmpty() ? QStringLiteral("the port is closed") : reason);
    }

    m_ended = false;
    QEventLoop loop;
    m_loop = &loop;
    const bool sent = m_exchange.send(request);
    if (sent && !m_ended && !m_cancelled) loop.exec();
    m_loop = nullptr;

    if (m_cancelled) return fail(LinkFailure::Kind::Cancelled);
    m_tries = m_engine.MBMasterTryNumber();
    // A write that failed leaves the port counted as open: it is closed
    // here, as a lost port is.
    if (sent && m_status == TMBStatus::stPortError) m_exchange.goesOn(m_status);
    m_failure = m_exchange.failure();
    if (m_failure.kind != LinkFailure::Kind::None || !m_exchange.lastReply()) return std::nullopt;
    m_replyTime = m_exchange.lastReply()->reading.time;
    return m_exchange.lastReply()->reply;
}
