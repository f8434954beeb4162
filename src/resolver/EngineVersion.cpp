#include "EngineVersion.h"

#include <QRegularExpression>

namespace EngineVersion {

std::optional<QList<int>> ParseVersion(const QString &text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{4})\\.(\\d{2})\\.(\\d{2})(?:\\.(\\d{1,9}))?$"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QDate day(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
    if (!day.isValid())
        return std::nullopt;
    return QList<int>{day.year(), day.month(), day.day(), match.captured(4).toInt()};
}

bool IsNewer(const QString &a, const QString &b)
{
    const auto first = ParseVersion(a);
    const auto second = ParseVersion(b);
    if (!first)
        return false;
    return !second || *first > *second;
}

QDate DateOf(const QString &version)
{
    const auto numbers = ParseVersion(version);
    return numbers ? QDate(numbers->at(0), numbers->at(1), numbers->at(2)) : QDate();
}

}  // namespace EngineVersion
