#include "FlvFile.h"

#include <QFile>
#include <QFileInfo>

bool IsFlvFile(const QString &path)
{
    // A folder opens for reading on Linux and reads as empty or fails later; refuse it up front.
    if (path.isEmpty() || QFileInfo(path).isDir())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(3) == QByteArrayLiteral("FLV");
}
