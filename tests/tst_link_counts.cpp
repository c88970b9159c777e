// What the link throws away, the same in the window and in kx4720r-cli: both
// run against one fault sequence played by a peer on a pty (noise before a
// reply, junk behind one, a reply of the wrong length, a reply just past the
// answer window with the reply to its retry behind it, another station's
// frame, a damaged reply), and show the same counts: the window in its
// receive indicator's tool tip, the tool in monitor's summary. The figures
// are printed side by side.
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
constexpr int kWindowMs = 19 + kAllowanceMs; // 19 ms: sending the request at 115200 baud
constexpr int kReplies = 10;

// The fault sequence, by request as the peer counts them.
SlowPeer::Reply faults()
{
    return [](int number, const SlaveRequest &) {
        const QByteArray good = FrameSlave::replyLine(1, 0, 0, replyData(typicalReply()));
        switch (number) {
        case 1: // noise, the two top bits set in some of it, then the reply
            return QByteArray("\x05\x47\xC3\x21\x6E\x02\x0F\xD9\x44\x41\xE8\x7F\x10\x55") + good;
        case 2: // junk behind the reply
            return good + QByteArray("\x03\x44\x05\x66");
        case 3: // a reply of 40 data bytes instead of 88
            return FrameSlave::replyLine(1, 0, 0, replyData(typicalReply()).left(40));
        case 7: // another station's frame first
            return FrameSlave::replyLine(2, 0, 0, "x") + good;
        case 8: { // a damaged reply
            QByteArray damaged = good;
            damaged[20] = char(damaged[20] ^ 0x01);
            return damaged;
        }
        default:
            return good;
        }
    };
}

// Request 5 is answered just past the window; its retry's reply follows.
QList<int> delays()
{
    return {0, 0, 0, 0, 0, kWindowMs + 40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
}

} // namespace

class TestLinkCounts : public QObject {
    Q_OBJECT

private slots:
    void theWindowAndTheToolCountAlike()
    {
        // The tool.
        PtyPair toolLine;
        SlowPeer toolPeer(toolLine, delays(), faults());
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("KX4720R_PORTS"));
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(KX_CLI_BINARY),
                   {"monitor", "-p", toolLine.slavePath(), "--count", QString::number(kReplies),
                    "--timeout", QString::number(kAllowanceMs)});
        QVERIFY(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(tool.exitCode(), 0);
        const QString summary = QString::fromLocal8Bit(tool.readAllStandardOutput())
                                    .split(u'\n', Qt::SkipEmptyParts)
                                    .last();

        // The window.
        PtyPair windowLine;
        SlowPeer windowPeer(windowLine, delays(), faults());
        WindowSetup setup;
        TForm_Main window(setup.environment());
        TMB &mb1 = *formaccess::mb1(window);
        mb1.setMBMasterTimeOut(kAllowanceMs);
        int good = 0;
        connect(&mb1, &TMB::OnMBMasterEndOfEvent, this, [&](TMBStatus status) {
            good += status == TMBStatus::stOK;
            if (good == kReplies) mb1.MBClosePort();
        });
        QVERIFY(mb1.engine().MBOpenPort(windowLine.slavePath()));
        QTRY_VERIFY_WITH_TIMEOUT(!mb1.MBPortOpen(), 30000);
        const mb::MBDiscardCounts counts = mb1.engine().discardCounts();

        qInfo().noquote() << "\nkx4720r-cli monitor:" << summary
                          << "\nkx4720r-config, Rx tool tip:\n"
                          << MBPanel::discardText(counts);
        QVERIFY2(summary.endsWith(mb::discardSummaryText(counts)), qPrintable(summary));
        // Each fault under its own reason, once.
        QCOMPARE(counts.notDecodable, 1u);
        QCOMPARE(counts.lateReply, 1u);
        QCOMPARE(counts.foreignFrame, 1u);
        QCOMPARE(counts.badCrc, 1u);
        QCOMPARE(counts.characters(), 18u);
        QCOMPARE(counts.frames(), 4u);
    }
};

QTEST_MAIN(TestLinkCounts)
#include "tst_link_counts.moc"
