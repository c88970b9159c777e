// The caption store: both sets complete and exact, the language names and
// the choice of set from a stored name.
#include <QtTest>

#include "ui/captions.h"

Q_DECLARE_METATYPE(Caption)
Q_DECLARE_METATYPE(CaptionLanguage)

class TestCaptions : public QObject {
    Q_OBJECT
private slots:
    void bothSetsComplete()
    {
        for (int slot = 1; slot <= kCaptionCount; ++slot) {
            const auto caption = static_cast<Caption>(slot);
            const QString english = captionText(CaptionLanguage::English, caption);
            const QString hungarian = captionText(CaptionLanguage::Hungarian, caption);
            QVERIFY2(!english.isEmpty(), qPrintable(QString::number(slot)));
            QVERIFY2(!hungarian.isEmpty(), qPrintable(QString::number(slot)));
            // Every slot changes with the language.
            QVERIFY2(english != hungarian, qPrintable(english));
        }
        QCOMPARE(kCaptionCount, 39);
        QCOMPARE(static_cast<int>(Caption::ProgramTitle), kCaptionCount);
    }

    void exactTexts_data()
    {
        QTest::addColumn<Caption>("caption");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QByteArray>("hungarianUtf8");
        QTest::newRow("1") << Caption::ErrorCode << "Error code"
                           << QByteArray("Hibak\xC3\xB3"
                                         "d");
        QTest::newRow("2") << Caption::FramError << "FRAM error" << QByteArray("FRAM hiba");
        QTest::newRow("12") << Caption::Firmware << "Firmware:" << QByteArray("F\xC3\xB6rmver:");
        QTest::newRow("14") << Caption::Temperature << "Temperature"
                            << QByteArray("H\xC5\x91m\xC3\xA9rs\xC3\xA9klet");
        QTest::newRow("16") << Caption::Restart << "Restart"
                            << QByteArray("\xC3\x9Ajraind\xC3\xADt\xC3\xA1s");
        QTest::newRow("17") << Caption::ModelPrefix
                            << "Instrument: " << QByteArray("K\xC3\xA9sz\xC3\xBCl\xC3\xA9k: ");
        QTest::newRow("22") << Caption::InputRange << "Input range"
                            << QByteArray("Bemenet m\xC3\xA9r\xC3\xA9startom\xC3\xA1nya");
        QTest::newRow("25") << Caption::OutputValue << "Output value"
                            << QByteArray("Kimen\xC5\x91 \xC3\xA9rt\xC3\xA9k");
        QTest::newRow("32") << Caption::ReadSettings << "Read settings from istrument"
                            << QByteArray("Be\xC3\xA1ll\xC3\xADt\xC3\xA1sok kiolvas\xC3\xA1sa a "
                                          "k\xC3\xA9sz\xC3\xBCl\xC3\xA9kb\xC5\x91l");
        QTest::newRow("34") << Caption::WriteSettings << "Write settings to instrument"
                            << QByteArray("Be\xC3\xA1ll\xC3\xADt\xC3\xA1sok k\xC3\xA9sz\xC3\xBC"
                                          "l\xC3\xA9kbe \xC3\xADr\xC3\xA1sa");
        QTest::newRow("35") << Caption::HoursWord << " hours  " << QByteArray(" \xC3\xB3ra  ");
        QTest::newRow("36") << Caption::MinutesWord << " minutes." << QByteArray(" perc.");
        QTest::newRow("37") << Caption::CurrentItem << "Current" << QByteArray("\xC3\x81ram");
        QTest::newRow("38") << Caption::VoltageItem << "Voltage"
                            << QByteArray("Fesz\xC3\xBClts\xC3\xA9g");
        QTest::newRow("39") << Caption::ProgramTitle << "Configuration software for KX4720R"
                            << QByteArray("KX4720R be\xC3\xA1ll\xC3\xADt\xC3\xB3 program");
    }
    void exactTexts()
    {
        QFETCH(Caption, caption);
        QFETCH(QString, english);
        QFETCH(QByteArray, hungarianUtf8);
        QCOMPARE(captionText(CaptionLanguage::English, caption), english);
        QCOMPARE(captionText(CaptionLanguage::Hungarian, caption).toUtf8(), hungarianUtf8);
    }

