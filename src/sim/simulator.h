// InstrumentSimulator: the substitute KX4720R on a serial line. It runs our
// own link engine in slave mode at address 1; the engine answers the link's
// service commands by itself, and every instrument request (command 1) is
// carried out by the InstrumentModel and answered through the fault schedule
// (dropped, corrupted, another result code, delayed, cut into pieces, paced at
// the line's speed). It keeps a bounded record of what it received and sent,
// for tests and soak runs.
#pragma once

#include "link/mbengine.h"
#include "sim/instrument_model.h"
#include "sim/reply_writer.h"
#include "sim/sim_faults.h"
#include "sim/sim_options.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>

class PseudoTerminal;

class InstrumentSimulator : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    struct Settings {
        SimFaults faults;
        InstrumentModel::Options model;
        int baud = 115200;          // the line speed; pacing uses it too
        std::uint32_t seed = 1;     // chunk sizes of split replies
        std::size_t history = 4096; // records kept of each kind (oldest go first)
        // How far apart the pieces of an unpaced reply (split, or cut by
        // SimFaults::pieceMs) are written. A millisecond lets the reader see
        // every piece on its own; a soak run that wants thousands of
        // exchanges a second writes them back to back (0), one write per
        // piece, and the reader takes them as they come.
        std::chrono::microseconds splitGap{1000};
        // Reported with the name by the link's identification command; empty
        // for none.
        QString serialNumber;
        // A symbolic link made to point at the pty (and made again for each
        // new one); empty for none. An existing link there is replaced,
        // anything else refuses the start.
        QString linkPath;
        // The cable is pulled when this request arrives, before it is
        // answered (0: never); it stays out for replugAfter.
        quint64 pullAt = 0;
        std::chrono::milliseconds replugAfter{2000};
    };
    static Settings fromOptions(const SimOptions &options);

    // One instrument request as it arrived.
    struct ReceivedRequest {
        quint64 number = 0;                   // 1, 2, ... over the simulator's life
        Clock::time_point firstCharacter;     // when its first character came in
        Clock::time_point time;               // when it was accepted
        std::chrono::milliseconds elapsed{0}; // since start
        InstrumentRequest request;
        int dataBytes = 0;      // as received (98 for a well-formed request)
        bool broadcast = false; // carried out, never answered
        ExchangeFaults fate;    // what the fault schedule chose
    };
    // One reply whose last character has been handed to the line.
    struct SentReply {
        quint64 requestNumber = 0;
        Clock::time_point time;
        quint8 resultCode = 0;
        bool corruptCrc = false;
        std::optional<quint32> tag;
    };

    explicit InstrumentSimulator(QObject *parent = nullptr);
    explicit InstrumentSimulator(const Settings &settings, QObject *parent = nullptr);
    ~InstrumentSimulator() override;

    // Opens a new pty and listens on its master side; portPath() is the path
    // a program opens. False with errorText() when it could not.
    bool startOnNewPty();
    // Opens a real serial device instead.
    bool startOnPort(const QString &device);
    // Closes the port (and the pty: a program still on it sees it hang up)
    // and removes the link.
    void stop();
    // As if the cable were pulled mid-exchange: the pty closes (the program
    // sees a hang-up) and the link goes; after Settings::replugAfter a new
    // pty comes up at the same link. Only a pty can be pulled.
    void pullCable();
    bool isPulled() const { return m_replugTimer.isActive(); }
    QString linkPath() const { return m_settings.linkPath; }
    bool isRunning() const { return m_engine.MBPortOpen(); }
    QString portPath() const { return m_portPath; }
    QString errorText() const { return m_error; }

    // New faults from now on; the counting of "every Nth" starts again.
    void setFaults(const SimFaults &faults);
    const SimFaults &faults() const { return m_settings.faults; }

    MBEngine &engine() { return m_engine; }
    InstrumentModel &model() { return m_model; }

    // The most recent records (at most Settings::history of each).
    const std::deque<ReceivedRequest> &receivedRequests() const { return m_received; }
    const std::deque<SentReply> &sentReplies() const { return m_sent; }
    quint64 requestCount() const { return m_requestCount; }
    quint64 replyCount() const { return m_replyCount; }
    void clearRecords();

signals:
    void requestReceived(quint64 number);
    void replySent(quint64 requestNumber);
    // The serial device went away (never on our own pty); the simulator stopped.
    void portLost(const QString &reason);
    // The cable was pulled, and came back on a new pty (portPath()).
    void cablePulled();
    void cableBack(const QString &portPath);

private:
    void onCommand(int command, bool queryMode, int receivedDataNumber);
    void applyAnswering();
    void answerRequest(const ReceivedRequest &record, const InstrumentReply &reply);
    void onReplyWritten();
    bool makeLink();
    void removeLink();
    template <class T> void keep(std::deque<T> &records, T record);

    Settings m_settings;
    InstrumentModel m_model;
    FaultSchedule m_schedule;
    ChunkSplitter m_splitter;
    std::unique_ptr<PseudoTerminal> m_pty; // before the engine: outlives its device
    MBEngine m_engine;
    ReplyWriter m_writer;
    QString m_portPath;
    QString m_error;
    bool m_listening = false; // started, and not stopped or lost since
    QTimer m_replugTimer;
    Clock::time_point m_started = Clock::now();
    Clock::time_point m_frameStart = Clock::now();
    Clock::time_point m_lastAccepted; // a frame start before this is an old one's

    std::deque<ReceivedRequest> m_received;
    std::deque<SentReply> m_sent;
    quint64 m_requestCount = 0;
    quint64 m_replyCount = 0;
    std::optional<SentReply> m_pendingReply;
};
