#include "DownloadFlow.h"

#include "DefaultVideoName.h"
#include "Interaction.h"
#include "Parametr.h"
#include "PartialFiles.h"
#include "QualityChoice.h"
#include "ResolutionAnswer.h"
#include "SettingsKeys.h"
#include "TransferTexts.h"
#include "UpdateCheck.h"
#include "Version.h"
#include "VideoContainer.h"
#include "VideoQuality.h"
#include "Windows1251.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <utility>

namespace {

// The update server's version and the service's page of links are a few kilobytes: more is no answer of
// theirs, and must not fill the memory. The video goes to disk and has no such limit.
constexpr qint64 kMaxAnswerBytes = 16 * 1024 * 1024;

}  // namespace

DownloadFlow::DownloadFlow(const QString &programFolder, Interaction &dialogs, QObject *parent)
    : QObject(parent)
    , folders(ProgramFolders(programFolder))
    , dialogs(dialogs)
    , saveFolder(ini, folders.DownloadFolder)
    , service(programFolder)
{
    dc.setConnectionSettingsProvider([this] { return network; });
    // Each end of an exchange goes to what its beginning said follows it; the control has raised its last word
    // of that exchange by then, and a continuation may start the next one at once.
    connect(&dc, &DC::DownOK, this, [this](const QByteArray &LData) { std::exchange(then, {}).answered(LData); });
    connect(&dc, &DC::Redirected, this, [this](const QByteArray &address) {
        stage = DownloadStage::Redirect;
        std::exchange(then, {}).redirected(Windows1251::Decode(address));
    });
    connect(&dc, &DC::DownError, this, [this](const QString &text) { std::exchange(then, {}).failed(text); });
    connect(&dc, &DC::Msg, this, &DownloadFlow::Msg);
    connect(&dc, &DC::ServerLine, this, &DownloadFlow::ServerLine);
    connect(&dc, &DC::FLVsize, this, &DownloadFlow::FLVsize);
    connect(&dc, &DC::PercentOfLoad, this, &DownloadFlow::PercentOfLoad);
    connect(&service, &ResolverOnDemand::Starting, this,
            [this] { emit Msg(QStringLiteral("Запуск службы поиска видео")); });
}

DownloadFlow::~DownloadFlow() = default;

void DownloadFlow::Load()
{
    // In the user's folders nothing is made before it is needed.
    if (folders.BesideProgram)
        QDir().mkpath(folders.DownloadFolder);
    ini.FileName(folders.SettingsFile);
    ini.MakeFolderOnWrite(!folders.BesideProgram);
    // CheckUpgrade is not kept: the download reads it from the file each time.
    const Settings loaded = LoadSettings(ini);
    network = loaded.Network;
    dc.setMaxConnections(loaded.MaxConnections);
    saveFolder.setRemembered(loaded.SavePath);
    direct = loaded.Direct;
    player = loaded.Player;
    hosts = ReadHosts(ini);
    QStringList partialFolders{folders.DownloadFolder, ProposedSaveFolder(loaded.SavePath, folders.DownloadFolder)};
    if (direct.On)
        partialFolders.append(DirectFolder());
    partialFolders.removeDuplicates();
    for (const QString &folder : std::as_const(partialFolders))
        RemoveLeftPartials(folder);
}

QString DownloadFlow::DirectFolder() const
{
    return direct.Folder.isEmpty() ? folders.DownloadFolder : direct.Folder;
}

void DownloadFlow::RememberPlayerWindow(const PlayerWindow &window)
{
    if (window == player)
        return;
    player = window;
    // A size that cannot be written is not worth a word: the window opens at its first size next time.
    SavePlayerWindow(ini, window);
}

void DownloadFlow::setDialogOwner(QWidget *owner)
{
    dialogOwner = owner;
}

// One exchange of the run: the control set for it, and what follows its end.
void DownloadFlow::Fetch(DownloadStage next, const QString &address, Then followedBy)
{
    stage = next;
    then = std::move(followedBy);
    const bool isVideo = next == DownloadStage::VideoDownload;
    dc.setVideo(isVideo ? video.get() : nullptr);
    dc.setMaxBodyBytes(isVideo ? ResponseReader::DefaultMaxBodyBytes() : kMaxAnswerBytes);
    dc.setMaxUndeclaredBodyBytes(isVideo ? -1 : kMaxAnswerBytes);
    dc.setURLmode(next != DownloadStage::Resolution);
    dc.setURL(address);
}

