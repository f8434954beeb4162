#include "IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool ReplaceFileContent(const QString &path, const QByteArray &content, QString *error)
{
    if (path.isEmpty()) {
        SetError(error, QStringLiteral("No settings file has been named"));
        return false;
    }
    const QFileInfo existing(path);
    const bool existed = existing.exists();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, file.errorString());
        return false;
    }
    // Set before the first byte is written, so the password is never readable by others, not even in the
    // temporary file.
    const QFileDevice::Permissions permissions =
        existed ? existing.permissions() : (QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (!file.setPermissions(permissions)) {
        SetError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (file.write(content) != content.size()) {
        SetError(error, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        SetError(error, file.errorString());
        return false;
    }
    return true;
}
