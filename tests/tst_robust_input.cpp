// Bad input across the window, end to end: the real main window (offscreen)
// keeps its exchange with the instrument simulator going while every edit
// holds empty text, letters, huge numbers, NaN and infinity words and numbers
// with either decimal mark, under both system decimal separators; and while
// its initialisation file is empty, binary garbage or impossible to write.
// Checked: the bytes of the requests that follow, what the edits show once
// they are left, and that the exchange never stops.
#include <QtTest>

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/form_main.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "support/waitfor.h"
#include "support/windowsetup.h"
#include "widgets/edit.h"
#include "widgets/speedbutton.h"

#include <bit>
#include <cmath>

using formaccess::control;
using formaccess::mb1;

namespace {

// What a text stands for under the window's rules.
enum class Kind {
    NoNumber,       // not a number at all: the default is sent, 0 shown once left
    TooBigToTravel, // a number beyond single precision: sent as the default
    Number,         // a number: sent as it is (input edits limited to +-25 mA)
};

struct BadText {
    const char *name;
    QString text; // "{sep}" is the system's decimal mark, "{other}" the other one
    bool typed;   // typed key by key (the key filter runs) or pasted at once
    Kind kind;
    double value;        // for Kind::Number
    QString shownInput;  // after leaving an input edit ("{sep}" as above)
    QString shownOutput; // after leaving an output edit
};

QString digitsOf(int zeros, const char *head = "1")
{
    return QString::fromLatin1(head) + QString(zeros, u'0');
}

const QList<BadText> &badTexts()
{
    static const QList<BadText> texts = {
        {"empty", "", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"blanks", "   ", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"letters", "abc", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"digits then letters", "12mA", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"nan", "nan", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"NaN", "NaN", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"inf", "inf", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"-INF", "-INF", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"infinity", "infinity", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"beyond double", "1e400", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"two decimal marks", "1{sep}5{sep}5", true, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"group separator", "1 000", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"other mark pasted", "12{other}5", false, Kind::NoNumber, 0, "0{sep}00000", "0{sep}000"},
        {"1e308", "1e308", true, Kind::TooBigToTravel, 0, digitsOf(308) + "{sep}00",
         digitsOf(308) + "{sep}000"},
        {"1e39", "1e39", true, Kind::TooBigToTravel, 0, digitsOf(39) + "{sep}00",
         digitsOf(39) + "{sep}000"},
        {"-1e39", "-1e39", false, Kind::TooBigToTravel, 0, digitsOf(39, "-1") + "{sep}00",
         digitsOf(39, "-1") + "{sep}000"},
        {"1e30", "1e30", true, Kind::Number, 1e30, digitsOf(30) + "{sep}00",
         digitsOf(30) + "{sep}000"},
        {"3.4e38", "3{sep}4e38", true, Kind::Number, 3.4e38, "34" + QString(37, u'0') + "{sep}00",
         "34" + QString(37, u'0') + "{sep}000"},
        {"-300", "-300", true, Kind::Number, -300, "-300{sep}00", "-300{sep}000"},
        {"system mark", "12{sep}5", false, Kind::Number, 12.5, "12{sep}500", "12{sep}500"},
        {"other mark typed", "12{other}5", true, Kind::Number, 12.5, "12{sep}500", "12{sep}500"},
        {"0.1", "0{sep}1", true, Kind::Number, 0.1, "0{sep}10000", "0{sep}100"},
        {"minus zero", "-0", true, Kind::Number, -0.0, "0{sep}00000", "0{sep}000"},
    };
    return texts;
}

struct ScaleEdit {
    const char *name;
    int offset; // of its real in the request's data bytes, from 0
    double fallback;
    bool input; // limited to +-25 while the input is a current input
};

const ScaleEdit kScaleEdits[] = {
    {"Edit_InputLow", 77, 4.0, true},
    {"Edit_InputHigh", 81, 20.0, true},
    {"Edit_OutputLow", 85, 4.0, false},
    {"Edit_OutputHigh", 89, 20.0, false},
};

QByteArray singleBytes(double value)
{
    const auto bits = std::bit_cast<quint32>(float(value));
    QByteArray bytes;
    for (int i = 0; i < 4; ++i)
        bytes.append(char((bits >> (8 * i)) & 0xFF));
    return bytes;
}

double requestReal(const InstrumentRequest &request, const char *edit)
{
    const QByteArray name(edit);
    if (name == "Edit_InputLow") return request.InputLow;
    if (name == "Edit_InputHigh") return request.InputHigh;
    if (name == "Edit_OutputLow") return request.OutputLow;
    return request.OutputHigh;
}

// The main window on the simulator's line, cycling, the first reply in.
class Rig {
public:
    explicit Rig(FormEnvironment environment) : form(std::move(environment))
    {
        QObject::connect(&link(), &TMB::OnMBMasterEndOfEvent, &form, [this](TMBStatus status) {
            ++(status == TMBStatus::stOK ? goodExchanges : failedExchanges);
        });
    }
    TMB &link() { return *mb1(form); }
    bool start()
    {
        if (!sim.startOnNewPty()) return false;
        link().engine().setPortCandidateSource([this] { return QStringList{sim.portPath()}; });
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form)) return false;
        // The user's way in: the list filled at start-up, then Open.
        auto *openClose = link().panel().openCloseButton();
        if (!waitOn(
                &link().engine(), &MBEngine::startUpTick,
                [openClose] { return openClose->isEnabled(); }, 5000))
            return false;
        QTest::mouseClick(openClose, Qt::LeftButton);
        if (!link().MBPortOpen()) return false;
        // The first reply loads the stored settings; from then on the edits
        // keep what is put into them.
        return waitOn(&link(), &TMB::OnMBMasterEndOfEvent, [this] {
            return !control<TSpeedButton>(form, "SpeedButton_ReadSettings")->Down();
        });
    }
    // Waits until requests built from now on have reached the simulator.
    bool freshRequests()
    {
        const quint64 target = sim.requestCount() + 2;
        const int exchangesBefore = goodExchanges;
        return waitOn(&sim, &InstrumentSimulator::requestReceived, [&] {
            return sim.requestCount() >= target && goodExchanges > exchangesBefore;
        });
    }

    InstrumentSimulator sim;
    TForm_Main form;
    int goodExchanges = 0;
    int failedExchanges = 0;
};

} // namespace

