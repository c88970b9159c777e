// MBEngine: the serial link without its panel. It owns the port, the reader
// thread, the TX/RX data buffers, the frame receiver and the link's timers,
// runs the opening and closing of the port and the master transactions, and
// raises the link's events. It needs no widgets, so the simulator, the
// benchmarks and command-line tools use it directly; the panel TMB forwards
// to it and follows its signals.
#pragma once

#include "frame/mbbuffers.h"
#include "frame/mbreceiver.h"
#include "link/mbtypes.h"
#include "ports/portinfo.h"
#include "ports/portprobe.h"
#include "serial/serialdevice.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PortFollower;
class TCommThread;

using mb::DiscardReason;
using mb::MBDiscardCounts;

// The engine keeps plain accessors; the component TMB publishes them as the
// link's properties (one declaration, there).
class MBEngine : public QObject {
    Q_OBJECT

public:
    explicit MBEngine(QObject *parent = nullptr);
    // Closes an open port without any event.
    ~MBEngine() override;

    // ---- Port and line
    QString Port() const { return m_port; }
    void setPort(const QString &port) { m_port = port; }
    quint32 BaudRate() const { return m_baudRate; }
    void setBaudRate(quint32 baud);
    TMBBaud MBBaud() const { return mbSpeedToBaud(m_baudRate); }
    void setMBBaud(TMBBaud baud) { setBaudRate(mbBaudToSpeed(baud)); }
    // Speed list selection: an entry outside the table gives 9600.
    void selectSpeedListEntry(int index) { setBaudRate(mbBaudToSpeed(index)); }
    // Driver queue sizes have no counterpart on Linux: kept, not applied.
    quint32 WinQSizeIn() const { return m_winQSizeIn; }
    void setWinQSizeIn(quint32 size) { m_winQSizeIn = size; }
    quint32 WinQSizeOut() const { return m_winQSizeOut; }
    void setWinQSizeOut(quint32 size) { m_winQSizeOut = size; }
    QString MBLastUsedPort() const { return m_lastUsedPort; }
    void setMBLastUsedPort(const QString &port);
    bool MBRefreshListOnStartup() const { return m_refreshListOnStartup; }
    void setMBRefreshListOnStartup(bool on) { m_refreshListOnStartup = on; }
    bool MBThereWasOpenEvent() const { return m_thereWasOpenEvent; }
    void setMBThereWasOpenEvent(bool on) { m_thereWasOpenEvent = on; }
    bool MBPortOpen() const { return m_portOpen; }
    // Why the port could not be opened or was lost: "TMB : cannot open " with
    // the port name, a carriage return and the system's message. Empty after a
    // successful opening. The panel shows it as the port lamp's tool tip.
    QString MBPortErrorText() const { return m_portErrorText; }
    // The kind of that failure (None after a successful opening) and the
    // system's own message for it, apart, so that hosts never cut the
    // reason back out of the text above.
    PortFailure portFailure() const { return m_portFailure.kind; }
    const SerialStatus &portFailureStatus() const { return m_portFailure; }
    // Why the last write failed (a transaction ended with stPortError while
    // the port still counts as open).
    const SerialStatus &lastWriteFailure() const { return m_lastWriteFailure; }

    // ---- Port list
    // Probes the ports and refills the list (Refresh button, start-up).
    void MBRefreshPortList();
    QStringList portList() const { return m_portList; }
    int selectedPortIndex() const { return m_selectedPort; }
    // Port list click: the entry becomes the selection and MBLastUsedPort.
    void selectPortListEntry(int index);
    // Where the candidates come from (tests inject their own list); by
    // default the system's serial ports plus --port and KX4720R_PORTS.
    void setPortCandidateSource(std::function<QStringList()> source);
    // The ports the user named (--port, KX4720R_PORTS, in that order): one
    // of them is preselected over any port the user did not name, unless the
    // user chooses another in the list. By default read from the command
    // line and the environment.
    void setNamedPorts(const QStringList &ports) { m_namedPorts = ports; }
    QStringList namedPorts() const;
    // The system console's serial ports, left out of the list (for its tool tip).
    QStringList consolePortsLeftOut() const { return m_consolePorts; }
    // The port waited for while it is missing: kept in the list, selected,
    // so that Open cannot reach another unit and the port is the one saved
    // as last used. Empty when the list holds no missing port.
    QString missingPort() const { return m_missingPort; }
    // How the probe opens a candidate; by default the exclusive opening of
    // the device. Tests make a candidate fail as they need.
    void setPortTryOpen(PortTryOpen tryOpen) { m_tryOpen = std::move(tryOpen); }
    // The ports the last probe left out because the user may not open them;
    // read when portListChanged arrives.
    QList<PortRefusal> portsWithoutPermission() const { return m_portsWithoutPermission; }
    // The ports it left out because another program holds them (those
    // whose holder could be named).
    QList<PortHolding> portsHeldElsewhere() const { return m_portsHeldElsewhere; }
    // What opening a port creates; by default the system's serial device,
    // which opens the port by name. A host that already holds the line (the
    // simulator with its pty master) hands in a device around it.
    using DeviceFactory = std::function<std::unique_ptr<SerialDevice>()>;
    void setSerialDeviceFactory(DeviceFactory factory) { m_deviceFactory = std::move(factory); }

