// MBPanel: building the link panel's sub-controls and keeping them in step
// with the engine.
#include "panel/mbpanel.h"

#include "common/rounding.h"
#include "link/discardtext.h"
#include "link/mbengine.h"
#include "text/numberpattern.h"
#include "widgets/colors.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QToolTip>

#include <cerrno>

namespace {

// The component's own version date, shown in every caption.
constexpr int kVersionYear = 2013;
constexpr int kVersionMonth = 6;
constexpr int kVersionDay = 18;

constexpr int kIndicatorMs = 100;
constexpr int kItemHeight = 13;
constexpr const char *kLampProperty = "MBLamp";

enum class Anchor { Left, Right };

// Every sub-control carries tag 1, so a host walking its children can tell
// the component's own controls from its own.
template <typename W>
W *place(W *widget, const char *name, int left, int top, int width, int height)
{
    widget->setObjectName(QLatin1String(name));
    widget->setProperty("Tag", 1);
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel *makeLabel(QGroupBox &box, const char *name, const QString &text, Qt::Alignment align,
                  int left, int top, int width, int height)
{
    auto *label = place(new QLabel(text, &box), name, left, top, width, height);
    label->setAlignment(align | Qt::AlignTop);
    label->setAutoFillBackground(false); // transparent over the group box
    return label;
}

// An auto-sized label takes the size of its text; a right-justified one keeps
// its right edge, so a growing number grows to the left. Measuring lays the
// text out afresh; a label whose text changes at every count passes its memo,
// which keeps the size measured last while only digits the font sets alike
// change (these labels change nothing else that their size depends on).
void setAutoSizedText(QLabel *label, const QString &text, Anchor anchor,
                      TextMeasureMemo<QSize> *fit = nullptr)
{
    label->setText(text);
    const auto measure = [label] { return label->sizeHint(); };
    const QSize hint = fit ? fit->get(label->font(), text, measure) : measure();
    QRect r = label->geometry();
    const int right = r.x() + r.width();
    r.setSize(hint);
    if (anchor == Anchor::Right) r.moveLeft(right - hint.width());
    label->setGeometry(r);
}

QProgressBar *makeBar(QGroupBox &box, const char *name, int left, int top, int width, int height)
{
    auto *bar = place(new QProgressBar(&box), name, left, top, width, height);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    return bar;
}

TShape *makeLamp(QGroupBox &box, const char *name, int left, int top, int width, int height)
{
    auto *lamp = place(new TShape(&box), name, left, top, width, height);
    lamp->setPenColor(Qt::black);
    lamp->setProperty(kLampProperty, int(TMBLamp::Neutral));
    lamp->setBrushColor(MBPanel::lampColor(TMBLamp::Neutral, box.palette()));
    return lamp;
}

// The port's reason changes while the user may be reading it (lost, waiting,
// refused, back): a tool tip showing the old text follows at once, or goes
// when there is no reason any more.
void setReasonTip(QWidget *widget, const QString &reason)
{
    const bool showing = QToolTip::isVisible() && !widget->toolTip().isEmpty() &&
                         QToolTip::text() == widget->toolTip();
    widget->setToolTip(reason);
    if (!showing) return;
    if (reason.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(QCursor::pos(), reason, widget);
}

} // namespace

MBPanel::MBPanel(QGroupBox &box, MBEngine &engine) : m_box(box), m_engine(engine)
{
    createControls();
    connectEngine();
}

// ---------------------------------------------------------------- texts and colours

QString MBPanel::modeCaption(TMBMode mode)
{
    QString prefix;
    switch (mode) {
    case TMBMode::modeMaster:
        prefix = QStringLiteral("MB Master V");
        break;
    case TMBMode::modeSlave:
        prefix = QStringLiteral("MB Slave V");
        break;
    case TMBMode::modeDiagnostic:
        prefix = QStringLiteral("MB Diagnostic V");
        break;
    case TMBMode::modeByte:
        prefix = QStringLiteral("MB Byte Mode V");
        break;
    case TMBMode::modeString:
        prefix = QStringLiteral("MB String Mode V");
        break;
    }
    return prefix + QStringLiteral("%1-%2-%3")
                        .arg(kVersionYear, 4, 10, QLatin1Char('0'))
                        .arg(kVersionMonth, 2, 10, QLatin1Char('0'))
                        .arg(kVersionDay, 2, 10, QLatin1Char('0'));
}

QString MBPanel::counterText(quint32 count)
{
    // Zeroed counters read "0", as at creation; counted values use the
    // grouped picture.
    if (count == 0) return QStringLiteral("0");
    return countedText(count);
}

QString MBPanel::countedText(quint32 count)
{
    return formatPattern(double(count), u"# ### ### ##0");
}

QString MBPanel::speedText(quint32 speed)
{
    if (speed < 1000) return formatPattern(double(speed), u"0");
    return formatPattern(speed / 1000.0, u"0.0") + QLatin1Char('k');
}

QColor MBPanel::lampColor(TMBLamp lamp, const QPalette &palette)
{
    if (lamp == TMBLamp::Neutral)
        return kxcolor::toQColor(kxcolor::systemColor(kxcolor::SystemColor::ButtonFace), palette);
    return kxcolor::toQColor(TColor(mbLampColourValue(lamp)));
}

QString MBPanel::permissionHint(const QList<PortRefusal> &refused)
{
    if (refused.isEmpty()) return {};
    QStringList ports;
    QStringList groups;
    QStringList noGroup; // ports no group may open: joining one does not help
    for (const PortRefusal &refusal : refused) {
        ports << refusal.port;
        if (refusal.group.isEmpty())
            noGroup << refusal.port;
        else if (!groups.contains(refusal.group))
            groups << refusal.group;
    }
    QString hint =
        QStringLiteral("No permission to open %1.").arg(ports.join(QStringLiteral(", ")));
    if (groups.size() == 1)
        hint +=
            QStringLiteral(" Add the user to the %1 group, then log in again.").arg(groups.first());
    else if (groups.size() > 1)
        hint += QStringLiteral(" Add the user to the groups that own the ports (%1), then log in "
                               "again.")
                    .arg(groups.join(QStringLiteral(", ")));
    if (!noGroup.isEmpty())
        hint += QStringLiteral(" No group may open %1: an administrator must first give %2 to a "
                               "group such as dialout (a udev rule), which the user then joins.")
                    .arg(noGroup.join(QStringLiteral(", ")),
                         noGroup.size() > 1 ? QStringLiteral("them") : QStringLiteral("it"));
    return hint;
}

QString MBPanel::heldHint(const QList<PortHolding> &held)
{
    QStringList lines;
    for (const PortHolding &holding : held) {
        const SerialStatus busy{EBUSY, {}, PortFailure::Busy};
        lines << QStringLiteral("%1 is %2: close it there, then press Refresh.")
                     .arg(holding.port, portRefusalText(busy, {}, holding.holder));
    }
    return lines.join(u'\n');
}

QString MBPanel::portToolTip(const PortDetails &details)
{
    QStringList lines = details.lines();
    // A link is named with the device behind it: two links may show the same
    // beginning in the narrow list.
    if (details.isLink())
        lines.prepend(QStringLiteral("%1 is a link to %2").arg(details.path, details.device));
    return lines.join(u'\n');
}

QString MBPanel::consoleHint(const QStringList &consoles)
{
    if (consoles.isEmpty()) return {};
    return QStringLiteral("%1 %2 the system console (kernel messages go there) and %3 not offered.")
        .arg(consoles.join(QStringLiteral(", ")),
             consoles.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"),
             consoles.size() > 1 ? QStringLiteral("are") : QStringLiteral("is"));
}

QString MBPanel::discardText(const mb::MBDiscardCounts &counts)
{
    return mb::discardListText(counts);
}

// ---------------------------------------------------------------- construction

void MBPanel::createControls()
{
    QGroupBox &b = m_box;
    const auto left = Qt::AlignLeft;
    const auto right = Qt::AlignRight;

    makeLabel(b, "Label_Tx", QStringLiteral("Tx:"), left, 5, 15, 20, 15);
    makeLabel(b, "Label_Rx", QStringLiteral("Rx:"), left, 5, 25, 20, 15);
    m_txIndicator = makeLamp(b, "Shape_Transmit", 25, 17, 20, 9);
    m_rxIndicator = makeLamp(b, "Shape_Receive", 25, 28, 20, 9);
    // Its tool tip is written when asked for, so counting costs the link nothing.
    m_rxIndicator->installEventFilter(this);
    m_tryBar = makeBar(b, "ProgressBar_Try", 50, 17, 70, 9);
    m_maxTryBar = makeBar(b, "ProgressBar_MaxTry", 50, 28, 70, 9);
    m_statusLamp = makeLamp(b, "Shape_Status", 127, 17, 20, 9);
    m_statusLamp->setCursor(Qt::PointingHandCursor);
    m_statusLamp->installEventFilter(this);
    makeLabel(b, "Label_Stat", QStringLiteral("Stat."), Qt::AlignHCenter, 122, 25, 30, 15);

    setAutoSizedText(makeLabel(b, "Label_Speed", {}, left, 5, 40, 30, 15), QStringLiteral("Speed:"),
                     Anchor::Left);
    m_speedValue = makeLabel(b, "Label_SpeedValue", {}, right, 55, 40, 20, 15);
    setAutoSizedText(m_speedValue, QStringLiteral("0"), Anchor::Right);
    m_speedBar = makeBar(b, "ProgressBar_Speed", 80, 43, 68, 9);

    m_txCaption = makeLabel(b, "Label_TxCaption", {}, left, 5, 52, 30, 15);
    m_txCounter = makeLabel(b, "Label_TxCounter", {}, right, 112, 52, 30, 15);
    setAutoSizedText(m_txCounter, counterText(0), Anchor::Right);
    m_rxCaption = makeLabel(b, "Label_RxCaption", {}, left, 5, 64, 30, 15);
    m_rxCounter = makeLabel(b, "Label_RxCounter", {}, right, 112, 64, 30, 15);
    setAutoSizedText(m_rxCounter, counterText(0), Anchor::Right);

    m_portList = place(new QListWidget(&b), "ListBox_Ports", 8, 80, 81, 55);
    m_portList->setFont(QFont(QStringLiteral("Arial"), 8));
    m_portList->setUniformItemSizes(true);
    // Port names share their beginnings (/dev/ttyUSB, /dev/serial/by-id/...):
    // the end is what tells them apart.
    m_portList->setTextElideMode(Qt::ElideMiddle);
    connect(m_portList, &QListWidget::currentRowChanged, this,
            [this](int row) { m_engine.selectPortListEntry(row); });
    // A click on the entry already selected is a choice too (it ends a wait
    // for a lost port).
    connect(m_portList, &QListWidget::itemPressed, this,
            [this](QListWidgetItem *item) { m_engine.selectPortListEntry(m_portList->row(item)); });

    // The lamp is created before the button, so the button lies on top and
    // the lamp shows as a coloured frame around it.
    m_portLamp = makeLamp(b, "Shape_Port", 97, 80, 49, 25);
    m_openClose = place(new TSpeedButton(&b), "SpeedButton_OpenClose", 99, 82, 45, 21);
    m_openClose->setText(QStringLiteral("Open"));
    m_openClose->setGroupIndex(1);
    m_openClose->setAllowAllUp(true);
    m_openClose->setEnabled(false);
    connect(m_openClose, &TSpeedButton::OnClick, this, [this] {
        const QListWidgetItem *selected = m_portList->currentItem();
        if (m_openClose->Down() && !m_engine.MBPortOpen() &&
            (!selected || selected->text() == m_engine.missingPort())) {
            // During a wait for a lost port the selection is that port, still
            // missing (or the list is empty): pressing the button ends the
            // wait, and the list shows what is there.
            m_openClose->setDown(false);
            m_engine.endPortWait();
            m_engine.MBRefreshPortList();
            return;
        }
        if (m_openClose->Down())
            m_engine.MBOpenPort();
        else
            m_engine.MBClosePort();
    });

    m_refresh =
        place(new QPushButton(QStringLiteral("Refresh"), &b), "Button_Refresh", 97, 113, 49, 23);
    m_refresh->setEnabled(false);
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_engine.MBRefreshPortList(); });

