// The instrument simulator: engine set-up, the answer to an instrument
// request, and the records.
#include "sim/simulator.h"

#include "frame/mbbuffers.h"
#include "frame/mbframe.h"
#include "protocol/instrument_protocol.h"
#include "serial/pseudoterminal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// What the simulator reports to the link's identification command.
const QString kSimulatorName = QStringLiteral("KX4720R simulator");
constexpr int kUnknownCommand = 130;

} // namespace

InstrumentSimulator::Settings InstrumentSimulator::fromOptions(const SimOptions &options)
{
    Settings settings;
    settings.faults = options.faults;
    settings.model = options.modelOptions();
    settings.baud = options.baud;
    settings.seed = options.seed;
    settings.linkPath = options.linkPath;
    settings.serialNumber = options.serialNumber;
    settings.pullAt = options.pullAt;
    settings.replugAfter = std::chrono::milliseconds(options.replugAfterMs);
    return settings;
}

InstrumentSimulator::InstrumentSimulator(QObject *parent) : InstrumentSimulator(Settings(), parent)
{
}

InstrumentSimulator::InstrumentSimulator(const Settings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_model([&] {
          InstrumentModel::Options model = settings.model;
          model.neverAcknowledge = model.neverAcknowledge || settings.faults.neverAck;
          return model;
      }()),
      m_schedule(settings.faults), m_splitter(settings.seed),
      m_writer([this](const QByteArray &characters) { return m_engine.writeRawLine(characters); })
{
    m_settings.history = std::max<std::size_t>(1, m_settings.history);
    m_settings.splitGap = std::max(m_settings.splitGap, std::chrono::microseconds(0));
    // A simulator has no port list to probe: it is told where to listen.
    m_engine.setMBRefreshListOnStartup(false);
    m_engine.setBaudRate(quint32(m_settings.baud));
    applyAnswering();
    m_engine.setMBSlaveOwnAddress(instrument::Address);
    m_engine.setMBSlaveID(0);
    m_engine.setMBSlaveName(m_settings.serialNumber.isEmpty()
                                ? kSimulatorName
                                : kSimulatorName + QStringLiteral(", serial ") +
                                      m_settings.serialNumber);
    m_engine.setMBSlaveVerYear(InstrumentModel::FirmwareDate.year);
    m_engine.setMBSlaveVerMonth(InstrumentModel::FirmwareDate.month);
    m_engine.setMBSlaveVerDay(InstrumentModel::FirmwareDate.day);

    connect(&m_engine, &MBEngine::OnMBSlaveReceivedCommand, this, &InstrumentSimulator::onCommand);
    connect(&m_engine, &MBEngine::OnMBStatusNowChanged, this, [this](TMBStatusNow now) {
        // The first character of a request: on a real line the request
        // started about then, which pacing needs to know.
        if (now == TMBStatusNow::stnReceiving) m_frameStart = m_engine.receivedAt();
    });
    connect(&m_engine, &MBEngine::portError, this, [this](const QString &reason) {
        // A failed start is reported by the start itself.
        if (!m_listening) return;
        m_listening = false;
        m_writer.cancel();
        m_pendingReply.reset();
        m_error = reason;
        emit portLost(reason);
    });
    connect(&m_writer, &ReplyWriter::finished, this, &InstrumentSimulator::onReplyWritten);
    connect(&m_writer, &ReplyWriter::failed, this, [this] { m_pendingReply.reset(); });

    m_replugTimer.setSingleShot(true);
    connect(&m_replugTimer, &QTimer::timeout, this, [this] {
        if (startOnNewPty())
            emit cableBack(m_portPath);
        else
            emit portLost(m_error);
    });
}

InstrumentSimulator::~InstrumentSimulator()
{
    m_writer.cancel();
    m_engine.MBClosePort();
    removeLink();
}

bool InstrumentSimulator::startOnNewPty()
{
    stop();
    auto pty = std::make_unique<PseudoTerminal>();
    if (!pty->isValid()) {
        m_error = QStringLiteral("cannot open a pseudo-terminal: ") + pty->errorText();
        return false;
    }
    m_pty = std::move(pty);
    PseudoTerminal *held = m_pty.get();
    m_engine.setSerialDeviceFactory([held] { return held->masterDevice(); });
    m_portPath = m_pty->slavePath();
    m_started = Clock::now();
    if (!m_engine.MBOpenPort(m_portPath)) {
        m_error = m_engine.MBPortErrorText();
        m_engine.setSerialDeviceFactory(nullptr);
        m_pty.reset();
        return false;
    }
    if (!makeLink()) {
        stop();
        return false;
    }
    m_error.clear();
    m_listening = true;
    return true;
}

bool InstrumentSimulator::makeLink()
{
    const QString &link = m_settings.linkPath;
    if (link.isEmpty()) return true;
    // A simulator that died leaves its link behind: that one is replaced.
    const QFileInfo existing(link);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            m_error = QStringLiteral("%1 exists and is not a symbolic link").arg(link);
            return false;
        }
        QFile::remove(link);
    }
    if (!QFile::link(m_portPath, link)) {
        m_error = QStringLiteral("cannot link %1 to %2").arg(link, m_portPath);
        if (!existing.absoluteDir().exists())
            m_error +=
                QStringLiteral(": the folder %1 does not exist").arg(existing.absolutePath());
        return false;
    }
    return true;
}

