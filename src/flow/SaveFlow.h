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
};

// Asks where the video goes (proposing the proposed folder + name, offering the video's own kind first), asks
// before replacing a file, moves the downloaded file at partialPath there and onto the disk (synced and renamed on
// the same file system, otherwise copied; off the window's thread while its events go on) and remembers the
// folder (SaveFolder::Remember). A name typed without an extension gets the one of the video's kind. A
// cancelled dialog saves under the proposed name and says so. A move that fails is reported with the system's
// reason and the dialog opens again, until the video is in place or the user agrees to lose it; the partial file
// is left where it was unless it was moved.
SavedVideo SaveVideo(const SaveContext &context, const QString &name, const QString &partialPath);

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