    void targetsNameTheControls()
    {
        QCOMPARE(captionTargets(Caption::ErrorCode), QStringList{"GroupBox1"});
        QCOMPARE(captionTargets(Caption::Raw), QStringList({"Label1", "Label10"}));
        QCOMPARE(captionTargets(Caption::Average), QStringList({"Label24", "Label40"}));
        QCOMPARE(captionTargets(Caption::Settings),
                 QStringList({"TabSheet_Uzemmod", "GroupBox_Settings"}));
        QCOMPARE(captionTargets(Caption::InitialValue), QStringList({"Label4", "Label15"}));
        QCOMPARE(captionTargets(Caption::EndValue), QStringList({"Label11", "Label32"}));
        QCOMPARE(captionTargets(Caption::InputSignal), QStringList{"RadioGroup_BemenetTipusa"});
        // Texts 1-16 and 18-34 are captions; the others are composed elsewhere.
        for (int slot = 1; slot <= kCaptionCount; ++slot) {
            const bool caption = slot != 17 && slot <= 34;
            QCOMPARE(!captionTargets(static_cast<Caption>(slot)).isEmpty(), caption);
        }
    }

    void storeStartsEmptyAndFillsWhole()
    {
        CaptionStore store;
        QVERIFY(!store.isFilled());
        QVERIFY(!store.language().has_value());
        QVERIFY(store.text(Caption::ErrorCode).isEmpty());
        QVERIFY(store.programTitle().isEmpty());

        store.fill(CaptionLanguage::English);
        QCOMPARE(store.language(), CaptionLanguage::English);
        QCOMPARE(store.modelPrefix(), QStringLiteral("Instrument: "));
        QCOMPARE(store.hoursWord(), QStringLiteral(" hours  "));
        QCOMPARE(store.minutesWord(), QStringLiteral(" minutes."));
        QCOMPARE(store.signalTypeItems(), QStringList({"Current", "Voltage"}));

        store.fill(CaptionLanguage::Hungarian);
        QCOMPARE(store.language(), CaptionLanguage::Hungarian);
        for (int slot = 1; slot <= kCaptionCount; ++slot) {
            const auto caption = static_cast<Caption>(slot);
            QCOMPARE(store.text(caption), captionText(CaptionLanguage::Hungarian, caption));
        }
        QCOMPARE(store.signalTypeItems(),
                 QStringList({QString::fromUtf8("Áram"), QString::fromUtf8("Feszültség")}));
        QCOMPARE(store.programTitle(), QString::fromUtf8("KX4720R beállító program"));
    }

    void languageNames()
    {
        QCOMPARE(languageName(CaptionLanguage::English), QStringLiteral("english"));
        QCOMPARE(languageName(CaptionLanguage::Hungarian), QStringLiteral("magyar"));
        QCOMPARE(kDefaultCaptionLanguage, CaptionLanguage::Hungarian);
    }

    void chooseLanguage_data()
    {
        QTest::addColumn<QString>("requested");
        QTest::addColumn<CaptionLanguage>("language");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("recognised");
        const auto en = CaptionLanguage::English;
        const auto hu = CaptionLanguage::Hungarian;
        QTest::newRow("english") << "english" << en << "english" << true;
        QTest::newRow("English") << "English" << en << "english" << true;
        QTest::newRow("ENGLISH") << "ENGLISH" << en << "english" << true;
        QTest::newRow("padded") << "  English " << en << "english" << true;
        QTest::newRow("magyar") << "magyar" << hu << "magyar" << true;
        QTest::newRow("Magyar button") << "Magyar" << hu << "magyar" << true;
        QTest::newRow("MAGYAR") << "MAGYAR" << hu << "magyar" << true;
        QTest::newRow("empty") << "" << hu << "magyar" << false;
        QTest::newRow("unknown") << "deutsch" << hu << "magyar" << false;
        QTest::newRow("english name of magyar") << "hungarian" << hu << "magyar" << false;
        QTest::newRow("longer word") << "englishx" << hu << "magyar" << false;
    }
    void chooseLanguage()
    {
        QFETCH(QString, requested);
        QFETCH(CaptionLanguage, language);
        QFETCH(QString, name);
        QFETCH(bool, recognised);
        const LanguageChoice choice = ::chooseLanguage(requested);
        QCOMPARE(choice.language, language);
        QCOMPARE(choice.name, name);
        QCOMPARE(choice.recognised, recognised);
        QCOMPARE(languageFromName(requested).has_value(), recognised);
    }
};

QTEST_GUILESS_MAIN(TestCaptions)
#include "tst_captions.moc"
