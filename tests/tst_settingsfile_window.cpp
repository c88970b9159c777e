// Settings files in the window: the two buttons in the settings group, saving
// what the group shows and loading it back, files that fail their check, and
// the folder last used kept in the initialisation file. File names come from
// the test instead of a dialog; messages are collected instead of shown.
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "app/form_main.h"
#include "app/form_settingsfile.h"
#include "app/profile.h"
#include "app/scale_group.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "support/settings_sample.h"
#include "support/windowsetup.h"
#include "widgets/edit.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using settingssample::edited;

namespace {

struct Message {
    QString title;
    QString text;
};

// What the group shows, control by control.
struct GroupView {
    int inputItem, outputItem;
    QStringList texts;
    bool readDown, writeDown;
    bool operator==(const GroupView &) const = default;
};

} // namespace

class TestSettingsFileWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowSetup> setup;
    std::unique_ptr<TForm_Main> w;
    QTemporaryDir folder;
    QList<Message> messages;
    QString answer; // the file name the "dialog" gives
    QList<FileQuestion> questions;

    void makeWindow(const QByteArray &ini = {})
    {
        setup = std::make_unique<WindowSetup>();
        if (!ini.isEmpty()) setup->writeIni(ini);
        w = std::make_unique<TForm_Main>(setup->environment());
        w->settingsFiles->showMessage = [this](QWidget *, const QString &t, const QString &s) {
            messages << Message{t, s};
        };
        w->settingsFiles->askFileName = [this](QWidget *, const FileQuestion &q) {
            questions << q;
            return answer;
        };
    }
    TEdit *edit(const char *name) const { return control<TEdit>(*w, name); }
    TRadioGroup *group(const char *name) const { return control<TRadioGroup>(*w, name); }
    void type(int inputItem, const char *inLow, const char *inHigh, int outputItem,
              const char *outLow, const char *outHigh)
    {
        group("RadioGroup_BemenetTipusa")->setItemIndex(inputItem);
        group("RadioGroup_KimenetTipusa")->setItemIndex(outputItem);
        edit("Edit_InputLow")->setText(QString::fromUtf8(inLow));
        edit("Edit_InputHigh")->setText(QString::fromUtf8(inHigh));
        edit("Edit_OutputLow")->setText(QString::fromUtf8(outLow));
        edit("Edit_OutputHigh")->setText(QString::fromUtf8(outHigh));
    }
    GroupView view() const
    {
        QStringList texts;
        for (const char *name :
             {"Edit_InputLow", "Edit_InputHigh", "Edit_OutputLow", "Edit_OutputHigh",
              "Label_InputLowMertekegyseg", "Label_OutputLowMertekegyseg"})
            texts << (name[0] == 'E' ? edit(name)->text() : control<QLabel>(*w, name)->text());
        return {group("RadioGroup_BemenetTipusa")->ItemIndex(),
                group("RadioGroup_KimenetTipusa")->ItemIndex(), texts,
                control<TSpeedButton>(*w, "SpeedButton_ReadSettings")->Down(),
                control<TSpeedButton>(*w, "SpeedButton_WriteSettings")->Down()};
    }
    QString file(const QString &name) const { return folder.filePath(name); }
    void write(const QString &path, const QByteArray &bytes)
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

