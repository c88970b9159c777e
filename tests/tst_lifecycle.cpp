// The main window's life: what creation reads from the initialisation file and
// sets up, what activation decides from the command line (normal or
// factory-level view, caption, model label), and what closing does (port
// closed first, then the three keys written, a failed write not stopping it).
#include <QtTest>

#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>

#include "app/commandline.h"
#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/ptypair.h"
#include "support/windowsetup.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using formaccess::mb1;
using formaccess::panelsHidden;
using formaccess::panelsVisible;

namespace {

const QStringList kFactoryPages = {"TabSheet_InputCalibration", "TabSheet_OutputCalibration",
                                   "TabSheet_KimenetEllenorzes", "TabSheet_Test"};

bool showAndActivate(TForm_Main &form)
{
    form.show();
    form.activateWindow();
    return QTest::qWaitForWindowActive(&form);
}

// The section headers and keys of an initialisation file, in file order.
QStringList structureOf(const QByteArray &text)
{
    QStringList lines;
    for (const QString &line : QString::fromUtf8(text).split(u'\n')) {
        if (line.startsWith(u'['))
            lines << line.trimmed();
        else if (line.contains(u'='))
            lines << line.section(u'=', 0, 0);
    }
    return lines;
}

QString valueOf(const QByteArray &text, const QString &key)
{
    for (const QString &line : QString::fromUtf8(text).split(u'\n')) {
        if (line.section(u'=', 0, 0) == key) return line.section(u'=', 1).remove(u'\r');
    }
    return {};
}

} // namespace

class TestLifecycle : public QObject {
    Q_OBJECT

private slots:
    void creationSetsTheStartValuesAndTheOutputWizardsFirstStep();
    void withoutAnIniFileTheWindowSpeaksHungarian();
    void theSavedLanguageIsReadInAnyLetterCase_data();
    void theSavedLanguageIsReadInAnyLetterCase();
    void anUnknownLanguageShowsTheDefaultSet();
    void closingWithThePortOpenClosesItFirstThenWritesTheThreeKeys();
    void otherContentOfTheFileIsKeptAfterTheThreeSections();
    void aFailedSaveDoesNotKeepTheWindowOpen();
    void theLastUsedPortIsPreselectedAtTheNextStart();
    void withoutParametersOnlyTheSettingsTabShows();
    void theFactorySwitchInAnyCaseAmongOthersGivesTheFactoryView();
    void aParameterThatMerelyContainsTheSwitchDoesNotCount();
    void activationSetsTheCaptionAndDecidesTheViewAgain();
};

void TestLifecycle::creationSetsTheStartValuesAndTheOutputWizardsFirstStep()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    QCOMPARE(form.PWMSetpoint, 0);
    QCOMPARE(form.PWMForce, 0);
    QCOMPARE(form.OutCalPWM4mA, 0);
    QCOMPARE(form.OutCalPWM2V, 0);
    QCOMPARE(form.OutCalPWM20mA, 65535);
    QCOMPARE(form.OutCalPWM10V, 65535);
    QCOMPARE(control<TPageControl>(form, "PageControl4")->ActivePage(),
             control<QWidget>(form, "TabSheet_OutCalStep1"));
    QCOMPARE(control<QListWidget>(form, "ListBox_OutputCalibrated")->count(), 0);
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_OutputCalibrationBack")->isHidden());
    QVERIFY(!control<TSpeedButton>(form, "SpeedButton_OutputCalibrationNext")->isHidden());
    QCOMPARE(form.ModelName(), QStringLiteral("KX4720R"));
    QVERIFY(!form.FactoryLevel());
    // Nothing is written before the window closes.
    QVERIFY(!setup.iniExists());
}

void TestLifecycle::withoutAnIniFileTheWindowSpeaksHungarian()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    QCOMPARE(form.GsSelectedLanguage(), QStringLiteral("magyar"));
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_Magyar")->Down());
    QVERIFY(!control<TSpeedButton>(form, "SpeedButton_Angol")->Down());
    QCOMPARE(control<QLabel>(form, "Label5")->text(), QStringLiteral("Üzemóra:"));
    QCOMPARE(control<QGroupBox>(form, "GroupBox_Input")->title(),
             QStringLiteral("Bemenet méréstartománya"));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("KX4720R beállító program   V2013-10-09   Varnel Kft."));
    QCOMPARE(mb1(form)->MBLastUsedPort(), QString());
}

void TestLifecycle::theSavedLanguageIsReadInAnyLetterCase_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("english");
    QTest::newRow("English") << QByteArray("English") << true;
    QTest::newRow("ENGLISH") << QByteArray("ENGLISH") << true;
    QTest::newRow("english") << QByteArray("english") << true;
    QTest::newRow("MAGYAR") << QByteArray("MAGYAR") << false;
    QTest::newRow("Magyar") << QByteArray("Magyar") << false;
}

