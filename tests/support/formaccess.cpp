#include "support/formaccess.h"

#include "support/instrument_bytes.h"
#include "widgets/pagecontrol.h"

#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

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

void showPage(TForm_Main &window, const char *page)
{
    auto *pages = control<TPageControl>(window, "PageControl1");
    QWidget *sheet = control<QWidget>(window, page);
    pages->setTabVisible(sheet, true);
    pages->setActivePage(sheet);
    window.PageControl1Change(pages);
}

bool clickPage(TForm_Main &window, const char *page)
{
    auto *pages = control<TPageControl>(window, "PageControl1");
    auto *sheet = control<QWidget>(window, page);
    pages->setTabVisible(sheet, true);
    QSignalSpy userChanges(pages, &TPageControl::OnChange);
    QTabBar *tabs = pages->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(pages->indexOf(sheet)).center());
    return pages->ActivePage() == sheet && userChanges.count() == 1;
}

QLocale localeWithSeparator(QChar separator)
{
    return separator == u',' ? QLocale(QLocale::Hungarian, QLocale::Hungary)
                             : QLocale(QLocale::English, QLocale::UnitedStates);
}

} // namespace formaccess
