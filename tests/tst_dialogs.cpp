// The window's file dialog lists a folder without reading any file in it: a
// file that blocks its reader (/proc/kmsg) would freeze the window.
#include <QtTest>

#include <QFileSystemModel>

#include "widgets/dialogs.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void aFileDialogReadsNoFileItLists();
};

void TestDialogs::aFileDialogReadsNoFileItLists()
{
    QTemporaryDir folder;
    // Names that tell no type, contents that would, and a FIFO.
    const QStringList names = {QStringLiteral("readings"), QStringLiteral("notes.xyz")};
    for (const QString &name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0);
    }
    QVERIFY(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pipe"))), 0600) == 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(folder.path()), IN_OPEN | IN_ACCESS) >= 0);

    QWidget window;
    const auto dialog = makeFileDialog(&window, QString(), folder.path(), QString());
    dialog->show();
    // Listed with their icons and type names, and none opened for it.
    auto *model = dialog->findChild<QFileSystemModel *>();
    for (const QString &name : names)
        QTRY_VERIFY(!model->type(model->index(folder.filePath(name))).isEmpty());
    char events[4096];
    const ssize_t got = ::read(watch, events, sizeof events);
    // Events for the folder itself (its listing) carry no name; a file's would.
    for (ssize_t at = 0; at < got; at += ssize_t(sizeof(inotify_event))) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        QVERIFY2(event->len == 0, event->name);
    }
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