private slots:
    void cleanup()
    {
        w.reset();
        setup.reset();
        messages.clear();
        questions.clear();
        answer.clear();
        QLocale::setDefault(QLocale::c());
    }

    void buttonsStandBetweenTheirNeighboursInBothLanguages()
    {
        makeWindow("[Language]\nGsSelectedLanguage=english\n");
        auto *factory = control<QPushButton>(*w, "Button_GyariAlapSkala");
        auto *writeSettings = control<TSpeedButton>(*w, "SpeedButton_WriteSettings");
        QPushButton *save = w->settingsFiles->saveButton();
        QPushButton *load = w->settingsFiles->loadButton();
        QCOMPARE(save->parentWidget(), factory->parentWidget());
        QCOMPARE(load->parentWidget(), factory->parentWidget());
        for (QPushButton *b : {save, load}) {
            QCOMPARE(b->size(), factory->size());
            QCOMPARE(b->x(), factory->x());
            QCOMPARE(b->font(), factory->font());
        }
        // Stacked in the free space with even gaps; the neighbours keep their places.
        QCOMPARE(factory->geometry(), QRect(448, 72, 209, 25));
        QCOMPARE(writeSettings->geometry(), QRect(448, 184, 209, 33));
        const int gap = save->y() - factory->geometry().bottom();
        QVERIFY(gap >= 10);
        QVERIFY(qAbs((load->y() - save->geometry().bottom()) - gap) <= 1);
        QVERIFY(qAbs((writeSettings->y() - load->geometry().bottom()) - gap) <= 1);
        QCOMPARE(factory->nextInFocusChain(), save);
        QCOMPARE(save->nextInFocusChain(), load);

        QCOMPARE(save->text(), QStringLiteral("Save to file…"));
        QCOMPARE(load->text(), QStringLiteral("Load from file…"));
        control<TSpeedButton>(*w, "SpeedButton_Magyar")->click();
        QCOMPARE(save->text(), QStringLiteral("Mentés fájlba…"));
        QCOMPARE(load->text(), QStringLiteral("Betöltés fájlból…"));
        control<TSpeedButton>(*w, "SpeedButton_Angol")->click();
        QCOMPARE(save->text(), QStringLiteral("Save to file…"));
    }

    void saveThenLoadGivesTheSameSettings_data()
    {
        QTest::addColumn<QChar>("mark");
        QTest::addColumn<int>("inputItem");
        QTest::addColumn<QString>("inLow");
        QTest::addColumn<QString>("inHigh");
        QTest::addColumn<int>("outputItem");
        QTest::addColumn<QString>("outLow");
        QTest::addColumn<QString>("outHigh");
        for (const QChar mark : {QChar(u'.'), QChar(u',')}) {
            const auto m = [mark](const char *s) {
                return QString::fromLatin1(s).replace(u'.', mark);
            };
            const QByteArray tag(1, char(mark.unicode()));
            QTest::newRow(("voltage in, current out " + tag).constData())
                << mark << 1 << m("-10.5") << m("10.25") << 0 << m("0") << m("20");
            // Rounded by the pattern as when the edit is left, and limited as sent.
            QTest::newRow(("small and limited " + tag).constData())
                << mark << 0 << m("0.1234567") << m("40") << 1 << m("0.5") << m("9.7504");
        }
    }

    void saveThenLoadGivesTheSameSettings()
    {
        QFETCH(QChar, mark);
        QFETCH(int, inputItem);
        QFETCH(QString, inLow);
        QFETCH(QString, inHigh);
        QFETCH(int, outputItem);
        QFETCH(QString, outLow);
        QFETCH(QString, outHigh);
        QLocale::setDefault(formaccess::localeWithSeparator(mark));
        makeWindow();
        type(inputItem, qPrintable(inLow), qPrintable(inHigh), outputItem, qPrintable(outLow),
             qPrintable(outHigh));
        QString reason;
        const std::optional<InstrumentSettings> shown = w->settingsFiles->shownSettings(reason);
        QVERIFY2(shown, qPrintable(reason));
        if (inputItem == 0) QCOMPARE(shown->input.high, 25.0); // 40 mA is sent as the limit

        answer = file(QStringLiteral("round"));
        QVERIFY(w->settingsFiles->save());
        QVERIFY(messages.isEmpty());
        const QString saved = file(QStringLiteral("round.kx4720r.json"));
        const SettingsFileRead read = readSettingsFile(saved);
        QVERIFY2(read.ok(), qPrintable(read.error.text(TextLanguage::English)));
        QCOMPARE(read.document->settings.differences(*shown), QStringList());
        QVERIFY(!read.document->source); // no reply seen: nothing to say where from

        control<QPushButton>(*w, "Button_GyariAlapSkala")->click();
        answer = saved;
        QVERIFY(w->settingsFiles->load());
        const std::optional<InstrumentSettings> loaded = w->settingsFiles->shownSettings(reason);
        QVERIFY(loaded);
        QCOMPARE(loaded->asStored(), shown->asStored());
        // Shown as a left edit shows it, in the system's decimal mark.
        QCOMPARE(edit("Edit_InputLow")->text(), inputScaleText(shown->input.low));
        QCOMPARE(edit("Edit_OutputHigh")->text(), outputScaleText(shown->output.high));
        QVERIFY(edit("Edit_InputLow")->text().contains(mark));
        QCOMPARE(control<QLabel>(*w, "Label_InputHighMertekegyseg")->text(),
                 inputItem == 0 ? QStringLiteral("mA") : QStringLiteral("V"));
        // Loading asks nothing of the instrument: neither a read nor a write waits.
        QVERIFY(!control<TSpeedButton>(*w, "SpeedButton_ReadSettings")->Down());
        QVERIFY(!control<TSpeedButton>(*w, "SpeedButton_WriteSettings")->Down());
    }

    void aBadFileChangesNothingAndSaysWhy_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QByteArray>("content"); // empty: see the row
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("reason");
        const QString en = QStringLiteral("english");
        const auto row = [&](const char *tag, const QByteArray &content, int line,
                             const char *reason,
                             const QString &language = QStringLiteral("english")) {
            QTest::newRow(tag) << language << content << QStringLiteral("bad.kx4720r.json") << line
                               << QString::fromUtf8(reason);
        };
        // What the file's check finds is the core's to test; here, that the
        // window shows it: the line when there is one, in the window's language.
        row("not JSON", edited("\"version\": 1,", "\"version\": 1"), 4, "not valid JSON");
        row("beyond the limit", edited("\"high\": 10,", "\"high\": 300,"), 7, "beyond the limit");
        row("too large", QByteArray(70 * 1024, ' '), 0, "larger than 64 KiB");
        row("in Hungarian", edited("    \"high\": 10,\n", ""), 4, "hiányzik",
            QStringLiteral("magyar"));
        // In words and numbers of the language, not a field of the format.
        row("in Hungarian words",
            edited("\"low\": 4,\n    \"high\": 20", "\"low\": 4.5,\n    \"high\": 4.5"), 13,
            "a kimenet kezdőértéke és végértéke egyenlő (4,5 mA)", QStringLiteral("magyar"));
        QTest::newRow("missing file") << en << QByteArray() << QStringLiteral("gone.kx4720r.json")
                                      << 0 << QStringLiteral("cannot read the file");
        QTest::newRow("a folder") << en << QByteArray() << QStringLiteral("folder.kx4720r.json")
                                  << 0 << QStringLiteral("is not a regular file");
    }

    void aBadFileChangesNothingAndSaysWhy()
    {
        QFETCH(QString, language);
        QFETCH(QByteArray, content);
        QFETCH(QString, name);
        QFETCH(int, line);
        QFETCH(QString, reason);
        makeWindow("[Language]\nGsSelectedLanguage=" + language.toLatin1() + "\n");
        type(1, "-5", "5", 0, "4", "20");
        const GroupView before = view();
        const QString path = file(name);
        if (name.startsWith(u"folder"))
            QVERIFY(QDir(folder.path()).mkpath(name));
        else if (!content.isEmpty())
            write(path, content);

        answer = path;
        QVERIFY(!w->settingsFiles->load());
        QCOMPARE(view(), before);
        QCOMPARE(messages.size(), 1);
        const Message &m = messages.first();
        QCOMPARE(m.title, language == u"magyar" ? QStringLiteral("Betöltés fájlból")
                                                : QStringLiteral("Load from file"));
        QVERIFY2(m.text.contains(QDir::toNativeSeparators(path)), qPrintable(m.text));
        if (line > 0) {
            const QString where = language == u"magyar" ? QStringLiteral("%1. sor: ").arg(line)
                                                        : QStringLiteral("line %1: ").arg(line);
            QVERIFY2(m.text.contains(where), qPrintable(m.text));
        }
        QVERIFY2(m.text.contains(reason), qPrintable(m.text));
    }

    // Text that is no number means the same in a file as on the line: the
    // default the request carries, 4 for an initial value, 20 for an end value.
    void textThatIsNoNumberIsSavedAsTheRequestCarriesIt()
    {
        makeWindow();
        type(1, "abc", "", 0, "-", "1.2.3");
        QString reason;
        const std::optional<InstrumentSettings> shown = w->settingsFiles->shownSettings(reason);
        QVERIFY2(shown, qPrintable(reason));
        w->SendInstrumentRequest();
        const QByteArray data = formaccess::sentData(*w);
        QCOMPARE(float(shown->input.low), testbytes::realAt(data, 78));
        QCOMPARE(float(shown->input.high), testbytes::realAt(data, 82));
        QCOMPARE(float(shown->output.low), testbytes::realAt(data, 86));
        QCOMPARE(float(shown->output.high), testbytes::realAt(data, 90));
        QCOMPARE(shown->input.high, 20.0);
    }

    void whatCannotBeStoredIsNotSaved()
    {
        makeWindow("[Language]\nGsSelectedLanguage=english\n");
        // Equal ends give the instrument nothing to scale between.
        type(0, "4", "4.000001", 0, "4", "20");
        answer = file(QStringLiteral("same.kx4720r.json"));
        QVERIFY(!w->settingsFiles->save());
        QVERIFY(questions.isEmpty()); // refused before any dialog
        QCOMPARE(messages.size(), 1);
        QVERIFY2(
            messages.first().text.startsWith(QStringLiteral("The settings shown cannot be saved")),
            qPrintable(messages.first().text));
        QVERIFY(!QFile::exists(answer));

        // A folder at the chosen name is never replaced by a file.
        type(0, "4", "20", 0, "4", "20");
        const QString taken = file(QStringLiteral("taken.kx4720r.json"));
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("taken.kx4720r.json")));
        answer = taken;
        QVERIFY(!w->settingsFiles->save());
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages.last().text.contains(QStringLiteral("is not a regular file")));
        QVERIFY(QFileInfo(taken).isDir());
    }

    void theFolderLastUsedIsKeptInASectionOfItsOwn()
    {
        makeWindow("[Language]\nGsSelectedLanguage=english\n[Mine]\nkey=kept\n");
        QVERIFY(QDir(folder.path()).mkpath(QStringLiteral("customer")));
        const QString customer = file(QStringLiteral("customer"));
        answer = customer + QStringLiteral("/line3");
        QVERIFY(w->settingsFiles->save());
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions.first().mode, FileQuestion::Mode::Save);
        QCOMPARE(questions.first().filters.first(),
                 QStringLiteral("KX4720R settings (*.kx4720r.json)"));
        QVERIFY(QFile::exists(customer + QStringLiteral("/line3.kx4720r.json")));
        w->FormClose(w.get());

        const ProfileDocument ini(setup->readIni());
        QCOMPARE(ini.sectionNames(), (QStringList{"Date", "Com", "Language", "Files", "Mine"}));
        QCOMPARE(ini.value(u"Files", u"SettingsFolder"), customer);
        QCOMPARE(ini.value(u"Mine", u"key"), QStringLiteral("kept"));

        // The next run's dialog starts there.
        w = std::make_unique<TForm_Main>(setup->environment());
        w->settingsFiles->askFileName = [this](QWidget *, const FileQuestion &q) {
            questions << q;
            return QString();
        };
        QVERIFY(!w->settingsFiles->load()); // cancelled
        QCOMPARE(questions.last().mode, FileQuestion::Mode::Open);
        QCOMPARE(questions.last().startPath, customer);
    }
};

QTEST_MAIN(TestSettingsFileWindow)
#include "tst_settingsfile_window.moc"
