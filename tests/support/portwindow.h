// A main window for port tests, as the user has it: its own initialisation
// file, the port list probed from the ports the test offers, the link panel's
// buttons to click, and a count of its good exchanges.
#pragma once

#include "app/form_main.h"
#include "link/mbtypes.h"
#include "support/windowsetup.h"

#include <QStringList>

class MBPanel;
class TMB;

class PortWindow {
public:
    explicit PortWindow(QStringList ports);

    TMB &link();
    const MBPanel &panel();
    void clickOpenClose();
    void clickRefresh();
    // Whether `more` good exchanges follow within ten seconds.
    bool exchangesGoOn(int more = 3);
    // Whether the port is open (or closed), or becomes so within the time.
    bool portIsOpen(bool open = true, int timeoutMs = 10000);
    bool lampIs(TMBLamp lamp);
    QString lampTip();
    QStringList listedPorts();

    WindowSetup setup;
    TForm_Main form;
    int goodExchanges = 0;
    int probes = 0; // how often the port list was probed
};
