#include "DownloadFlow.h"

#include "DefaultVideoName.h"
#include "Interaction.h"
#include "PartialFiles.h"
#include "ResolutionAnswer.h"
#include "SaveFlow.h"
#include "SettingsKeys.h"
#include "TransferTexts.h"
#include "UpdateCheck.h"
#include "Version.h"
#include "VideoContainer.h"
#include "Windows1251.h"

#include <QDateTime>
#include <QDir>

namespace {

// The update server's version and the service's page of links are a few kilobytes: more is no answer of
// theirs, and must not fill the memory. The video goes to disk and has no such limit.
constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;

}  // namespace

DownloadFlow::DownloadFlow(const QString &programFolder, Interaction &dialogs, QObject *parent)
    : QObject(parent)
    , folders(ProgramFolders(programFolder))
    , dialogs(dialogs)
    , service(programFolder)
{
    dc.setConnectionSettingsProvider([this] { return settings.Network; });
    connect(&dc, &DC::DownOK, this, &DownloadFlow::DC_DownOK);
    connect(&dc, &DC::Redirected, this, &DownloadFlow::DC_Redirected);
    connect(&dc, &DC::DownError, this, &DownloadFlow::DC_DownError);
    connect(&dc, &DC::Msg, this, &DownloadFlow::Msg);
    connect(&dc, &DC::ServerLine, this, &DownloadFlow::ServerLine);
    connect(&dc, &DC::FLVsize, this, &DownloadFlow::FLVsize);
    connect(&dc, &DC::PercentOfLoad, this, &DownloadFlow::PercentOfLoad);
    connect(&service, &ResolverOnDemand::Starting, this,
            [this] { emit Msg(QStringLiteral("Запуск службы поиска видео")); });
}

void DownloadFlow::Load()
{
    // In the user's folders nothing is made before it is needed.
    if (folders.BesideProgram)
        QDir().mkpath(folders.DownloadFolder);
    ini.FileName(folders.SettingsFile);
    ini.MakeFolderOnWrite(!folders.BesideProgram);
    settings = LoadSettings(ini);
    hosts = ReadHosts(ini);
    RemoveLeftPartials(folders.DownloadFolder);
    const QString proposed = ProposedSaveFolder(settings.SavePath, folders.DownloadFolder);
    if (proposed != folders.DownloadFolder)
        RemoveLeftPartials(proposed);
}

void DownloadFlow::RememberPlayerWindow(const PlayerWindow &player)
{
    if (player == settings.Player)
        return;
    settings.Player = player;
    // A size that cannot be written is not worth a word: the window opens at its first size next time.
    SavePlayerWindow(ini, player);
}

void DownloadFlow::setDialogOwner(QWidget *owner)
{
    dialogOwner = owner;
}

void DownloadFlow::setPageAddressProvider(std::function<QString()> provider)
{
    pageAddressProvider = std::move(provider);
}

void DownloadFlow::Download()
{
    service.Prepare(hosts.Resolver, [this] { StartDownload(); });
}

void DownloadFlow::StartDownload()
{
    // Read afresh: the Options dialog or another run of the program may have changed them.
    const QString lastCheck = ReadSetting(ini, SettingsKeys::kLastCheck);
    const QString checkUpgrade = ReadSetting(ini, SettingsKeys::kCheckUpgrade);
    if (UpdateCheck::IsDue(lastCheck, checkUpgrade, ShortDateText()))
        StartUpdateCheck();
    else
        StartResolution();
}

void DownloadFlow::StartUpdateCheck()
{
    Fetch(DownloadStage::UpdateCheck, true, UpdateAddress(hosts));
}

void DownloadFlow::StartResolution()
{
    Fetch(DownloadStage::Resolution, false, ResolverAddress(hosts));
}

void DownloadFlow::Fetch(DownloadStage next, bool downloadMode, const QString &address)
{
    stage = next;
    const bool isVideo = next == DownloadStage::VideoDownload;
    if (isVideo && !OpenPartialFile())
        return;
    dc.setVideo(isVideo ? &video : nullptr);
    if (!downloadMode && pageAddressProvider)
        dc.setPageAddress(pageAddressProvider());
    dc.setMaxBodyBytes(isVideo ? ResponseReader::DefaultMaxBodyBytes() : kMaxAnswerBytes);
    dc.setMaxUndeclaredBodyBytes(isVideo ? -1 : kMaxAnswerBytes);
    dc.setURLmode(downloadMode);
    dc.setURL(address);
}