void TestLifecycle::theSavedLanguageIsReadInAnyLetterCase()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, english);
    WindowSetup setup;
    setup.writeIni("[Language]\nGsSelectedLanguage=" + stored + "\n");
    {
        TForm_Main form(setup.environment());
        QCOMPARE(control<TSpeedButton>(form, "SpeedButton_Angol")->Down(), english);
        QCOMPARE(control<TSpeedButton>(form, "SpeedButton_Magyar")->Down(), !english);
        QCOMPARE(control<QLabel>(form, "Label5")->text(),
                 english ? QStringLiteral("Working time:") : QStringLiteral("Üzemóra:"));
        form.close();
    }
    QCOMPARE(valueOf(setup.readIni(), QStringLiteral("GsSelectedLanguage")),
             english ? QStringLiteral("english") : QStringLiteral("magyar"));
}

void TestLifecycle::anUnknownLanguageShowsTheDefaultSet()
{
    WindowSetup setup;
    setup.writeIni("[Language]\nGsSelectedLanguage=deutsch\n");
    {
        TForm_Main form(setup.environment());
        // Not a window without captions: the Hungarian set, as at a first start.
        QVERIFY(control<TSpeedButton>(form, "SpeedButton_Magyar")->Down());
        QCOMPARE(control<QLabel>(form, "Label5")->text(), QStringLiteral("Üzemóra:"));
        QCOMPARE(control<TRadioGroup>(form, "RadioGroup_BemenetTipusa")->Items(),
                 QStringList({QStringLiteral("Áram"), QStringLiteral("Feszültség")}));
        QVERIFY(form.windowTitle().startsWith(QStringLiteral("KX4720R beállító program")));
        QCOMPARE(form.GsSelectedLanguage(), QStringLiteral("magyar"));
        form.close();
    }
    QCOMPARE(valueOf(setup.readIni(), QStringLiteral("GsSelectedLanguage")),
             QStringLiteral("magyar"));
}

void TestLifecycle::closingWithThePortOpenClosesItFirstThenWritesTheThreeKeys()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    WindowSetup setup;
    TForm_Main form(setup.environment());
    TMB *link = mb1(form);
    link->setMBLastUsedPort(pty.slavePath());
    QVERIFY(link->engine().MBOpenPort(pty.slavePath()));
    QVERIFY(link->MBPortOpen());

    bool fileExistedWhenThePortClosed = true;
    connect(link, &TMB::OnMBPortOpenedOrClosed, &form, [&](bool open) {
        if (!open) fileExistedWhenThePortClosed = setup.iniExists();
    });
    QVERIFY(form.close());
    QVERIFY(!link->MBPortOpen());
    QVERIFY(!fileExistedWhenThePortClosed);

    const QByteArray text = setup.readIni();
    QCOMPARE(structureOf(text), QStringList({"[Date]", "Date", "[Com]", "MBLastUsedPort",
                                             "[Language]", "GsSelectedLanguage"}));
    QCOMPARE(valueOf(text, QStringLiteral("MBLastUsedPort")), pty.slavePath());
    QCOMPARE(valueOf(text, QStringLiteral("GsSelectedLanguage")), QStringLiteral("magyar"));
    // The short date, three spaces, the long time.
    const QString date = valueOf(text, QStringLiteral("Date"));
    const QStringList parts = date.split(QStringLiteral("   "));
    QCOMPARE(parts.size(), 2);
    QVERIFY(QLocale::system().toDate(parts[0], QLocale::ShortFormat).isValid() ||
            parts[0] == QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
    QVERIFY(!parts[1].isEmpty());
}

void TestLifecycle::otherContentOfTheFileIsKeptAfterTheThreeSections()
{
    WindowSetup setup;
    setup.writeIni("[Extra]\nKeep=yes\n[Language]\nGsSelectedLanguage=english\n");
    {
        TForm_Main form(setup.environment());
        form.close();
    }
    QCOMPARE(structureOf(setup.readIni()),
             QStringList({"[Date]", "Date", "[Com]", "MBLastUsedPort", "[Language]",
                          "GsSelectedLanguage", "[Extra]", "Keep"}));
}

void TestLifecycle::aFailedSaveDoesNotKeepTheWindowOpen()
{
    // The file's place is taken by a folder: nothing can be written there.
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("taken.ini")));
    const QString path = folder.filePath(QStringLiteral("taken.ini"));
    TForm_Main form(FormEnvironment{IniFile(path), QStringList{}});
    QVERIFY(showAndActivate(form));
    QVERIFY(!form.SaveIniSettings());
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QVERIFY(QFileInfo(path).isDir());
}

