// MBEngine: the port list, opening and closing the port, and the hand-over
// of received characters and port failures from the reader thread.
#include "link/mbengine.h"

#include "link/commthread.h"
#include "link/portfollower.h"
#include "serial/linklog.h"
#include "serial/portholders.h"

#include <QTimer>

#include <cerrno>

// ---------------------------------------------------------------- port list

void MBEngine::setPortCandidateSource(std::function<QStringList()> source)
{
    m_candidateSource = std::move(source);
}

void MBEngine::MBRefreshPortList()
{
    refreshPortList(false);
}

QStringList MBEngine::namedPorts() const
{
    return m_namedPorts ? *m_namedPorts : ::namedPorts();
}

void MBEngine::refreshPortList(bool following)
{
    const QString sysClassTty = m_catalog.sysRoot() + QStringLiteral("/class/tty");
    const QStringList candidates =
        m_candidateSource ? m_candidateSource() : allPortCandidates(sysClassTty);
    // The console is left out of the system's ports only.
    m_consolePorts = m_candidateSource ? QStringList() : consolePorts(sysClassTty);
    // The port we hold ourselves is refused like any held port, and comes
    // back at the end of the list while it is open.
    // One look at the other processes serves every candidate, and only if
    // a candidate gets that far.
    const DeviceHolders holders;
    const PortTryOpen probeOne = [&holders](const QString &port) {
        return probePort(port, holders);
    };
    const PortProbe probe = probePorts(candidates, m_tryOpen ? m_tryOpen : probeOne, &holders);
    m_portsWithoutPermission = probe.noPermission;
    m_portsHeldElsewhere = probe.heldElsewhere;
    QStringList available = probe.available;
    QString preselect = following && m_follower
                            ? m_follower->preferredPort(available, m_lastUsedPort)
                            : m_lastUsedPort;
    // A port the user did not name never takes the place of one they did.
    if (!m_chosenByHand) preselect = preselectedPort(available, namedPorts(), preselect);
    // A lost port waited for stays in the list, selected, while it is missing.
    m_missingPort.clear();
    if (m_follower && m_follower->isWaiting()) {
        preselect = m_follower->waitedPort();
        if (!available.contains(preselect)) {
            m_missingPort = preselect;
            available << preselect;
        }
    }
    const PortListing listing = orderPortList(available, m_portOpen, m_port, preselect);
    m_portList = listing.ports;
    m_selectedPort = listing.selected;
    if (m_selectedPort >= 0) m_lastUsedPort = m_portList[m_selectedPort];
    emit portListChanged(m_portList, m_selectedPort);
    if (m_follower) m_follower->portsProbed(candidates);
}

void MBEngine::selectPortListEntry(int index)
{
    if (index < 0 || index >= m_portList.size()) return;
    m_selectedPort = index;
    m_lastUsedPort = m_portList[index];
    m_chosenByHand = true;
    if (!m_follower) return;
    m_follower->portChosen(m_lastUsedPort);
    (void)m_follower->takeOver();
}

void MBEngine::setMBLastUsedPort(const QString &port)
{
    m_lastUsedPort = port;
    if (m_follower) m_follower->portChosen(port);
}

// ---------------------------------------------------------------- following

void MBEngine::setFollowPorts(bool on)
{
    if (on == followsPorts()) return;
    if (!on) {
        delete m_follower;
        m_follower = nullptr;
        return;
    }
    m_follower = new PortFollower(*this);
    if (!m_lastUsedPort.isEmpty()) m_follower->portChosen(m_lastUsedPort);
}

bool MBEngine::isWaitingForPort() const
{
    return m_follower && m_follower->isWaiting();
}

QString MBEngine::portWaitText() const
{
    return m_follower ? m_follower->waitText() : QString();
}

void MBEngine::endPortWait()
{
    if (m_follower) (void)m_follower->takeOver();
}

void MBEngine::setPortWaitLimit(std::chrono::milliseconds limit)
{
    if (m_follower) m_follower->setWaitLimit(limit);
}

// ---------------------------------------------------------------- opening

