// Ports the user may not open: the probe leaves them out of the list as
// before but reports them, and the link panel tells why in the tool tips of
// the port list and the Refresh button until a probe refuses nothing.
#include "panel/mb.h"
#include "ports/portprobe.h"
#include "serial/serialdevice_posix.h"
#include "support/ptypair.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QTemporaryFile>
#include <QtTest>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kStartUpWait = 5000;

// The real exclusive opening, except for the ports named in refused, which
// fail as they do for a user outside the port's group. Root passes every
// permission check, so only this makes the refusal testable everywhere.
struct RefusingOpener {
    QSet<QString> refused;

    SerialStatus operator()(const QString &port) const
    {
        if (refused.contains(port)) return posixError(EACCES);
        return tryOpenExclusively(port);
    }
};

// The group to join: the node's, when that group may read and write it.
QString groupOf(const QString &path)
{
    const QFileInfo info(path);
    const auto readWrite = QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    return info.groupId() == 0 || (info.permissions() & readWrite) != readWrite ? QString()
                                                                                : info.group();
}

QStringList listed(const MBPanel &panel)
{
    QStringList ports;
    for (int i = 0; i < panel.portList()->count(); ++i)
        ports << panel.portList()->item(i)->text();
    return ports;
}

} // namespace

class TestPortPermission : public QObject {
    Q_OBJECT

private slots:
    void refusedPortsAreReportedAndLeftOut()
    {
        const QString fine = QStringLiteral("/kx/fine");
        const QString busy = QStringLiteral("/kx/busy");
        const QString locked = QStringLiteral("/kx/locked");
        const QString forbidden = QStringLiteral("/kx/forbidden");
        const QString missing = QStringLiteral("/kx/missing");
        QStringList tried;
        const auto fake = [&](const QString &port) {
            tried << port;
            if (port == busy) return posixError(EBUSY);
            if (port == locked) return posixError(EACCES);
            if (port == forbidden) return posixError(EPERM);
            if (port == missing) return posixError(ENOENT);
            return SerialStatus::success();
        };
        const PortProbe probe = probePorts({locked, fine, busy, forbidden, missing, locked}, fake);
        QCOMPARE(probe.available, QStringList{fine});
        // No device node behind these names, so no group to name.
        QCOMPARE(probe.noPermission,
                 (QList<PortRefusal>{{locked, EACCES, {}}, {forbidden, EPERM, {}}}));
        // A candidate named twice is tried once.
        QCOMPARE(tried, (QStringList{locked, fine, busy, forbidden, missing}));
    }

    void refusalNamesTheGroupOfTheDeviceNode()
    {
        PtyPair pty;
        const PortProbe probe = probePorts({pty.slavePath()}, RefusingOpener{{pty.slavePath()}});
        QVERIFY(probe.available.isEmpty());
        QCOMPARE(probe.noPermission.size(), 1);
        QCOMPARE(probe.noPermission[0].port, pty.slavePath());
        QCOMPARE(probe.noPermission[0].error, EACCES);
        QCOMPARE(probe.noPermission[0].group, groupOf(pty.slavePath()));
    }

    void unreadableFileIsRefusedByTheRealOpening()
    {
        if (::geteuid() == 0) QSKIP("permission bits do not bind root");
        QTemporaryFile file;
        QVERIFY(file.open());
        file.close();
        QVERIFY(::chmod(file.fileName().toLocal8Bit().constData(), 0) == 0);
        const PortProbe probe = probePorts({file.fileName()}, tryOpenExclusively);
        QVERIFY(probe.available.isEmpty());
        QCOMPARE(probe.noPermission,
                 (QList<PortRefusal>{{file.fileName(), EACCES, groupOf(file.fileName())}}));
    }

