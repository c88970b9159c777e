// The scale settings group of the main window: what the four edits accept and
// show once left (with a "." and a "," system), the type groups and their
// units, the factory default scale, loading the instrument's stored scale,
// the limits an input value gets on the wire, and the read/write latch pair.
#include <QtTest>

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>

#include <cmath>
#include <limits>

#include "app/form_main.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "text/numberpattern.h"
#include "widgets/edit.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

namespace {

// The texts below are written with "." and turned into the system's mark.
QString local(QString text)
{
    return text.replace(u'.', QLocale().decimalPoint());
}

// Data bytes of the request the window builds now.
QByteArray request(TForm_Main &w)
{
    w.SendInstrumentRequest();
    return formaccess::sentData(w);
}

quint8 byteAt(const QByteArray &data, int index)
{
    return quint8(data.at(index - 1));
}

constexpr int CommandBitsIndex = 3;
constexpr int InputTypeIndex = 76;
constexpr int OutputTypeIndex = 77;
constexpr int InputLowIndex = 78;
constexpr int InputHighIndex = 82;
constexpr int OutputLowIndex = 86;
constexpr int OutputHighIndex = 90;

// A reply that carries stored settings; everything else 0.
testbytes::DataBytes settingsReply(quint8 inputType, quint8 outputType, float inLow, float inHigh,
                                   float outLow, float outHigh, quint8 ackBits = 0)
{
    testbytes::DataBytes data(88);
    data.byte(24, ackBits).byte(33, inputType).byte(34, outputType);
    data.real(65, inLow).real(69, inHigh).real(73, outLow).real(77, outHigh);
    return data;
}

} // namespace

class TestScale : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TForm_Main> w;

    template <class T> T *control(const char *name) const
    {
        auto *c = w->findChild<T *>(QLatin1String(name));
        if (!c) qFatal("no control %s", name);
        return c;
    }
    TEdit *edit(const char *name) const { return control<TEdit>(name); }
    QString label(const char *name) const { return control<QLabel>(name)->text(); }
    TRadioGroup *inputType() const { return control<TRadioGroup>("RadioGroup_BemenetTipusa"); }
    TRadioGroup *outputType() const { return control<TRadioGroup>("RadioGroup_KimenetTipusa"); }
    TSpeedButton *button(const char *name) const { return control<TSpeedButton>(name); }

    void addSeparatorRows()
    {
        QTest::addColumn<QString>("locale");
        QTest::newRow("point") << QStringLiteral("en_US");
        QTest::newRow("comma") << QStringLiteral("hu_HU");
    }

    void useLocale()
    {
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        w = std::make_unique<TForm_Main>();
    }

