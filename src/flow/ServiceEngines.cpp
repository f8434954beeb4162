#include "ServiceEngines.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace {

// The answer is a few hundred bytes; anything much longer is no answer of the service.
constexpr qint64 kMaxAnswerBytes = 64 * 1024;

}  // namespace

ServiceEngines::ServiceEngines(QObject *parent) : QObject(parent)
{
    dc.setMaxBodyBytes(kMaxAnswerBytes);
    dc.setMaxUndeclaredBodyBytes(kMaxAnswerBytes);
    connect(&dc, &DC::DownOK, this, [this](const QByteArray &LData) {
        const QString engines = ReadEngines(LData);
        if (!engines.isEmpty())
            emit Answered(engines);
    });
}

void ServiceEngines::Ask(const QString &resolverHost)
{
    dc.setURLmode(true);
    dc.setURL(QStringLiteral("http://") + resolverHost + QStringLiteral("/engines"));
}

QString ServiceEngines::ReadEngines(const QByteArray &answer)
{
    const QJsonArray engines = QJsonDocument::fromJson(answer).object().value(QLatin1String("engines")).toArray();
    QStringList inUse;
    QStringList others;
    for (const QJsonValue &value : engines) {
        const QJsonObject engine = value.toObject();
        const QString name = engine.value(QLatin1String("name")).toString();
        const QString version = engine.value(QLatin1String("version")).toString();
        if (name.isEmpty() || name.size() > 40 || version.size() > 40)
            continue;
        const QString text = (name + QLatin1Char(' ') + version).trimmed();
        // A yt-dlp the service has but does not run is not what finds the videos.
        if (engine.value(QLatin1String("in_use")).toBool())
            inUse.append(text);
        else if (!engine.contains(QLatin1String("in_use")))
            others.append(text);
    }
    return (inUse + others).join(QStringLiteral(", "));
}