bool MBEngine::MBOpenPort()
{
    const QString port = m_selectedPort >= 0 && m_selectedPort < m_portList.size()
                             ? m_portList[m_selectedPort]
                             : QString();
    return MBOpenPort(port);
}

bool MBEngine::MBOpenPort(const QString &port)
{
    // The toggle button cannot be pressed again while down; a host calling
    // twice must not reset a running transaction.
    if (m_portOpen) return true;
    // Whoever opens a port now, a lost one is no longer waited for.
    if (m_follower && !m_follower->takeOver()) return false;
    const bool wasOpen = m_portOpen;

    emit panelStateChanged(true);
    setPortLamp(TMBLamp::Green);
    m_port = port;
    if (!setStatusNow(m_mode == TMBMode::modeSlave ? TMBStatusNow::stnWaitingForCommand
                                                   : TMBStatusNow::stnReady))
        return false;
    if (!setBusy(m_mode == TMBMode::modeSlave || m_mode == TMBMode::modeDiagnostic)) return false;
    m_portOpen = true;

    SerialStatus failure;
    if (!openDevice(failure)) {
        if (!enterClosedState()) return false;
        closeDevice();
        setPortLamp(TMBLamp::Red);
        const QString text =
            QStringLiteral("TMB : cannot open ") + m_port + QLatin1Char('\r') + failure.message;
        m_portErrorText = text;
        m_portFailure = failure;
        qCDebug(lcLink).noquote().nospace()
            << "port failure (" << portFailureText(failure.kind) << "): cannot open " << m_port
            << ": " << failure.message;
        MBRefreshPortList();
        (void)survives([&] { emit portError(text); });
        return false;
    }
    m_portErrorText.clear();
    m_portFailure = SerialStatus::success();
    m_thereWasOpenEvent = true;
    if (m_follower && !m_follower->portOpened()) return true;
    if (m_portOpen != wasOpen) (void)survives([&] { emit OnMBPortOpenedOrClosed(true); });
    return true;
}

bool MBEngine::openDevice(SerialStatus &failure)
{
    if (portReady()) return true;

    auto device = m_deviceFactory ? m_deviceFactory() : createSerialDevice();
    if (!device) {
        failure = SerialStatus::failure(ENODEV, QStringLiteral("No device"));
        return false;
    }
    SerialStatus status = device->open(m_port);
    if (status.ok()) {
        device->purge();
        device->clearDtrRts();
        // Unlike the line settings of old, a speed the driver refuses fails the
        // opening: the line would only carry garbage.
        status = device->setLineSettings(m_baudRate);
    }
    if (!status.ok()) {
        failure = status;
        return false;
    }

    // What is counted as thrown away, and what is owed, counts from this
    // opening on (the purge emptied the line).
    m_receiver.clearDiscards();
    m_unanswered.clear();
    m_lastAnswered = true;
    m_slowestAnswerMs = 0;
    m_lastNotDecodable = -1;
    m_reader = std::make_unique<TCommThread>(std::move(device));
    m_reader->setReceiveHandler([this](const QByteArray &chunk) { onReceived(chunk); });
    m_reader->setFailureHandler([this](const SerialStatus &reason) { onPortLost(reason); });
    m_reader->setGatherFrames(usesFrames(m_mode));
    m_state = LinkState::Idle;
    m_reader->start();
    return true;
}

// ---------------------------------------------------------------- closing

void MBEngine::MBClosePort()
{
    // Also with the port closed: the user (or the host, at its end) ends a wait.
    if (m_follower && !m_follower->takeOver()) return;
    const bool wasOpen = m_portOpen;
    if (!closePort()) return;
    if (wasOpen && m_follower) m_follower->portClosed();
}

bool MBEngine::closePort()
{
    if (!m_portOpen) return true;
    const bool wasOpen = m_portOpen;
    if (!enterClosedState()) return false;
    closeDevice();
    if (m_portOpen == wasOpen) return true;
    return survives([&] { emit OnMBPortOpenedOrClosed(false); });
}

