#include "EngineFolder.h"

#include "EngineVersion.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace EngineFolder {

namespace {

const QString kPrefix = QStringLiteral("yt-dlp-");
constexpr int kKept = 2;

}  // namespace

QString DefaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/quillon/engines");
}

QList<Downloaded> ScanFolder(const QString &folder)
{
    QList<Downloaded> found;
    const QDir dir(folder);
    for (const QString &name : dir.entryList({kPrefix + QLatin1Char('*')}, QDir::Files)) {
        const QString version = name.mid(kPrefix.size());
        if (EngineVersion::ParseVersion(version))
            found.append({dir.filePath(name), version});
    }
    std::sort(found.begin(), found.end(),
              [](const Downloaded &a, const Downloaded &b) { return EngineVersion::IsNewer(a.version, b.version); });
    return found;
}

QString InstalledPath(const QString &folder, const QString &version)
{
    return QDir(folder).filePath(kPrefix + version);
}

void Prune(const QString &folder)
{
    const QList<Downloaded> found = ScanFolder(folder);
    for (qsizetype index = kKept; index < found.size(); ++index)
        QFile::remove(found.at(index).path);
}

bool SyncPath(const QString &path)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    ::close(descriptor);
    return synced;
}

QByteArray Sha256Of(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result();
}

}  // namespace EngineFolder
