#include "Parametr.h"

#include "CPassword.h"
#include "INI.h"
#include "IniNumber.h"
#include "SettingsKeys.h"
#include "Windows1251.h"

#include <algorithm>

namespace {

// Said after the scrambler's own description, so the user knows what happens to the password now.
const QString kPasswordNotKept =
    QStringLiteral(" Пароль будет использоваться до закрытия программы, но не сохранён в options.ini: после следующего "
                   "запуска введите его снова.");

using namespace SettingsKeys;

QByteArray FlagText(bool on)
{
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

// A side of the player's window: a whole number of pixels, 0 when the text is none.
int ReadSide(const QString &text)
{
    bool ok = false;
    const int pixels = text.trimmed().toInt(&ok, 10);
    return ok && pixels > 0 && pixels <= 100000 ? pixels : 0;
}

// A count that is no whole number from 1 on is taken as absent; one beyond the most a download can use is that most.
int ReadMaxConnections(const QString &text)
{
    constexpr int kMost = 64;
    bool ok = false;
    const int count = text.trimmed().toInt(&ok, 10);
    if (!ok || count < 1)
        return kDefaultMaxConnections;
    return std::min(count, kMost);
}

PlayerWindow ReadPlayerWindow(const INI &ini)
{
    PlayerWindow player;
    const QSize size(ReadSide(ReadSetting(ini, kPlayerWidth)), ReadSide(ReadSetting(ini, kPlayerHeight)));
    if (!size.isEmpty())
        player.Size = size;
    player.Maximized = ReadFlag(ReadSetting(ini, kPlayerMaximized));
    return player;
}

QString NetworkFault(const NetworkTexts &texts, const ConnectionSettings &network)
{
    // No settings file yet means no proxy.
    if (!texts.UseProxy.isEmpty() && texts.UseProxy != u"0" && texts.UseProxy != u"1")
        return SettingsTexts::InvalidUseProxy(texts.UseProxy);
    if (texts.UseProxy != u"1")
        return {};
    if (network.ProxyName.trimmed().isEmpty())
        return SettingsTexts::MissingProxyName();
    if (network.ProxyPort == 0)
        return SettingsTexts::InvalidProxyPort(texts.ProxyPort);
    return {};
}

// The password as the file keeps it: scrambled, or empty when there is none or it cannot be scrambled.
QByteArray StoredPassword(const QString &password, SaveOutcome &outcome)
{
    if (password.isEmpty())
        return {};
    CPassword &scrambler = ProgramPassword();
    scrambler.Password(password);
    if (scrambler.CreateError().isEmpty())
        return scrambler.Password();
    outcome.PasswordKept = false;
    outcome.Notice = CPassword::kCreateErrorHeading + scrambler.CreateError() + kPasswordNotKept;
    return {};
}

}  // namespace

quint16 ReadPort(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok, 10);
    return ok && port >= 1 && port <= 65535 ? quint16(port) : 0;
}

bool ReadFlag(const QString &text)
{
    // Rounded halves go to the even neighbour, so exactly the numbers above 0.5 and below 1.5 give 1.
    const double number = ReadLeadingNumber(text.toUtf8());
    return number > 0.5 && number < 1.5;
}

ConnectionSettings ParseNetwork(const NetworkTexts &texts)
{
    ConnectionSettings network;
    network.UseProxy = texts.UseProxy == u"1";
    network.ProxyName = texts.ProxyName;
    network.ProxyPort = ReadPort(texts.ProxyPort);
    network.ProxyAuth = ReadFlag(texts.ProxyAuth);
    network.ProxyLogin = texts.ProxyLogin;
    network.ProxyPass = texts.ProxyPass;
    network.Fault = NetworkFault(texts, network);
    return network;
}

CPassword &ProgramPassword()
{
    static CPassword password;
    return password;
}

