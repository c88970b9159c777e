// The caption languages as the window shows them: every store text in its
// controls in both sets, the language buttons, the signal-type items keeping
// the user's choice, the composed texts (caption, model label) and the
// working-time words, which follow with the next reply.
#include <QtTest>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "app/form_main.h"
#include "app/window_dialogs.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"
#include "widgets/dialogs.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using formaccess::loadReply;

namespace {

// The caption a control shows, whatever kind of control it is.
QString captionOf(TForm_Main &form, const QString &name)
{
    QWidget *w = form.findChild<QWidget *>(name);
    if (!w) return QStringLiteral("<missing %1>").arg(name);
    if (auto *label = qobject_cast<QLabel *>(w)) return label->text();
    if (auto *frame = qobject_cast<QGroupBox *>(w)) return frame->title();
    if (auto *button = qobject_cast<QAbstractButton *>(w)) return button->text();
    auto *pages = control<TPageControl>(form, "PageControl1");
    if (const int tab = pages->indexOf(w); tab >= 0) return pages->tabText(tab);
    return QStringLiteral("<no caption on %1>").arg(name);
}

void click(TSpeedButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Shows a reply with this working time, as the end of a good exchange does.
void receiveWorkingTime(TForm_Main &form, quint32 minutes)
{
    loadReply(form, replyData(typicalReply(0, minutes)));
    form.MB1MBMasterEndOfEvent(formaccess::mb1(form), TMBStatus::stOK, QString());
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT

private slots:
    void everyStoreTextReachesItsControls_data();
    void everyStoreTextReachesItsControls();
    void theLanguageButtonsSwitchAndAreRemembered();
    void clickingTheButtonThatIsDownAppliesTheSameSetAgain();
    void afterASwitchToEnglishTheFourFramesReadTheStoredCaptions();
    void theSignalTypeChoiceSurvivesASwitch();
    void theComposedTextsFollowTheLanguage();
    void theWorkingTimeWordsChangeWithTheNextReply();
    void theWorkflowPagesKeepTheirCaptionsInBothLanguages();
    void dialogsSpeakTheWindowsLanguageInItsFont();
};

void TestLanguage::everyStoreTextReachesItsControls_data()
{
    QTest::addColumn<QString>("language");
    QTest::newRow("english") << QStringLiteral("english");
    QTest::newRow("magyar") << QStringLiteral("magyar");
}

void TestLanguage::everyStoreTextReachesItsControls()
{
    QFETCH(QString, language);
    // Start in the other language, so every text has to change.
    WindowSetup setup;
    setup.writeIni(language == u"english" ? "[Language]\nGsSelectedLanguage=magyar\n"
                                          : "[Language]\nGsSelectedLanguage=english\n");
    TForm_Main form(setup.environment());
    form.ApplyLanguage(language);
    const CaptionLanguage set =
        language == u"english" ? CaptionLanguage::English : CaptionLanguage::Hungarian;
    QCOMPARE(form.captions().language(), std::optional(set));

    int controlsChecked = 0;
    for (int slot = 1; slot <= kCaptionCount; ++slot) {
        const auto caption = static_cast<Caption>(slot);
        QCOMPARE(form.captions().text(caption), captionText(set, caption));
        for (const QString &name : captionTargets(caption)) {
            QCOMPARE(captionOf(form, name), captionText(set, caption));
            ++controlsChecked;
        }
    }
    QCOMPARE(controlsChecked, 39 - 6 + 5); // six composed texts; five go to two controls each
    QCOMPARE(control<TRadioGroup>(form, "RadioGroup_KimenetTipusa")->Items(),
             QStringList(
                 {captionText(set, Caption::CurrentItem), captionText(set, Caption::VoltageItem)}));
}

void TestLanguage::theLanguageButtonsSwitchAndAreRemembered()
{
    WindowSetup setup;
    {
        TForm_Main form(setup.environment());
        form.show();
        auto *english = control<TSpeedButton>(form, "SpeedButton_Angol");
        auto *hungarian = control<TSpeedButton>(form, "SpeedButton_Magyar");
        QVERIFY(hungarian->Down());

        click(english);
        QVERIFY(english->Down());
        QVERIFY(!hungarian->Down());
        QCOMPARE(form.GsSelectedLanguage(), QStringLiteral("english"));
        QCOMPARE(captionOf(form, "Label30"), QStringLiteral("Current measuring ADC:"));
        QCOMPARE(captionOf(form, "SpeedButton_ReadSettings"),
                 QStringLiteral("Read settings from istrument"));

        click(hungarian);
        QVERIFY(hungarian->Down());
        QCOMPARE(form.GsSelectedLanguage(), QStringLiteral("magyar"));
        QCOMPARE(captionOf(form, "Label30"), QStringLiteral("Áramot mérő ADC:"));

        click(english);
        form.close();
    }
    TForm_Main next(setup.environment());
    QVERIFY(control<TSpeedButton>(next, "SpeedButton_Angol")->Down());
    QCOMPARE(captionOf(next, "TabSheet_Uzemmod"), QStringLiteral("Settings"));
}

void TestLanguage::clickingTheButtonThatIsDownAppliesTheSameSetAgain()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    form.show();
    auto *hungarian = control<TSpeedButton>(form, "SpeedButton_Magyar");
    // A caption changed behind the routine's back is written again.
    control<QLabel>(form, "Label5")->setText(QStringLiteral("changed"));
    click(hungarian);
    QVERIFY(hungarian->Down());
    QCOMPARE(captionOf(form, "Label5"), QStringLiteral("Üzemóra:"));
    QCOMPARE(form.GsSelectedLanguage(), QStringLiteral("magyar"));
}

void TestLanguage::afterASwitchToEnglishTheFourFramesReadTheStoredCaptions()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    form.show();
    click(control<TSpeedButton>(form, "SpeedButton_Angol"));
    QCOMPARE(captionOf(form, "GroupBox_Input"), QStringLiteral("Input range"));
    QCOMPARE(captionOf(form, "GroupBox_Output"), QStringLiteral("Output range"));
    QCOMPARE(captionOf(form, "GroupBox2"), QStringLiteral("Input value"));
    QCOMPARE(captionOf(form, "GroupBox3"), QStringLiteral("Output value"));
}