class TestRobustInput : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void badTextInEveryScaleEdit_data();
    void badTextInEveryScaleEdit();
    void theMemoTakesAnythingAndSendsNothing();
    void badInitialisationFiles_data();
    void badInitialisationFiles();
    void anUnwritableFileDoesNotStopTheClosing();
};

void TestRobustInput::badTextInEveryScaleEdit_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow("point") << QChar(u'.');
    QTest::newRow("comma") << QChar(u',');
}

void TestRobustInput::badTextInEveryScaleEdit()
{
    QFETCH(QChar, separator);
    const QChar other = separator == u'.' ? u',' : u'.';
    QLocale::setDefault(formaccess::localeWithSeparator(separator));
    auto marks = [&](QString text) {
        return text.replace(QStringLiteral("{sep}"), separator)
            .replace(QStringLiteral("{other}"), other);
    };

    WindowSetup setup;
    Rig rig(setup.environment());
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    auto *elsewhere = control<QPushButton>(rig.form, "Button_GyariAlapSkala");

    for (const ScaleEdit &scale : kScaleEdits) {
        auto *edit = control<TEdit>(rig.form, scale.name);
        for (const BadText &bad : badTexts()) {
            const QByteArray where = QByteArray(scale.name) + " / " + bad.name;
            edit->setFocus();
            QTRY_VERIFY2(edit->hasFocus(), where.constData());
            if (bad.typed) {
                edit->clear();
                QTest::keyClicks(edit, marks(bad.text));
            } else {
                edit->setText(marks(bad.text));
            }

            // While the text is in the edit, the requests carry the rules' value.
            double sent = scale.fallback;
            if (bad.kind == Kind::Number)
                sent = scale.input ? std::clamp(bad.value, -25.0, 25.0) : bad.value;
            QVERIFY2(rig.freshRequests(), where.constData());
            QCOMPARE(formaccess::sentData(rig.form).mid(scale.offset, 4), singleBytes(sent));
            QCOMPARE(requestReal(rig.sim.receivedRequests().back().request, scale.name),
                     double(float(sent)));

            // Leaving the edit shows the number it holds, or 0.
            elsewhere->setFocus();
            QTRY_COMPARE(edit->text(), marks(scale.input ? bad.shownInput : bad.shownOutput));

            // From then on the shown text is what is sent ("0" has no sign).
            if (bad.kind == Kind::NoNumber || sent == 0.0) sent = 0.0;
            QVERIFY2(rig.freshRequests(), where.constData());
            QCOMPARE(formaccess::sentData(rig.form).mid(scale.offset, 4), singleBytes(sent));
        }
        // Back to a sound value before the next edit is tried.
        edit->setText(QString::number(scale.fallback));
    }

    // The exchange never stopped and never failed.
    QVERIFY(rig.link().MBPortOpen());
    QCOMPARE(rig.failedExchanges, 0);
    QVERIFY(rig.goodExchanges > 4 * badTexts().size() * 2);
}

