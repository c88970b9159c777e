// libFuzzer target for the instrument reply on its way into the window:
// reply data of any length and content is read by the reply reader and, for
// one input in eight, loaded into MB1's RX data buffer of a real main window
// (offscreen, built once) and decoded there, with the stored-settings read
// pending or not and either decimal separator. The reply reader alone is
// checked against the reply's layout: every field reads from its own offset,
// a field the data does not reach reads as 0, and a whole reply written back
// gives the same bytes (NaNs apart, which may come back quieted).
#include "app/form_main.h"
#include "link/mbbuffers.h"
#include "link/mbframe.h"
#include "panel/mb.h"
#include "protocol/instrument_protocol.h"
#include "widgets/speedbutton.h"

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

QApplication *application = nullptr;
TForm_Main *window = nullptr;
TMB *mb1 = nullptr;
TSpeedButton *readSettings = nullptr;

mb::MBRXDataBuffer bufferWith(const std::vector<std::uint8_t> &data)
{
    mb::MBRXDataBuffer rx;
    check(rx.loadFrame(mb::makeFrame(mb::slaveAddressByte(instrument::Address), 0, 0, data)));
    return rx;
}

// FNV-1a.
std::uint32_t inputHash(const std::uint8_t *data, std::size_t size)
{
    std::uint32_t hash = 2166136261u;
    for (std::size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

bool sameReal(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

void checkReader(const std::vector<std::uint8_t> &data)
{
    mb::MBRXDataBuffer rx = bufferWith(data);
    const InstrumentReply reply = readReply(rx);
    // Reading again from the start gives the same reply.
    rx.setMBMBRXDataBufferIndex(1);
    const InstrumentReply again = readReply(rx);
    check(reply.ADValueCH1 == again.ADValueCH1 &&
          reply.OperatingMinutes == again.OperatingMinutes &&
          sameReal(reply.SpareReal, again.SpareReal));

    // Fields by their offsets: the firmware date first, the converter
    // readings after it; a field cut short reads as 0.
    auto word = [&](std::size_t at) -> std::uint32_t {
        return at + 2 <= data.size() ? std::uint32_t(data[at] | data[at + 1] << 8) : 0;
    };
    auto integer = [&](std::size_t at) -> std::int32_t {
        if (at + 4 > data.size()) return 0;
        std::uint32_t v = 0;
        for (int n = 3; n >= 0; --n)
            v = v << 8 | data[at + std::size_t(n)];
        return std::int32_t(v);
    };
    check(reply.FirmwareYear == word(0));
    check(reply.ADValueCH0 == integer(4));
    check(reply.ADValueCH1 == integer(8));

    if (data.size() >= std::size_t(instrument::ReplyDataSize)) {
        mb::MBTXDataBuffer tx;
        if (writeReply(tx, reply)) {
            const auto written = tx.dataToSend();
            check(written.size() == std::size_t(instrument::ReplyDataSize));
            mb::MBRXDataBuffer back =
                bufferWith(std::vector<std::uint8_t>(written.begin(), written.end()));
            const InstrumentReply reread = readReply(back);
            check(reread.ADValueCH0 == reply.ADValueCH0 && reread.PWMValue == reply.PWMValue &&
                  reread.CalDay == reply.CalDay && reread.DividerCH1 == reply.DividerCH1 &&
                  sameReal(reread.InputValue, reply.InputValue) &&
                  sameReal(reread.ScaleRatio, reply.ScaleRatio) &&
                  sameReal(reread.SpareReal, reply.SpareReal));
        } else {
            // Only a real that cannot travel refuses a reply; one read from
            // four bytes always can, unless it is not a number.
            check(std::isnan(reply.InputValue) || std::isnan(reply.OutputRatio) ||
                  std::isnan(reply.Temperature) || std::isnan(reply.TemperatureMin) ||
                  std::isnan(reply.TemperatureMax) || std::isnan(reply.InputLow) ||
                  std::isnan(reply.InputHigh) || std::isnan(reply.OutputLow) ||
                  std::isnan(reply.OutputHigh) || std::isnan(reply.ScaleRatio) ||
                  std::isnan(reply.SpareReal) || std::isinf(reply.InputValue) ||
                  std::isinf(reply.OutputRatio) || std::isinf(reply.Temperature) ||
                  std::isinf(reply.TemperatureMin) || std::isinf(reply.TemperatureMax) ||
                  std::isinf(reply.InputLow) || std::isinf(reply.InputHigh) ||
                  std::isinf(reply.OutputLow) || std::isinf(reply.OutputHigh) ||
                  std::isinf(reply.ScaleRatio) || std::isinf(reply.SpareReal));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    application = new QApplication(*argc, *argv); // lives as long as the process
    static QTemporaryDir folder;
    window = new TForm_Main(FormEnvironment{
        IniFile(folder.filePath(QStringLiteral("kx4720r-config.ini"))), QStringList{}});
    mb1 = window->findChild<TMB *>(QStringLiteral("MB1"));
    readSettings = window->findChild<TSpeedButton *>(QStringLiteral("SpeedButton_ReadSettings"));
    check(mb1 && readSettings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    // At most a little more than a whole frame's data area.
    const std::vector<std::uint8_t> reply(data + 1, data + std::min<std::size_t>(size, 2044));

    checkReader(reply);

    // The window for one input in eight: showing a reply sets some forty
    // labels and bars, many times the reader's work, and the reader above
    // already meets every input. Chosen by a hash of the whole input, not by
    // a byte of it: the corpus fills with inputs that reach the window (they
    // cover more), and mutants keep a byte far more often than a hash.
    if (inputHash(data, size) % 8 != 0) return 0;
    QLocale::setDefault(flags & 1 ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                                  : QLocale(QLocale::English, QLocale::UnitedStates));
    readSettings->setDown(flags & 2);
    mb1->engine().rxBuffer() = bufferWith(reply);
    window->DecodeInstrumentReply();
    // The window keeps the converter reading as it came.
    mb::MBRXDataBuffer rx = bufferWith(reply);
    check(window->ADValueCH1 == readReply(rx).ADValueCH1);

    // Back to one fixed reply, so that each run leaves the displays as it
    // found them and frees what it allocated: libFuzzer takes a run that
    // keeps more memory than it frees for a possible leak, and then scans the
    // whole heap of the application (once, that was half the run time).
    static const std::vector<std::uint8_t> neutral(std::size_t(instrument::ReplyDataSize), 0);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    readSettings->setDown(true);
    mb1->engine().rxBuffer() = bufferWith(neutral);
    window->DecodeInstrumentReply();
    return 0;
}