    // ---- Ports that come and go (PortFollower)
    // Off by default; the panel turns it on. From the first filling of the
    // list on, the list follows the devices while no port is open, and a lost
    // port is waited for and opened again when it comes back.
    void setFollowPorts(bool on);
    bool followsPorts() const { return m_follower != nullptr; }
    // Where descriptions and identities of ports are read (tests: a fake tree).
    void setPortCatalog(const PortCatalog &catalog) { m_catalog = catalog; }
    const PortCatalog &portCatalog() const { return m_catalog; }
    // While a lost port is waited for: a sentence for the port lamp's tool
    // tip (until when, or why the device that is back refuses). Empty otherwise.
    bool isWaitingForPort() const;
    QString portWaitText() const;
    // Ends a wait without opening anything (the user's choice).
    void endPortWait();
    // Ten minutes unless set.
    void setPortWaitLimit(std::chrono::milliseconds limit);
    const PortFollower *portFollower() const { return m_follower; }

    // ---- Opening and closing
    // Opens the selected port list entry (Open/Close button pressed).
    bool MBOpenPort();
    // Opens the named port, as if it were the selected entry.
    bool MBOpenPort(const QString &port);
    // Closes the port if MBPortOpen (Open/Close button released, host closing).
    void MBClosePort();
    // Ends the open port after a failure its host met, such as a frame that
    // could not be written: closed as by MBClosePort, then the port lamp red,
    // MBPortErrorText "TMB : port lost " with the port name, a carriage
    // return and the reason (the last failed write's message when no reason
    // is given), portError raised, and the port list probed again so the
    // user can choose and open a port at once. Does nothing while closed.
    void closePortAfterFailure(const QString &reason = {});

    // ---- Mode and master settings
    TMBMode MBMode() const { return m_mode; }
    void setMBMode(TMBMode mode);
    bool MBMasterQueryMode() const { return m_queryMode; }
    void setMBMasterQueryMode(bool on) { m_queryMode = on; }
    int MBMasterAddressToSlave() const { return m_addressToSlave; }
    void setMBMasterAddressToSlave(int address);
    int MBMasterIDToSlave() const { return m_idToSlave; }
    void setMBMasterIDToSlave(int id);
    int MBMasterCommandToSlave() const { return m_commandToSlave; }
    void setMBMasterCommandToSlave(int command);
    int MBMasterTimeOut() const { return m_timeOut; }
    void setMBMasterTimeOut(int ms);
    int MBMasterMaxTryNumber() const { return m_maxTryNumber; }
    void setMBMasterMaxTryNumber(int tries);

    // ---- Slave and raw mode settings
    int MBSlaveOwnAddress() const { return m_slaveOwnAddress; }
    void setMBSlaveOwnAddress(int address);
    int MBSlaveID() const { return m_slaveID; }
    void setMBSlaveID(int id);
    int MBSlaveVerYear() const { return m_slaveVerYear; }
    void setMBSlaveVerYear(int year);
    int MBSlaveVerMonth() const { return m_slaveVerMonth; }
    void setMBSlaveVerMonth(int month);
    int MBSlaveVerDay() const { return m_slaveVerDay; }
    void setMBSlaveVerDay(int day);
    QString MBSlaveName() const { return m_slaveName; }
    void setMBSlaveName(const QString &name) { m_slaveName = name; }
    int MBSlaveErrorCode() const { return m_slaveErrorCode; }
    void setMBSlaveErrorCode(int code);
    int MBSlaveDelayTime() const { return m_slaveDelayTime; }
    void setMBSlaveDelayTime(int ms);
    int MBStopByteInStringMode() const { return m_stopByte; }
    void setMBStopByteInStringMode(int byte);
    int MBReminder() const { return m_reminder; }
    void setMBReminder(int value);