void TestRobustInput::theMemoTakesAnythingAndSendsNothing()
{
    WindowSetup setup({QStringLiteral("/VARNEL")});
    QLocale::setDefault(formaccess::localeWithSeparator(u'.'));
    Rig rig(setup.environment());
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    QVERIFY(rig.form.FactoryLevel());
    QVERIFY(rig.freshRequests());
    QVERIFY(rig.freshRequests());
    const QByteArray before = formaccess::sentData(rig.form);

    auto *memo = control<QPlainTextEdit>(rig.form, "Memo_InputCalibration2");
    memo->setFocus();
    QTest::keyClicks(memo, QStringLiteral("nan inf 1e308 ,.,. \t"));
    memo->insertPlainText(QStringLiteral("\u00e9\u0151") + QString(100000, u'x'));
    QVERIFY(rig.freshRequests());
    QCOMPARE(formaccess::sentData(rig.form), before);
    QCOMPARE(rig.failedExchanges, 0);
}

void TestRobustInput::badInitialisationFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray garbage;
    quint32 seed = 0x2545F491u;
    for (int i = 0; i < 256 * 1024; ++i) {
        seed = seed * 1664525u + 1013904223u;
        garbage.append(char(seed >> 24));
    }
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("binary garbage") << garbage;
    QTest::newRow("zero bytes") << QByteArray(4096, '\0');
    QTest::newRow("broken sections") << QByteArray("[Com\nMBLastUsedPort\n[Language]]\n=\n[]");
}

void TestRobustInput::badInitialisationFiles()
{
    QFETCH(QByteArray, content);
    QLocale::setDefault(formaccess::localeWithSeparator(u'.'));
    WindowSetup setup;
    setup.writeIni(content);

    Rig rig(setup.environment());
    QCOMPARE(rig.form.GsSelectedLanguage(), QStringLiteral("magyar"));
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    QVERIFY(rig.freshRequests());
    QCOMPARE(rig.failedExchanges, 0);

    // Closing writes a sound file that the next run reads back.
    QVERIFY(rig.form.close());
    QVERIFY(!rig.link().MBPortOpen());
    const IniSettings saved = IniFile(setup.iniPath()).load();
    QCOMPARE(saved.lastUsedPort, rig.sim.portPath());
    QCOMPARE(saved.languageName, QStringLiteral("magyar"));
    QVERIFY(!saved.date.isEmpty());
}

void TestRobustInput::anUnwritableFileDoesNotStopTheClosing()
{
    QLocale::setDefault(formaccess::localeWithSeparator(u'.'));
    // A folder where the file should be: no privilege writes a file there.
    WindowSetup setup;
    QVERIFY(QDir().mkpath(setup.iniPath()));

    Rig rig(setup.environment());
    QVERIFY2(rig.start(), qPrintable(rig.sim.errorText()));
    QVERIFY(rig.freshRequests());
    const IniSaveResult attempt = rig.form.SaveIniSettings();
    QVERIFY(!attempt.ok);
    QVERIFY(!attempt.error.isEmpty());
    // Trying to save did not disturb the exchange.
    QVERIFY(rig.freshRequests());

    QSignalSpy closings(&rig.link(), &TMB::OnMBPortOpenedOrClosed);
    QVERIFY(rig.form.close());
    QVERIFY(!rig.form.isVisible());
    QVERIFY(!rig.link().MBPortOpen());
    QCOMPARE(closings.size(), 1);
    QVERIFY(QFileInfo(setup.iniPath()).isDir());
    // Nothing more goes out once the window is closed.
    const quint64 requests = rig.sim.requestCount();
    QSignalSpy more(&rig.sim, &InstrumentSimulator::requestReceived);
    more.wait(300);
    QVERIFY(rig.sim.requestCount() <= requests + 1);
    QVERIFY(!more.wait(300));
}

QTEST_MAIN(TestRobustInput)
#include "tst_robust_input.moc"
