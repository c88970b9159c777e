// TMB: the serial link component as a window places it. A group box that owns
// the link engine and its panel, publishes the link's properties (forwarded to
// the engine, which holds them) and re-raises the engine's events as its own.
#pragma once

#include "link/mbengine.h"
#include "panel/mbpanel.h"

#include <QGroupBox>

class TMB : public QGroupBox {
    Q_OBJECT
    // Read-only properties are shown, not stored.
    Q_PROPERTY(QString Port READ Port WRITE setPort)
    Q_PROPERTY(quint32 WinQSizeIn READ WinQSizeIn WRITE setWinQSizeIn)
    Q_PROPERTY(quint32 WinQSizeOut READ WinQSizeOut WRITE setWinQSizeOut)
    Q_PROPERTY(MBTypes::TMBMode MBMode READ MBMode WRITE setMBMode)
    Q_PROPERTY(int MBSlaveOwnAddress READ MBSlaveOwnAddress WRITE setMBSlaveOwnAddress)
    Q_PROPERTY(MBTypes::TMBBaud MBBaud READ MBBaud WRITE setMBBaud)
    Q_PROPERTY(int MBSlaveID READ MBSlaveID WRITE setMBSlaveID)
    Q_PROPERTY(int MBSlaveVerYear READ MBSlaveVerYear WRITE setMBSlaveVerYear)
    Q_PROPERTY(int MBSlaveVerMonth READ MBSlaveVerMonth WRITE setMBSlaveVerMonth)
    Q_PROPERTY(int MBSlaveVerDay READ MBSlaveVerDay WRITE setMBSlaveVerDay)
    Q_PROPERTY(QString MBSlaveName READ MBSlaveName WRITE setMBSlaveName)
    Q_PROPERTY(QString MBLastUsedPort READ MBLastUsedPort WRITE setMBLastUsedPort)
    Q_PROPERTY(bool MBMasterQueryMode READ MBMasterQueryMode WRITE setMBMasterQueryMode)
    Q_PROPERTY(
        int MBMasterAddressToSlave READ MBMasterAddressToSlave WRITE setMBMasterAddressToSlave)
    Q_PROPERTY(int MBMasterIDToSlave READ MBMasterIDToSlave WRITE setMBMasterIDToSlave)
    Q_PROPERTY(
        int MBMasterCommandToSlave READ MBMasterCommandToSlave WRITE setMBMasterCommandToSlave)
    Q_PROPERTY(int MBSlaveErrorCode READ MBSlaveErrorCode WRITE setMBSlaveErrorCode)
    Q_PROPERTY(int MBMBTXDataBufferIndex READ MBMBTXDataBufferIndex WRITE setMBMBTXDataBufferIndex)
    Q_PROPERTY(int MBMBRXDataBufferIndex READ MBMBRXDataBufferIndex WRITE setMBMBRXDataBufferIndex)
    Q_PROPERTY(int MBReceivedDataNumber READ MBReceivedDataNumber STORED false)
    Q_PROPERTY(int MBDataNumberToSend READ MBDataNumberToSend WRITE setMBDataNumberToSend)
    Q_PROPERTY(MBTypes::TMBStatus MBStatus READ MBStatus STORED false)
    Q_PROPERTY(QString MBStatusString READ MBStatusString STORED false)
    Q_PROPERTY(int MBMasterTryNumber READ MBMasterTryNumber STORED false)
    Q_PROPERTY(int MBMasterTryNumberMax READ MBMasterTryNumberMax STORED false)
    Q_PROPERTY(quint32 MBNumberOfTxFrames READ MBNumberOfTxFrames STORED false)
    Q_PROPERTY(quint32 MBNumberOfRxFrames READ MBNumberOfRxFrames STORED false)
    Q_PROPERTY(int MBMasterTimeOut READ MBMasterTimeOut WRITE setMBMasterTimeOut)
    Q_PROPERTY(int MBMasterMaxTryNumber READ MBMasterMaxTryNumber WRITE setMBMasterMaxTryNumber)
    Q_PROPERTY(int MBSlaveDelayTime READ MBSlaveDelayTime WRITE setMBSlaveDelayTime)
    Q_PROPERTY(MBTypes::TMBStatusNow MBStatusNow READ MBStatusNow STORED false)
    Q_PROPERTY(int MBReminder READ MBReminder WRITE setMBReminder)
    Q_PROPERTY(bool MBBusy READ MBBusy STORED false)
    Q_PROPERTY(int MBNumberOfReceivedBytes READ MBNumberOfReceivedBytes STORED false)
    Q_PROPERTY(QString MBStatusNowString READ MBStatusNowString STORED false)
    Q_PROPERTY(bool MBRxBufferFull READ MBRxBufferFull STORED false)
    Q_PROPERTY(int MBCalculatedTimeOfSending READ MBCalculatedTimeOfSending STORED false)
    Q_PROPERTY(bool MBPortOpen READ MBPortOpen STORED false)
    Q_PROPERTY(
        bool MBRefreshListOnStartup READ MBRefreshListOnStartup WRITE setMBRefreshListOnStartup)
    Q_PROPERTY(
        int MBStopByteInStringMode READ MBStopByteInStringMode WRITE setMBStopByteInStringMode)
    Q_PROPERTY(bool MBThereWasOpenEvent READ MBThereWasOpenEvent WRITE setMBThereWasOpenEvent)
    Q_PROPERTY(quint32 MBSpeed READ MBSpeed STORED false)
    Q_PROPERTY(quint32 MBSpeedMax READ MBSpeedMax STORED false)
    Q_PROPERTY(QString MBPortErrorText READ MBPortErrorText STORED false)

public:
    explicit TMB(QWidget *parent = nullptr);
    // Closes an open port without any event and without touching the panel.
    ~TMB() override;