void TestLifecycle::theLastUsedPortIsPreselectedAtTheNextStart()
{
    PtyPair first;
    PtyPair second;
    QVERIFY(first.isValid() && second.isValid());
    const QByteArray saved = qgetenv("KX4720R_PORTS");
    qputenv("KX4720R_PORTS", (first.slavePath() + u':' + second.slavePath()).toLocal8Bit());
    auto restore = qScopeGuard([&] { qputenv("KX4720R_PORTS", saved); });

    WindowSetup setup;
    QString chosen;
    {
        TForm_Main form(setup.environment());
        MBEngine &engine = mb1(form)->engine();
        engine.MBRefreshPortList();
        const QStringList ports = engine.portList();
        QVERIFY(ports.contains(first.slavePath()) && ports.contains(second.slavePath()));
        // The port the list would not pick by itself.
        const int other = ports.indexOf(
            engine.selectedPortIndex() == ports.indexOf(first.slavePath()) ? second.slavePath()
                                                                           : first.slavePath());
        chosen = ports[other];
        engine.selectPortListEntry(other);
        form.close();
    }
    QCOMPARE(valueOf(setup.readIni(), QStringLiteral("MBLastUsedPort")), chosen);

    TForm_Main next(setup.environment());
    QCOMPARE(mb1(next)->MBLastUsedPort(), chosen);
    // MB1 fills its port list about a second after the start.
    const MBEngine &engine = mb1(next)->engine();
    QTRY_VERIFY_WITH_TIMEOUT(engine.selectedPortIndex() >= 0, 5000);
    QCOMPARE(engine.portList()[engine.selectedPortIndex()], chosen);
}

void TestLifecycle::withoutParametersOnlyTheSettingsTabShows()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    QVERIFY(showAndActivate(form));
    QVERIFY(!form.FactoryLevel());
    auto *pages = control<TPageControl>(form, "PageControl1");
    QVERIFY(pages->isTabVisible(control<QWidget>(form, "TabSheet_Uzemmod")));
    for (const QString &name : kFactoryPages)
        QVERIFY2(!pages->isTabVisible(control<QWidget>(form, name.toLatin1().constData())),
                 qPrintable(name));
    // Nothing but the link panel and the language buttons before a reply.
    QVERIFY(panelsHidden(form));
    QCOMPARE(control<QLabel>(form, "Label_KeszulekAltipus")->text(),
             QStringLiteral("Készülék: KX4720R"));
}

void TestLifecycle::theFactorySwitchInAnyCaseAmongOthersGivesTheFactoryView()
{
    WindowSetup setup({"-style", "fusion", "/varnel", "extra"});
    TForm_Main form(setup.environment());
    auto *firmware = control<QLabel>(form, "Label_FormverVerzio");
    const QString firmwareBefore = firmware->text();
    QVERIFY(showAndActivate(form));
    QVERIFY(form.FactoryLevel());
    auto *pages = control<TPageControl>(form, "PageControl1");
    for (int i = 0; i < pages->count(); ++i)
        QVERIFY2(pages->isTabVisible(i), qPrintable(pages->widget(i)->objectName()));
    // The panels show before any port is opened.
    QVERIFY(!mb1(form)->MBPortOpen());
    QVERIFY(panelsVisible(form));
    QCOMPARE(control<QLabel>(form, "Label_KeszulekAltipus")->text(),
             QStringLiteral("Készülék: KX4720R - Varnel szintű hozzáférés"));
    // With nothing received there is nothing to show: the pending read of
    // the stored settings and both type selections are still there.
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_ReadSettings")->Down());
    QCOMPARE(firmware->text(), firmwareBefore);
}

void TestLifecycle::aParameterThatMerelyContainsTheSwitchDoesNotCount()
{
    WindowSetup setup({"/VARNELX", "x/VARNEL"});
    TForm_Main form(setup.environment());
    QVERIFY(showAndActivate(form));
    QVERIFY(!form.FactoryLevel());
    QVERIFY(panelsHidden(form));
}

void TestLifecycle::activationSetsTheCaptionAndDecidesTheViewAgain()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    form.setWindowTitle(QStringLiteral("something else"));
    QVERIFY(showAndActivate(form));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("KX4720R beállító program   V2013-10-09   Varnel Kft."));
    QVERIFY(!form.FactoryLevel());

    // Every activation composes the caption and applies the view again.
    form.setWindowTitle(QStringLiteral("something else"));
    control<TPageControl>(form, "PageControl1")->setTabVisible(3, true);
    form.FormActivate(&form);
    QVERIFY(form.windowTitle().startsWith(QStringLiteral("KX4720R beállító program")));
    QVERIFY(!control<TPageControl>(form, "PageControl1")->isTabVisible(3));

    setup.setParameters({"/VARNEL"});
    TForm_Main factory(setup.environment());
    QVERIFY(!factory.FactoryLevel()); // decided at activation, not at creation
    factory.FormActivate(&factory);
    QVERIFY(factory.FactoryLevel());
    QVERIFY(panelsVisible(factory));
}

QTEST_MAIN(TestLifecycle)
#include "tst_lifecycle.moc"
