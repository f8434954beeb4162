#include "IniFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void SetError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

QString FailureText(const char *what, const QString &target, int reason)
{
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(what), target, qt_error_string(reason));
}

bool WriteAll(int descriptor, QByteArrayView content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t written = ::write(descriptor, content.data() + done, std::size_t(content.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
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

}  // namespace

QByteArray ReadFileContent(const QString &path)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

std::optional<QByteArray> ReadFileForRewrite(const QString &path, QString *error)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QByteArray();
    if (info.isDir()) {
        SetError(error, QStringLiteral("%1 is a folder").arg(path));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, file.errorString());
        return std::nullopt;
    }
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        SetError(error, file.errorString());
        return std::nullopt;
    }
    return content;
}

// QSaveFile would do most of this, but it reports success when the disk fills up half-way through the
// content (a short write is not an error to it) and then renames the cut file over the good one. Here every
// step is checked before the rename.
bool ReplaceFileContent(const QString &path, const QByteArray &content, QString *error)
{
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("No settings file has been named"));
        return false;
    }
    // A symbolic link stays a link; the file it points to is the one replaced.
    const QFileInfo info(path);
    QString target = info.absoluteFilePath();
    if (info.isSymLink())
        target = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    const QByteArray targetName = QFile::encodeName(target);

    struct stat existing {};
    const bool existed = ::stat(targetName.constData(), &existing) == 0;
    if (existed && !S_ISREG(existing.st_mode)) {
        SetError(error, QStringLiteral("%1 is not a plain file").arg(target));
        return false;
    }

    const QFileInfo targetInfo(target);
    QByteArray temporaryName =
        QFile::encodeName(targetInfo.absolutePath() + QStringLiteral("/.") + targetInfo.fileName()) + ".XXXXXX";
    // mkstemp makes the file readable by its owner only, so the password is never open to others.
    const int descriptor = ::mkstemp(temporaryName.data());
    if (descriptor < 0) {
        const int reason = errno;
        SetError(error, FailureText("Cannot create a file beside", target, reason));
        return false;
    }

    // errno is taken at once, before building any text can change it.
    const char *failed = nullptr;
    int reason = 0;
    if (existed && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
        reason = errno;
        failed = "Cannot give the new file the permissions of";
    }
    if (!failed && existed) {
        // Only root can hand a file to another owner; for anyone else the file is theirs already.
        [[maybe_unused]] const int owned = ::fchown(descriptor, existing.st_uid, existing.st_gid);
    }
    if (!failed && (!WriteAll(descriptor, content) || ::fsync(descriptor) != 0)) {
        reason = errno;
        failed = "Cannot write the new content of";
    }
    if (::close(descriptor) != 0 && !failed) {
        reason = errno;
        failed = "Cannot write the new content of";
    }
    if (!failed && ::rename(temporaryName.constData(), targetName.constData()) != 0) {
        reason = errno;
        failed = "Cannot replace";
    }
    if (failed) {
        ::unlink(temporaryName.constData());
        SetError(error, FailureText(failed, target, reason));
        return false;
    }
    SyncFolder(QFile::encodeName(targetInfo.absolutePath()));
    return true;
}