    // The engine behind the panel, for tools and tests.
    MBEngine &engine() { return m_engine; }
    const MBEngine &engine() const { return m_engine; }
    // The panel's sub-controls.
    const MBPanel &panel() const { return m_panel; }

    // ---- Published properties (all held by the engine; writes clamp there)
    QString Port() const { return m_engine.Port(); }
    void setPort(const QString &value) { m_engine.setPort(value); }
    quint32 WinQSizeIn() const { return m_engine.WinQSizeIn(); }
    void setWinQSizeIn(quint32 value) { m_engine.setWinQSizeIn(value); }
    quint32 WinQSizeOut() const { return m_engine.WinQSizeOut(); }
    void setWinQSizeOut(quint32 value) { m_engine.setWinQSizeOut(value); }
    MBTypes::TMBMode MBMode() const { return m_engine.MBMode(); }
    void setMBMode(MBTypes::TMBMode value) { m_engine.setMBMode(value); }
    int MBSlaveOwnAddress() const { return m_engine.MBSlaveOwnAddress(); }
    void setMBSlaveOwnAddress(int value) { m_engine.setMBSlaveOwnAddress(value); }
    MBTypes::TMBBaud MBBaud() const { return m_engine.MBBaud(); }
    void setMBBaud(MBTypes::TMBBaud value) { m_engine.setMBBaud(value); }
    int MBSlaveID() const { return m_engine.MBSlaveID(); }
    void setMBSlaveID(int value) { m_engine.setMBSlaveID(value); }
    int MBSlaveVerYear() const { return m_engine.MBSlaveVerYear(); }
    void setMBSlaveVerYear(int value) { m_engine.setMBSlaveVerYear(value); }
    int MBSlaveVerMonth() const { return m_engine.MBSlaveVerMonth(); }
    void setMBSlaveVerMonth(int value) { m_engine.setMBSlaveVerMonth(value); }
    int MBSlaveVerDay() const { return m_engine.MBSlaveVerDay(); }
    void setMBSlaveVerDay(int value) { m_engine.setMBSlaveVerDay(value); }
    QString MBSlaveName() const { return m_engine.MBSlaveName(); }
    void setMBSlaveName(const QString &value) { m_engine.setMBSlaveName(value); }
    QString MBLastUsedPort() const { return m_engine.MBLastUsedPort(); }
    void setMBLastUsedPort(const QString &value) { m_engine.setMBLastUsedPort(value); }
    bool MBMasterQueryMode() const { return m_engine.MBMasterQueryMode(); }
    void setMBMasterQueryMode(bool value) { m_engine.setMBMasterQueryMode(value); }
    int MBMasterAddressToSlave() const { return m_engine.MBMasterAddressToSlave(); }
    void setMBMasterAddressToSlave(int value) { m_engine.setMBMasterAddressToSlave(value); }
    int MBMasterIDToSlave() const { return m_engine.MBMasterIDToSlave(); }
    void setMBMasterIDToSlave(int value) { m_engine.setMBMasterIDToSlave(value); }
    int MBMasterCommandToSlave() const { return m_engine.MBMasterCommandToSlave(); }
    void setMBMasterCommandToSlave(int value) { m_engine.setMBMasterCommandToSlave(value); }
    int MBSlaveErrorCode() const { return m_engine.MBSlaveErrorCode(); }
    void setMBSlaveErrorCode(int value) { m_engine.setMBSlaveErrorCode(value); }
    int MBMBTXDataBufferIndex() const { return m_engine.MBMBTXDataBufferIndex(); }
    void setMBMBTXDataBufferIndex(int value) { m_engine.setMBMBTXDataBufferIndex(value); }
    int MBMBRXDataBufferIndex() const { return m_engine.MBMBRXDataBufferIndex(); }
    void setMBMBRXDataBufferIndex(int value) { m_engine.setMBMBRXDataBufferIndex(value); }
    int MBReceivedDataNumber() const { return m_engine.MBReceivedDataNumber(); }
    int MBDataNumberToSend() const { return m_engine.MBDataNumberToSend(); }
    void setMBDataNumberToSend(int value) { m_engine.setMBDataNumberToSend(value); }
    MBTypes::TMBStatus MBStatus() const { return m_engine.MBStatus(); }
    QString MBStatusString() const { return m_engine.MBStatusString(); }
    int MBMasterTryNumber() const { return m_engine.MBMasterTryNumber(); }
    int MBMasterTryNumberMax() const { return m_engine.MBMasterTryNumberMax(); }
    quint32 MBNumberOfTxFrames() const { return m_engine.MBNumberOfTxFrames(); }
    quint32 MBNumberOfRxFrames() const { return m_engine.MBNumberOfRxFrames(); }
    int MBMasterTimeOut() const { return m_engine.MBMasterTimeOut(); }
    void setMBMasterTimeOut(int value) { m_engine.setMBMasterTimeOut(value); }
    int MBMasterMaxTryNumber() const { return m_engine.MBMasterMaxTryNumber(); }
    void setMBMasterMaxTryNumber(int value) { m_engine.setMBMasterMaxTryNumber(value); }
    int MBSlaveDelayTime() const { return m_engine.MBSlaveDelayTime(); }
    void setMBSlaveDelayTime(int value) { m_engine.setMBSlaveDelayTime(value); }
    MBTypes::TMBStatusNow MBStatusNow() const { return m_engine.MBStatusNow(); }
    int MBReminder() const { return m_engine.MBReminder(); }
    void setMBReminder(int value) { m_engine.setMBReminder(value); }
    bool MBBusy() const { return m_engine.MBBusy(); }
    int MBNumberOfReceivedBytes() const { return m_engine.MBNumberOfReceivedBytes(); }
    QString MBStatusNowString() const { return m_engine.MBStatusNowString(); }
    bool MBRxBufferFull() const { return m_engine.MBRxBufferFull(); }
    int MBCalculatedTimeOfSending() const { return m_engine.MBCalculatedTimeOfSending(); }
    bool MBPortOpen() const { return m_engine.MBPortOpen(); }
    bool MBRefreshListOnStartup() const { return m_engine.MBRefreshListOnStartup(); }
    void setMBRefreshListOnStartup(bool value) { m_engine.setMBRefreshListOnStartup(value); }
    int MBStopByteInStringMode() const { return m_engine.MBStopByteInStringMode(); }
    void setMBStopByteInStringMode(int value) { m_engine.setMBStopByteInStringMode(value); }
    bool MBThereWasOpenEvent() const { return m_engine.MBThereWasOpenEvent(); }
    void setMBThereWasOpenEvent(bool value) { m_engine.setMBThereWasOpenEvent(value); }
    quint32 MBSpeed() const { return m_engine.MBSpeed(); }
    quint32 MBSpeedMax() const { return m_engine.MBSpeedMax(); }
    QString MBPortErrorText() const { return m_engine.MBPortErrorText(); }

