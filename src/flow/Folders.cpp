#include "Folders.h"

#include "SaveFlow.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {

bool IsWritableFolder(const QString &folder)
{
    return !folder.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

bool IsOneOf(const QString &folder, const QStringList &folders)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    for (const QString &other : folders) {
        if (!other.isEmpty() && QFileInfo(other).canonicalFilePath() == canonical)
            return true;
    }
    return false;
}

QString WithoutTrailingSlash(QString folder)
{
    while (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

}  // namespace

UserFolders DesktopUserFolders()
{
    UserFolders user;
    // Relative paths in the XDG variables are invalid and to be ignored, as the base directory rules say.
    const QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    user.ConfigHome = QDir::isAbsolutePath(configHome) ? configHome : QDir::homePath() + QStringLiteral("/.config");
    // Qt reads user-dirs.dirs as xdg-user-dir does, and falls back on ~/Videos.
    user.Videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (user.Videos.isEmpty())
        user.Videos = QDir::homePath() + QStringLiteral("/Videos");
    return user;
}

Folders ChooseFolders(const QString &programFolder, const UserFolders &user, const QStringList &installedFolders)
{
    Folders folders;
    if (IsWritableFolder(programFolder) && !IsOneOf(programFolder, installedFolders)) {
        folders.BesideProgram = true;
        folders.SettingsFile = programFolder + QStringLiteral("/options.ini");
        folders.DownloadFolder = DefaultSaveFolder(programFolder);
        return folders;
    }
    folders.SettingsFile = WithoutTrailingSlash(user.ConfigHome) + QStringLiteral("/quillon/options.ini");
    folders.DownloadFolder = WithoutTrailingSlash(user.Videos) + QStringLiteral("/Quillon/");
    return folders;
}

Folders ProgramFolders(const QString &programFolder)
{
    return ChooseFolders(programFolder, DesktopUserFolders(),
                         {QStringLiteral(QUILLON_PACKAGE_PROGRAM_FOLDER),
                          QStringLiteral(QUILLON_INSTALLED_PROGRAM_FOLDER)});
}