    m_speedList = place(new QComboBox(&b), "ComboBox_Speed", 8, 141, 141, 25);
    m_speedList->setEnabled(false);
    // Only the user's choice sets the speed; the engine's own changes select
    // the entry without coming back as a new speed.
    connect(m_speedList, &QComboBox::activated, this,
            [this](int index) { m_engine.selectSpeedListEntry(index); });

    QWidget::setTabOrder(m_portList, m_refresh);
    QWidget::setTabOrder(m_refresh, m_speedList);

    showMode(m_engine.MBMode());
    m_box.installEventFilter(this); // palette changes, once every lamp exists
}

void MBPanel::connectEngine()
{
    MBEngine *e = &m_engine;
    connect(e, &MBEngine::startUpTick, this, &MBPanel::startUp);
    connect(e, &MBEngine::panelStateChanged, this, &MBPanel::showPanelState);
    connect(e, &MBEngine::portListChanged, this, &MBPanel::showPortList);
    connect(e, &MBEngine::modeChanged, this, &MBPanel::showMode);
    connect(e, &MBEngine::speedChanged, this, &MBPanel::showSpeed);
    connect(e, &MBEngine::txCounterChanged, this,
            [this](quint32 n) { showCounter(m_txCounter, m_txFit, countedText(n)); });
    connect(e, &MBEngine::rxCounterChanged, this,
            [this](quint32 n) { showCounter(m_rxCounter, m_rxFit, countedText(n)); });
    connect(e, &MBEngine::countersCleared, this, [this] {
        showCounter(m_txCounter, m_txFit, counterText(0));
        showCounter(m_rxCounter, m_rxFit, counterText(0));
    });
    connect(e, &MBEngine::tryBarsChanged, this, [this](int tryPercent, int maxTryPercent) {
        m_tryBar->setValue(tryPercent);
        m_maxTryBar->setValue(maxTryPercent);
    });
    connect(e, &MBEngine::statusLampChanged, this,
            [this](TMBLamp c) { paintLamp(m_statusLamp, c); });
    connect(e, &MBEngine::portLampChanged, this, [this](TMBLamp c) {
        paintLamp(m_portLamp, c);
        // The reason belongs to the red lamp only.
        if (c != TMBLamp::Red) {
            setReasonTip(m_portLamp, {});
            setReasonTip(m_openClose, {});
        }
    });
    // A permission problem or a busy port is the usual first-run failure;
    // without message boxes the lamp's tool tip is where the user finds why.
    connect(e, &MBEngine::portError, this, &MBPanel::showPortReason);
    connect(e, &MBEngine::portWaitChanged, this, [this] {
        showPortReason();
        enableOpenClose();
    });
    connect(e, &MBEngine::transmitFlashed, this, [this] { flash(m_txIndicator, m_txTimer); });
    connect(e, &MBEngine::receiveFlashed, this, [this] { flash(m_rxIndicator, m_rxTimer); });
    connect(e, &MBEngine::transmitIndicatorOff, this,
            [this] { indicatorOff(m_txIndicator, m_txTimer); });
    connect(e, &MBEngine::receiveIndicatorOff, this,
            [this] { indicatorOff(m_rxIndicator, m_rxTimer); });
    connect(e, &MBEngine::baudChanged, this, [this](TMBBaud baud) {
        if (m_speedList->count() > 0) m_speedList->setCurrentIndex(int(baud));
    });

    for (QTimer *timer : {&m_txTimer, &m_rxTimer})
        timer->setInterval(kIndicatorMs);
    connect(&m_txTimer, &QTimer::timeout, this, [this] { indicatorOff(m_txIndicator, m_txTimer); });
    connect(&m_rxTimer, &QTimer::timeout, this, [this] { indicatorOff(m_rxIndicator, m_rxTimer); });
}