    // ---- TX data buffer
    void MBClearTXData() { m_engine.MBClearTXData(); }
    bool MBAppendByte(quint8 value) { return m_engine.MBAppendByte(value); }
    bool MBAppendWord(quint16 value) { return m_engine.MBAppendWord(value); }
    bool MBAppendCardinal(quint32 value) { return m_engine.MBAppendCardinal(value); }
    bool MBAppendInteger(qint32 value) { return m_engine.MBAppendInteger(value); }
    // Throws mb::FloatOverflow for a value beyond single precision (nothing appended).
    bool MBAppendReal(double value) { return m_engine.MBAppendReal(value); }
    // One byte per character in Windows-1250 (the line's code page), then a zero byte.
    bool MBAppendString(const QString &text) { return m_engine.MBAppendString(text); }

    // ---- RX data buffer
    quint8 MBReadByte() { return m_engine.MBReadByte(); }
    quint16 MBReadWord() { return m_engine.MBReadWord(); }
    quint32 MBReadCardinal() { return m_engine.MBReadCardinal(); }
    qint32 MBReadInteger() { return m_engine.MBReadInteger(); }
    double MBReadReal() { return m_engine.MBReadReal(); }
    // Empties the receive assembly buffer and the RX data buffer (byte mode
    // never does so by itself).
    Q_INVOKABLE void MBClearRXData() { m_engine.MBClearRXData(); }

