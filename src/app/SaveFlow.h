#pragma once

#include <QByteArray>
#include <QString>

class INI;
class Interaction;
class QWidget;

// What the save flow works with.
struct SaveContext {
    Interaction &dialogs;
    // The window that owns the dialogs.
    QWidget *owner = nullptr;
    INI &ini;
    // The folder the dialog proposes, ending with "/"; the save sets it to the folder written to.
    QString &SavePath;
    // The default download folder, ending with "/": proposed while SavePath names no folder, and made then.
    QString defaultFolder;
};

struct SavedVideo {
    // False only when the user confirmed that the video is to be discarded.
    bool Saved = false;
    QString Path;
};

// Asks where the video goes (proposing SavePath + name, offering the video's own kind first), asks before
// replacing a file, writes the bytes and remembers the folder in SavePath and the settings file. A name typed
// without an extension gets the one of the video's kind. A cancelled dialog saves under the proposed
// name and says so. A write that fails is reported with the system's reason and the dialog opens again,
// until the video is on disk or the user agrees to lose it.
SavedVideo SaveVideo(const SaveContext &context, const QString &name, const QByteArray &video);

// program folder + "/DownloadVideo/": where videos go until the user chooses another folder, when the program
// keeps its files beside itself (see Folders).
QString DefaultSaveFolder(const QString &programFolder);

// The texts of the save flow's dialogs.
namespace SaveTexts {
QString DialogTitle();
QString ReplaceTitle();
QString ReplaceText();
QString NoticeTitle();
QString NoticeText(const QString &path);
QString FailureTitle();
QString FailureText(const QString &path, const QString &reason);
QString DiscardTitle();
QString DiscardText();
}  // namespace SaveTexts
