#pragma once

#include "DC.h"
#include "Folders.h"
#include "Hosts.h"
#include "INI.h"
#include "Parametr.h"
#include "ResolutionAnswer.h"
#include "ResolverOnDemand.h"
#include "SaveFlow.h"
#include "VideoDownload.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class Interaction;
class QWidget;

// Which exchange the transfer control runs for a download, by the numbers the program has always used. The flow
// says so for those who look; what follows an exchange is written where it begins.
enum class DownloadStage : qint16 {
    UpdateCheck = 0,
    Resolution = 1,
    // The number of a redirect being reported; a redirect of the resolution or the video is fetched as the video,
    // the update check follows its own redirects.
    Redirect = 2,
    VideoDownload = 3,
};

// One download from the page address to the saved file, without any window: the daily update check, the
// resolution of the page address by the link-resolution service, the download of the video and its save, in
// that order. It owns the transfer control, the video's download (with the partial file), the settings it uses
// and their file; the main window shows what it reports, hands it the user's clicks and lends it its dialogs.
class DownloadFlow : public QObject {
    Q_OBJECT

public:
    // programFolder: the folder of the executable, without a trailing "/"; the settings file and the default
    // download folder are where ProgramFolders puts them. dialogs answers every question the flow asks (owned
    // by the window given to setDialogOwner) and must outlive the flow.
    DownloadFlow(const QString &programFolder, Interaction &dialogs, QObject *parent = nullptr);
    ~DownloadFlow() override;

    // The start-up steps that never keep the program from opening: the download folder beside the program is
    // made if it is missing, the settings file named and read, the servers' hosts taken from it.
    void Load();
    void setDialogOwner(QWidget *owner);

    // Runs the download of the video on the page at pageAddress once the window has turned busy: the program's
    // own service is started when it is needed and missing, then the update check runs first when it is due.
    void Download(const QString &pageAddress);
    // The resolution of the page address, and what follows it.
    void StartResolution();
    // Takes the answer's choice of that index (as ChoicesOffered counted them) instead of the one arriving: what
    // of that one has arrived is deleted and the other's download begins. Nothing while no video arrives, or for
    // the choice already taken; whether another video's download began.
    bool TakeChoice(int index);
    // Aborts the open exchange, deletes what of the video has arrived and ends the run. Called on the user's word
    // (a click, a closing window, the new version's page chosen), never from inside the video's own reports or
    // its save: the video's download goes at once.
    void Stop();

    // A video is on its way: from its download until it has been saved or discarded.
    bool VideoUnderWay() const { return video != nullptr; }
    // The video is arriving: its download runs.
    bool VideoArriving() const { return video && !saving; }
    // The bytes of the video received so far.
    qint64 VideoBytes() const { return video ? video->File().Size() : 0; }
    // The video has arrived and is being saved: from the end of its download until it is in place or discarded.
    bool Saving() const { return saving; }
    // The file the video is written to while it arrives; "" while there is none.
    QString PartialPath() const { return video ? video->File().Path() : QString(); }

    DownloadStage Stage() const { return stage; }
    // The video address the last resolution found; "" before the first one.
    QString VideoLink() const { return videoLink; }

    // The settings the flow works with: how to reach servers (the Options dialog's to change; they take effect
    // at the next transfer), where the save dialog opens, and the player's window.
    const ConnectionSettings &Network() const { return network; }
    void AdoptNetwork(const ConnectionSettings &saved) { network = saved; }
    QString SavePath() const { return saveFolder.Remembered(); }
    // Saving without the dialog, as the Options dialog left it; it takes effect at the next download.
    void AdoptDirectSave(const DirectSave &saved) { direct = saved; }
    // The folder videos go to without the dialog, ending with "/".
    QString DirectFolder() const;
    // The default download folder, ending with "/".
    QString DownloadFolder() const { return folders.DownloadFolder; }
    const PlayerWindow &Player() const { return player; }
    // The player's window as the user left it, kept in the settings file for the next time.
    void RememberPlayerWindow(const PlayerWindow &player);
    INI &Store() { return ini; }
    const Hosts &ServerHosts() const { return hosts; }
    DC &Transfer() { return dc; }

signals:
    // What the window shows: the status line, the server line, the declared size and the percentage. The
    // transfer control's own reports come through unchanged, the flow's texts on the same lines.
    void Msg(const QString &text);
    void ServerLine(const QString &text);
    void FLVsize(qint64 Size);
    void PercentOfLoad(int Perc);
    // The run has ended; the window turns idle.
    void Ended();
    // The video has arrived whole; its save follows.
    void Arrived();
    // The video has been written to path.
    void VideoSaved(const QString &path);
    // The run has ended without a video, for this reason: the service's, or the transfer's (a stop is no failure).
    void Failed(const QString &reason);
    // A copy of the video to another file system has got this far.
    void SaveProgress(qint64 done, qint64 total);
    // The answer offers several forms of the video: what each is, in the answer's order, and the one the
    // quality preference took, whose download has begun.
    void ChoicesOffered(const QStringList &texts, int taken);

private:
    // What follows the exchange under way, written where it begins.
    struct Then {
        std::function<void(const QByteArray &answer)> answered;
        std::function<void(const QString &address)> redirected;
        std::function<void(const QString &error)> failed;
    };
    void Fetch(DownloadStage next, const QString &address, Then then);
    void CheckForUpdate();
    void FetchVersion(const QString &address);
    void VersionAnswered(const QByteArray &answer);
    void ResolutionAnswered(const QByteArray &answer);
    void DownloadVideo(const QString &address);
    bool OpenVideo();
    // Where the video is written while it arrives: the folder it is saved to, so that most saves are a rename.
    QString PartialFolder() const;
    void VideoArrived();
    void SaveVideo();
    // What of the video has arrived is deleted, and its download goes.
    void DropVideo();
    void EndWith(const QString &text);

    Folders folders;
    Interaction &dialogs;
    QWidget *dialogOwner = nullptr;
    INI ini;
    ConnectionSettings network;
    SaveFolder saveFolder;
    DirectSave direct;
    PlayerWindow player;
    Hosts hosts;
    DC dc;
    ResolverOnDemand service;
    DownloadStage stage = DownloadStage::UpdateCheck;
    QString pageAddress;
    QString videoLink;
    // What the last resolution offered, and which of its choices is downloaded.
    ResolutionAnswer::Offer offer;
    int taken = -1;
    Then then;
    // The video's download, which owns the partial file, from the resolution's link until it is saved or dropped.
    std::unique_ptr<VideoDownload> video;
    bool saving = false;
};