    // ---- Link operations
    // Starts a transmission in the current mode (a transaction in master mode).
    void MBSendFrame() { m_engine.MBSendFrame(); }
    // Releases the Open/Close button and closes the port, if it is open.
    void MBClosePort() { m_engine.MBClosePort(); }
    // Closes the port after a failure the host met, with the reason shown on
    // the red port lamp (MBEngine::closePortAfterFailure).
    void closePortAfterFailure(const QString &reason = {})
    {
        m_engine.closePortAfterFailure(reason);
    }
    // Probes the ports and refills the port list, as the Refresh button does.
    void MBRefreshPortList() { m_engine.MBRefreshPortList(); }
    // Statistics reset, as a press on the status lamp does.
    void MBResetStatistics() { m_engine.MBResetStatistics(); }

signals:
    void OnMBMasterEndOfEvent(MBTypes::TMBStatus MBStatus, const QString &MBStatusString);
    void OnMBPortOpenedOrClosed(bool MBbPortOpen);
    void OnMBStatusNowChanged(MBTypes::TMBStatusNow MBStatusNow, const QString &MBStatusNowString);
    void OnMBBusyChanged(bool MBbBusy);
    void OnMBDiagnosticReceivedAFrame(quint16 ReceivedDataNumber);
    void OnMBSlaveReceivedCommand(quint8 Command, bool QueryMode, quint16 ReceivedDataNumber);
    void OnMBReceivedAByte(quint16 ReceivedBytesNumber);
    void OnMBReceivedAString(const QString &ReceivedString);

private:
    void forwardEvents();

    // The engine outlives the panel: the panel is destroyed first and never
    // sees the engine's last moments.
    MBEngine m_engine;
    MBPanel m_panel;
};
