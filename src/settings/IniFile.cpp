#include "IniFile.h"

#include "FileReplacement.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void SetError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

// Long enough for any other copy of the program to re-read and replace the file, short enough that a
// program stuck while holding the lock does not hold this one's window for long.
constexpr int kLockWaitMilliseconds = 5000;
// A write holds the lock for a few milliseconds.
constexpr int kLockPollMilliseconds = 2;

}  // namespace

bool MakeOwnerFolder(const QString &folder, QString *error)
{
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const qsizetype parentEnd = absolute.lastIndexOf(QLatin1Char('/'));
    if (parentEnd > 0 && !MakeOwnerFolder(absolute.first(parentEnd), error))
        return false;
    if (::mkdir(QFile::encodeName(absolute).constData(), S_IRWXU) == 0 || errno == EEXIST)
        return true;
    SetError(error, QStringLiteral("%1: %2").arg(absolute, qt_error_string(errno)));
    return false;
}

SettingsFileLock::SettingsFileLock(const QString &path)
{
    descriptor =
        ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    QDeadlineTimer deadline(kLockWaitMilliseconds);
    while (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int reason = errno;
        if (reason == EINTR)
            continue;
        if (reason != EWOULDBLOCK || deadline.hasExpired()) {
            acquired = reason != EWOULDBLOCK;
            ::close(descriptor);
            descriptor = -1;
            return;
        }
        QThread::msleep(kLockPollMilliseconds);
    }
}

SettingsFileLock::~SettingsFileLock()
{
    // Closing the descriptor releases the lock.
    if (descriptor >= 0)
        ::close(descriptor);
}

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
        SetError(error, QStringLiteral("%1 — это папка, а не файл").arg(path));
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

bool ReplaceSettingsFile(const QString &path, const QByteArray &content, QString *error)
{
    // A new settings file is readable by its owner only: it holds the proxy password.
    return ReplaceFileContent(path, content, S_IRUSR | S_IWUSR, error);
}
