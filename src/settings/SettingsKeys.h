#pragma once

#include "INI.h"

#include <QByteArray>
#include <QString>

// One key of options.ini: where it is, what it holds and what the program takes while the file has none.
struct SettingKey {
    enum class Type {
        Flag,  // "1" on, anything else off (ReadFlag)
        Text,  // UTF-8, or Windows-1251 as earlier versions wrote it
        Port,  // 1 to 65535 as decimal text
        Scrambled,  // bytes of the password scrambler (CPassword)
        Folder,  // a folder ending with "/"
        Date,  // a date in the user's short date form
        Pixels,  // a whole number of pixels
        Host,  // a host, optionally with ":port" (IsHostText)
        Quality,  // a word of VideoQualityWord
        Count,  // a whole number from 1 on as decimal text
    };
    const char *section;
    const char *name;
    Type type;
    // What an absent key stands for; nullptr where the program works it out (a host of its own service, whose
    // port is kDefaultServicePort).
    const char *fallback;
};

// Every key the program reads or writes, written here and nowhere else. The store does not mind the case of names.
namespace SettingsKeys {
using Type = SettingKey::Type;
inline constexpr SettingKey kUseProxy{"Network", "UseProxy", Type::Flag, "0"};
inline constexpr SettingKey kProxyName{"Network", "ProxyName", Type::Text, ""};
inline constexpr SettingKey kProxyPort{"Network", "ProxyPort", Type::Port, ""};
inline constexpr SettingKey kProxyAuth{"Network", "ProxyAuth", Type::Flag, "0"};
inline constexpr SettingKey kProxyLogin{"Network", "ProxyLogin", Type::Text, ""};
inline constexpr SettingKey kProxyPass{"Network", "ProxyPass", Type::Scrambled, ""};
// Set by hand only: the program reads it and never writes it.
inline constexpr SettingKey kMaxConnections{"Network", "MaxConnections", Type::Count, "16"};
inline constexpr SettingKey kCheckUpgrade{"Version", "CheckUpgrade", Type::Flag, "0"};
inline constexpr SettingKey kLastCheck{"Version", "LastCheck", Type::Date, ""};
inline constexpr SettingKey kSavePath{"Save", "SavePath", Type::Folder, ""};
// Videos named by the date and time of their save rather than by their titles.
inline constexpr SettingKey kDateTimeNames{"Save", "DateTimeNames", Type::Flag, "0"};
// Which of a page's forms of a video is taken (VideoQualityWord).
inline constexpr SettingKey kVideoQuality{"Save", "Quality", Type::Quality, "1080"};
inline constexpr SettingKey kSaveDirectly{"Save", "Directly", Type::Flag, "0"};
inline constexpr SettingKey kDirectFolder{"Save", "DirectFolder", Type::Folder, ""};
inline constexpr SettingKey kPlayerWidth{"Player", "Width", Type::Pixels, ""};
inline constexpr SettingKey kPlayerHeight{"Player", "Height", Type::Pixels, ""};
inline constexpr SettingKey kPlayerMaximized{"Player", "Maximized", Type::Flag, "0"};
inline constexpr SettingKey kResolverHost{"Hosts", "Resolver", Type::Host, nullptr};
inline constexpr SettingKey kUpdateHost{"Hosts", "Update", Type::Host, nullptr};
inline constexpr SettingKey kWebSiteHost{"Hosts", "WebSite", Type::Host, "www.quillon.example"};
inline constexpr SettingKey kProgramPageHost{"Hosts", "ProgramPage", Type::Host, "quillon.example"};
}  // namespace SettingsKeys

// The key's value as text (UTF-8, or Windows-1251 as earlier versions wrote it); "" when the file has none.
QString ReadSetting(const INI &ini, const SettingKey &key);
// The key's value as the file holds it, bytes.
QByteArray ReadSettingBytes(const INI &ini, const SettingKey &key);
// An entry for INI::WriteEntries.
IniEntry SettingEntry(const SettingKey &key, const QByteArray &value, bool onlyWhenAbsent = false);
// Writes one key; false when the file could not be written (the store's WriteError says why).
bool WriteSetting(INI &ini, const SettingKey &key, const QByteArray &value);
