#include "Parametr.h"

#include "CPassword.h"
#include "INI.h"
#include "ProgramValues.h"
#include "Windows1251.h"

#include <QStringDecoder>

namespace {

// Said after the scrambler's own description, so the user knows what happens to the password now.
const QString kPasswordNotKept =
    QStringLiteral(" Пароль будет использоваться до закрытия программы, но не сохранён в options.ini: после следующего "
                   "запуска введите его снова.");

IniEntry Entry(const char *section, const char *key, const QByteArray &value)
{
    return IniEntry{QByteArray(section), QByteArray(key), value};
}

}  // namespace

QString DecodeFileText(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return Windows1251::Decode(bytes);
}

QByteArray EncodeFileText(const QString &text)
{
    return text.toUtf8();
}

CPassword &ProgramPassword()
{
    static CPassword password;
    return password;
}

void LoadSettings(const INI &ini)
{
    ProgramValues &values = Program();
    values.UseProxy = DecodeFileText(ini.RINI("Network", "UseProxy"));
    values.ProxyName = DecodeFileText(ini.RINI("Network", "ProxyName"));
    // Written as "ProxyPort"; the store does not mind the case.
    values.ProxyPort = DecodeFileText(ini.RINI("Network", "Proxyport"));
    values.ProxyAuth = DecodeFileText(ini.RINI("Network", "ProxyAuth"));
    values.ProxyLogin = DecodeFileText(ini.RINI("Network", "ProxyLogin"));
    const QByteArray scrambled = ini.RINI("Network", "ProxyPass");
    values.CheckUpgrade = DecodeFileText(ini.RINI("Version", "CheckUpgrade"));
    values.ProxyPass = scrambled.isEmpty() ? QString() : ProgramPassword().Decrypt(scrambled);
    values.SavePath = DecodeFileText(ini.RINI("Save", "SavePath"));
}

SaveOutcome SaveSettings(INI &ini)
{
    const ProgramValues &values = Program();
    SaveOutcome outcome;

    QByteArray storedPassword;
    if (!values.ProxyPass.isEmpty()) {
        CPassword &password = ProgramPassword();
        password.Password(values.ProxyPass);
        if (password.CreateError().isEmpty()) {
            storedPassword = password.Password();
        } else {
            outcome.PasswordKept = false;
            outcome.Notice = CPassword::kCreateErrorHeading + password.CreateError() + kPasswordNotKept;
        }
    }

    // The order is that of a fresh file: the Network keys, then Version, with ProxyPass joining the end of
    // Network, then Save.
    const QList<IniEntry> entries = {
        Entry("Network", "UseProxy", EncodeFileText(values.UseProxy)),
        Entry("Network", "ProxyName", EncodeFileText(values.ProxyName)),
        Entry("Network", "ProxyPort", EncodeFileText(values.ProxyPort)),
        Entry("Network", "ProxyAuth", EncodeFileText(values.ProxyAuth)),
        Entry("Network", "ProxyLogin", EncodeFileText(values.ProxyLogin)),
        Entry("Version", "CheckUpgrade", EncodeFileText(values.CheckUpgrade)),
        Entry("Network", "ProxyPass", storedPassword),
        Entry("Save", "SavePath", EncodeFileText(values.SavePath)),
    };
    outcome.Written = ini.WriteEntries(entries);
    if (!outcome.Written)
        outcome.WriteError = ini.WriteError();
    return outcome;
}
