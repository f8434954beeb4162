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

namespace {

// The system's reason for the failure just met, errno's, after the path it concerns.
QString SystemError(const QString &path)
{
    return QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
}

// The path as the user is told of it: a link with where it leads.
QString ShownName(const QString &path)
{
    const QFileInfo info(path);
    return info.isSymLink() ? QStringLiteral("%1 (ссылка на %2)").arg(path, info.symLinkTarget()) : path;
}

QString TooLarge(const QString &path)
{
    return QStringLiteral("%1 слишком велик для файла настроек (больше %2 МБ)")
        .arg(ShownName(path))
        .arg(kLongestSettingsFile >> 20);
}

// Why what stands at path is not taken for a settings file; "" when it is a regular file of a usable size.
QString Refusal(const QString &path, const struct stat &status)
{
    const QString name = ShownName(path);
    if (S_ISDIR(status.st_mode))
        return QStringLiteral("%1 — это папка, а не файл").arg(name);
    if (S_ISFIFO(status.st_mode))
        return QStringLiteral("%1 — это канал (FIFO), а не файл").arg(name);
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))
        return QStringLiteral("%1 — это устройство, а не файл").arg(name);
    if (!S_ISREG(status.st_mode))
        return QStringLiteral("%1 — не обычный файл").arg(name);
    if (status.st_size > kLongestSettingsFile)
        return TooLarge(path);
    return {};
}

// Reads the open file to its end, or to one byte past the limit.
std::optional<QByteArray> ReadLimited(int descriptor)
{
    QByteArray content;
    constexpr qint64 kPiece = 64 * 1024;
    while (content.size() <= kLongestSettingsFile) {
        const qsizetype had = content.size();
        content.resize(had + kPiece);
        const ssize_t got = ::read(descriptor, content.data() + had, kPiece);
        if (got < 0 && errno == EINTR) {
            content.resize(had);
            continue;
        }
        if (got < 0)
            return std::nullopt;
        content.resize(had + got);
        if (got == 0)
            break;
    }
    return content;
}

}  // namespace

std::optional<QByteArray> ReadSettingsFile(const QString &path, QString *error)
{
    if (path.isEmpty())
        return QByteArray();
    const QByteArray name = QFile::encodeName(path);
    // Looked at before it is opened: opening a FIFO waits for a writer, and opening a device may do anything.
    struct stat status { };
    if (::stat(name.constData(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return QByteArray();
        SetError(error, SystemError(path));
        return std::nullopt;
    }
    if (const QString refusal = Refusal(path, status); !refusal.isEmpty()) {
        SetError(error, refusal);
        return std::nullopt;
    }
    // And once more when open, since another thing may have taken its name meanwhile; O_NONBLOCK keeps a FIFO
    // put there from holding the open.
    const int descriptor = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        SetError(error, SystemError(path));
        return std::nullopt;
    }
    QString refusal = ::fstat(descriptor, &status) == 0 ? Refusal(path, status) : SystemError(path);
    std::optional<QByteArray> content;
    if (refusal.isEmpty()) {
        // It may have grown since it was looked at.
        content = ReadLimited(descriptor);
        if (!content)
            refusal = SystemError(path);
        else if (content->size() > kLongestSettingsFile)
            refusal = TooLarge(path);
    }
    ::close(descriptor);
    if (!refusal.isEmpty()) {
        SetError(error, refusal);
        return std::nullopt;
    }
    return content;
}

QByteArray ReadFileContent(const QString &path)
{
    return ReadSettingsFile(path, nullptr).value_or(QByteArray());
}

bool ReplaceSettingsFile(const QString &path, const QByteArray &content, QString *error)
{
    // A new settings file is readable by its owner only: it holds the proxy password.
    return ReplaceFileContent(path, content, S_IRUSR | S_IWUSR, error);
}
