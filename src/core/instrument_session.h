// The instrument without a window: a session opens a port by name on a link
// engine of its own, runs one exchange at a time (the request goes out, the
// reply comes back decoded), says why when the link fails, and closes.
// Waiting runs the event loop, so a tool stays responsive: cancel(), called
// from a signal's notifier, ends the wait at once.
#pragma once

#include "link/mbengine.h"
#include "protocol/instrument_protocol.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <optional>

class QEventLoop;

// The line as the link engine takes it.
struct LinkSettings {
    QString port;
    quint32 baud = 115200;
    int tries = 5;        // transmissions of one request before "no answer"
    int timeoutMs = 1000; // the instrument's allowance per try, after the sending time
};

struct LinkFailure {
    enum class Kind {
        None,
        PortMissing,  // no such device
        PortBusy,     // another program holds it
        NoPermission, // the user may not open it
        PortUnusable, // it opened but is no serial port at this speed, or similar
        PortLost,     // it went away or failed while in use
        NoAnswer,     // every try timed out
        BadAnswer,    // every try timed out, and replies came that could not be decoded
        Refused,      // the instrument answered with an error result code
        Cancelled,    // the user interrupted
    };
    Kind kind = Kind::None;
    QString port;
    QString reason;     // the system's message
    QString group;      // NoPermission: the group that owns the device, when known
    int resultCode = 0; // Refused
    int tries = 0;      // NoAnswer, BadAnswer
    int timeoutMs = 0;  // NoAnswer, BadAnswer: the answer window per try
    int replyDataBytes = 0; // BadAnswer: the length of the last reply that could not be decoded

    bool portProblem() const
    {
        return kind == Kind::PortMissing || kind == Kind::PortBusy || kind == Kind::NoPermission ||
               kind == Kind::PortUnusable || kind == Kind::PortLost;
    }
    // One sentence: what went wrong, and what to do about it where there is
    // something to do.
    QString text() const;
};

class InstrumentSession : public QObject {
    Q_OBJECT
public:
    explicit InstrumentSession(QObject *parent = nullptr);
    ~InstrumentSession() override;

    // False with failure() when the port cannot be opened.
    bool open(const LinkSettings &settings);
    // Closes and releases the port.
    void close();
    bool isOpen() const { return m_engine.MBPortOpen(); }

    // One exchange; nullopt with failure() when it failed.
    std::optional<InstrumentReply> exchange(const InstrumentRequest &request);
    // Ends a waiting exchange (and every later one) with Cancelled.
    void cancel();
    bool isCancelled() const { return m_cancelled; }

    const LinkFailure &failure() const { return m_failure; }
    // When the last good reply arrived (local time), and after how many tries.
    QDateTime lastReplyTime() const { return m_replyTime; }
    int lastTries() const { return m_tries; }
    QString port() const { return m_settings.port; }
    const MBEngine &engine() const { return m_engine; }

private:
    void onEnd(TMBStatus status);
    std::optional<InstrumentReply> fail(LinkFailure::Kind kind, QString reason = {});
    QString portErrorReason() const;

    MBEngine m_engine;
    LinkSettings m_settings;
    LinkFailure m_failure;
    QEventLoop *m_loop = nullptr;
    bool m_ended = false;
    bool m_cancelled = false;
    TMBStatus m_status = TMBStatus::stOK;
    int m_tries = 0;
    QDateTime m_replyTime;
};