void InstrumentSimulator::removeLink()
{
    // Only while it is still ours.
    const QFileInfo info(m_settings.linkPath);
    if (!m_settings.linkPath.isEmpty() && info.isSymLink() && info.symLinkTarget() == m_portPath)
        QFile::remove(m_settings.linkPath);
}

bool InstrumentSimulator::startOnPort(const QString &device)
{
    stop();
    m_engine.setSerialDeviceFactory(nullptr);
    m_portPath = device;
    m_started = Clock::now();
    if (!m_engine.MBOpenPort(device)) {
        m_error = m_engine.MBPortErrorText();
        return false;
    }
    m_error.clear();
    m_listening = true;
    return true;
}

void InstrumentSimulator::pullCable()
{
    if (!m_pty) return;
    stop();
    m_replugTimer.start(m_settings.replugAfter);
    emit cablePulled();
}

void InstrumentSimulator::stop()
{
    m_replugTimer.stop();
    removeLink();
    m_listening = false;
    m_writer.cancel();
    m_pendingReply.reset();
    m_engine.MBClosePort();
    m_engine.setSerialDeviceFactory(nullptr);
    m_pty.reset();
}

void InstrumentSimulator::setFaults(const SimFaults &faults)
{
    m_settings.faults = faults;
    m_schedule = FaultSchedule(faults);
    m_model.setNeverAcknowledge(m_settings.model.neverAcknowledge || faults.neverAck);
    applyAnswering();
}

void InstrumentSimulator::applyAnswering()
{
    // An instrument that never answers still takes the line's characters
    // (the program's writes never back up); raw byte mode reads and says nothing.
    const TMBMode mode = m_settings.faults.neverAnswer ? TMBMode::modeByte : TMBMode::modeSlave;
    if (m_engine.MBMode() != mode) {
        m_writer.cancel();
        m_pendingReply.reset();
        m_engine.setMBMode(mode);
    }
}

void InstrumentSimulator::clearRecords()
{
    m_received.clear();
    m_sent.clear();
}

template <class T> void InstrumentSimulator::keep(std::deque<T> &records, T record)
{
    if (records.size() >= m_settings.history) records.pop_front();
    records.push_back(std::move(record));
}