void DownloadFlow::Download(const QString &page)
{
    pageAddress = page;
    // A resolution that redirects straight to the video offers nothing of its own.
    offer = {};
    taken = -1;
    service.Prepare(hosts.Resolver, [this] { CheckForUpdate(); });
}

// 1. The daily update check, when it is due; the resolution follows it, whatever it found, unless the user
// goes to the web site instead.
void DownloadFlow::CheckForUpdate()
{
    // Read afresh: the Options dialog or another run of the program may have changed them.
    const QString lastCheck = ReadSetting(ini, SettingsKeys::kLastCheck);
    const QString checkUpgrade = ReadSetting(ini, SettingsKeys::kCheckUpgrade);
    if (!UpdateCheck::IsDue(lastCheck, checkUpgrade, ShortDateText()))
        return StartResolution();
    FetchVersion(UpdateAddress(hosts));
}

void DownloadFlow::FetchVersion(const QString &address)
{
    Fetch(DownloadStage::UpdateCheck, address,
          {[this](const QByteArray &answer) { VersionAnswered(answer); },
           // A version file that has moved (to https, to another server) is still the version file, never a
           // video. The control gives up after its limit of redirects, which ends the check as a failure.
           [this](const QString &moved) { FetchVersion(moved); },
           // A failed check says nothing: the download goes on, and the check is due again next time.
           [this](const QString &) { StartResolution(); }});
}

void DownloadFlow::VersionAnswered(const QByteArray &answer)
{
    const UpdateCheck::Verdict verdict = UpdateCheck::Judge(answer, AppVersion());
    if (verdict.VersionLike)
        WriteSetting(ini, SettingsKeys::kLastCheck, ShortDateText().toUtf8());
    if (!verdict.Offer)
        return StartResolution();
    const MessageButton answered =
        dialogs.ShowMessage(dialogOwner, UpdateCheck::OfferText(AppVersion(), verdict.Remote),
                            UpdateCheck::OfferTitle(), MessageButton::Yes | MessageButton::No, MessageIcon::Question);
    if (answered != MessageButton::Yes)
        return StartResolution();
    Stop();
    dialogs.OpenAddress(WebSiteAddress(hosts));
}

// 2. The resolution of the page address by the link-resolution service.
void DownloadFlow::StartResolution()
{
    dc.setPageAddress(pageAddress);
    Fetch(DownloadStage::Resolution, ResolverAddress(hosts),
          {[this](const QByteArray &answer) { ResolutionAnswered(answer); },
           // A redirect of the resolution leads to the video.
           [this](const QString &moved) { DownloadVideo(moved); }, [this](const QString &error) { EndWith(error); }});
}

void DownloadFlow::ResolutionAnswered(const QByteArray &answer)
{
    std::optional<ResolutionAnswer::Offer> found = ResolutionAnswer::OfferOf(answer);
    if (!found) {
        emit Ended();
        const QString failure = QStringLiteral("Ошибка! Не удалось найти видеопоток");
        emit ServerLine(failure);
        // The service says why it found nothing (no video on the page, no such host, ...): that is what
        // the user needs to do something about it.
        const QString reason = ResolutionAnswer::ReasonOf(answer);
        if (!reason.isEmpty())
            emit Msg(reason);
        emit Failed(reason.isEmpty() ? failure : reason);
        return;
    }
    offer = std::move(*found);
    // Read afresh, as the Options dialog may have changed it since the last run.
    taken = int(PickChoice(offer.Choices, ReadVideoQuality(ReadSetting(ini, SettingsKeys::kVideoQuality))));
    videoLink = offer.Choices.at(taken).Link;
    DownloadVideo(videoLink);
    // Offered once the video arrives, as another can be taken only then.
    if (VideoArriving() && offer.Choices.size() > 1) {
        QStringList texts;
        for (qsizetype i = 0; i < offer.Choices.size(); ++i)
            texts << ChoiceText(offer.Choices.at(i), i + 1);
        emit ChoicesOffered(texts, taken);
    }
}

