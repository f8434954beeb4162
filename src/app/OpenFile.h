#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QWidget;

// The open and save file dialogs behind one routine. It decides nothing about files: whether a file
// exists, and whether to replace it, is for the caller to ask.
namespace OpenFile {

// The longest text the dialog's buffer holds, its ending included; a path may be one shorter.
constexpr int kBufferChars = 511;

// mode 1: the open dialog, mode 2: the save dialog; any other mode shows nothing. filter holds
// description and pattern pairs joined by NUL or "|". Returns the chosen path, or "" when the user cancels.
// With flags 0 neither dialog asks anything about existing or missing files and no extension is added.
QString ShowFileDialog(QWidget *owner, qint16 mode, const QString &filter, const QString &folder, const QString &title,
                       quint32 flags, const QString &fileName);

// The folder dialog, opened at folder: the chosen folder, or "" when the user cancels.
QString ShowFolderDialog(QWidget *owner, const QString &folder, const QString &title);

// The dialog's name filters for a filter text of NUL- or "|"-joined pairs.
QStringList NameFilters(const QString &filter);

// What the dialog gives back for a path the user confirmed: the path, or "" when it does not fit.
QString ConfirmedPath(const QString &path);

}  // namespace OpenFile
