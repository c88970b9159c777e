// File dialogs that read no file's contents, and the window's font for dialogs.
#include "widgets/dialogs.h"

#include <QCoreApplication>

QIcon FileKindIcons::icon(const QFileInfo &info) const
{
    return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
}

QString FileKindIcons::type(const QFileInfo &info) const
{
    // The default provider's word for a file where it knows no MIME type;
    // its words for folders, drives and the rest come without one.
    if (info.isFile()) return QCoreApplication::translate("QAbstractFileIconProvider", "File");
    return QAbstractFileIconProvider::type(info);
}

std::unique_ptr<QFileDialog> makeFileDialog(QWidget *parent, const QString &title,
                                            const QString &startPath, const QString &filters)
{
    static FileKindIcons icons; // the dialogs' models hold it by pointer, for as long as they live
    auto dialog = std::make_unique<QFileDialog>(parent, title);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    // Custom folder icons come from a file inside each folder.
    dialog->setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dialog->setIconProvider(&icons);
    dialog->setNameFilter(filters);
    const QFileInfo start(startPath);
    if (start.isDir()) {
        dialog->setDirectory(startPath);
    } else {
        dialog->setDirectory(start.absolutePath());
        dialog->selectFile(start.fileName());
    }
    useWindowFont(dialog.get(), parent);
    return dialog;
}

void useWindowFont(QWidget *dialog, const QWidget *parent)
{
    if (parent) dialog->setFont(parent->window()->font());
}
