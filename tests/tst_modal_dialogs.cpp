// End to end: the window against the simulator while each kind of modal
// dialog it opens is up. Every dialog runs an event loop of its own, and the
// link's hand-overs and timers run inside it, so replies keep arriving and a
// latched store goes out and is acknowledged while the technician is still
// reading the dialog.
#include <QtTest>

#include <QApplication>
#include <QElapsedTimer>

#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "support/formaccess.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"
#include "trend/trend_page.h"
#include "widgets/speedbutton.h"

#include <algorithm>
#include <functional>

using formaccess::control;
using formaccess::mb1;

using OpenDialog = std::function<void(TForm_Main &)>;
Q_DECLARE_METATYPE(OpenDialog)

class TestModalDialogs : public QObject {
    Q_OBJECT
private slots:
    void theExchangeGoesOnWhileADialogIsOpen_data();
    void theExchangeGoesOnWhileADialogIsOpen();
};

void TestModalDialogs::theExchangeGoesOnWhileADialogIsOpen_data()
{
    QTest::addColumn<OpenDialog>("open");
    QTest::newRow("settings file") << OpenDialog([](TForm_Main &w) { w.settingsFiles->save(); });
    QTest::newRow("readings file")
        << OpenDialog([](TForm_Main &w) { w.TabSheet_Trend->chooseRecordFile(&w); });
    QTest::newRow("serial number") << OpenDialog([](TForm_Main &w) {
        w.calibrationRecords->askSerialNumber(&w, {QStringLiteral("Unit"), {}, {}});
    });
    QTest::newRow("report details") << OpenDialog([](TForm_Main &w) {
        w.calibrationRecords->askReportDetails(&w, {QStringLiteral("Report"), {}, {}, {}, false});
    });
    QTest::newRow("message") << OpenDialog([](TForm_Main &w) {
        w.settingsFiles->showMessage(&w, QStringLiteral("Note"), QStringLiteral("Read me"));
    });
}

void TestModalDialogs::theExchangeGoesOnWhileADialogIsOpen()
{
    QFETCH(OpenDialog, open);
    SimulatorRunner sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    WindowSetup setup({QStringLiteral("/VARNEL")});
    TForm_Main form(setup.environment());
    form.show();
    QVERIFY(sim.openOn(mb1(form)->engine()));
    QVERIFY(sim.waitForExchanges(2));

    auto *store = control<TSpeedButton>(form, "SpeedButton_WriteSettings");
    store->setDown(true);
    const int from = sim.exchanges();
    bool sawDialog = false;
    bool storedWhileOpen = false;
    bool closed = false;
    // Watches from inside the dialog's own event loop, and closes the dialog
    // once the exchange has gone on and the store is acknowledged.
    // A dialog whose exchange stalls is closed all the same after a while,
    // so that the test fails instead of hanging.
    QTimer watch;
    watch.setInterval(5);
    QElapsedTimer since;
    since.start();
    connect(&watch, &QTimer::timeout, this, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog == &form) return;
        sawDialog = true;
        storedWhileOpen = sim.exchanges() >= from + 10 && !store->Down();
        if (!storedWhileOpen && since.elapsed() < 15000) return;
        closed = true;
        dialog->close();
    });
    watch.start();
    open(form);
    QTRY_VERIFY_WITH_TIMEOUT(closed, 20000);
    watch.stop();

    QVERIFY(sawDialog);
    QVERIFY(storedWhileOpen);
    const auto &received = sim.simulator().receivedRequests();
    QVERIFY(std::any_of(received.begin(), received.end(), [](const auto &r) {
        return r.request.CommandBits & instrument::Command::WriteSettings;
    }));
    QVERIFY(sim.waitForExchanges(sim.exchanges() + 2)); // and it goes on afterwards
    mb1(form)->MBClosePort();
}

QTEST_MAIN(TestModalDialogs)
#include "tst_modal_dialogs.moc"
