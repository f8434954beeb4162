#include "UpdateCheck.h"

#include <QByteArray>

namespace UpdateCheck {

bool IsDue(const QString &lastCheck, const QString &checkUpgrade, const QString &today)
{
    return checkUpgrade == QLatin1String("1") && lastCheck != today;
}

Verdict Judge(QByteArrayView answer, const QString &appVersion)
{
    Verdict verdict;
    const QByteArrayView version = answer.trimmed();
    if (version.isEmpty() || version.size() > kLongestVersion)
        return verdict;
    bool digit = false;
    for (char c : version) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.')
            return verdict;
    }
    if (!digit)
        return verdict;
    verdict.VersionLike = true;
    verdict.Remote = QString::fromLatin1(version);
    verdict.Offer = verdict.Remote != appVersion;
    return verdict;
}

QString OfferTitle()
{
    return QStringLiteral("Обнаружена новая версия");
}

QString OfferText(const QString &appVersion, const QString &remote)
{
    return QStringLiteral("Обнаружена новая версия программы.\r\n\r\nВаша версия: ") + appVersion
        + QStringLiteral(", версия на сайте разработчика: ") + remote
        + QStringLiteral("\r\n\r\nПерейти на страницу с описанием новой версии?");
}

}  // namespace UpdateCheck