Settings LoadSettings(const INI &ini)
{
    NetworkTexts texts;
    texts.UseProxy = ReadSetting(ini, kUseProxy);
    texts.ProxyName = ReadSetting(ini, kProxyName);
    texts.ProxyPort = ReadSetting(ini, kProxyPort);
    texts.ProxyAuth = ReadSetting(ini, kProxyAuth);
    texts.ProxyLogin = ReadSetting(ini, kProxyLogin);
    const QByteArray scrambled = ReadSettingBytes(ini, kProxyPass);
    texts.ProxyPass = scrambled.isEmpty() ? QString() : ProgramPassword().Decrypt(scrambled);

    Settings settings;
    settings.Network = ParseNetwork(texts);
    settings.CheckUpgrade = ReadFlag(ReadSetting(ini, kCheckUpgrade));
    settings.SavePath = ReadSetting(ini, kSavePath);
    settings.Direct.On = ReadFlag(ReadSetting(ini, kSaveDirectly));
    settings.Direct.Folder = ReadSetting(ini, kDirectFolder);
    settings.Player = ReadPlayerWindow(ini);
    settings.DateTimeNames = ReadFlag(ReadSetting(ini, kDateTimeNames));
    settings.Quality = ReadVideoQuality(ReadSetting(ini, kVideoQuality));
    settings.MaxConnections = ReadMaxConnections(ReadSetting(ini, kMaxConnections));
    return settings;
}

SaveOutcome SaveSettings(INI &ini, const Settings &settings)
{
    const ConnectionSettings &network = settings.Network;
    SaveOutcome outcome;
    const QByteArray storedPassword = StoredPassword(network.ProxyPass, outcome);
    const QByteArray port = network.ProxyPort == 0 ? QByteArray() : QByteArray::number(network.ProxyPort);

    // The order is that of a fresh file: the Network keys, then Version, with ProxyPass joining the end of
    // Network, then Save, where saving without the dialog follows the dialog's folder.
    const QList<IniEntry> entries = {
        SettingEntry(kUseProxy, FlagText(network.UseProxy)),
        SettingEntry(kProxyName, network.ProxyName.toUtf8()),
        SettingEntry(kProxyPort, port),
        SettingEntry(kProxyAuth, FlagText(network.ProxyAuth)),
        SettingEntry(kProxyLogin, network.ProxyLogin.toUtf8()),
        SettingEntry(kCheckUpgrade, FlagText(settings.CheckUpgrade)),
        SettingEntry(kProxyPass, storedPassword),
        SettingEntry(kSavePath, settings.SavePath.toUtf8(), true),
        SettingEntry(kDateTimeNames, FlagText(settings.DateTimeNames)),
        SettingEntry(kVideoQuality, VideoQualityWord(settings.Quality)),
        SettingEntry(kSaveDirectly, FlagText(settings.Direct.On)),
        SettingEntry(kDirectFolder, settings.Direct.Folder.toUtf8()),
    };
    outcome.Written = ini.WriteEntries(entries);
    if (!outcome.Written)
        outcome.WriteError = ini.WriteError();
    return outcome;
}

bool SavePlayerWindow(INI &ini, const PlayerWindow &player)
{
    const auto side = [](int pixels) { return pixels > 0 ? QByteArray::number(pixels) : QByteArray(); };
    return ini.WriteEntries({
        SettingEntry(kPlayerWidth, side(player.Size.width())),
        SettingEntry(kPlayerHeight, side(player.Size.height())),
        SettingEntry(kPlayerMaximized, FlagText(player.Maximized)),
    });
}

namespace SettingsTexts {

QString InvalidUseProxy(const QString &value)
{
    return QStringLiteral("Неверная настройка прокси-сервера (UseProxy = \"") + value + QStringLiteral("\")");
}

QString MissingProxyName()
{
    return QStringLiteral("Не указан адрес прокси-сервера");
}

QString InvalidProxyPort(const QString &value)
{
    return QStringLiteral("Неверный порт прокси-сервера: \"") + value
        + QStringLiteral("\" (нужно число от 1 до 65535)");
}

}  // namespace SettingsTexts
