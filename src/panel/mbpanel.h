// MBPanel: the small control panel inside the link component's group box.
// It creates the sub-controls at their fixed places, turns the user's actions
// (port list, Refresh, Open/Close, speed list, status lamp) into engine calls
// and follows the engine's signals to paint lamps, bars, counters and texts.
// It keeps no link state of its own: everything it shows comes from the engine.
#pragma once

#include "frame/mbreceiver.h"
#include "link/mbtypes.h"
#include "ports/portinfo.h"
#include "ports/portprobe.h"
#include "widgets/digitshape.h"

#include <QColor>
#include <QObject>
#include <QSize>
#include <QTimer>

class MBEngine;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class TShape;
class TSpeedButton;

class MBPanel : public QObject {
    Q_OBJECT
public:
    // Builds the sub-controls as children of box and wires them to engine.
    // Both must outlive the panel (the component owns all three).
    MBPanel(QGroupBox &box, MBEngine &engine);

    // The group box caption of a mode: "MB Master V2013-06-18" and so on.
    static QString modeCaption(TMBMode mode);
    // A counter value as shown: "# ### ### ##0", and a bare "0" after a reset.
    static QString counterText(quint32 count);
    // A counted value: always the picture, so a count back at zero (the
    // frame counter command) reads "   0".
    static QString countedText(quint32 count);
    // The speed value as shown: whole frames below 1000, else thousands with
    // one decimal in the default locale and a "k".
    static QString speedText(quint32 speed);
    // The colour a lamp is painted in; Neutral is the palette's button face.
    static QColor lampColor(TMBLamp lamp, const QPalette &palette);
    // Why ports are missing from the list: the ports the user may not open
    // and the group to join. Empty when nothing was refused.
    static QString permissionHint(const QList<PortRefusal> &refused);
    // Why ports another program holds are missing from the list, naming the
    // program. Empty when there are none.
    static QString heldHint(const QList<PortHolding> &held);
    // An entry's tool tip: what is behind the port (maker, product, serial
    // number and stable name of a USB adapter, else the kind of port), and
    // for a link the device it leads to.
    static QString portToolTip(const PortDetails &details);
    // Why the system console is not in the list. Empty when there is none.
    static QString consoleHint(const QStringList &consoles);
    // The receive indicator's tool tip: what the link threw away since the
    // port was opened, frames and characters, reason by reason.
    static QString discardText(const mb::MBDiscardCounts &counts);

    // The sub-controls, for hosts' tools and tests.
    TShape *transmitIndicator() const { return m_txIndicator; }
    TShape *receiveIndicator() const { return m_rxIndicator; }
    QProgressBar *tryBar() const { return m_tryBar; }
    QProgressBar *maxTryBar() const { return m_maxTryBar; }
    TShape *statusLamp() const { return m_statusLamp; }
    QLabel *speedValue() const { return m_speedValue; }
    QProgressBar *speedBar() const { return m_speedBar; }
    QLabel *transmitCounterCaption() const { return m_txCaption; }
    QLabel *transmitCounter() const { return m_txCounter; }
    QLabel *receiveCounterCaption() const { return m_rxCaption; }
    QLabel *receiveCounter() const { return m_rxCounter; }
    QListWidget *portList() const { return m_portList; }
    TShape *portLamp() const { return m_portLamp; }
    TSpeedButton *openCloseButton() const { return m_openClose; }
    QPushButton *refreshButton() const { return m_refresh; }
    QComboBox *speedList() const { return m_speedList; }
    // Repaints of the speed bar since construction (it repaints only when its
    // position changes).
    int speedBarUpdates() const { return m_speedBarUpdates; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void connectEngine();

    void startUp();
    void showPanelState(bool open);
    void showPortList(const QStringList &ports, int selected);
    // The port lamp's and the Open/Close button's tool tip: why the lamp is
    // red, and what the link is waiting for meanwhile.
    void showPortReason();
    void enableOpenClose();
    void showMode(TMBMode mode);
    void showSpeed(quint32 speed, quint32 speedMax);
    void showCounter(QLabel *counter, TextMeasureMemo<QSize> &fit, const QString &text);
    void paintLamp(TShape *lamp, TMBLamp colour);
    void flash(TShape *indicator, QTimer &timer);
    void indicatorOff(TShape *indicator, QTimer &timer);
    void setRefreshBold(bool bold);

    QGroupBox &m_box;
    MBEngine &m_engine;
    bool m_startedUp = false;
    int m_speedBarUpdates = 0;

    TShape *m_txIndicator = nullptr;
    TShape *m_rxIndicator = nullptr;
    QProgressBar *m_tryBar = nullptr;
    QProgressBar *m_maxTryBar = nullptr;
    TShape *m_statusLamp = nullptr;
    QLabel *m_speedValue = nullptr;
    QProgressBar *m_speedBar = nullptr;
    QLabel *m_txCaption = nullptr;
    QLabel *m_txCounter = nullptr;
    QLabel *m_rxCaption = nullptr;
    QLabel *m_rxCounter = nullptr;
    // The last measured sizes of the labels that change with every count.
    TextMeasureMemo<QSize> m_speedFit;
    TextMeasureMemo<QSize> m_txFit;
    TextMeasureMemo<QSize> m_rxFit;
    QListWidget *m_portList = nullptr;
    TShape *m_portLamp = nullptr;
    TSpeedButton *m_openClose = nullptr;
    QPushButton *m_refresh = nullptr;
    QComboBox *m_speedList = nullptr;

    QTimer m_txTimer;
    QTimer m_rxTimer;
};