    // ---- TX data buffer
    void MBClearTXData() { m_tx.MBClearTXData(); }
    bool MBAppendByte(quint8 value) { return m_tx.MBAppendByte(value); }
    bool MBAppendWord(quint16 value) { return m_tx.MBAppendWord(value); }
    bool MBAppendCardinal(quint32 value) { return m_tx.MBAppendCardinal(value); }
    bool MBAppendInteger(qint32 value) { return m_tx.MBAppendInteger(value); }
    // Throws mb::FloatOverflow for a value beyond single precision (nothing appended).
    bool MBAppendReal(double value) { return m_tx.MBAppendReal(value); }
    // The bytes as they go on the line, then a zero byte.
    bool MBAppendString(const QByteArray &text);
    // A text in Windows-1250, the code page of every text on the line, then
    // a zero byte; a character the code page lacks goes as '?'.
    bool MBAppendString(const QString &text);
    int MBMBTXDataBufferIndex() const { return m_tx.MBMBTXDataBufferIndex(); }
    void setMBMBTXDataBufferIndex(int index) { m_tx.setMBMBTXDataBufferIndex(index); }
    int MBDataNumberToSend() const { return m_tx.MBDataNumberToSend(); }
    void setMBDataNumberToSend(int count) { m_tx.setMBDataNumberToSend(count); }

    // ---- RX data buffer
    quint8 MBReadByte() { return m_rx.MBReadByte(); }
    quint16 MBReadWord() { return m_rx.MBReadWord(); }
    quint32 MBReadCardinal() { return m_rx.MBReadCardinal(); }
    qint32 MBReadInteger() { return m_rx.MBReadInteger(); }
    double MBReadReal() { return m_rx.MBReadReal(); }
    int MBMBRXDataBufferIndex() const { return m_rx.MBMBRXDataBufferIndex(); }
    void setMBMBRXDataBufferIndex(int index) { m_rx.setMBMBRXDataBufferIndex(index); }
    int MBReceivedDataNumber() const { return m_rx.MBReceivedDataNumber(); }
    int MBNumberOfReceivedBytes() const { return m_receiver.MBNumberOfReceivedBytes(); }
    bool MBRxBufferFull() const { return m_receiver.MBRxBufferFull(); }
    const mb::MBRXDataBuffer &rxBuffer() const { return m_rx; }
    // The data buffers themselves, for a host that writes or reads a whole
    // message layout at once (and for tests that load a received frame).
    mb::MBRXDataBuffer &rxBuffer() { return m_rx; }
    mb::MBTXDataBuffer &txBuffer() { return m_tx; }
    const mb::MBTXDataBuffer &txBuffer() const { return m_tx; }
    // Empties the receive assembly buffer and the RX data buffer
    // (MBNumberOfReceivedBytes 0, MBRxBufferFull false, MBReceivedDataNumber 0,
    // MBMBRXDataBufferIndex 1). Byte mode never empties them by itself, so a
    // host that stays in byte mode calls this once it has read what it needs.
    Q_INVOKABLE void MBClearRXData();

    // ---- Transactions
    // Starts a transmission in the current mode; in master mode a transaction.
    // A running transaction is abandoned without an end event.
    void MBSendFrame();

    // ---- Host-built replies in slave mode
    // Called from an OnMBSlaveReceivedCommand handler: the engine sends no
    // reply to this request; the host answers later (or never) through
    // writeRawLine. Counters and status are kept as for an answered request.
    // The simulator uses it to cut, pace, corrupt or drop its replies.
    void deferSlaveReply() { m_slaveReplyDeferred = true; }
    // Hands line characters to the open port as they are. False when the
    // port is closed or the write failed.
    bool writeRawLine(const QByteArray &characters);

