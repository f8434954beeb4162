#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its settings file and where videos go until the user chooses another folder.
//
// A copy of the program in a folder the user can write keeps both beside itself, as it always has: options.ini
// and "DownloadVideo" next to the executable. An installed program (a folder the user cannot write, or the
// folder the package installs into) keeps them in the user's folders instead: the settings in the desktop's
// configuration folder, the videos in the user's videos folder.
struct Folders {
    // Full path of options.ini.
    QString SettingsFile;
    // The default download folder, ending with "/". Made at start-up beside the program, when first needed
    // in the user's folders, so that a first start of an installed program creates nothing.
    QString DownloadFolder;
    // True when both are beside the executable.
    bool BesideProgram = false;
};

// The user's folders as the desktop names them.
struct UserFolders {
    // $XDG_CONFIG_HOME, or ~/.config when it is unset or not an absolute path.
    QString ConfigHome;
    // The videos folder of the user's desktop (XDG_VIDEOS_DIR of user-dirs.dirs, as `xdg-user-dir VIDEOS`
    // reports it), ~/Videos when it is unset.
    QString Videos;
};

// The user's folders from the environment of this process (HOME, XDG_CONFIG_HOME and user-dirs.dirs).
UserFolders DesktopUserFolders();

// Where the program whose executable lies in programFolder keeps its files. installedFolders are the folders
// the package and `cmake --install` put the program in: a program there is installed even for a user who can
// write the folder (root), so that it never fills a system folder with settings and videos.
Folders ChooseFolders(const QString &programFolder, const UserFolders &user, const QStringList &installedFolders = {});

// The default choice for the running program: its own folder, the user's folders, the installed folders.
Folders ProgramFolders(const QString &programFolder);
