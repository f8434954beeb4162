#include "SettingsKeys.h"

#include "Windows1251.h"

QString ReadSetting(const INI &ini, const SettingKey &key)
{
    return DecodeUtf8OrWindows1251(ReadSettingBytes(ini, key));
}

QByteArray ReadSettingBytes(const INI &ini, const SettingKey &key)
{
    return ini.RINI(key.section, key.name);
}

IniEntry SettingEntry(const SettingKey &key, const QByteArray &value, bool onlyWhenAbsent)
{
    return IniEntry{QByteArray(key.section), QByteArray(key.name), value, onlyWhenAbsent};
}

bool WriteSetting(INI &ini, const SettingKey &key, const QByteArray &value)
{
    return ini.WInI(key.section, key.name, value);
}