// ---------------------------------------------------------------- engine to panel

void MBPanel::startUp()
{
    m_startedUp = true;
    {
        const QSignalBlocker blocker(m_speedList);
        m_speedList->clear();
        m_speedList->addItems(mbBaudListTexts());
        for (int i = 0; i < m_speedList->count(); ++i)
            m_speedList->setItemData(i, QSize(0, kItemHeight), Qt::SizeHintRole);
        m_speedList->setCurrentIndex(int(m_engine.MBBaud()));
    }
    // Without the automatic probe the bold caption tells the user that the
    // list is empty only because nobody has asked yet.
    if (!m_engine.MBRefreshListOnStartup()) setRefreshBold(true);
    const bool closed = !m_engine.MBPortOpen();
    m_refresh->setEnabled(closed);
    m_speedList->setEnabled(closed);
}

void MBPanel::showPanelState(bool open)
{
    m_openClose->setDown(open);
    m_openClose->setText(open ? QStringLiteral("Close") : QStringLiteral("Open"));
    if (open) m_openClose->setEnabled(true);
    m_portList->setEnabled(!open);
    // Before the start-up the speed list is still empty and Refresh has not
    // been offered yet; closing must not hand them out early.
    m_refresh->setEnabled(!open && m_startedUp);
    m_speedList->setEnabled(!open && m_startedUp);
}