private slots:
    void cleanup()
    {
        w.reset();
        QLocale::setDefault(QLocale::c());
    }

    void startState()
    {
        w = std::make_unique<TForm_Main>();
        QCOMPARE(inputType()->ItemIndex(), 0);
        QCOMPARE(outputType()->ItemIndex(), 0);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("4"));
        QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("20"));
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));
        QVERIFY(button("SpeedButton_ReadSettings")->Down());
        QVERIFY(!button("SpeedButton_WriteSettings")->Down());
    }

    void keyFilterTurnsBothMarksIntoTheSystemOne_data() { addSeparatorRows(); }
    void keyFilterTurnsBothMarksIntoTheSystemOne()
    {
        useLocale();
        const QChar mark = localeDecimalSeparator();
        for (const char *name :
             {"Edit_InputLow", "Edit_InputHigh", "Edit_OutputLow", "Edit_OutputHigh"}) {
            TEdit *e = edit(name);
            e->clear();
            QTest::keyClicks(e, QStringLiteral("1,5"));
            QCOMPARE(e->text(), QStringLiteral("1") + mark + QStringLiteral("5"));
            e->clear();
            QTest::keyClicks(e, QStringLiteral("-2.25"));
            QCOMPARE(e->text(), QStringLiteral("-2") + mark + QStringLiteral("25"));
            // Everything else passes as typed, letters included.
            e->clear();
            QTest::keyClicks(e, QStringLiteral("ab 7e"));
            QCOMPARE(e->text(), QStringLiteral("ab 7e"));
        }
    }

    void typedCommaShowsInClassTwoAfterLeaving_data() { addSeparatorRows(); }
    void typedCommaShowsInClassTwoAfterLeaving()
    {
        useLocale();
        TEdit *e = edit("Edit_InputLow");
        e->clear();
        QTest::keyClicks(e, QStringLiteral("1,5"));
        emit e->OnExit();
        QCOMPARE(e->text(), local(QStringLiteral("1.5000")));
    }

    void leavingAnInputEdit_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        // Class bounds belong to the lower class; the sign is kept.
        const struct {
            const char *typed, *shown;
        } rows[] = {
            {"0.1", "0.10000"},   {"0.2", "0.20000"},       {"0.3", "0.30000"},
            {"0.5", "0.50000"},   {"0.50001", "0.5000"},    {"2.5", "2.5000"},
            {"2.5001", "2.500"},  {"10", "10.000"},         {"10.5", "10.500"},
            {"50", "50.000"},     {"50.004", "50.00"},      {"100", "100.00"},
            {"-300", "-300.00"},  {"-0.1", "-0.10000"},     {"1234.567", "1234.57"},
            {"0", "0.00000"},     {"abc", "0.00000"},       {"", "0.00000"},
            {"1.2.3", "0.00000"}, {"-0.000001", "0.00000"},
        };
        for (const char *locale : {"en_US", "hu_HU"})
            for (const auto &row : rows)
                QTest::addRow("%s %s", locale, row.typed)
                    << QString::fromLatin1(locale) << QString::fromLatin1(row.typed)
                    << QString::fromLatin1(row.shown);
    }
    void leavingAnInputEdit()
    {
        useLocale();
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        // The same handler serves both input edits.
        for (const char *name : {"Edit_InputLow", "Edit_InputHigh"}) {
            TEdit *e = edit(name);
            e->setText(local(typed));
            emit e->OnExit();
            QCOMPARE(e->text(), local(shown));
        }
        // Whatever the type selected.
        inputType()->setItemIndex(1);
        TEdit *e = edit("Edit_InputHigh");
        e->setText(local(typed));
        emit e->OnExit();
        QCOMPARE(e->text(), local(shown));
    }

    void leavingAnOutputEdit_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        const struct {
            const char *typed, *shown;
        } rows[] = {
            {"150", "150.000"}, {"4", "4.000"},       {"0.1", "0.100"}, {"-3.25", "-3.250"},
            {"10.5", "10.500"}, {"letters", "0.000"}, {"", "0.000"},    {"0.0004", "0.000"},
        };
        for (const char *locale : {"en_US", "hu_HU"})
            for (const auto &row : rows)
                QTest::addRow("%s %s", locale, row.typed)
                    << QString::fromLatin1(locale) << QString::fromLatin1(row.typed)
                    << QString::fromLatin1(row.shown);
    }
    void leavingAnOutputEdit()
    {
        useLocale();
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        for (const char *name : {"Edit_OutputLow", "Edit_OutputHigh"}) {
            TEdit *e = edit(name);
            e->setText(local(typed));
            emit e->OnExit();
            QCOMPARE(e->text(), local(shown));
        }
    }

    void theOtherMarkIsNoNumberWhenLeaving()
    {
        // Pasted text is not filtered: on a "," system "1.5" is no number.
        QLocale::setDefault(QLocale(QStringLiteral("hu_HU")));
        w = std::make_unique<TForm_Main>();
        TEdit *e = edit("Edit_InputLow");
        e->setText(QStringLiteral("1.5"));
        emit e->OnExit();
        QCOMPARE(e->text(), QStringLiteral("0,00000"));
    }

    void leavingByFocusRunsTheExitFormatting()
    {
        w = std::make_unique<TForm_Main>();
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        TEdit *e = edit("Edit_OutputHigh");
        e->setFocus();
        QTRY_VERIFY(e->hasFocus());
        e->setText(QStringLiteral("150"));
        edit("Edit_InputLow")->setFocus();
        QTRY_COMPARE(e->text(), QStringLiteral("150.000"));
    }

    void typeGroupsSetTheirOwnUnits()
    {
        w = std::make_unique<TForm_Main>();
        inputType()->setItemIndex(1);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_InputHighMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));

        outputType()->setItemIndex(1);
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("V"));

        // No selection: the labels keep what they show.
        inputType()->setItemIndex(-1);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        inputType()->setItemIndex(0);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(label("Label_InputHighMertekegyseg"), QStringLiteral("mA"));

        // A user's choice goes the same way.
        QTest::mouseClick(outputType()->button(0), Qt::LeftButton);
        QCOMPARE(outputType()->ItemIndex(), 0);
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));
    }

    void factoryDefaults_data() { addSeparatorRows(); }
    void factoryDefaults()
    {
        useLocale();
        inputType()->setItemIndex(1);
        outputType()->setItemIndex(1);
        edit("Edit_InputLow")->setText(QStringLiteral("-100"));
        edit("Edit_InputHigh")->setText(QStringLiteral("xyz"));
        edit("Edit_OutputLow")->setText(QStringLiteral("0"));
        edit("Edit_OutputHigh")->setText(QStringLiteral("10"));
        button("SpeedButton_ReadSettings")->setDown(false);

        QTest::mouseClick(control<QPushButton>("Button_GyariAlapSkala"), Qt::LeftButton);

        QCOMPARE(inputType()->ItemIndex(), 0);
        QCOMPARE(outputType()->ItemIndex(), 0);
        for (const char *name : {"Label_InputLowMertekegyseg", "Label_InputHighMertekegyseg",
                                 "Label_OutputLowMertekegyseg", "Label_OutputHighMertekegyseg"})
            QCOMPARE(label(name), QStringLiteral("mA"));
        QCOMPARE(edit("Edit_InputLow")->text(), local(QStringLiteral("4.000")));
        QCOMPARE(edit("Edit_InputHigh")->text(), local(QStringLiteral("20.000")));
        QCOMPARE(edit("Edit_OutputLow")->text(), local(QStringLiteral("4.000")));
        QCOMPARE(edit("Edit_OutputHigh")->text(), local(QStringLiteral("20.000")));
        // Nothing is asked of the instrument: no command button went down.
        QVERIFY(!button("SpeedButton_WriteSettings")->Down());
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
    }

    void loadingTheStoredScale_data() { addSeparatorRows(); }
    void loadingTheStoredScale()
    {
        useLocale();
        QVERIFY(button("SpeedButton_ReadSettings")->Down());
        // Stored values come as single precision: 0.1 arrives a little off.
        w->LoadStoredSettings(101, 100, double(0.1f), double(100.0f), double(150.0f),
                              double(-3.3f));
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_InputHighMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(outputType()->ItemIndex(), 0);
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(edit("Edit_InputLow")->text(), local(QStringLiteral("0.10000")));
        QCOMPARE(edit("Edit_InputHigh")->text(), local(QStringLiteral("100.00")));
        QCOMPARE(edit("Edit_OutputLow")->text(), local(QStringLiteral("150.000")));
        QCOMPARE(edit("Edit_OutputHigh")->text(), local(QStringLiteral("-3.300")));
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
    }

    void storedTypeCodesAboveVoltageSelectVoltage()
    {
        w = std::make_unique<TForm_Main>();
        w->LoadStoredSettings(100, 101, 4, 20, 0, 10);
        QCOMPARE(inputType()->ItemIndex(), 0);
        QCOMPARE(outputType()->ItemIndex(), 1);
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("V"));
        button("SpeedButton_ReadSettings")->setDown(true);
        w->LoadStoredSettings(255, 102, 4, 20, 0, 10);
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(outputType()->ItemIndex(), 1);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
    }

    // A reply that does not reach the settings (nothing received yet, or cut
    // short) reads type codes below 100. It must not leave a group without a
    // selection, zero the edits or end the pending read.
    void aReadWithoutTypeCodesLeavesTheGroupAsItWas_data()
    {
        QTest::addColumn<int>("inputCode");
        QTest::addColumn<int>("outputCode");
        QTest::newRow("empty reply") << 0 << 0;
        QTest::newRow("input code only") << 101 << 0;
        QTest::newRow("output code only") << 0 << 101;
        QTest::newRow("just below") << 99 << 99;
    }
    void aReadWithoutTypeCodesLeavesTheGroupAsItWas()
    {
        QFETCH(int, inputCode);
        QFETCH(int, outputCode);
        w = std::make_unique<TForm_Main>();
        inputType()->setItemIndex(1);
        edit("Edit_InputLow")->setText(QStringLiteral("-10"));
        w->LoadStoredSettings(inputCode, outputCode, 0, 0, 0, 0);
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(outputType()->ItemIndex(), 0);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("-10"));
        QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("20"));
        QCOMPARE(edit("Edit_OutputLow")->text(), QStringLiteral("4"));
        QCOMPARE(edit("Edit_OutputHigh")->text(), QStringLiteral("20"));
        QVERIFY(button("SpeedButton_ReadSettings")->Down());

        // The next reply that does carry settings is loaded.
        w->LoadStoredSettings(100, 100, 4, 20, 4, 20);
        QCOMPARE(inputType()->ItemIndex(), 0);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("4.000"));
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
    }

    void storedValuesThatAreNoNumbersShowAsZero()
    {
        w = std::make_unique<TForm_Main>();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        w->LoadStoredSettings(100, 100, nan, -inf, inf, nan);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("0.00000"));
        QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("0.00000"));
        QCOMPARE(edit("Edit_OutputLow")->text(), QStringLiteral("0.000"));
        QCOMPARE(edit("Edit_OutputHigh")->text(), QStringLiteral("0.000"));
    }

    void valuesOnTheWire_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<float>("sent");
        for (const char *locale : {"en_US", "hu_HU"}) {
            const QString l = QString::fromLatin1(locale);
            QTest::addRow("%s voltage -300", locale) << l << 1 << "-300"
                                                     << "-300.00" << -125.0f;
            QTest::addRow("%s current -300", locale) << l << 0 << "-300"
                                                     << "-300.00" << -25.0f;
            QTest::addRow("%s current 30", locale) << l << 0 << "30"
                                                   << "30.000" << 25.0f;
            QTest::addRow("%s current 25", locale) << l << 0 << "25"
                                                   << "25.000" << 25.0f;
            QTest::addRow("%s voltage 100", locale) << l << 1 << "100"
                                                    << "100.00" << 100.0f;
            QTest::addRow("%s current 1,5", locale) << l << 0 << "1.5"
                                                    << "1.5000" << 1.5f;
            QTest::addRow("%s letters", locale) << l << 0 << "abc"
                                                << "0.00000" << 0.0f;
        }
    }
    void valuesOnTheWire()
    {
        useLocale();
        QFETCH(int, type);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(float, sent);
        inputType()->setItemIndex(type);
        TEdit *e = edit("Edit_InputHigh");
        e->setText(local(typed));
        emit e->OnExit();
        // The edit keeps the value as typed; only what is sent is limited.
        QCOMPARE(e->text(), local(shown));
        const QByteArray data = request(*w);
        QCOMPARE(testbytes::realAt(data, InputHighIndex), sent);
        QCOMPARE(byteAt(data, InputTypeIndex), quint8(100 + type));
    }

    void outputValuesAreNotLimited_data() { addSeparatorRows(); }
    void outputValuesAreNotLimited()
    {
        useLocale();
        TEdit *e = edit("Edit_OutputHigh");
        e->setText(QStringLiteral("150"));
        emit e->OnExit();
        QCOMPARE(e->text(), local(QStringLiteral("150.000")));
        edit("Edit_OutputLow")->setText(QStringLiteral("-40"));
        const QByteArray data = request(*w);
        QCOMPARE(testbytes::realAt(data, OutputHighIndex), 150.0f);
        QCOMPARE(testbytes::realAt(data, OutputLowIndex), -40.0f);
    }

    void textStillInAnEditIsSentAsItsDefault()
    {
        w = std::make_unique<TForm_Main>();
        for (const char *name :
             {"Edit_InputLow", "Edit_InputHigh", "Edit_OutputLow", "Edit_OutputHigh"})
            edit(name)->setText(QStringLiteral("letters"));
        const QByteArray data = request(*w);
        QCOMPARE(testbytes::realAt(data, InputLowIndex), 4.0f);
        QCOMPARE(testbytes::realAt(data, InputHighIndex), 20.0f);
        QCOMPARE(testbytes::realAt(data, OutputLowIndex), 4.0f);
        QCOMPARE(testbytes::realAt(data, OutputHighIndex), 20.0f);
        // Leaving turns it into 0, which is then sent.
        emit edit("Edit_OutputLow")->OnExit();
        QCOMPARE(testbytes::realAt(request(*w), OutputLowIndex), 0.0f);
    }

    void factoryDefaultsSendNoCommand()
    {
        w = std::make_unique<TForm_Main>();
        inputType()->setItemIndex(1);
        outputType()->setItemIndex(1);
        button("SpeedButton_ReadSettings")->setDown(false);
        QTest::mouseClick(control<QPushButton>("Button_GyariAlapSkala"), Qt::LeftButton);
        const QByteArray data = request(*w);
        QCOMPARE(byteAt(data, CommandBitsIndex), quint8(0));
        QCOMPARE(byteAt(data, InputTypeIndex), quint8(100));
        QCOMPARE(byteAt(data, OutputTypeIndex), quint8(100));
        QCOMPARE(testbytes::realAt(data, InputLowIndex), 4.0f);
        QCOMPARE(testbytes::realAt(data, InputHighIndex), 20.0f);
        QCOMPARE(testbytes::realAt(data, OutputLowIndex), 4.0f);
        QCOMPARE(testbytes::realAt(data, OutputHighIndex), 20.0f);
    }

    void aReplyWhileReadingLoadsTheGroup_data() { addSeparatorRows(); }
    void aReplyWhileReadingLoadsTheGroup()
    {
        useLocale();
        formaccess::loadReply(*w, settingsReply(101, 100, 0.1f, 100.0f, 4.0f, 20.0f).bytes());
        w->DecodeInstrumentReply();
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(label("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(label("Label_InputHighMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(outputType()->ItemIndex(), 0);
        QCOMPARE(label("Label_OutputLowMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(label("Label_OutputHighMertekegyseg"), QStringLiteral("mA"));
        QCOMPARE(edit("Edit_InputLow")->text(), local(QStringLiteral("0.10000")));
        QCOMPARE(edit("Edit_InputHigh")->text(), local(QStringLiteral("100.00")));
        QCOMPARE(edit("Edit_OutputLow")->text(), local(QStringLiteral("4.000")));
        QCOMPARE(edit("Edit_OutputHigh")->text(), local(QStringLiteral("20.000")));
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());

        // Without a read pending, a reply leaves what the user typed alone.
        edit("Edit_InputLow")->setText(QStringLiteral("7"));
        formaccess::loadReply(*w, settingsReply(100, 101, 1, 2, 3, 4).bytes());
        w->DecodeInstrumentReply();
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("7"));
    }

    void writeUntilAcknowledgedThenReadBack()
    {
        w = std::make_unique<TForm_Main>();
        w->show();
        button("SpeedButton_ReadSettings")->setDown(false);
        QTest::mouseClick(button("SpeedButton_WriteSettings"), Qt::LeftButton);
        edit("Edit_InputHigh")->setText(QStringLiteral("10"));
        // Every request asks while nothing acknowledges.
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(byteAt(request(*w), CommandBitsIndex) & 32, 32);
            formaccess::loadReply(*w, settingsReply(100, 100, 4, 20, 4, 20).bytes());
            w->DecodeInstrumentReply();
            QVERIFY(button("SpeedButton_WriteSettings")->Down());
            QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("10"));
        }
        // The acknowledgement releases it and asks for the read-back ...
        formaccess::loadReply(*w, settingsReply(100, 100, 4, 10, 4, 20, 32).bytes());
        w->DecodeInstrumentReply();
        QVERIFY(!button("SpeedButton_WriteSettings")->Down());
        QCOMPARE(byteAt(request(*w), CommandBitsIndex) & 32, 0);
        // ... the same reply's stored scale is loaded at once, and the read ends.
        QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("10.000"));
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
    }

    // An empty or short reply while a read is pending: the groups keep their
    // selection, so the next request carries real type codes and a limit.
    void anEmptyReplyKeepsTypesAndLimits()
    {
        w = std::make_unique<TForm_Main>();
        inputType()->setItemIndex(1);
        outputType()->setItemIndex(1);
        edit("Edit_InputLow")->setText(QStringLiteral("-300"));
        formaccess::loadReply(*w, QByteArray());
        w->DecodeInstrumentReply();
        formaccess::loadReply(*w, settingsReply(100, 100, 1, 2, 3, 4).bytes().left(32));
        w->DecodeInstrumentReply();
        QCOMPARE(inputType()->ItemIndex(), 1);
        QCOMPARE(outputType()->ItemIndex(), 1);
        QVERIFY(button("SpeedButton_ReadSettings")->Down());
        const QByteArray data = request(*w);
        QCOMPARE(byteAt(data, InputTypeIndex), quint8(101));
        QCOMPARE(byteAt(data, OutputTypeIndex), quint8(101));
        QCOMPARE(testbytes::realAt(data, InputLowIndex), -125.0f);
    }

    void readAndWriteAreOneLatchPair()
    {
        w = std::make_unique<TForm_Main>();
        w->show();
        TSpeedButton *read = button("SpeedButton_ReadSettings");
        TSpeedButton *write = button("SpeedButton_WriteSettings");
        QVERIFY(read->Down());
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(write->Down());
        QVERIFY(!read->Down());
        // Pressing the down one again releases it: both may be up.
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(!write->Down());
        QVERIFY(!read->Down());
        QTest::mouseClick(write, Qt::LeftButton);
        QTest::mouseClick(read, Qt::LeftButton);
        QVERIFY(read->Down());
        QVERIFY(!write->Down());
    }
};

QTEST_MAIN(TestScale)
#include "tst_scale.moc"