bool MBEngine::enterClosedState()
{
    const bool wasBusy = m_busy;
    emit panelStateChanged(false);
    emit transmitIndicatorOff();
    emit receiveIndicatorOff();
    m_tryNumberMax = 0;
    emit tryBarsChanged(0, 0);
    emit statusLampChanged(TMBLamp::Neutral);
    setPortLamp(TMBLamp::Neutral);
    m_speedCount = 0;
    m_speed = 0;
    m_speedMax = 0;
    emit speedChanged(0, 0);
    m_answerTimer.stop();
    m_clearLineTimer.stop();
    m_unanswered.clear();
    // A slave reply still waiting for its delay has nowhere to go.
    m_slaveDelayTimer.stop();
    m_stringArmed = false;
    m_portOpen = false;
    if (!setBusy(true)) return false;
    if (!setStatusNow(TMBStatusNow::stnPortError)) return false;
    setStatus(TMBStatus::stPortError);
    if (m_mode == TMBMode::modeMaster && wasBusy) return endTransaction();
    return true;
}

void MBEngine::closeDevice()
{
    if (!portReady()) return;
    m_state = LinkState::Closed;
    m_reader->detachHandlers();
    m_retiredHandOvers += m_reader->handOverCount();
    // Destroying the reader stops its thread; that is safe even from inside
    // its own hand-over (the port closed from a handler of received data).
    m_reader.reset();
}

// ---------------------------------------------------------------- hand-over

void MBEngine::onReceived(const QByteArray &chunk)
{
    if (!portReady()) return;
    switch (m_mode) {
    case TMBMode::modeMaster:
    case TMBMode::modeSlave:
    case TMBMode::modeDiagnostic:
        receiveFramed(chunk);
        break;
    case TMBMode::modeByte:
        receiveBytes(chunk);
        break;
    case TMBMode::modeString:
        receiveString(chunk);
        break;
    }
}

void MBEngine::onPortLost(const SerialStatus &reason)
{
    // A vanished device (adapter pulled, peer closed) would otherwise keep the
    // reader waking up for ever; it ends like a closing, with the reason kept.
    if (!portReady()) return;
    if (!endPortWithFailure(reason)) return;
    if (m_follower && !m_follower->portLost(reason)) return;
    // The device may be gone for good (adapter pulled): the list must not
    // keep offering it, as after a failed opening.
    MBRefreshPortList();
}

void MBEngine::closePortAfterFailure(const QString &reason)
{
    if (!m_portOpen && !portReady()) return;
    const SerialStatus failure =
        reason.isEmpty() ? m_lastWriteFailure : SerialStatus{-1, reason, PortFailure::Other};
    if (!endPortWithFailure(failure)) return;
    if (m_follower && !m_follower->portLost(failure)) return;
    MBRefreshPortList();
}

bool MBEngine::endPortWithFailure(const SerialStatus &reason)
{
    // Kept before the closing, so the host's handlers of the closing can tell why.
    m_portErrorText =
        QStringLiteral("TMB : port lost ") + m_port + QLatin1Char('\r') + reason.message;
    m_portFailure = reason;
    qCDebug(lcLink).noquote().nospace() << "port failure (" << portFailureText(reason.kind)
                                        << "): " << m_port << " lost: " << reason.message;
    if (m_portOpen) {
        if (!closePort()) return false;
    } else {
        closeDevice();
    }
    // After the closing, whose neutral lamp would otherwise hide the reason.
    setPortLamp(TMBLamp::Red);
    const QString text = m_portErrorText;
    return survives([&] { emit portError(text); });
}

bool MBEngine::writeLine(const QByteArray &characters)
{
    // Characters written while the reader is not set up are dropped.
    if (!portReady()) return true;
    const SerialStatus status =
        m_reader->device().write(std::span(characters.constData(), std::size_t(characters.size())));
    if (status.ok()) return true;
    m_lastWriteFailure = status;
    qCDebug(lcLink).noquote().nospace()
        << "port failure (" << portFailureText(status.kind) << "): write: " << status.message;
    return false;
}

bool MBEngine::writeRawLine(const QByteArray &characters)
{
    if (!m_portOpen || !portReady()) return false;
    if (!writeLine(characters)) return false;
    emit transmitFlashed();
    return true;
}