bool DownloadFlow::TakeChoice(int index)
{
    if (!VideoArriving() || index == taken || index < 0 || index >= offer.Choices.size())
        return false;
    {
        // The control's words of a stop are left unsaid: the download goes on, with another video.
        const QSignalBlocker quiet(dc);
        dc.Stopped();
    }
    then = {};
    DropVideo();
    emit FLVsize(0);
    emit PercentOfLoad(0);
    taken = index;
    videoLink = offer.Choices.at(taken).Link;
    DownloadVideo(videoLink);
    return true;
}

// 3. The video, into its partial file; a redirect on the way keeps the file its download began with.
void DownloadFlow::DownloadVideo(const QString &address)
{
    if (!video && !OpenVideo())
        return;
    Fetch(DownloadStage::VideoDownload, address,
          {[this](const QByteArray &) { VideoArrived(); }, [this](const QString &moved) { DownloadVideo(moved); },
           [this](const QString &error) {
               DropVideo();
               EndWith(error);
           }});
}

QString DownloadFlow::PartialFolder() const
{
    // A folder chosen for saving without the dialog that cannot be made (a stick that is not there) still lets the
    // download run: its save then tells why, and asks where.
    if (direct.On && QDir().mkpath(DirectFolder()))
        return DirectFolder();
    const QString folder = ProposedSaveFolder(saveFolder.Remembered(), folders.DownloadFolder);
    QDir().mkpath(folder);
    return folder;
}

bool DownloadFlow::OpenVideo()
{
    const QString folder = PartialFolder();
    auto opened = std::make_unique<VideoDownload>();
    QString reason;
    if (::OpenPartialFile(opened->File(), folder, QDateTime::currentDateTime(), &reason)) {
        video = std::move(opened);
        return true;
    }
    EndWith(TransferTexts::VideoFileError(opened->File().Path(), reason));
    return false;
}

// 4. The save, once the control's report of the video has returned: it asks the user and waits for the disk,
// which no report of the control should be kept waiting by. A stop before it starts takes the video, and the
// save with it.
void DownloadFlow::VideoArrived()
{
    saving = true;
    emit ServerLine(QString());
    emit Arrived();
    QMetaObject::invokeMethod(
        video.get(), [this] { SaveVideo(); }, Qt::QueuedConnection);
}

void DownloadFlow::SaveVideo()
{
    const SaveContext context{dialogs, dialogOwner, saveFolder,
                              [this](qint64 done, qint64 total) { emit SaveProgress(done, total); }};
    const QString partialPath = video->File().Path();
    // Named by its title, or by the time of the save; with the extension of what it is, as pages serve MP4 and
    // WebM at least as often as FLV. Both ways of saving take this one name.
    const QString name = ProposedVideoName(offer.Title, ReadFlag(ReadSetting(ini, SettingsKeys::kDateTimeNames)),
                                           ExtensionOf(ContainerOfFile(partialPath)));
    const SavedVideo saved = direct.On ? SaveVideoInFolder(context, DirectFolder(), name, partialPath)
                                       : ::SaveVideo(context, name, partialPath);
    // Moved into place, or discarded by the user. The save runs in the video's own call: it goes once that
    // has returned.
    if (saved.Saved)
        video->File().Release();
    else
        video->File().Remove();
    video.release()->deleteLater();
    saving = false;
    if (saved.Saved)
        emit VideoSaved(saved.Path);
    emit Ended();
    if (!saved.Saved)
        emit Msg(QStringLiteral("Файл не сохранен"));
    // Nobody chose the name: the user is told it.
    else if (saved.WithoutDialog)
        emit Msg(QStringLiteral("Файл сохранен: ") + QFileInfo(saved.Path).fileName());
    else
        emit Msg(QStringLiteral("Файл сохранен"));
}

void DownloadFlow::Stop()
{
    service.Cancel();
    dc.Stopped();
    then = {};
    DropVideo();
    saving = false;
    emit Ended();
}

void DownloadFlow::DropVideo()
{
    if (!video)
        return;
    video->Stop();
    video->File().Remove();
    // Its failure is told from inside its connection's own signal, which must not lose its socket under it: the
    // download goes once that has returned.
    video.release()->deleteLater();
}

void DownloadFlow::EndWith(const QString &text)
{
    emit Msg(text);
    emit Ended();
    emit Failed(text);
}