    // ---- State and statistics
    TMBStatusNow MBStatusNow() const { return m_statusNow; }
    QString MBStatusNowString() const { return m_statusNowString; }
    TMBStatus MBStatus() const { return m_status; }
    QString MBStatusString() const { return m_statusString; }
    bool MBBusy() const { return m_busy; }
    int MBMasterTryNumber() const { return m_tryNumber; }
    int MBMasterTryNumberMax() const { return m_tryNumberMax; }
    // The sending time of the last frame, clamped to 16 bits; the answer timer
    // uses the full value (see answerInterval()).
    int MBCalculatedTimeOfSending() const;
    // The full sending time and the answer timer's interval, in milliseconds:
    // the sending time and the slave's allowance, which is MBMasterTimeOut
    // unless the reply's own line time (and a quarter of it for the slave)
    // is longer, for a reply whose length the host gave (below); at slow
    // speeds no reply could arrive in time otherwise.
    qint64 sendingTimeFull() const { return m_sendingTime; }
    qint64 answerInterval() const { return m_sendingTime + answerAllowance(); }
    qint64 answerAllowance() const;

    // ---- The replies a host can use
    // The number of data bytes every reply with a success code must carry
    // (its layout's length); any other length is thrown away as not
    // decodable and the transaction goes on waiting. -1 (the default): any.
    // It also tells how long a reply takes on the line.
    void setExpectedReplyDataBytes(int bytes) { m_expectedReplyData = bytes; }
    int expectedReplyDataBytes() const { return m_expectedReplyData; }
    // The data length of the last reply thrown away as not decodable (-1: none yet).
    int lastNotDecodableDataBytes() const { return m_lastNotDecodable; }
    // Line time of a reply with dataBytes data bytes, in whole milliseconds.
    static qint64 replyLineTime(int dataBytes, quint32 baud);
    quint32 MBNumberOfTxFrames() const { return m_txFrames; }
    quint32 MBNumberOfRxFrames() const { return m_rxFrames; }
    quint32 MBSpeed() const { return m_speed; }
    quint32 MBSpeedMax() const { return m_speedMax; }

    // Status lamp press: all counters and indicators back to zero and neutral.
    void MBResetStatistics();
    // Indicators neutral, try and speed statistics zero (also part of a mode change).
    void MBResetIndicators();

    // Hand-overs the reader threads of this engine made so far; a port that
    // went away must not keep waking the user-interface thread.
    quint64 readerHandOverCount() const;
    // What the link threw away since the port was opened, and why. Read
    // it whenever you like (a copy of the counters; nothing is computed):
    //   const MBDiscardCounts d = engine.discardCounts();
    //   d.badCrc, ..., d.frames(), d.characters(), d[DiscardReason::LateReply]
    MBDiscardCounts discardCounts() const { return m_receiver.discards(); }
    // A host that could not make sense of an accepted frame (its decoding
    // failed) reports it here: counted as not decodable and logged.
    void noteUndecodableFrame(const char *what);

    // The speed the driver reports for the open port (0 while closed).
    quint32 portLineSpeed() const;
    // Characters handed to the port that its driver has not taken yet: the
    // other side reads nothing. They wait in the device, never in a write.
    qsizetype outputWaiting() const;
    // While received characters are being dealt with: when the reader read the
    // first of them from the port; otherwise now.
    std::chrono::steady_clock::time_point receivedAt() const;

    // Transmission time of a frame with dataBytes data bytes, in milliseconds,
    // rounded half to even, plus 1.
    static qint64 calculateTimeOfSending(int dataBytes, quint32 baud);

signals:
    // The link's events.
    void OnMBMasterEndOfEvent(MBTypes::TMBStatus MBStatus, const QString &MBStatusString);
    void OnMBStatusNowChanged(MBTypes::TMBStatusNow MBStatusNow, const QString &MBStatusNowString);
    void OnMBBusyChanged(bool MBbBusy);
    void OnMBPortOpenedOrClosed(bool MBbPortOpen);
    // Raised by the slave and raw modes.
    void OnMBDiagnosticReceivedAFrame(int ReceivedDataNumber);
    void OnMBSlaveReceivedCommand(int Command, bool QueryMode, int ReceivedDataNumber);
    void OnMBReceivedAByte(int ReceivedBytesNumber);
    // The collected bytes read as Windows-1250, one character per byte.
    void OnMBReceivedAString(const QString &ReceivedString);

