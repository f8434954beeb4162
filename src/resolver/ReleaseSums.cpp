#include "ReleaseSums.h"

#include <QList>
#include <QRegularExpression>

namespace ReleaseSums {

std::optional<QByteArray> DigestFor(const QByteArray &sums, const QString &fileName)
{
    static const QRegularExpression line(QStringLiteral("^([0-9a-fA-F]{64}) [ *](.+)$"));
    std::optional<QByteArray> found;
    for (QByteArray text : sums.split('\n')) {
        if (text.endsWith('\r'))
            text.chop(1);
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (!match.hasMatch() || match.captured(2) != fileName)
            continue;
        // Two lines for one name: which of them was meant cannot be told.
        if (found)
            return std::nullopt;
        found = QByteArray::fromHex(match.captured(1).toLatin1());
    }
    return found;
}

}  // namespace ReleaseSums