// A redirect on the way to the video keeps the file its download began with.
bool DownloadFlow::OpenPartialFile()
{
    if (video.File().IsOpen())
        return true;
    const QString folder = ProposedSaveFolder(settings.SavePath, folders.DownloadFolder);
    QDir().mkpath(folder);
    QString reason;
    if (::OpenPartialFile(video.File(), folder, QDateTime::currentDateTime(), &reason))
        return true;
    emit Msg(TransferTexts::VideoFileError(video.File().Path(), reason));
    emit Ended();
    return false;
}

void DownloadFlow::Stop()
{
    service.Cancel();
    dc.Stopped();
    video.File().Remove();
    emit Ended();
}

void DownloadFlow::OfferNewVersion(const QString &remote)
{
    const MessageButton answer =
        dialogs.ShowMessage(dialogOwner, UpdateCheck::OfferText(AppVersion(), remote), UpdateCheck::OfferTitle(),
                            MessageButton::Yes | MessageButton::No, MessageIcon::Question);
    if (answer == MessageButton::Yes) {
        Stop();
        dialogs.OpenAddress(WebSiteAddress(hosts));
        return;
    }
    StartResolution();
}

void DownloadFlow::DC_DownOK(const QByteArray &LData)
{
    // The control's own buffer: hold a share of it, since starting the next exchange empties the control.
    const QByteArray answer = LData;
    switch (stage) {
    case DownloadStage::UpdateCheck:
        return UpdateAnswered(answer);
    case DownloadStage::Resolution:
        return ResolutionAnswered(answer);
    case DownloadStage::Redirect:
        return Fetch(DownloadStage::VideoDownload, true, Windows1251::Decode(answer));
    case DownloadStage::VideoDownload:
        emit ServerLine(QString());
        return SaveVideo();
    }
}

void DownloadFlow::DC_Redirected(const QByteArray &address)
{
    // A version file that has moved (to https, to another server) is still the version file, never a video.
    // The transfer control counts the redirects of the chain and gives up after its limit, which ends the
    // check as any failed check ends.
    if (stage == DownloadStage::UpdateCheck)
        return Fetch(DownloadStage::UpdateCheck, true, Windows1251::Decode(address));
    // A redirect of the resolution or of the video leads to the video.
    stage = DownloadStage::Redirect;
    DC_DownOK(address);
}

void DownloadFlow::UpdateAnswered(const QByteArray &answer)
{
    const UpdateCheck::Verdict verdict = UpdateCheck::Judge(answer, AppVersion());
    if (verdict.VersionLike)
        WriteSetting(ini, SettingsKeys::kLastCheck, ShortDateText().toUtf8());
    if (verdict.Offer)
        OfferNewVersion(verdict.Remote);
    else
        StartResolution();
}

void DownloadFlow::ResolutionAnswered(const QByteArray &answer)
{
    const std::optional<QString> link = ResolutionAnswer::VideoLinkOf(answer);
    if (!link) {
        emit Ended();
        emit ServerLine(QStringLiteral("Ошибка! Не удалось найти видеопоток"));
        // The service says why it found nothing (no video on the page, no such host, ...): that is what
        // the user needs to do something about it.
        if (const QString reason = ResolutionAnswer::ReasonOf(answer); !reason.isEmpty())
            emit Msg(reason);
        return;
    }
    videoLink = *link;
    Fetch(DownloadStage::VideoDownload, true, videoLink);
}

void DownloadFlow::SaveVideo()
{
    const SaveContext context{dialogs,
                              dialogOwner,
                              ini,
                              settings.SavePath,
                              folders.DownloadFolder,
                              [this](qint64 done, qint64 total) { emit SaveProgress(done, total); }};
    saving = true;
    // Named by the time of the save, after what it is: pages serve MP4 and WebM at least as often as FLV.
    const QString name =
        DefaultVideoName(QDateTime::currentDateTime(), QLocale(), ExtensionOf(ContainerOfFile(video.File().Path())));
    const SavedVideo saved = ::SaveVideo(context, name, video.File().Path());
    saving = false;
    // Moved into place, or discarded by the user.
    if (saved.Saved) {
        video.File().Release();
        emit VideoSaved(saved.Path);
    } else {
        video.File().Remove();
    }
    emit Ended();
    emit Msg(saved.Saved ? QStringLiteral("Файл сохранен") : QStringLiteral("Файл не сохранен"));
}

void DownloadFlow::DC_DownError(const QString &text)
{
    // A failed update check says nothing: the download goes on, and the check is due again next time.
    if (stage == DownloadStage::UpdateCheck)
        return StartResolution();
    video.File().Remove();
    emit Msg(text);
    emit Ended();
}
