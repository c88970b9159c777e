// One real exchange end to end: the main window (offscreen) opens MB1 on the
// pseudo-terminal of a simulated instrument, its exchange cycle sends the
// instrument request, the simulator answers, and the window decodes the
// reply. Checked on both sides: the request as the simulator received it,
// and what the window then shows.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>

#include "app/form_main.h"
#include "panel/mb.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "widgets/speedbutton.h"

using formaccess::control;

class TestE2eExchange : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> simulator;
    std::unique_ptr<TForm_Main> window;

    QString text(const char *label) { return control<QLabel>(*window, label)->text(); }
    bool shown(const char *name) { return !control<QWidget>(*window, name)->isHidden(); }

    // Opens MB1 on the simulator's line and waits until `exchanges` master
    // transactions have ended; the window's own cycle does the sending.
    void runExchanges(int exchanges)
    {
        TMB *mb1 = formaccess::mb1(*window);
        QSignalSpy ended(mb1, &TMB::OnMBMasterEndOfEvent);
        QVERIFY(mb1->engine().MBOpenPort(simulator->portPath()));
        QVERIFY(mb1->MBPortOpen());
        QTRY_VERIFY_WITH_TIMEOUT(ended.count() >= exchanges, 10000);
        for (const QList<QVariant> &event : std::as_const(ended))
            QCOMPARE(event.at(0).value<TMBStatus>(), TMBStatus::stOK);
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        InstrumentSimulator::Settings settings;
        settings.model.operatingMinutes = 1000;
        settings.model.inputSignal = 12.0; // mA on the current input
        simulator = std::make_unique<InstrumentSimulator>(settings);
        QVERIFY2(simulator->startOnNewPty(), qPrintable(simulator->errorText()));

        window = std::make_unique<TForm_Main>();
        window->ApplyLanguage(QStringLiteral("english"));
        window->CurrentLocalDate = [] { return QDate(2013, 10, 9); };
        formaccess::mb1(*window)->setMBMasterTimeOut(300);
    }
    void cleanup()
    {
        if (window) formaccess::mb1(*window)->MBClosePort();
        window.reset();
        simulator.reset();
    }

    void oneExchange()
    {
        control<TSpeedButton>(*window, "SpeedButton_Reset")->setDown(true);
        control<QLineEdit>(*window, "Edit_OutputHigh")->setText(QStringLiteral("150"));
        runExchanges(1);

        // What travelled: the window's state, as the instrument received it.
        QVERIFY(!simulator->receivedRequests().empty());
        const InstrumentSimulator::ReceivedRequest &first = simulator->receivedRequests().front();
        QCOMPARE(first.number, 1u);
        QCOMPARE(first.dataBytes, 98);
        QVERIFY(!first.broadcast);
        const InstrumentRequest &request = first.request;
        QCOMPARE(int(request.CommandBits), 16);
        QCOMPARE(int(request.CalYear), 2013);
        QCOMPARE(int(request.CalMonth), 10);
        QCOMPARE(int(request.CalDay), 9);
        QCOMPARE(int(request.InputType), 100);
        QCOMPARE(int(request.OutputType), 100);
        QCOMPARE(request.InputLow, 4.0);
        QCOMPARE(request.InputHigh, 20.0);
        QCOMPARE(request.OutputLow, 4.0);
        QCOMPARE(request.OutputHigh, 150.0);
        QCOMPARE(int(request.OutCalPWM20mA), 65535);
        QCOMPARE(int(request.PWMForce), 0);
        QCOMPARE(int(request.RangeForce), 0);

        // What came back, as the window shows it.
        QCOMPARE(text("Label_FormverVerzio"), QStringLiteral("V2013-09-30"));
        QCOMPARE(text("Label_KalibralasDatuma"), QStringLiteral("2013-10-01"));
        QCOMPARE(text("Label_Uzemorak"), QStringLiteral("16 hours  40 minutes."));
        QCOMPARE(text("Label_RAM1AdatForras"), QStringLiteral("FRAM 1. terület"));
        QCOMPARE(text("Label_RAM2AdatForras"), QStringLiteral("FRAM 2. terület"));
        QCOMPARE(text("Label_Input"), QStringLiteral("-25 mA ... +25 mA"));
        QCOMPARE(text("Label_InputSignalPlus"), QStringLiteral("IN+: terminal 8 (Iin)"));
        QVERIFY(shown("Image_78"));
        QCOMPARE(text("Label_Output"), QStringLiteral("0 ... +22 mA"));
        QVERIFY(shown("Image_56"));
        QVERIFY(!shown("Label_ADNincsKalibralva"));
        QVERIFY(!shown("Label_KimenetNincsKalibralva"));

        // The measured input: 12 mA give about 12.000 mA.
        const QRegularExpression input(QStringLiteral("^(-?\\d+\\.\\d{3}) mA$"));
        const QRegularExpressionMatch match = input.match(text("Label_BemenoErtek"));
        QVERIFY2(match.hasMatch(), qPrintable(text("Label_BemenoErtek")));
        QVERIFY(qAbs(match.captured(1).toDouble() - 12.0) < 0.1);
        QCOMPARE(text("Label_BemenoErtek2"), text("Label_BemenoErtek"));
        QVERIFY(text("Label_OutputValue").endsWith(QStringLiteral(" mA")));

        // The restart was acknowledged and its button came up; the stored
        // scale of the first reply went into the settings group.
        QVERIFY(!control<TSpeedButton>(*window, "SpeedButton_Reset")->Down());
        QVERIFY(!control<TSpeedButton>(*window, "SpeedButton_ReadSettings")->Down());
        QCOMPARE(control<QLineEdit>(*window, "Edit_OutputHigh")->text(), QStringLiteral("20.000"));
    }

    void acknowledgedCommandLeavesTheNextRequest()
    {
        control<TSpeedButton>(*window, "SpeedButton_Reset")->setDown(true);
        runExchanges(2);
        const auto &received = simulator->receivedRequests();
        QVERIFY(received.size() >= 2);
        QCOMPARE(int(received[0].request.CommandBits), 16);
        QCOMPARE(int(received[1].request.CommandBits), 0);
    }
};

QTEST_MAIN(TestE2eExchange)
#include "tst_e2e_exchange.moc"
