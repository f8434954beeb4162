#include "SaveFlow.h"

#include "FileReplacement.h"
#include "Interaction.h"
#include "SettingsKeys.h"
#include "VideoContainer.h"
#include "VideoFilters.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace SaveTexts {
QString DialogTitle()
{
    return QStringLiteral("Сохранение видеофайла");
}
QString ReplaceTitle()
{
    return QStringLiteral("Предупреждение");
}
QString ReplaceText()
{
    return QStringLiteral("Файл с таким именем уже существует. Заменить?");
}
QString NoticeTitle()
{
    return QStringLiteral("Внимание!");
}
QString NoticeText(const QString &path)
{
    return QStringLiteral("Вы не выбрали имя файла. Файл был сохранен с именем по умолчанию.\r\n\r\n") + path;
}
QString FailureTitle()
{
    return QStringLiteral("Ошибка сохранения");
}
QString FailureText(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось сохранить видеофайл\r\n") + path + QStringLiteral("\r\n\r\nПричина: ") + reason;
}
QString DiscardTitle()
{
    return QStringLiteral("Предупреждение");
}
QString DiscardText()
{
    return QStringLiteral("Видеофайл не сохранен. Отказаться от него?\r\n\r\n"
                          "Да: видео будет потеряно. Нет: выбрать, куда его сохранить.");
}
}  // namespace SaveTexts

namespace {

// The written file's folder with its trailing "/", as SavePath holds folders.
QString FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// Whether a file name ends with an extension: a point and a short run of letters and digits, at least one a
// letter. The point in "06.12.2026(10-31-07)" does not begin one.
bool HasExtension(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype point = name.lastIndexOf(QLatin1Char('.'));
    if (point <= 0)
        return false;
    const QStringView extension = QStringView(name).mid(point + 1);
    const auto isAsciiLetterOrDigit = [](QChar c) { return c.isDigit() || (c.isLetter() && c.unicode() < 128); };
    return !extension.isEmpty() && extension.size() <= 5
        && std::all_of(extension.begin(), extension.end(), isAsciiLetterOrDigit)
        && std::any_of(extension.begin(), extension.end(), [](QChar c) { return c.isLetter(); });
}

// name with " (n)" before its extension: "06.12.2026(10-31-07) (2).flv".
QString NumberedName(const QString &name, int number)
{
    const qsizetype point = HasExtension(name) ? name.lastIndexOf(QLatin1Char('.')) : name.size();
    return name.left(point) + QStringLiteral(" (%1)").arg(number) + name.mid(point);
}

// A name typed without an extension gets the video's own, so the file shows under its kind and plays by its
// name in other programs too.
QString WithExtension(const QString &path, const QString &extension)
{
    if (HasExtension(path))
        return path;
    return path.endsWith(QLatin1Char('.')) ? path + extension : path + QLatin1Char('.') + extension;
}

// Runs the move on a thread of its own; the window's events go on meanwhile, and the copy's progress is
// shown every few tenths of a second.
bool MoveOffThread(const SaveContext &context, const QString &partialPath, const QString &path, QString *reason)
{
    std::atomic<qint64> done = 0;
    std::atomic<qint64> total = 0;
    bool moved = false;
    const mode_t mode = DefaultNewFileMode();
    QEventLoop loop;
    std::unique_ptr<QThread> mover(QThread::create([&] {
        moved = MoveFileInto(
            partialPath, path, mode,
            [&](qint64 now, qint64 all) {
                done = now;
                total = all;
            },
            reason);
    }));
    QObject::connect(mover.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (context.progress && total > 0)
            context.progress(done, total);
    });
    ticks.start(200);
    mover->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    mover->wait();
    // A copy shorter than a tick still shows that it got to the end.
    if (context.progress && total > 0)
        context.progress(done, total);
    return moved;
}

bool Write(const SaveContext &context, const QString &path, const QString &partialPath)
{
    QString reason;
    if (MoveOffThread(context, partialPath, path, &reason))
        return true;
    context.dialogs.ShowMessage(context.owner, SaveTexts::FailureText(path, reason), SaveTexts::FailureTitle(),
                                MessageButton::Ok, MessageIcon::Critical);
    return false;
}

}  // namespace