    // For the panel.
    void startUpTick();                // first tick of the one-second timer
    void panelStateChanged(bool open); // open state / closed state of the panel
    void portLampChanged(MBTypes::TMBLamp lamp);
    void statusLampChanged(MBTypes::TMBLamp lamp);
    void transmitFlashed();
    void receiveFlashed();
    void transmitIndicatorOff();
    void receiveIndicatorOff();
    void tryBarsChanged(int tryPercent, int maxTryPercent);
    // A counted value (shown in the counters' picture, "   0" included).
    void txCounterChanged(quint32 count);
    void rxCounterChanged(quint32 count);
    // Both counters set back to zero by a reset (shown as a bare "0").
    void countersCleared();
    void speedChanged(quint32 speed, quint32 speedMax);
    void baudChanged(MBTypes::TMBBaud baud); // select the speed list entry
    void modeChanged(MBTypes::TMBMode mode);
    void portListChanged(const QStringList &ports, int selected);
    // The opening failed or the open port was lost; the text is MBPortErrorText.
    void portError(const QString &message);
    // A wait for a lost port began, ended or has news (portWaitText).
    void portWaitChanged();

private:
    friend class PortFollower;

    // Where the link stands. Each change happens in one of the transitions
    // below, which also set MBBusy and MBStatusNow in the specified order.
    enum class LinkState : quint8 {
        Closed,        // the port is not open (or not yet set up)
        Idle,          // the port is open; no request awaits a reply
        ClearingLine,  // master: a request waits until replies still owed to earlier tries are in
        AwaitingReply, // master: request m_transaction is out, the answer timer runs for it
    };

    using Clock = std::chrono::steady_clock;
    // One transmission of a request whose reply has not come yet. A slave
    // answers every request it gets, once and in order; a reply is matched
    // to the oldest transmission it can answer.
    struct Transmission {
        quint64 transaction;
        Clock::time_point sentAt;
        qint64 windowMs; // the answer window it was sent with
    };
    // What the reply just assembled is to the master.
    enum class ReplyRole : quint8 { Answer, Late, Unexpected };

    // A host's handler may delete the engine from inside any of its events.
    // Every step that raises one reports whether the engine is still there
    // afterwards (false: it is gone, and nothing of it may be touched), and
    // the step's caller goes on only then.
    template <typename Emit> [[nodiscard]] bool survives(Emit &&emitEvent)
    {
        const QPointer<MBEngine> self(this);
        emitEvent();
        return !self.isNull();
    }

    // Port
    // A probe and the list's refilling; following, the selection stays on the
    // device the user chose.
    void refreshPortList(bool following);
    bool openDevice(SerialStatus &failure);
    void closeDevice();
    [[nodiscard]] bool closePort();
    [[nodiscard]] bool enterClosedState();
    void onReceived(const QByteArray &chunk);
    void onPortLost(const SerialStatus &reason);
    bool endPortWithFailure(const SerialStatus &reason);
    bool writeLine(const QByteArray &characters);
    bool portReady() const { return m_state != LinkState::Closed; }

    // Shared state changes
    [[nodiscard]] bool setStatusNow(TMBStatusNow status);
    [[nodiscard]] bool setBusy(bool busy);
    void setStatus(TMBStatus status, int slaveCode = 0);
    void setPortLamp(TMBLamp lamp);
    void countTxFrame();
    void updateTryStatistics(int tryNumber);
    void oneSecondTick();

    // Receive path shared by the framed modes
    void receiveFramed(const QByteArray &chunk);
    bool acceptFirstByte(quint8 firstByte) const;
    bool onAssemblyReset();
    bool onFrameAccepted();
    void logDiscards(mb::MBDiscardCounts &seen) const;

    // The one test of whether something arriving now belongs to the master
    // transaction it was meant for: an answer timer started for it, or
    // characters read while it was the latest. Everything else is ignored.
    bool belongsToTransaction(quint64 transaction) const { return transaction == m_transaction; }

    // Master transaction and the sends that end at once
    [[nodiscard]] bool masterSend();
    [[nodiscard]] bool sendRequest();
    bool sendMasterFrame();
    void noteTransmission();
    // Replies still owed to earlier tries: the next request waits for them
    // (or for the moment they can no longer come).
    bool repliesOwed();
    [[nodiscard]] bool onLineClear();
    // Takes the oldest transmission a reply read at m_chunkReadAt can answer,
    // and says whose answer the reply is.
    ReplyRole matchReply();
    [[nodiscard]] bool awaitReply();
    bool endWithReply(int code);
    bool endWithoutReply();
    bool endTimedOut();
    bool endWithPortError();
    bool endTransaction(); // OnMBMasterEndOfEvent with MBStatus
    void onAnswerTimeout();
    bool masterFrameAccepted();
    bool damagedReplySeen();

