#include "PartialFiles.h"

#include "BodyFile.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A download in progress holds its file locked; a file nobody holds is left over.
bool HeldByDownload(const QString &path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (descriptor < 0)
        return true;
    const bool held = ::flock(descriptor, LOCK_EX | LOCK_NB) != 0;
    ::close(descriptor);
    return held;
}

}  // namespace

QString PartialFileName(const QDateTime &start, int attempt)
{
    // The C locale's digits, whatever the user's, so that the clean-up recognises the name in any locale.
    QString name = QStringLiteral("quillon-") + QLocale::c().toString(start, QStringLiteral("yyyyMMdd-HHmmss"));
    if (attempt > 1)
        name += u'-' + QString::number(attempt);
    return name + QStringLiteral(".part");
}

bool OpenPartialFile(BodyFile &file, const QString &folder, const QDateTime &start, QString *error)
{
    // More downloads begun in one second than this are not a user's doing.
    constexpr int kAttempts = 100;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const QString path = folder + PartialFileName(start, attempt);
        if (file.Open(path, error))
            return true;
        struct stat taken { };
        if (::lstat(QFile::encodeName(path).constData(), &taken) != 0)
            return false;
    }
    return false;
}

void RemoveLeftPartials(const QString &folder)
{
    // Exactly what PartialFileName writes: the clean-up deletes without asking, so a user's or another
    // program's ".part" must never look like ours.
    static const QRegularExpression ours(QRegularExpression::anchoredPattern(
        QStringLiteral(R"(quillon-[0-9]{8}-[0-9]{6}(-[2-9]|-[1-9][0-9]+)?\.part)")));
    const QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files)) {
        const QString path = dir.filePath(name);
        if (ours.match(name).hasMatch() && !HeldByDownload(path))
            QFile::remove(path);
    }
}