void MBPanel::showPortList(const QStringList &ports, int selected)
{
    setRefreshBold(false);
    {
        const QSignalBlocker blocker(m_portList);
        m_portList->clear();
        const QString missing = m_engine.missingPort();
        for (const QString &port : ports) {
            auto *item = new QListWidgetItem(port, m_portList);
            item->setSizeHint(QSize(0, kItemHeight));
            QString tip = portToolTip(m_engine.portCatalog().details(port));
            if (port == missing) {
                // The lost port, waited for: shown, but plainly not there.
                QFont font = m_portList->font();
                font.setItalic(true);
                item->setFont(font);
                item->setForeground(
                    m_portList->palette().color(QPalette::Disabled, QPalette::Text));
                tip = QStringLiteral("Missing: waited for until it comes back (see the lamp)\n") +
                      tip;
            }
            item->setToolTip(tip);
        }
        m_portList->setCurrentRow(selected);
    }
    enableOpenClose();
    // Without a message box the tool tip is where a first-run user, who is
    // not yet in the port's group, learns why the list is empty.
    QStringList hints{permissionHint(m_engine.portsWithoutPermission()),
                      heldHint(m_engine.portsHeldElsewhere()),
                      consoleHint(m_engine.consolePortsLeftOut())};
    hints.removeAll(QString());
    const QString hint = hints.join(u'\n');
    m_portList->setToolTip(hint);
    m_refresh->setToolTip(hint);
}

