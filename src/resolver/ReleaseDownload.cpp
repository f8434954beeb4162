#include "ReleaseDownload.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

// A release server that sends nothing for this long is taken for gone; one that trickles, after the whole time.
constexpr int kSilenceMilliseconds = 30000;
constexpr int kWholeMilliseconds = 10 * 60 * 1000;

}  // namespace

ReleaseDownload::ReleaseDownload(QNetworkAccessManager *network, const QUrl &url, qint64 limit, QFile *target,
                                 QObject *parent)
    : QObject(parent)
    , network(network)
    , url(url)
    , limit(limit)
    , target(target)
{
    whole.setSingleShot(true);
    connect(&whole, &QTimer::timeout, this, [this] {
        End(Outcome::Unreachable,
            QStringLiteral("%1 took longer than %2 min")
                .arg(this->url.toDisplayString())
                .arg(kWholeMilliseconds / 60000));
    });
    silence.setSingleShot(true);
    connect(&silence, &QTimer::timeout, this, [this] {
        End(Outcome::Unreachable,
            QStringLiteral("%1 sent nothing for %2 s")
                .arg(this->url.toDisplayString())
                .arg(kSilenceMilliseconds / 1000));
    });
}

ReleaseDownload::~ReleaseDownload()
{
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void ReleaseDownload::Start()
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(10);
    request.setRawHeader("User-Agent", "quillon-resolver");
    reply = network->get(request);
    connect(reply, &QNetworkReply::readyRead, this, &ReleaseDownload::OnData);
    connect(reply, &QNetworkReply::finished, this, &ReleaseDownload::OnFinished);
    silence.start(kSilenceMilliseconds);
    whole.start(kWholeMilliseconds);
}

void ReleaseDownload::OnData()
{
    silence.start(kSilenceMilliseconds);
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200)
        return;
    const QByteArray piece = reply->readAll();
    received += piece.size();
    if (received > limit) {
        End(Outcome::TooLarge, QStringLiteral("%1 is larger than %2 bytes").arg(url.toDisplayString()).arg(limit));
        return;
    }
    if (!target) {
        body += piece;
        return;
    }
    if (target->write(piece) != piece.size())
        End(Outcome::WriteFailed, QStringLiteral("cannot write %1: %2").arg(target->fileName(), target->errorString()));
}

void ReleaseDownload::OnFinished()
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() == QNetworkReply::NoError || status != 0) {
        if (status != 200) {
            End(Outcome::Missing, QStringLiteral("%1 answered %2").arg(url.toDisplayString()).arg(status));
            return;
        }
        if (reply->error() == QNetworkReply::NoError) {
            OnData();
            if (!ended)
                End(Outcome::Done, QString());
            return;
        }
    }
    End(Outcome::Unreachable, QStringLiteral("%1: %2").arg(url.toDisplayString(), reply->errorString()));
}

void ReleaseDownload::End(Outcome outcome, const QString &why)
{
    if (ended)
        return;
    ended = true;
    silence.stop();
    whole.stop();
    problem = why;
    if (reply) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
        reply = nullptr;
    }
    emit Finished(outcome);
}
