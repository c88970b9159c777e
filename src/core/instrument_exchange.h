// The instrument exchange: one request/reply transaction after another over a
// link engine, driven by the engine's events alone (no waiting inside, no
// thread of its own), so it runs on whichever thread owns the engine and
// serves one port of many as well as a window. A request goes out from the
// request state; the reply that answers it is decoded once, here, and handed
// to every part that shows or records it, together with the request it
// answers; a failure goes out as its kind.
#pragma once

#include "core/exchange_reply.h"
#include "core/link_failure.h"
#include "core/request_state.h"
#include "protocol/instrument_protocol.h"

#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <optional>

class MBEngine;

class InstrumentExchange : public QObject {
    Q_OBJECT
public:
    // Sets the engine up for the instrument's link (master of the station at
    // the instrument's address, its request identifier, the reply's length).
    explicit InstrumentExchange(MBEngine &engine, QObject *parent = nullptr);

    // The engine's ends of transactions reach take() by themselves from now
    // on. A host whose own end-of-exchange handler must run first in a given
    // order (the window) calls take() from that handler instead.
    void followEngine();

    // Writes the request into the engine and starts its transaction; false
    // (and failed()) when the request holds a value that cannot travel.
    bool send(const InstrumentRequest &request);
    bool send(const RequestState &state) { return send(buildRequest(state)); }

    // When the views of a reply (replyShown, failureShown) hear of it.
    enum class Views : std::uint8_t {
        Now,   // at once, after replyDecoded or failed
        Later, // when showTaken() says so: after the next request went out
    };
    // The end of a transaction: a good reply is decoded (replyDecoded), any
    // other end is a failure of its kind (failed); ended() follows either.
    // The views follow as `views` says.
    void take(TMBStatus status, Views views = Views::Now);
    // Hands the end last taken with Views::Later to the views (once).
    void showTaken();

    // Whether a cycle sends the next request after this end: not once the
    // port is closed (by its user, or lost), and not after a frame that
    // could not be written. Such a port is closed here, as a lost one is:
    // sending again would fail again, inside this very call, for ever.
    bool goesOn(TMBStatus status);

    // What the engine's reply buffer holds, decoded, with the last request.
    // For views that show it again; take() decodes each reply by itself.
    ExchangeReply linkReply() const;
    // The last good reply of this connection's exchanges; none before the
    // first, and none after the instrument refused a request (its error
    // frame replaced the reply).
    const std::optional<ExchangeReply> &lastReply() const { return m_last; }
    const LinkFailure &failure() const { return m_failure; }
    const InstrumentRequest &lastRequest() const { return m_request; }

    // A reply that broke its view: counted and logged as not decodable.
    void noteUndecodable(const char *what);

signals:
    void requestSent(const InstrumentRequest &request);
    // For what the next request depends on (acknowledged commands, the unit
    // on the line, the first reading of the stored settings): before it is built.
    void replyDecoded(const ExchangeReply &reply);
    void failed(const LinkFailure &failure);
    void ended(TMBStatus status);
    // For what only shows or keeps a reply (the trend, a field check): a
    // host that sends the next request from its end-of-exchange handler lets
    // these wait until the request is out, so the line never waits for them.
    void replyShown(const ExchangeReply &reply);
    void failureShown(const LinkFailure &failure);

private:
    void fail(LinkFailure failure);

    MBEngine &m_engine;
    InstrumentRequest m_request;
    std::optional<ExchangeReply> m_last;
    LinkFailure m_failure;
    std::uint32_t m_notDecodableAtSend = 0;
    bool m_showDue = false;     // an end taken with Views::Later waits for showTaken()
    LinkFailure m_shownFailure; // that end's failure (none: its reply)
};
