// MBEngine: construction, properties, the shared status variables, the
// statistics and the one-second timer.
#include "link/mbengine.h"

#include "common/rounding.h" // header-only: the program's one rounding rule
#include "frame/mbframe.h"
#include "link/commthread.h"
#include "serial/linklog.h"
#include "text/cp1250.h"

#include <algorithm>

MBEngine::MBEngine(QObject *parent) : QObject(parent)
{
    m_receiver.setStartAcceptance([this](std::uint8_t b) { return acceptFirstByte(b); });

    m_answerTimer.setSingleShot(true);
    m_answerTimer.setTimerType(Qt::PreciseTimer);
    m_answerTimer.setInterval(1000);
    connect(&m_answerTimer, &QTimer::timeout, this, &MBEngine::onAnswerTimeout);

    m_clearLineTimer.setSingleShot(true);
    m_clearLineTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_clearLineTimer, &QTimer::timeout, this, [this] { (void)onLineClear(); });

    m_slaveDelayTimer.setSingleShot(true);
    m_slaveDelayTimer.setTimerType(Qt::PreciseTimer);
    m_slaveDelayTimer.setInterval(10);
    connect(&m_slaveDelayTimer, &QTimer::timeout, this, [this] { (void)sendSlaveReply(); });

    m_secondTimer.setInterval(1000);
    connect(&m_secondTimer, &QTimer::timeout, this, &MBEngine::oneSecondTick);
    m_secondTimer.start();
}

MBEngine::~MBEngine()
{
    closeDevice();
}

// ---------------------------------------------------------------- properties

void MBEngine::setBaudRate(quint32 baud)
{
    m_baudRate = baud;
    emit baudChanged(MBBaud());
}

void MBEngine::setMBMasterAddressToSlave(int address)
{
    m_addressToSlave = std::clamp(address, 0, 15);
}

void MBEngine::setMBMasterIDToSlave(int id)
{
    m_idToSlave = std::clamp(id, 0, 255);
}

void MBEngine::setMBMasterCommandToSlave(int command)
{
    m_commandToSlave = std::clamp(command, 0, 255);
}

void MBEngine::setMBMasterTimeOut(int ms)
{
    m_timeOut = std::clamp(ms, 0, 65535);
}

void MBEngine::setMBMasterMaxTryNumber(int tries)
{
    m_maxTryNumber = std::clamp(tries, 1, 100);
}

void MBEngine::setMBSlaveOwnAddress(int address)
{
    m_slaveOwnAddress = std::clamp(address, 1, 15);
}

void MBEngine::setMBSlaveID(int id)
{
    m_slaveID = std::clamp(id, 0, 255);
}

void MBEngine::setMBSlaveVerYear(int year)
{
    m_slaveVerYear = std::clamp(year, 2000, 2100);
}

void MBEngine::setMBSlaveVerMonth(int month)
{
    m_slaveVerMonth = std::clamp(month, 1, 12);
}

void MBEngine::setMBSlaveVerDay(int day)
{
    m_slaveVerDay = std::clamp(day, 1, 31);
}

void MBEngine::setMBSlaveErrorCode(int code)
{
    m_slaveErrorCode = std::clamp(code, 0, 255);
}

void MBEngine::setMBSlaveDelayTime(int ms)
{
    m_slaveDelayTime = std::clamp(ms, 0, 65535);
}

void MBEngine::setMBStopByteInStringMode(int byte)
{
    m_stopByte = std::clamp(byte, 0, 255);
}

void MBEngine::setMBReminder(int value)
{
    m_reminder = std::clamp(value, 0, 65535);
}

bool MBEngine::MBAppendString(const QByteArray &text)
{
    return m_tx.MBAppendString(std::string_view(text.constData(), std::size_t(text.size())));
}

bool MBEngine::MBAppendString(const QString &text)
{
    return MBAppendString(mb::toWindows1250(text));
}

int MBEngine::MBCalculatedTimeOfSending() const
{
    return int(std::min<qint64>(m_sendingTime, 65535));
}

qint64 MBEngine::replyLineTime(int dataBytes, quint32 baud)
{
    if (baud == 0) baud = 9600;
    // Twenty bit times per frame byte, in whole milliseconds rounded up.
    const qint64 bits = qint64(dataBytes + int(mb::kMinFrame)) * 20;
    return (bits * 1000 + baud - 1) / baud;
}

qint64 MBEngine::answerAllowance() const
{
    // The slave's allowance must leave room for its reply to travel, where
    // the host has told how long its replies are. Where MBMasterTimeOut does
    // (115200 baud down to 2400 for the instrument's replies) it stands as
    // given; below, no reply could ever arrive in time.
    if (m_expectedReplyData < 0) return m_timeOut;
    const qint64 line = replyLineTime(m_expectedReplyData, m_baudRate);
    return std::max<qint64>(m_timeOut, line + (line + 3) / 4);
}

