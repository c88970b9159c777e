// The main window can be created, shown and closed under the offscreen platform.
#include <QtTest>

#include "app/form_main.h"

class TestSmoke : public QObject {
    Q_OBJECT
private slots:
    void windowOpensAndCloses()
    {
        TForm_Main form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.objectName(), QStringLiteral("Form_Main"));
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(TestSmoke)
#include "tst_smoke.moc"
