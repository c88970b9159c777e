// The window's dialogs: a file dialog lists a folder without reading any file
// in it (a file that blocks its reader would freeze the window), and every
// dialog speaks in the window's font.
#include <QtTest>

#include <QFileSystemModel>
#include <QMessageBox>

#include "app/window_dialogs.h"
#include "widgets/dialogs.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void aFileDialogReadsNoFileItLists();
    void dialogsSpeakInTheWindowsFont();
};

void TestDialogs::aFileDialogReadsNoFileItLists()
{
    QTemporaryDir folder;
    // Names that tell no type, and contents that would.
    const QList<QPair<QString, QByteArray>> files = {{QStringLiteral("readings"), "\x89PNG\r\n"},
                                                     {QStringLiteral("notes.xyz"), "%PDF-1.4\n"},
                                                     {QStringLiteral("line3.kx4720r.json"), "{}"}};
    for (const auto &[name, content] : files) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QVERIFY(::mkfifo(QFile::encodeName(folder.filePath(QStringLiteral("pipe"))), 0600) == 0);
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(watch >= 0);
    const auto closeWatch = qScopeGuard([watch] { ::close(watch); });
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(folder.path()), IN_OPEN | IN_ACCESS) >= 0);

    QWidget window;
    const auto dialog = makeFileDialog(&window, QStringLiteral("Open"), folder.path(),
                                       QStringLiteral("All files (*)"));
    dialog->setViewMode(QFileDialog::Detail);
    dialog->show();
    // Listed with their icons and type names.
    auto *model = dialog->findChild<QFileSystemModel *>();
    QVERIFY(model);
    for (const auto &[name, content] : files)
        QTRY_VERIFY(!model->type(model->index(folder.filePath(name))).isEmpty());

    char events[4096];
    const ssize_t got = ::read(watch, events, sizeof events);
    QStringList opened;
    for (ssize_t at = 0; at < got;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        if (event->len) opened << QString::fromLocal8Bit(event->name);
        at += ssize_t(sizeof(inotify_event) + event->len);
    }
    QCOMPARE(opened, QStringList());
}

void TestDialogs::dialogsSpeakInTheWindowsFont()
{
    QWidget window;
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    window.setFont(font);
    const auto dialog = makeFileDialog(&window, QString(), QString(), QString());
    QCOMPARE(dialog->font(), window.font());

    showWarningBox(&window, QStringLiteral("Title"), QStringLiteral("Text"));
    QMessageBox *box = window.findChild<QMessageBox *>();
    QVERIFY(box);
    QCOMPARE(box->font(), window.font());
    for (const QWidget *part : box->findChildren<QWidget *>())
        QCOMPARE(part->font(), window.font());
    box->close();
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
