#pragma once

#include <QString>

#include <functional>

class INI;
class Interaction;
class QWidget;

// The folder the save dialog proposes (SavePath): remembered here and in the settings file, by this alone.
class SaveFolder {
public:
    // defaultFolder: the default download folder, ending with "/", proposed while no remembered folder is there.
    SaveFolder(INI &ini, const QString &defaultFolder);

    // The folder the settings file held at start-up, ending with "/"; "" for none.
    void setRemembered(const QString &folder) { savePath = folder; }
    QString Remembered() const { return savePath; }
    // The folder the dialog proposes (see ProposedSaveFolder), made when it is the default one and missing.
    QString Proposed();
    // A video was written to path: its folder is proposed from now on, in this run and the next.
    void Remember(const QString &path);

private:
    INI &ini;
    QString defaultFolder;
    QString savePath;
};

// What the save flow works with.
struct SaveContext {
    Interaction &dialogs;
    // The window that owns the dialogs.
    QWidget *owner = nullptr;
    SaveFolder &folder;
    // How far a copy to another file system has got, reported on the window's thread.
    std::function<void(qint64 done, qint64 total)> progress = {};
};

struct SavedVideo {
    // False only when the user confirmed that the video is to be discarded.
    bool Saved = false;
    QString Path;
    // True when it went into its folder without a dialog.
    bool WithoutDialog = false;
};

// Asks where the video goes (proposing the proposed folder + name, offering the video's own kind first), asks
// before replacing a file, moves the downloaded file at partialPath there and onto the disk (synced and renamed on
// the same file system, otherwise copied; off the window's thread while its events go on) and remembers the
// folder (SaveFolder::Remember). A name typed without an extension gets the one of the video's kind. A
// cancelled dialog saves under the proposed name and says so. A move that fails is reported with the system's
// reason and the dialog opens again, until the video is in place or the user agrees to lose it; the partial file
// is left where it was unless it was moved.
SavedVideo SaveVideo(const SaveContext &context, const QString &name, const QString &partialPath);

// Saves the video without asking, for those who chose so: into folder (made when missing) under the first free name
// of name (TakeFreeName), moved there as SaveVideo moves it, never over a file that is there. Where that fails, the
// user is told why, and the save dialog takes over (SaveVideo), so that the video is not lost.
SavedVideo SaveVideoInFolder(const SaveContext &context, const QString &folder, const QString &name,
                             const QString &partialPath);

// The name a video saved without the dialog gets in folder: name itself, or name with " (2)", " (3)", ... before its
// extension, the first that nothing in the folder holds (a file, a folder, a link, even a broken one). The name is
// taken at once by an empty file made there, which no other program can have made meanwhile; the save puts the video
// in its place. The full path, or "" when no name could be taken (reason then says why).
QString TakeFreeName(const QString &folder, const QString &name, QString *reason);

// program folder + "/DownloadVideo/": where videos go until the user chooses another folder, when the program
// keeps its files beside itself (see Folders).
QString DefaultSaveFolder(const QString &programFolder);
// The folder the save dialog proposes, ending with "/": the remembered one while it is a folder, otherwise
// the default one. Downloads are written there while they arrive, so that most saves are a rename.
QString ProposedSaveFolder(const QString &savePath, const QString &defaultFolder);

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