QString TakeFreeName(const QString &folder, const QString &name, QString *reason)
{
    // Far more than any folder holds of one name; beyond it something is wrong with the folder, not the name.
    constexpr int kMostNumbers = 9999;
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    for (int number = 1; number <= kMostNumbers; ++number) {
        const QString path = base + (number == 1 ? name : NumberedName(name, number));
        // O_EXCL fails on anything at the name, a link included, and never follows one.
        const int descriptor =
            ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) {
            ::close(descriptor);
            return path;
        }
        if (errno != EEXIST) {
            *reason = qt_error_string(errno);
            return {};
        }
    }
    *reason = qt_error_string(EEXIST);
    return {};
}

SavedVideo SaveVideoInFolder(const SaveContext &context, const QString &folder, const QString &name,
                             const QString &partialPath)
{
    QDir().mkpath(folder);
    QString reason;
    const QString path = TakeFreeName(folder, name, &reason);
    if (!path.isEmpty()) {
        if (MoveOffThread(context, partialPath, path, &reason))
            return SavedVideo{true, path, true};
        // The empty file that held the name; a failed move leaves it as it was.
        QFile::remove(path);
    }
    context.dialogs.ShowMessage(context.owner, SaveTexts::FailureText(path.isEmpty() ? folder + name : path, reason),
                                SaveTexts::FailureTitle(), MessageButton::Ok, MessageIcon::Critical);
    return SaveVideo(context, name, partialPath);
}

QString DefaultSaveFolder(const QString &programFolder)
{
    return programFolder + QStringLiteral("/DownloadVideo/");
}

QString ProposedSaveFolder(const QString &savePath, const QString &defaultFolder)
{
    // A remembered folder that has gone (a removed stick, a deleted folder) would make every save fail.
    if (savePath.isEmpty() || !QFileInfo(savePath).isDir())
        return defaultFolder;
    return savePath;
}

SaveFolder::SaveFolder(INI &ini, const QString &defaultFolder) : ini(ini), defaultFolder(defaultFolder)
{
}

QString SaveFolder::Proposed()
{
    const QString proposed = ProposedSaveFolder(savePath, defaultFolder);
    if (proposed != savePath)
        QDir().mkpath(proposed);
    return proposed;
}

void SaveFolder::Remember(const QString &path)
{
    savePath = FolderOf(path);
    WriteSetting(ini, SettingsKeys::kSavePath, savePath.toUtf8());
}

SavedVideo SaveVideo(const SaveContext &context, const QString &name, const QString &partialPath)
{
    const QString savePath = context.folder.Proposed();
    const QString suggested = savePath + name;
    const VideoContainer container = ContainerOfFile(partialPath);

    QString written;
    while (written.isEmpty()) {
        QString chosen = context.dialogs.ShowFileDialog(context.owner, 2, VideoFilters::SaveFilter(container), savePath,
                                                        SaveTexts::DialogTitle(), 0, suggested);
        if (!chosen.isEmpty()) {
            chosen = WithExtension(chosen, ExtensionOf(container));
            if (QFileInfo::exists(chosen)
                && context.dialogs.ShowMessage(context.owner, SaveTexts::ReplaceText(), SaveTexts::ReplaceTitle(),
                                               MessageButton::Yes | MessageButton::No, MessageIcon::Question)
                    != MessageButton::Yes)
                continue;
            if (Write(context, chosen, partialPath))
                written = chosen;
            continue;
        }
        if (Write(context, suggested, partialPath)) {
            written = suggested;
            context.dialogs.ShowMessage(context.owner, SaveTexts::NoticeText(suggested), SaveTexts::NoticeTitle(),
                                        MessageButton::Ok, MessageIcon::Information);
            continue;
        }
        if (context.dialogs.ShowMessage(context.owner, SaveTexts::DiscardText(), SaveTexts::DiscardTitle(),
                                        MessageButton::Yes | MessageButton::No, MessageIcon::Warning)
            == MessageButton::Yes)
            return {};
    }

    context.folder.Remember(written);
    return SavedVideo{true, written};
}