void InstrumentSimulator::onCommand(int command, bool, int receivedDataNumber)
{
    if (command != instrument::RequestCommand) {
        // The instrument knows one command of its own.
        m_engine.setMBSlaveErrorCode(kUnknownCommand);
        return;
    }
    // The reply is ours to build, time and damage.
    m_engine.deferSlaveReply();

    const Clock::time_point now = Clock::now();
    ReceivedRequest record;
    record.number = ++m_requestCount;
    record.time = now;
    // A request whose start went unnoticed (it came in one piece with the
    // end of the one before) started, as far as we can tell, when that piece
    // was read.
    record.firstCharacter = m_frameStart > m_lastAccepted ? m_frameStart : m_engine.receivedAt();
    m_lastAccepted = now;
    record.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - m_started);
    record.dataBytes = receivedDataNumber;
    mb::MBRXDataBuffer rx = m_engine.rxBuffer();
    rx.setMBMBRXDataBufferIndex(1);
    record.broadcast = (rx.address() & 0x0F) == 0;
    record.request = readRequest(rx);

    // A refused write stores nothing, and the reply says so by its code.
    const std::optional<quint8> refusal = m_settings.faults.refuseWriteCode;
    const bool refused =
        refusal && (record.request.CommandBits & instrument::Command::WriteSettings) != 0;
    InstrumentRequest carriedOut = record.request;
    if (refused) carriedOut.CommandBits &= quint8(~instrument::Command::WriteSettings);
    const InstrumentReply reply = m_model.answer(carriedOut, record.elapsed);
    if (!record.broadcast) {
        // A newer request supersedes a reply still on its way, as on a
        // half-duplex line where the instrument starts over.
        m_writer.cancel();
        m_pendingReply.reset();
        record.fate = m_schedule.next();
        if (refused) record.fate.resultCode = *refusal;
        m_engine.setMBSlaveErrorCode(record.fate.resultCode);
    }
    keep(m_received, record);
    emit requestReceived(record.number);
    if (m_settings.pullAt != 0 && record.number == m_settings.pullAt && m_engine.MBPortOpen()) {
        pullCable();
        return;
    }
    // The port may have gone in a handler of the signal above.
    if (!record.broadcast && !record.fate.drop && m_engine.MBPortOpen())
        answerRequest(record, reply);
}

void InstrumentSimulator::answerRequest(const ReceivedRequest &record, const InstrumentReply &reply)
{
    InstrumentReply tagged = reply;
    if (record.fate.tag) applyReplyTag(tagged, *record.fate.tag);

    mb::MBTXDataBuffer tx;
    quint8 code = record.fate.resultCode;
    if (!writeReply(tx, tagged)) {
        // The model produced a value a reply cannot carry: say so rather
        // than send made-up data.
        tx.MBClearTXData();
        code = kUnknownCommand;
    }
    const auto built = tx.buildFrame(mb::slaveAddressByte(instrument::Address),
                                     std::uint8_t(m_engine.MBSlaveID()), code);
    std::vector<std::uint8_t> frame(built.begin(), built.end());
    if (record.fate.corruptCrc) corruptCrc(frame);
    const auto line = mb::encodeLine(frame);
    const QByteArray characters(reinterpret_cast<const char *>(line.data()),
                                qsizetype(line.size()));

    const SimFaults &faults = m_settings.faults;
    Clock::time_point start = record.time;
    if (faults.pace) {
        // The request's own time on the line, counted from its first character.
        const auto requestTime = lineTime(record.dataBytes + int(mb::kMinFrame), m_settings.baud);
        start = std::max(start, record.firstCharacter + requestTime);
    }
    start += std::chrono::milliseconds(faults.delayMs);

    const auto piece = std::chrono::milliseconds(faults.pieceMs.value_or(1));
    std::vector<QByteArray> parts{characters};
    if (faults.split)
        parts = m_splitter.split(characters);
    else if (faults.pace || faults.pieceMs)
        parts = ReplyWriter::cutByLineTime(characters, m_settings.baud, piece);
    m_pendingReply = SentReply{record.number, {}, code, record.fate.corruptCrc, record.fate.tag};
    if (faults.pace) {
        // What the line carried while the simulator was busy arrives together.
        m_writer.start(ReplyWriter::paced(parts, start, m_settings.baud),
                       ReplyWriter::Catching::Merge);
    } else {
        // Unpaced pieces keep their gap even when the simulator falls
        // behind: the point is that they arrive apart.
        m_writer.start(ReplyWriter::spaced(parts, start, m_settings.splitGap),
                       ReplyWriter::Catching::Apart, m_settings.splitGap);
    }
}

void InstrumentSimulator::onReplyWritten()
{
    if (!m_pendingReply) return;
    SentReply sent = *m_pendingReply;
    m_pendingReply.reset();
    sent.time = Clock::now();
    ++m_replyCount;
    keep(m_sent, sent);
    emit replySent(sent.requestNumber);
}
