// A main window for port tests (see portwindow.h).
#include "support/portwindow.h"

#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "support/formaccess.h"
#include "support/waitfor.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QListWidget>
#include <QPushButton>
#include <QtTest>

PortWindow::PortWindow(QStringList ports) : form(setup.environment())
{
    link().engine().setPortCandidateSource([this, ports] {
        ++probes;
        return ports;
    });
    QObject::connect(&link(), &TMB::OnMBMasterEndOfEvent, &form, [this](TMBStatus status) {
        if (status == TMBStatus::stOK) ++goodExchanges;
    });
    form.show();
}

TMB &PortWindow::link()
{
    return *formaccess::mb1(form);
}

const MBPanel &PortWindow::panel()
{
    return link().panel();
}

void PortWindow::clickOpenClose()
{
    QTest::mouseClick(panel().openCloseButton(), Qt::LeftButton);
}

void PortWindow::clickRefresh()
{
    QTest::mouseClick(panel().refreshButton(), Qt::LeftButton);
}

bool PortWindow::exchangesGoOn(int more)
{
    const int target = goodExchanges + more;
    return waitOn(&link(), &TMB::OnMBMasterEndOfEvent, [&] { return goodExchanges >= target; });
}

bool PortWindow::portIsOpen(bool open, int timeoutMs)
{
    return waitOn(
        &link(), &TMB::OnMBPortOpenedOrClosed, [&] { return link().MBPortOpen() == open; },
        timeoutMs);
}

bool PortWindow::lampIs(TMBLamp lamp)
{
    return panel().portLamp()->BrushColor() == MBPanel::lampColor(lamp, link().palette());
}

QString PortWindow::lampTip()
{
    return panel().portLamp()->toolTip();
}

QStringList PortWindow::listedPorts()
{
    QStringList ports;
    for (int i = 0; i < panel().portList()->count(); ++i)
        ports << panel().portList()->item(i)->text();
    return ports;
}