    void hintNamesThePortsAndTheGroup()
    {
        const QString usb0 = QStringLiteral("/dev/ttyUSB0");
        const QString acm0 = QStringLiteral("/dev/ttyACM0");
        QVERIFY(MBPanel::permissionHint({}).isEmpty());
        QCOMPARE(MBPanel::permissionHint({{usb0, EACCES, QStringLiteral("dialout")}}),
                 QStringLiteral("No permission to open /dev/ttyUSB0. Add the user to the dialout "
                                "group, then log in again."));
        // No group may open it: joining one would not help.
        QCOMPARE(MBPanel::permissionHint({{usb0, EACCES, {}}}),
                 QStringLiteral("No permission to open /dev/ttyUSB0. No group may open "
                                "/dev/ttyUSB0: an administrator must first give it to a group "
                                "such as dialout (a udev rule), which the user then joins."));
        QCOMPARE(MBPanel::permissionHint({{usb0, EACCES, QStringLiteral("dialout")},
                                          {acm0, EPERM, QStringLiteral("dialout")}}),
                 QStringLiteral("No permission to open /dev/ttyUSB0, /dev/ttyACM0. Add the user "
                                "to the dialout group, then log in again."));
        QCOMPARE(MBPanel::permissionHint(
                     {{usb0, EACCES, QStringLiteral("dialout")}, {acm0, EACCES, {}}}),
                 QStringLiteral("No permission to open /dev/ttyUSB0, /dev/ttyACM0. Add the user "
                                "to the dialout group, then log in again. No group may open "
                                "/dev/ttyACM0: an administrator must first give it to a group "
                                "such as dialout (a udev rule), which the user then joins."));
        QCOMPARE(MBPanel::permissionHint({{usb0, EACCES, QStringLiteral("dialout")},
                                          {acm0, EACCES, QStringLiteral("uucp")}}),
                 QStringLiteral("No permission to open /dev/ttyUSB0, /dev/ttyACM0. Add the user "
                                "to the groups that own the ports (dialout, uucp), then log in "
                                "again."));
    }

    void panelShowsWhyUntilACleanProbe()
    {
        PtyPair refused, free, held;
        MBEngine holder;
        QVERIFY(holder.MBOpenPort(held.slavePath()));

        TMB mb;
        RefusingOpener opener{{refused.slavePath()}};
        mb.engine().setPortCandidateSource([&] {
            return QStringList{refused.slavePath(), free.slavePath(), held.slavePath()};
        });
        mb.engine().setPortTryOpen([&](const QString &port) { return opener(port); });
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(p.refreshButton()->isEnabled(), kStartUpWait);

        // The list is what it always was: only the port that opened.
        QCOMPARE(listed(p), QStringList{free.slavePath()});
        QVERIFY(p.openCloseButton()->isEnabled());
        const QString hint = p.portList()->toolTip();
        QVERIFY2(hint.startsWith(QStringLiteral("No permission to open ") + refused.slavePath() +
                                 QStringLiteral(". ")),
                 qPrintable(hint));
        QVERIFY2(hint.endsWith(QStringLiteral(", then log in again.")) ||
                     hint.endsWith(QStringLiteral(", which the user then joins.")),
                 qPrintable(hint));
        // The held port is none of the user's business.
        QVERIFY(!hint.contains(held.slavePath()));
        QCOMPARE(p.refreshButton()->toolTip(), hint);
        QCOMPARE(hint, MBPanel::permissionHint(mb.engine().portsWithoutPermission()));
        // Not a port failure: the lamp and the button stay without a reason.
        QVERIFY(p.portLamp()->toolTip().isEmpty());
        QVERIFY(p.openCloseButton()->toolTip().isEmpty());

        // The user joined the group: the next probe lists the port and clears
        // the hint.
        opener.refused.clear();
        p.refreshButton()->click();
        QCOMPARE(listed(p), (QStringList{free.slavePath(), refused.slavePath()}));
        QVERIFY(p.portList()->toolTip().isEmpty());
        QVERIFY(p.refreshButton()->toolTip().isEmpty());
    }

    void heldPortGivesNoHint()
    {
        PtyPair held;
        MBEngine holder;
        QVERIFY(holder.MBOpenPort(held.slavePath()));
        TMB mb;
        mb.engine().setPortCandidateSource([&] { return QStringList{held.slavePath()}; });
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(p.refreshButton()->isEnabled(), kStartUpWait);
        QVERIFY(listed(p).isEmpty());
        QVERIFY(!p.openCloseButton()->isEnabled());
        QVERIFY(mb.engine().portsWithoutPermission().isEmpty());
        QVERIFY(p.portList()->toolTip().isEmpty());
        QVERIFY(p.refreshButton()->toolTip().isEmpty());
    }
};

QTEST_MAIN(TestPortPermission)
#include "tst_port_permission.moc"