void TestLanguage::theSignalTypeChoiceSurvivesASwitch()
{
    WindowSetup setup;
    setup.writeIni("[Language]\nGsSelectedLanguage=english\n");
    TForm_Main form(setup.environment());
    form.show();
    auto *input = control<TRadioGroup>(form, "RadioGroup_BemenetTipusa");
    auto *output = control<TRadioGroup>(form, "RadioGroup_KimenetTipusa");
    input->setItemIndex(1);
    output->setItemIndex(0);
    QCOMPARE(input->Items().value(input->ItemIndex()), QStringLiteral("Voltage"));

    click(control<TSpeedButton>(form, "SpeedButton_Magyar"));
    QCOMPARE(input->ItemIndex(), 1);
    QCOMPARE(input->Items().value(input->ItemIndex()), QStringLiteral("Feszültség"));
    QVERIFY(input->button(1)->isChecked());
    QCOMPARE(output->ItemIndex(), 0);
    QCOMPARE(output->Items().value(output->ItemIndex()), QStringLiteral("Áram"));

    // A group without a selection stays without one.
    output->setItemIndex(-1);
    click(control<TSpeedButton>(form, "SpeedButton_Angol"));
    QCOMPARE(output->ItemIndex(), -1);
    QCOMPARE(input->Items().value(input->ItemIndex()), QStringLiteral("Voltage"));
}

