// What the link throws away, the same in the window and in kx4720r-cli, both
// run against one fault sequence of a peer on a pty; the window's tool tip and
// monitor's summary are printed side by side.
#include <QtTest>

#include "app/form_main.h"
#include "link/discardtext.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "support/formaccess.h"
#include "support/slowpeer.h"
#include "support/windowsetup.h"

#include <QProcess>

namespace {

constexpr int kAllowanceMs = 100;
constexpr int kWindowMs = 19 + kAllowanceMs; // 19 ms: the request at 115200 baud
constexpr int kReplies = 10;

// The faults, by request as the peer counts them; request 5 is answered just
// past the window, the reply to its retry right behind.
SlowPeer::Reply faults()
{
    return [](int number, const SlaveRequest &) {
        const QByteArray good = FrameSlave::replyLine(1, 0, 0, replyData(typicalReply()));
        QByteArray damaged = good;
        damaged[20] = char(damaged[20] ^ 0x01);
        switch (number) {
        case 1: // noise, some of it with both top bits set
            return QByteArray("\x05\x47\xC3\x21\x6E\x02\x0F\xD9\x44\x41\xE8\x7F\x10\x55") + good;
        case 2:
            return good + QByteArray("\x03\x44\x05\x66"); // junk behind
        case 3:
            return FrameSlave::replyLine(1, 0, 0, replyData(typicalReply()).left(40));
        case 7:
            return FrameSlave::replyLine(2, 0, 0, "x") + good; // another station first
        case 8:
            return damaged;
        default:
            return good;
        }
    };
}
const QList<int> kDelays{0, 0, 0, 0, 0, kWindowMs + 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};

} // namespace

class TestLinkCounts : public QObject {
    Q_OBJECT

private slots:
    void theWindowAndTheToolCountAlike()
    {
        PtyPair toolLine, windowLine;
        SlowPeer toolPeer(toolLine, kDelays, faults()), windowPeer(windowLine, kDelays, faults());
        QProcess tool;
        tool.start(QStringLiteral(KX_CLI_BINARY),
                   {"monitor", "-p", toolLine.slavePath(), "--count", QString::number(kReplies),
                    "--timeout", QString::number(kAllowanceMs)});
        QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(tool.exitCode(), 0);
        const QString summary = QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();

        WindowSetup setup;
        TForm_Main window(setup.environment());
        TMB &mb1 = *formaccess::mb1(window);
        mb1.setMBMasterTimeOut(kAllowanceMs);
        int good = 0;
        connect(&mb1, &TMB::OnMBMasterEndOfEvent, this, [&](TMBStatus status) {
            if ((good += status == TMBStatus::stOK) == kReplies) mb1.MBClosePort();
        });
        QVERIFY(mb1.engine().MBOpenPort(windowLine.slavePath()));
        QTRY_VERIFY_WITH_TIMEOUT(!mb1.MBPortOpen(), 30000);
        const mb::MBDiscardCounts counts = mb1.engine().discardCounts();

        qInfo().noquote() << "\nkx4720r-cli monitor:" << summary.section(u'\n', -1)
                          << "\nkx4720r-config, Rx tool tip:\n"
                          << MBPanel::discardText(counts);
        QVERIFY2(summary.endsWith(mb::discardSummaryText(counts)), qPrintable(summary));
        // Each fault under its own reason, once; the 18 characters of noise and junk.
        QVERIFY(counts == (mb::MBDiscardCounts{1, 1, 0, 0, 18, 1, 1}));
    }
};

QTEST_MAIN(TestLinkCounts)
#include "tst_link_counts.moc"
