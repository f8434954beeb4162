#include "FileReplacement.h"

#include "WriteBehind.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/sendfile.h>
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

struct Destination {
    QString target;
    QByteArray targetName;
    QString folder;
    bool existed = false;
    struct stat existing { };
};

// Where the content goes: a link's target; fails on a folder or another thing that is not a plain file.
bool ReadDestination(const QString &path, Destination &destination, QString *error)
{
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("Не указано имя файла"));
        return false;
    }
    destination.target = TargetOf(path);
    destination.targetName = QFile::encodeName(destination.target);
    destination.folder = QFileInfo(destination.target).absolutePath();
    destination.existed = ::stat(destination.targetName.constData(), &destination.existing) == 0;
    if (destination.existed && !S_ISREG(destination.existing.st_mode)) {
        SetError(error, QStringLiteral("%1 — не обычный файл").arg(destination.target));
        return false;
    }
    return true;
}

// Gives descriptor's file the permissions (and, where allowed, the owner) the destination is to have.
int TakeOverAttributes(int descriptor, const Destination &destination, mode_t newFileMode)
{
    const mode_t mode = destination.existed ? destination.existing.st_mode & 07777 : newFileMode;
    if (::fchmod(descriptor, mode) != 0)
        return errno;
    if (destination.existed) {
        // Only root can hand a file to another owner; for anyone else the file is theirs already.
        [[maybe_unused]] const int owned =
            ::fchown(descriptor, destination.existing.st_uid, destination.existing.st_gid);
    }
    return 0;
}

// A piece from source's position to descriptor's: in the kernel (sendfile) where the file systems allow, else
// through buffer, made once it is needed. What was copied, 0 at the end, or -1 with errno.
ssize_t CopyPiece(int source, int descriptor, std::unique_ptr<char[]> &buffer)
{
    constexpr std::size_t kCopyPiece = std::size_t(8) << 20;
    if (!buffer) {
        const ssize_t sent = ::sendfile(descriptor, source, nullptr, kCopyPiece);
        if (sent >= 0 || (errno != EINVAL && errno != ENOSYS))
            return sent;
        buffer = std::make_unique<char[]>(kCopyPiece);
    }
    const ssize_t got = ::read(source, buffer.get(), kCopyPiece);
    if (got <= 0)
        return got;
    return WriteAll(descriptor, QByteArrayView(buffer.get(), got)) ? got : -1;
}

// Copies the open source into descriptor in pieces; errno of the failure, or 0. The pieces are sent on to the disk
// as they are written (WriteBehind): the progress shown is the disk's, memory never fills with bytes waiting for
// it, and the sync at the end has little left to do.
int CopyPieces(int source, int descriptor, qint64 total, const CopyProgress &progress)
{
    std::unique_ptr<char[]> buffer;
    ::posix_fadvise(source, 0, 0, POSIX_FADV_SEQUENTIAL);
    WriteBehind behind(descriptor);
    qint64 done = 0;
    for (;;) {
        const ssize_t copied = CopyPiece(source, descriptor, buffer);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0)
            return errno;
        if (copied == 0)
            return 0;
        if (const int reason = behind.SendOn(done, copied))
            return reason;
        done += copied;
        if (progress)
            progress(done, total);
    }
}

int CopyThroughTemporary(const QByteArray &sourceName, const Destination &destination, mode_t newFileMode,
                         const CopyProgress &progress)
{
    const int source = ::open(sourceName.constData(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        return errno;
    struct stat sourceInfo { };
    ::fstat(source, &sourceInfo);
    const QFileInfo targetInfo(destination.target);
    QByteArray temporaryName =
        QFile::encodeName(destination.folder + QStringLiteral("/.") + targetInfo.fileName()) + ".XXXXXX";
    const int descriptor = ::mkstemp(temporaryName.data());
    if (descriptor < 0) {
        const int reason = errno;
        ::close(source);
        return reason;
    }
    int reason = TakeOverAttributes(descriptor, destination, newFileMode);
    if (reason == 0)
        reason = CopyPieces(source, descriptor, sourceInfo.st_size, progress);
    if (reason == 0 && ::fsync(descriptor) != 0)
        reason = errno;
    if (::close(descriptor) != 0 && reason == 0)
        reason = errno;
    ::close(source);
    if (reason == 0 && ::rename(temporaryName.constData(), destination.targetName.constData()) != 0)
        reason = errno;
    if (reason != 0)
        ::unlink(temporaryName.constData());
    return reason;
}

}  // namespace

bool MoveFileInto(const QString &source, const QString &path, mode_t newFileMode, const CopyProgress &progress,
                  QString *error)
{
    Destination destination;
    if (!ReadDestination(path, destination, error))
        return false;
    const QByteArray sourceName = QFile::encodeName(source);
    struct stat sourceInfo { };
    struct stat folderInfo { };
    if (::stat(sourceName.constData(), &sourceInfo) != 0
        || ::stat(QFile::encodeName(destination.folder).constData(), &folderInfo) != 0) {
        SetError(error, qt_error_string(errno));
        return false;
    }
    int reason = 0;
    // A save reported done is on disk, whichever way it went: renamed, the file is synced first (most of it went
    // to disk while it arrived), so no power cut can leave the name on an empty or a cut file.
    if (sourceInfo.st_dev == folderInfo.st_dev) {
        const int descriptor = ::open(sourceName.constData(), O_RDONLY | O_CLOEXEC);
        reason = descriptor < 0 ? errno : TakeOverAttributes(descriptor, destination, newFileMode);
        if (reason == 0 && ::fsync(descriptor) != 0)
            reason = errno;
        if (descriptor >= 0)
            ::close(descriptor);
        if (reason == 0 && ::rename(sourceName.constData(), destination.targetName.constData()) != 0)
            reason = errno;
    } else {
        reason = CopyThroughTemporary(sourceName, destination, newFileMode, progress);
        if (reason == 0)
            ::unlink(sourceName.constData());
    }
    if (reason != 0) {
        SetError(error, qt_error_string(reason));
        return false;
    }
    SyncFolder(QFile::encodeName(destination.folder));
    return true;
}

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
