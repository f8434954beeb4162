#include "IniFile.h"

#include "FileReplacement.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

void SetError(QString *error, const QString &text)
{
    if (error)
        *error = text;
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
