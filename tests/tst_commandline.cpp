// The factory-level switch among the command-line parameters, the window
// caption and the model label.
#include <QtTest>

#include "app/commandline.h"

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void factorySwitch_data()
    {
        QTest::addColumn<QStringList>("parameters");
        QTest::addColumn<bool>("factory");
        QTest::newRow("none") << QStringList{} << false;
        QTest::newRow("capitals") << QStringList{"/VARNEL"} << true;
        QTest::newRow("small letters") << QStringList{"/varnel"} << true;
        QTest::newRow("mixed case") << QStringList{"/VaRnEl"} << true;
        QTest::newRow("first of several") << QStringList{"/varnel", "--port", "/dev/pts/3"} << true;
        QTest::newRow("in the middle") << QStringList{"--port", "/VARnel", "/dev/pts/3"} << true;
        QTest::newRow("last of several") << QStringList{"a", "b", "c", "/Varnel"} << true;
        QTest::newRow("twice") << QStringList{"/varnel", "/VARNEL"} << true;
        QTest::newRow("other parameters only") << QStringList{"--port", "/dev/pts/3"} << false;
        QTest::newRow("without slash") << QStringList{"VARNEL"} << false;
        QTest::newRow("dash instead") << QStringList{"-varnel"} << false;
        QTest::newRow("longer word") << QStringList{"/VARNELX"} << false;
        QTest::newRow("inside a parameter") << QStringList{"x/varnel"} << false;
        QTest::newRow("with a blank") << QStringList{"/varnel "} << false;
        QTest::newRow("empty parameter") << QStringList{""} << false;
    }
    void factorySwitch()
    {
        QFETCH(QStringList, parameters);
        QFETCH(bool, factory);
        QCOMPARE(hasFactoryAccessSwitch(parameters), factory);
    }

    void windowCaption_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Hungarian")
            << QString::fromUtf8("KX4720R beállító program")
            << QString::fromUtf8("KX4720R beállító program   V2013-10-09   Varnel Kft.");
        QTest::newRow("English")
            << "Configuration software for KX4720R"
            << "Configuration software for KX4720R   V2013-10-09   Varnel Kft.";
        QTest::newRow("no title yet") << ""
                                      << "   V2013-10-09   Varnel Kft.";
    }
    void windowCaption()
    {
        QFETCH(QString, title);
        QFETCH(QString, caption);
        QCOMPARE(::windowCaption(title), caption);
    }

    void modelLabel()
    {
        QCOMPARE(modelLabelText(QString::fromUtf8("Készülék: "), kModelName, false),
                 QString::fromUtf8("Készülék: KX4720R"));
        QCOMPARE(modelLabelText(QStringLiteral("Instrument: "), kModelName, true),
                 QString::fromUtf8("Instrument: KX4720R - Varnel szintű hozzáférés"));
        QCOMPARE(kFactoryAccessSuffix.toUtf8(), QByteArray(" - Varnel szint\xC5\xB1 hozz\xC3\xA1"
                                                           "f\xC3\xA9r\xC3\xA9s"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
