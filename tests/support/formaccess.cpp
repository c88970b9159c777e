#include "support/formaccess.h"

#include "support/instrument_bytes.h"

namespace formaccess {

TMB *mb1(const QObject &window)
{
    return control<TMB>(window, "MB1");
}

QByteArray sentData(const QObject &window)
{
    return testbytes::sent(mb1(window)->engine().txBuffer());
}

void loadReply(const QObject &window, const QByteArray &data)
{
    testbytes::DataBytes bytes(int(data.size()));
    for (int i = 0; i < data.size(); ++i)
        bytes.byte(i + 1, std::uint8_t(data.at(i)));
    mb1(window)->engine().rxBuffer() = bytes.rx();
}

namespace {

const char *const kExchangePanels[] = {"PageControl1", "GroupBox_System", "Label_KeszulekAltipus"};

} // namespace

bool panelsVisible(const QWidget &window)
{
    for (const char *name : kExchangePanels)
        if (!control<QWidget>(window, name)->isVisibleTo(&window)) return false;
    return true;
}

bool panelsHidden(const QWidget &window)
{
    for (const char *name : kExchangePanels)
        if (control<QWidget>(window, name)->isVisibleTo(&window)) return false;
    return true;
}

QLocale localeWithSeparator(QChar separator)
{
    return separator == u',' ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                             : QLocale(QLocale::English, QLocale::UnitedStates);
}

} // namespace formaccess