void TestLanguage::theComposedTextsFollowTheLanguage()
{
    WindowSetup setup({"/Varnel"});
    TForm_Main form(setup.environment());
    form.FormActivate(&form);
    QCOMPARE(captionOf(form, "Label_KeszulekAltipus"),
             QStringLiteral("Készülék: KX4720R - Varnel szintű hozzáférés"));
    form.show();
    click(control<TSpeedButton>(form, "SpeedButton_Angol"));
    // The view stays as it was decided; only the words change.
    QCOMPARE(captionOf(form, "Label_KeszulekAltipus"),
             QStringLiteral("Instrument: KX4720R - Varnel szintű hozzáférés"));
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Configuration software for KX4720R   V2013-10-09   Varnel Kft."));
    auto *pages = control<TPageControl>(form, "PageControl1");
    for (int i = 0; i < pages->count(); ++i)
        QVERIFY(pages->isTabVisible(i));
}

void TestLanguage::theWorkingTimeWordsChangeWithTheNextReply()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    form.show();
    auto *hours = control<QLabel>(form, "Label_Uzemorak");
    receiveWorkingTime(form, 125);
    const QString hungarian = hours->text();
    QVERIFY2(hungarian.contains(QStringLiteral(" óra  ")) &&
                 hungarian.endsWith(QStringLiteral(" perc.")),
             qPrintable(hungarian));

    click(control<TSpeedButton>(form, "SpeedButton_Angol"));
    QCOMPARE(hours->text(), hungarian); // the shown reply keeps its words
    QCOMPARE(form.captions().hoursWord(), QStringLiteral(" hours  "));

    receiveWorkingTime(form, 125);
    QCOMPARE(hours->text(), QString(hungarian)
                                .replace(QStringLiteral(" óra  "), QStringLiteral(" hours  "))
                                .replace(QStringLiteral(" perc."), QStringLiteral(" minutes.")));
}

void TestLanguage::theWorkflowPagesKeepTheirCaptionsInBothLanguages()
{
    WindowSetup setup;
    TForm_Main form(setup.environment());
    auto *pages = control<TPageControl>(form, "PageControl1");
    QStringList names = {"Label_InputCalibration1", "GroupBox8", "Label34",
                         "SpeedButton_ADCalBeiras", "SpeedButton_FRAMTorlesReset"};
    QStringList hungarian;
    for (const QString &name : names)
        hungarian << captionOf(form, name);
    // The verification page is no workflow page of the instrument's own:
    // it speaks the window's language.
    QWidget *verification = control<QWidget>(form, "TabSheet_Verification");
    for (int i = 1; i < pages->count(); ++i)
        if (pages->widget(i) != verification) hungarian << pages->tabText(i);

    form.ApplyLanguage(QStringLiteral("english"));
    QStringList english;
    for (const QString &name : names)
        english << captionOf(form, name);
    for (int i = 1; i < pages->count(); ++i)
        if (pages->widget(i) != verification) english << pages->tabText(i);
    QCOMPARE(english, hungarian);
    QCOMPARE(pages->tabText(pages->indexOf(verification)), QStringLiteral("Verification"));
    QCOMPARE(pages->tabText(pages->indexOf(control<QWidget>(form, "TabSheet_InputCalibration"))),
             QStringLiteral("Input Calibration"));
}

void TestLanguage::dialogsSpeakTheWindowsLanguageInItsFont()
{
    // Qt's own texts, in dialog buttons and the file dialog, follow the window.
    WindowSetup setup;
    TForm_Main form(setup.environment());
    const auto cancel = [] {
        return QDialogButtonBox(QDialogButtonBox::Cancel).button(QDialogButtonBox::Cancel)->text();
    };
    QCOMPARE(cancel(), QStringLiteral("Mégse"));
    const auto files = makeFileDialog(&form, QString(), QString(), QString());
    const QList<QLabel *> labels = files->findChildren<QLabel *>();
    QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel *label) {
        return label->text() == QStringLiteral("Fájl &neve:");
    }));
    // Dialogs are windows of their own, which take no font from their parent.
    QCOMPARE(files->font(), form.font());
    showWarningBox(&form, QString(), QString());
    QCOMPARE(form.findChild<QMessageBox *>()->font(), form.font());
    form.ApplyLanguage(QStringLiteral("english"));
    QCOMPARE(cancel(), QStringLiteral("Cancel"));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
