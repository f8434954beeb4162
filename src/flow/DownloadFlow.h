#pragma once

#include "DC.h"
#include "Folders.h"
#include "Hosts.h"
#include "INI.h"
#include "Parametr.h"
#include "ResolverOnDemand.h"
#include "VideoDownload.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class Interaction;
class QWidget;

// Which exchange the transfer control runs for a download, by the numbers the program has always used.
enum class DownloadStage : qint16 {
    UpdateCheck = 0,
    Resolution = 1,
    // Only while a redirect of the resolution or the video is being handled; the new address is then fetched as
    // a video download. The update check follows its own redirects.
    Redirect = 2,
    VideoDownload = 3,
};

// One download from the page address to the saved file, without any window: the daily update check, the
// resolution of the page address by the link-resolution service, the download of the video and its save. It
// owns the transfer control, the settings and their file; the main window shows what it reports, hands it the
// user's clicks and lends it its dialogs.
class DownloadFlow : public QObject {
    Q_OBJECT

public:
    // programFolder: the folder of the executable, without a trailing "/"; the settings file and the default
    // download folder are where ProgramFolders puts them. dialogs answers every question the flow asks (owned
    // by the window given to setDialogOwner) and must outlive the flow.
    DownloadFlow(const QString &programFolder, Interaction &dialogs, QObject *parent = nullptr);

    // The start-up steps that never keep the program from opening: the download folder beside the program is
    // made if it is missing, the settings file named and read, the servers' hosts taken from it.
    void Load();
    void setDialogOwner(QWidget *owner);
    // The page address to resolve, asked for when the resolution starts.
    void setPageAddressProvider(std::function<QString()> provider);

    // Runs the download once the window has turned busy: the program's own service is started when it is
    // needed and missing, then the update check runs first when it is due.
    void Download();
    void StartResolution();
    // Aborts the open exchange, deletes what of the video has arrived and ends the run.
    void Stop();
    // A video is on its way: from its download until it has been saved or discarded.
    bool VideoUnderWay() const { return video.File().IsOpen(); }
    // The bytes of the video received so far.
    qint64 VideoBytes() const { return video.File().Size(); }
    // The video is being moved into place.
    bool Saving() const { return saving; }
    // The file the video is written to while it arrives; "" while there is none.
    QString PartialPath() const { return video.File().IsOpen() ? video.File().Path() : QString(); }

    DownloadStage Stage() const { return stage; }
    // The video address the last resolution found; "" before the first one.
    QString VideoLink() const { return videoLink; }
    const Settings &CurrentSettings() const { return settings; }
    // Settings the Options dialog has saved; they take effect at the next transfer.
    void AdoptSettings(const Settings &saved) { settings = saved; }
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
    // The video has been written to path.
    void VideoSaved(const QString &path);
    // A copy of the video to another file system has got this far.
    void SaveProgress(qint64 done, qint64 total);

private:
    void StartDownload();
    void StartUpdateCheck();
    void Fetch(DownloadStage next, bool downloadMode, const QString &address);
    void OfferNewVersion(const QString &remote);
    bool OpenPartialFile();
    void SaveVideo();

    void DC_DownOK(const QByteArray &LData);
    void DC_Redirected(const QByteArray &address);
    void DC_DownError(const QString &text);
    void UpdateAnswered(const QByteArray &answer);
    void ResolutionAnswered(const QByteArray &answer);

    Folders folders;
    Interaction &dialogs;
    QWidget *dialogOwner = nullptr;
    INI ini;
    Settings settings;
    Hosts hosts;
    DC dc;
    ResolverOnDemand service;
    std::function<QString()> pageAddressProvider;
    // The video's download, with the file it arrives in.
    VideoDownload video;
    bool saving = false;
    DownloadStage stage = DownloadStage::UpdateCheck;
    QString videoLink;
};
