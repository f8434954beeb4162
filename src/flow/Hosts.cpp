#include "Hosts.h"

#include "ServicePort.h"
#include "SettingsKeys.h"

#include <QRegularExpression>

Hosts DefaultHosts()
{
    // The resolution service runs beside the program and also answers the version check, so both work on a
    // machine without any set-up (and fail at once, quietly for the check, when it is not running). The
    // maker's pages have no public name yet: their defaults lie in a reserved domain that never resolves.
    // A real installation names them in options.ini.
    const QString service = QStringLiteral("localhost:") + QString::number(kDefaultServicePort);
    return Hosts{service, service, QString::fromLatin1(SettingsKeys::kWebSiteHost.fallback),
                 QString::fromLatin1(SettingsKeys::kProgramPageHost.fallback)};
}

bool IsHostText(const QString &text)
{
    static const QRegularExpression host(
        QStringLiteral(R"(^(?:[A-Za-z0-9](?:[A-Za-z0-9.\-]*[A-Za-z0-9])?|\[[0-9A-Fa-f:.]+\])(?::[0-9]{1,5})?$)"));
    return host.match(text).hasMatch();
}

Hosts ReadHosts(const INI &ini)
{
    Hosts hosts = DefaultHosts();
    const auto take = [&ini](const SettingKey &key, QString &value) {
        const QString stored = ReadSetting(ini, key).trimmed();
        if (IsHostText(stored))
            value = stored;
    };
    take(SettingsKeys::kResolverHost, hosts.Resolver);
    take(SettingsKeys::kUpdateHost, hosts.Update);
    take(SettingsKeys::kWebSiteHost, hosts.WebSite);
    take(SettingsKeys::kProgramPageHost, hosts.ProgramPage);
    return hosts;
}

QString ResolverAddress(const Hosts &hosts)
{
    return QStringLiteral("http://") + hosts.Resolver + QLatin1Char('/');
}

QString UpdateAddress(const Hosts &hosts)
{
    return QStringLiteral("http://") + hosts.Update + QStringLiteral("/version.info");
}

QString WebSiteAddress(const Hosts &hosts)
{
    return QStringLiteral("http://") + hosts.WebSite;
}
