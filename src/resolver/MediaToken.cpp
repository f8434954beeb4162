#include "MediaToken.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

namespace MediaToken {

namespace {

constexpr auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
constexpr int kVersion = 1;

QByteArray Sign(QByteArrayView payload, QByteArrayView key)
{
    return QMessageAuthenticationCode::hash(payload.toByteArray(), key.toByteArray(), QCryptographicHash::Sha256)
        .toBase64(kBase64);
}

QJsonObject WritePlan(const StreamPlan &plan, qint64 expires)
{
    QJsonArray inputs;
    for (const StreamInput &input : plan.inputs) {
        QJsonArray headers;
        for (const auto &[name, value] : input.headers)
            headers.append(QJsonArray{QString::fromLatin1(name), QString::fromUtf8(value)});
        inputs.append(
            QJsonObject{{"u", QString::fromLatin1(input.url.toEncoded())}, {"h", headers}, {"s", input.streamNumber}});
    }
    return {{"v", kVersion}, {"e", expires}, {"f", plan.flvFits}, {"i", inputs}};
}

std::optional<StreamPlan> ReadPlan(const QJsonObject &object)
{
    StreamPlan plan;
    plan.flvFits = object.value(QLatin1String("f")).toBool(true);
    for (const QJsonValue &value : object.value(QLatin1String("i")).toArray()) {
        const QJsonObject input = value.toObject();
        StreamInput read;
        read.url = QUrl::fromEncoded(input.value(QLatin1String("u")).toString().toLatin1(), QUrl::StrictMode);
        read.streamNumber = input.value(QLatin1String("s")).toInt(-1);
        for (const QJsonValue &header : input.value(QLatin1String("h")).toArray())
            read.headers.append(
                {header.toArray().at(0).toString().toLatin1(), header.toArray().at(1).toString().toUtf8()});
        if (!read.url.isValid())
            return std::nullopt;
        plan.inputs.append(read);
    }
    if (plan.inputs.isEmpty())
        return std::nullopt;
    return plan;
}

}  // namespace

QByteArray ComposeToken(const StreamPlan &plan, QByteArrayView key, const QDateTime &now)
{
    const QByteArray json =
        QJsonDocument(WritePlan(plan, now.toSecsSinceEpoch() + kLifetimeSeconds)).toJson(QJsonDocument::Compact);
    // Video addresses are long and much alike; squeezed, a link stays well inside a request line's limit.
    const QByteArray payload = qCompress(json, 9).toBase64(kBase64);
    return payload + '.' + Sign(payload, key);
}

Reading ReadToken(QByteArrayView token, QByteArrayView key, const QDateTime &now)
{
    Reading reading;
    const qsizetype dot = token.indexOf('.');
    if (dot < 0 || key.isEmpty())
        return reading;
    const QByteArrayView payload = token.first(dot);
    const QByteArray signature = Sign(payload, key);
    // Compared in full whatever the first difference, so that the time of a refusal tells nothing.
    const QByteArrayView given = token.sliced(dot + 1);
    if (given.size() != signature.size())
        return reading;
    char difference = 0;
    for (qsizetype i = 0; i < given.size(); ++i)
        difference |= char(given[i] ^ signature[i]);
    if (difference != 0)
        return reading;
    const auto decoded =
        QByteArray::fromBase64Encoding(payload.toByteArray(), kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return reading;
    const QJsonObject object = QJsonDocument::fromJson(qUncompress(*decoded)).object();
    const std::optional<StreamPlan> plan = ReadPlan(object);
    if (object.value(QLatin1String("v")).toInt() != kVersion || !plan)
        return reading;
    reading.plan = *plan;
    reading.problem =
        qint64(object.value(QLatin1String("e")).toDouble()) < now.toSecsSinceEpoch() ? Problem::Expired : Problem::None;
    return reading;
}

QByteArray DrawKey()
{
    QByteArray key(32, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(key.data()), key.size() / 4);
    return key;
}

}  // namespace MediaToken