qint64 MBEngine::calculateTimeOfSending(int dataBytes, quint32 baud)
{
    if (baud == 0) baud = 9600;
    // Ten bit times per character, two characters per frame byte.
    return roundHalfEven((dataBytes + 5) * (1.0 / baud * 10 * 2 * 1000)) + 1;
}

// ---------------------------------------------------------------- mode

void MBEngine::setMBMode(TMBMode mode)
{
    const TMBMode previous = m_mode;
    m_mode = mode;
    if (m_reader) m_reader->setGatherFrames(usesFrames(mode));
    emit modeChanged(mode);
    if (!setBusy(mode == TMBMode::modeMaster ? !m_portOpen : true)) return;
    if (mode == previous) return;

    // Nothing of the old mode may act in the new one: a slave reply still
    // due, an armed text reception, a frame half assembled under the old
    // acceptance rule.
    m_slaveDelayTimer.stop();
    m_stringArmed = false;
    m_receiver.resetAssembly();
    if (m_state == LinkState::ClearingLine) {
        m_clearLineTimer.stop();
        m_state = LinkState::Idle;
    }

    m_tryNumberMax = 0;
    m_rxFrames = 0;
    m_txFrames = 0;
    emit countersCleared();
    setStatus(TMBStatus::stOK);
    if (!setStatusNow(mode == TMBMode::modeSlave ? TMBStatusNow::stnWaitingForCommand
                                                 : TMBStatusNow::stnReady))
        return;
    MBResetIndicators();
}

// ---------------------------------------------------------------- shared state

bool MBEngine::setStatusNow(TMBStatusNow status)
{
    const bool changed = status != m_statusNow;
    m_statusNow = status;
    m_statusNowString = mbStatusNowText(status);
    if (!changed) return true;
    const QString text = m_statusNowString;
    return survives([&] { emit OnMBStatusNowChanged(status, text); });
}

bool MBEngine::setBusy(bool busy)
{
    if (busy == m_busy) return true;
    m_busy = busy;
    return survives([&] { emit OnMBBusyChanged(busy); });
}

void MBEngine::setStatus(TMBStatus status, int slaveCode)
{
    m_status = status;
    m_statusString = mbStatusText(status, slaveCode);
    emit statusLampChanged(mbStatusLamp(status));
}

void MBEngine::setPortLamp(TMBLamp lamp)
{
    emit portLampChanged(lamp);
}

void MBEngine::countTxFrame()
{
    ++m_txFrames;
    emit txCounterChanged(m_txFrames);
    ++m_speedCount;
}

void MBEngine::updateTryStatistics(int tryNumber)
{
    m_tryNumber = tryNumber;
    if (tryNumber > m_tryNumberMax) m_tryNumberMax = tryNumber;
    emit tryBarsChanged(int(roundHalfEven(tryNumber * 100.0 / m_maxTryNumber)),
                        int(roundHalfEven(m_tryNumberMax * 100.0 / m_maxTryNumber)));
}

// ---------------------------------------------------------------- statistics

void MBEngine::MBResetIndicators()
{
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
}

void MBEngine::MBResetStatistics()
{
    m_tryNumberMax = 0;
    emit tryBarsChanged(0, 0);
    emit statusLampChanged(TMBLamp::Neutral);
    m_txFrames = 0;
    m_rxFrames = 0;
    emit countersCleared();
    MBResetIndicators();
}

void MBEngine::oneSecondTick()
{
    if (!m_startedUp) {
        // The first tick is the panel's deferred start-up.
        m_startedUp = true;
        if (!survives([&] { emit startUpTick(); })) return;
        if (m_refreshListOnStartup) MBRefreshPortList();
        return;
    }
    m_speed = m_speedCount;
    m_speedCount = 0;
    if (m_speed > m_speedMax) m_speedMax = m_speed;
    emit speedChanged(m_speed, m_speedMax);
}

quint64 MBEngine::readerHandOverCount() const
{
    quint64 count = m_retiredHandOvers;
    if (m_reader) count += m_reader->handOverCount();
    return count;
}

std::chrono::steady_clock::time_point MBEngine::receivedAt() const
{
    if (m_reader && m_reader->isHandingOver()) return m_reader->handOverReadAt();
    return std::chrono::steady_clock::now();
}

quint32 MBEngine::portLineSpeed() const
{
    return m_reader ? m_reader->device().lineSpeed() : 0;
}

qsizetype MBEngine::outputWaiting() const
{
    return m_reader ? m_reader->device().outputWaiting() : 0;
}

void MBEngine::noteUndecodableFrame(const char *what)
{
    m_receiver.countDiscard(DiscardReason::NotDecodable);
    qCDebug(lcLink).nospace() << "discarded 1: not decodable (" << what << ")";
}
