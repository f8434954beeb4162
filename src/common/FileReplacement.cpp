#include "FileReplacement.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// One write() of a whole video holds the window for seconds and is slower than pieces of this size.
constexpr qsizetype kWritePiece = qsizetype(1) << 20;

void SetError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

bool WriteAll(int descriptor, QByteArrayView content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const qsizetype piece = std::min(kWritePiece, content.size() - done);
        const ssize_t written = ::write(descriptor, content.data() + done, std::size_t(piece));
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return false;
        if (written == 0) {
            errno = ENOSPC;
            return false;
        }
        done += written;
    }
    return true;
}

// Makes the rename itself survive a power cut; a folder that cannot be synced still holds the new file.
void SyncFolder(const QByteArray &folder)
{
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

QString TargetOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return info.absoluteFilePath();
    return info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
}

}  // namespace

mode_t DefaultNewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool ReplaceFileContent(const QString &path, QByteArrayView content, mode_t newFileMode, QString *error)
{
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("Не указано имя файла"));
        return false;
    }
    const QString target = TargetOf(path);
    const QByteArray targetName = QFile::encodeName(target);

    struct stat existing { };
    const bool existed = ::stat(targetName.constData(), &existing) == 0;
    if (existed && !S_ISREG(existing.st_mode)) {
        SetError(error, QStringLiteral("%1 — не обычный файл").arg(target));
        return false;
    }

    const QFileInfo targetInfo(target);
    QByteArray temporaryName =
        QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName()) + ".XXXXXX";
    // mkstemp makes the file readable by its owner only until its permissions are set.
    const int descriptor = ::mkstemp(temporaryName.data());
    if (descriptor < 0) {
        SetError(error, qt_error_string(errno));
        return false;
    }

    // errno is taken at once, before anything else can change it.
    int reason = 0;
    if (::fchmod(descriptor, existed ? existing.st_mode & 07777 : newFileMode) != 0)
        reason = errno;
    if (reason == 0 && existed) {
        // Only root can hand a file to another owner; for anyone else the file is theirs already.
        [[maybe_unused]] const int owned = ::fchown(descriptor, existing.st_uid, existing.st_gid);
    }
    if (reason == 0 && (!WriteAll(descriptor, content) || ::fsync(descriptor) != 0))
        reason = errno;
    if (::close(descriptor) != 0 && reason == 0)
        reason = errno;
    if (reason == 0 && ::rename(temporaryName.constData(), targetName.constData()) != 0)
        reason = errno;
    if (reason != 0) {
        ::unlink(temporaryName.constData());
        SetError(error, qt_error_string(reason));
        return false;
    }
    SyncFolder(QFile::encodeName(targetInfo.absolutePath()));
    return true;
}
