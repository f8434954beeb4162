#pragma once

#include "ConnectionSettings.h"
#include "VideoQuality.h"

#include <QByteArray>
#include <QSize>
#include <QString>

class CPassword;
class INI;

// The player's window as the user last left it: its size when not maximised, and whether it was maximised.
// Section Player, keys Width, Height and Maximized.
struct PlayerWindow {
    // Empty until the player has been used, or when the file holds no usable size.
    QSize Size;
    bool Maximized = false;

    friend bool operator==(const PlayerWindow &, const PlayerWindow &) = default;
};

// Saving without the dialog, for those who turn it on: each video goes straight into the folder under its default
// name. Section Save, keys Directly and DirectFolder.
struct DirectSave {
    bool On = false;
    // The folder, ending with "/"; "" for the default download folder.
    QString Folder;

    friend bool operator==(const DirectSave &, const DirectSave &) = default;
};

// The program's settings, read from options.ini once at start-up into the values the program uses, and written
// back by the Options dialog. Texts are kept in the file as UTF-8 (files of earlier versions may hold
// Windows-1251), the proxy password scrambled on Windows-1251 codes.
struct Settings {
    // UseProxy, ProxyName, ProxyPort, ProxyAuth, ProxyLogin, ProxyPass of section Network.
    ConnectionSettings Network;
    // Version/CheckUpgrade as it was at start-up; the download reads the file afresh each time.
    bool CheckUpgrade = false;
    // The folder the save dialog proposes, ending with "/"; "" until a video has been saved.
    QString SavePath;
    DirectSave Direct;
    PlayerWindow Player;
    // Save/DateTimeNames: videos named by the time of their save, not by their titles.
    bool DateTimeNames = false;
    // Save/Quality: which form of a video is taken when a page offers several.
    VideoQuality Quality = kDefaultVideoQuality;
    // Network/MaxConnections: the most connections a video is fetched over at once; 1 fetches it over one.
    int MaxConnections = kDefaultMaxConnections;

    friend bool operator==(const Settings &, const Settings &) = default;
};

// The network settings as texts, the way the file stores them and the Options dialog shows them.
struct NetworkTexts {
    QString UseProxy;
    QString ProxyName;
    QString ProxyPort;
    QString ProxyAuth;
    QString ProxyLogin;
    QString ProxyPass;
};

// A flag is on when the number its text begins with rounds to 1 ("1", " 1.2"); "", "0", "2" and "abc" are
// off.
bool ReadFlag(const QString &text);

// The texts as the transfer control takes them. A UseProxy other than "", "0" or "1", and with the proxy on a
// missing proxy name or a port outside 1..65535, make the settings unusable: Fault then says why.
ConnectionSettings ParseNetwork(const NetworkTexts &texts);
// A port typed or stored as text: 1 to 65535, spaces around allowed; 0 for anything else.
quint16 ReadPort(const QString &text);

// The settings the file holds; absent keys load as "" and give the values of a fresh start. Never fails and
// never writes.
Settings LoadSettings(const INI &ini);

// What became of a save, for the window that asked for it.
struct SaveOutcome {
    // options.ini now holds every value; when false the file is as it was before, and WriteError says why.
    bool Written = false;
    QString WriteError;
    // False when the password could not be scrambled: an empty password went to the file instead, while the
    // settings keep the password for this run. Notice is then the text of the message box to show, titled with
    // the program's title; "" otherwise.
    bool PasswordKept = true;
    QString Notice;
};

// Writes the values the Options dialog shows to the file in one replacement, every one of them, as the user
// confirmed them: the flags as "0" or "1", the port as its number ("" for none), the password scrambled with a
// newly drawn key, the folder of saving without the dialog. SavePath is the save flow's to record: it is written only
// where the file lacks the key, so that a fresh file holds every key and a folder recorded meanwhile, by this copy or
// another, stays.
SaveOutcome SaveSettings(INI &ini, const Settings &settings);

// Writes the player's window to the file in one replacement; every other key stays as it is. False when the
// file could not be written (the store's WriteError says why).
bool SavePlayerWindow(INI &ini, const PlayerWindow &player);

// The one scrambler of the program, made on first use.
CPassword &ProgramPassword();

// The user's words for settings that cannot be used as they stand.
namespace SettingsTexts {
QString InvalidUseProxy(const QString &value);
QString MissingProxyName();
QString InvalidProxyPort(const QString &value);
}  // namespace SettingsTexts
