#include "PartialFiles.h"

#include "DefaultVideoName.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString kSuffix = QStringLiteral(".part");

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

QString PartialFileName(const QDateTime &start)
{
    return DefaultVideoName(start, QLocale(), kSuffix.mid(1));
}

void RemoveLeftPartials(const QString &folder)
{
    // The shape of DefaultVideoName: a date, the time in brackets, then the extension.
    static const QRegularExpression ours(QStringLiteral(R"(^[^()/]+\([^()/]+\)\.part$)"));
    const QDir dir(folder);
    for (const QString &name : dir.entryList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden)) {
        const QString path = dir.filePath(name);
        if (ours.match(name).hasMatch() && !HeldByDownload(path))
            QFile::remove(path);
    }
}