    // Slave mode
    bool slaveFrameAccepted();
    bool slaveCommand(quint8 command, bool queryMode);
    bool sendSlaveReply();

    // Diagnostic, byte and string mode
    void diagnosticSend();
    bool diagnosticFrameAccepted();
    void rawSend(bool stringMode);
    void receiveBytes(const QByteArray &chunk);
    void receiveString(const QByteArray &chunk);
    void countRxFrames(quint32 count, bool countSpeed);

    // Port and line
    QString m_port = QStringLiteral("COM1");
    quint32 m_baudRate = 9600;
    quint32 m_winQSizeIn = 8192;
    quint32 m_winQSizeOut = 8192;
    QString m_lastUsedPort;
    bool m_refreshListOnStartup = true;
    bool m_thereWasOpenEvent = false;
    bool m_portOpen = false; // MBPortOpen: what the panel and the modes go by
    QString m_portErrorText;
    SerialStatus m_portFailure;
    SerialStatus m_lastWriteFailure; // of the last write that failed
    std::unique_ptr<TCommThread> m_reader;
    quint64 m_retiredHandOvers = 0; // of the readers of earlier openings
    QStringList m_portList;
    int m_selectedPort = -1;
    std::function<QStringList()> m_candidateSource;
    std::optional<QStringList> m_namedPorts;
    QStringList m_consolePorts;
    QString m_missingPort;
    bool m_chosenByHand = false; // a port list click this session
    PortTryOpen m_tryOpen;
    QList<PortRefusal> m_portsWithoutPermission;
    QList<PortHolding> m_portsHeldElsewhere;
    DeviceFactory m_deviceFactory;
    PortCatalog m_catalog;
    PortFollower *m_follower = nullptr; // child object, while following

    // Mode and master settings
    TMBMode m_mode = TMBMode::modeMaster;
    bool m_queryMode = false;
    int m_addressToSlave = 1;
    int m_idToSlave = 0;
    int m_commandToSlave = 0;
    int m_timeOut = 1000;
    int m_maxTryNumber = 5;

    // Slave and raw mode settings
    int m_slaveOwnAddress = 1;
    int m_slaveID = 0;
    int m_slaveVerYear = 2013;
    int m_slaveVerMonth = 6;
    int m_slaveVerDay = 18;
    QString m_slaveName = QStringLiteral("MB Slave On PC");
    int m_slaveErrorCode = 0;
    int m_slaveDelayTime = 0;
    int m_stopByte = 0;
    int m_reminder = 0;
    bool m_slaveReplyDeferred = false;
    bool m_stringArmed = false; // string mode: a send armed the text reception

    // Buffers and receiver
    mb::MBTXDataBuffer m_tx;
    mb::MBRXDataBuffer m_rx;
    mb::MBReceiver m_receiver;

    // State and statistics
    TMBStatusNow m_statusNow = TMBStatusNow::stnPortError;
    QString m_statusNowString = mbStatusNowText(TMBStatusNow::stnPortError);
    TMBStatus m_status = TMBStatus::stOK;
    QString m_statusString = mbStatusText(TMBStatus::stOK);
    bool m_busy = true;
    int m_tryNumber = 0;
    int m_tryNumberMax = 0;
    qint64 m_sendingTime = 0;
    LinkState m_state = LinkState::Closed;
    // The number of the latest master transaction, and of the one the answer
    // timer runs for.
    quint64 m_transaction = 0;
    quint64 m_timerTransaction = 0;
    std::deque<Transmission> m_unanswered; // oldest first
    bool m_lastAnswered = true;            // the last transaction ended with its answer
    qint64 m_slowestAnswerMs = 0;          // since the opening
    Clock::time_point m_chunkReadAt;       // when the characters being handled were read
    Clock::time_point m_lastSentAt;        // when the last request was handed to the port
    int m_expectedReplyData = -1;
    int m_lastNotDecodable = -1;
    quint32 m_txFrames = 0;
    quint32 m_rxFrames = 0;
    quint32 m_speed = 0;
    quint32 m_speedMax = 0;
    quint16 m_speedCount = 0;
    bool m_startedUp = false;

    QTimer m_answerTimer;
    QTimer m_clearLineTimer;
    QTimer m_slaveDelayTimer;
    QTimer m_secondTimer;
};
