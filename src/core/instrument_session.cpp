// Opening, exchanging and failing. The engine reports an opening that failed
// only as a text; the device it opens through is wrapped so that the
// system's error code is kept, which tells a missing port from a busy one or
// one without permission.
#include "core/instrument_session.h"

#include "link/portprobe.h"

#include <QEventLoop>

#include <cerrno>
#include <memory>

namespace {

// A serial device that remembers how its opening went.
class OpenWatchingDevice : public SerialDevice {
public:
    OpenWatchingDevice(std::unique_ptr<SerialDevice> device, std::shared_ptr<SerialStatus> outcome)
        : m_device(std::move(device)), m_outcome(std::move(outcome))
    {
    }
    SerialStatus open(const QString &name) override { return keep(m_device->open(name)); }
    bool isOpen() const override { return m_device->isOpen(); }
    void close() override { m_device->close(); }
    SerialStatus setLineSettings(std::uint32_t baud) override
    {
        return keep(m_device->setLineSettings(baud));
    }
    std::uint32_t lineSpeed() const override { return m_device->lineSpeed(); }
    void purge() override { m_device->purge(); }
    void clearDtrRts() override { m_device->clearDtrRts(); }
    SerialStatus write(std::span<const char> characters) override
    {
        return m_device->write(characters);
    }
    SerialEvents waitForEvents(bool watchPort, int timeoutMs) override
    {
        return m_device->waitForEvents(watchPort, timeoutMs);
    }
    void signalStop() override { m_device->signalStop(); }
    void resetStop() override { m_device->resetStop(); }
    SerialRead readWaiting() override { return m_device->readWaiting(); }

private:
    SerialStatus keep(SerialStatus status)
    {
        if (m_outcome->ok()) *m_outcome = status;
        return status;
    }

    std::unique_ptr<SerialDevice> m_device;
    std::shared_ptr<SerialStatus> m_outcome;
};

LinkFailure::Kind openFailureKind(int code)
{
    switch (code) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return LinkFailure::Kind::PortMissing;
    case EBUSY:
        return LinkFailure::Kind::PortBusy;
    case EACCES:
    case EPERM:
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
        return QStringLiteral("%1 is held by another program (%2); close that program or choose "
                              "another port")
            .arg(port, reason);
    case Kind::NoPermission: {
        const QString joinGroup = group.isEmpty() ? QStringLiteral("dialout") : group;
        return QStringLiteral("cannot open %1: %2; add your user to the group %3 (sudo adduser "
                              "$USER %3), then log out and in again")
            .arg(port, reason, joinGroup);
    }
    case Kind::PortUnusable:
        return QStringLiteral("cannot use %1: %2").arg(port, reason);
    case Kind::PortLost:
        return QStringLiteral("lost the port %1: %2").arg(port, reason);
    case Kind::NoAnswer:
        return QStringLiteral("no answer from the instrument on %1 after %2 tries of %3 ms each; "
                              "check the cable, the instrument's power and the line speed")
            .arg(port)
            .arg(tries)
            .arg(timeoutMs);
    case Kind::Refused:
        return QStringLiteral("the instrument refused the request (result code %1)")
            .arg(resultCode);
    case Kind::Cancelled:
        return QStringLiteral("interrupted");
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
    m_engine.setMBMasterIDToSlave(instrument::RequestId);
    m_engine.setMBMasterQueryMode(false);

    auto outcome = std::make_shared<SerialStatus>();
    m_engine.setSerialDeviceFactory(
        [outcome] { return std::make_unique<OpenWatchingDevice>(createSerialDevice(), outcome); });
    if (m_engine.MBOpenPort(settings.port)) return true;

    m_failure.port = settings.port;
    m_failure.kind = openFailureKind(outcome->code);
    m_failure.reason = outcome->ok() ? portErrorReason() : outcome->message;
    if (m_failure.kind == LinkFailure::Kind::NoPermission) {
        // The probe knows which group to join for a port.
        const PortProbe probe =
            probePorts({settings.port}, [&](const QString &) { return *outcome; });
        if (!probe.noPermission.isEmpty()) m_failure.group = probe.noPermission.first().group;
    }
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
    case TMBStatus::stTimeOut:
        fail(LinkFailure::Kind::NoAnswer);
        m_failure.tries = m_settings.tries;
        m_failure.timeoutMs = int(m_engine.answerInterval());
        return std::nullopt;
    case TMBStatus::stPortError:
        // A write that failed leaves the port counted as open: it is closed
        // here, as a lost port is.
        if (m_engine.MBPortOpen()) m_engine.closePortAfterFailure();
        return fail(LinkFailure::Kind::PortLost, portErrorReason());
    }
    return std::nullopt;
}
