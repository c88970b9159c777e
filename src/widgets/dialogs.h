// The dialogs the window opens over itself: Qt's own file dialog, set up so
// that listing a folder never reads the files in it, and the window's font for
// every dialog.
//
// Qt's file dialog asks its icon provider for each file's icon and type
// name, and the default provider finds them from the file's MIME type, which
// it reads from the file's first bytes when the name does not tell. A file
// that blocks a reader (/proc/kmsg, listed as a regular file) then stops the
// dialog, and with it the window and its exchange with the instrument. Our
// provider goes by the kind of file and its name alone.
#pragma once

#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QString>

#include <memory>

class FileKindIcons : public QAbstractFileIconProvider {
public:
    using QAbstractFileIconProvider::icon;
    QIcon icon(const QFileInfo &info) const override;
    QString type(const QFileInfo &info) const override;
};

// A file dialog over `parent`'s window, in its font, that reads no file's
// contents; not yet shown. The native dialog is never used: it is not ours to
// keep from reading files, nor to translate with the window.
std::unique_ptr<QFileDialog> makeFileDialog(QWidget *parent, const QString &title,
                                            const QString &startPath, const QString &filters);

// Gives a dialog its parent window's font: a window does not take its
// parent's font by itself.
void useWindowFont(QWidget *dialog, const QWidget *parent);