void MBPanel::enableOpenClose()
{
    // While a lost port is waited for, the button stays pressable even with
    // an empty list: pressing it is how the user stops waiting.
    m_openClose->setEnabled(m_portList->count() > 0 || m_engine.MBPortOpen() ||
                            m_engine.isWaitingForPort());
}

void MBPanel::showPortReason()
{
    if (m_portLamp->property(kLampProperty).toInt() != int(TMBLamp::Red)) return;
    QString reason = m_engine.MBPortErrorText();
    if (m_engine.isWaitingForPort()) reason += QStringLiteral("\n\n") + m_engine.portWaitText();
    setReasonTip(m_portLamp, reason);
    setReasonTip(m_openClose, reason);
}

void MBPanel::showMode(TMBMode mode)
{
    m_box.setTitle(modeCaption(mode));
    QString tx = QStringLiteral("Tx frames:");
    QString rx = QStringLiteral("Rx frames:");
    if (mode == TMBMode::modeByte) {
        tx = QStringLiteral("Tx Bytes:");
        rx = QStringLiteral("Rx Bytes:");
    } else if (mode == TMBMode::modeString) {
        tx = QStringLiteral("Tx strings:");
        rx = QStringLiteral("Rx strings:");
    }
    setAutoSizedText(m_txCaption, tx, Anchor::Left);
    setAutoSizedText(m_rxCaption, rx, Anchor::Left);
    const bool master = mode == TMBMode::modeMaster;
    m_tryBar->setVisible(master);
    m_maxTryBar->setVisible(master);
}

void MBPanel::showSpeed(quint32 speed, quint32 speedMax)
{
    setAutoSizedText(m_speedValue, speedText(speed), Anchor::Right, &m_speedFit);
    const int position = speedMax == 0 ? 0 : roundHalfEvenInt(speed * 100.0 / speedMax);
    if (position == m_speedBar->value()) return;
    m_speedBar->setValue(position);
    ++m_speedBarUpdates;
}

void MBPanel::showCounter(QLabel *counter, TextMeasureMemo<QSize> &fit, const QString &text)
{
    setAutoSizedText(counter, text, Anchor::Right, &fit);
}

void MBPanel::paintLamp(TShape *lamp, TMBLamp colour)
{
    // The lamp remembers what it shows, so a neutral lamp follows a later
    // change of the window's palette.
    lamp->setProperty(kLampProperty, int(colour));
    lamp->setBrushColor(lampColor(colour, m_box.palette()));
}

void MBPanel::flash(TShape *indicator, QTimer &timer)
{
    paintLamp(indicator, TMBLamp::Orange);
    // Restarting keeps the indicator lit while flashes come faster than the
    // timer runs out.
    timer.stop();
    timer.setInterval(kIndicatorMs);
    timer.start();
}

void MBPanel::indicatorOff(TShape *indicator, QTimer &timer)
{
    timer.stop();
    paintLamp(indicator, TMBLamp::Neutral);
}

void MBPanel::setRefreshBold(bool bold)
{
    QFont font = m_refresh->font();
    font.setBold(bold);
    m_refresh->setFont(font);
}

// ---------------------------------------------------------------- user to engine

bool MBPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_statusLamp && event->type() == QEvent::MouseButtonPress) {
        m_engine.MBResetStatistics();
        return true;
    }
    if (watched == m_rxIndicator && event->type() == QEvent::ToolTip) {
        m_rxIndicator->setToolTip(discardText(m_engine.discardCounts()));
        return false; // shown the usual way
    }
    if (watched == &m_box && event->type() == QEvent::PaletteChange) {
        for (TShape *lamp : {m_txIndicator, m_rxIndicator, m_statusLamp, m_portLamp})
            paintLamp(lamp, TMBLamp(lamp->property(kLampProperty).toInt()));
    }
    return QObject::eventFilter(watched, event);
}
