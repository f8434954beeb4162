#include "PageFetch.h"

#include "AddressPolicy.h"

#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {

bool IsWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool IsVideoType(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').constFirst().trimmed().toLower();
    return type.startsWith("video/") || type == "application/x-flv" || type == "flv-application/octet-stream";
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QByteArray HostHeader(const QUrl &url)
{
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    const int defaultPort = url.scheme().toLower() == QLatin1String("https") ? 443 : 80;
    if (url.port(defaultPort) != defaultPort)
        host += ':' + QByteArray::number(url.port());
    return host;
}

// The answer page speaks Russian; Qt's own texts stay for the rarer failures.
QString DescribeNetworkError(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("соединение отклонено");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("сервер закрыл соединение");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("сервер не отвечает");
    default:
        return reply->errorString();
    }
}

}  // namespace

PageFetch::PageFetch(QNetworkAccessManager *network, const FetchLimits &limits, QObject *parent)
    : QObject(parent), network_(network), limits_(limits)
{
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] {
        Finish(FetchResult::Outcome::TimedOut, QString::number(limits_.timeoutMilliseconds / 1000));
    });
}

PageFetch::~PageFetch()
{
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    DropReply();
}

void PageFetch::Start(const QUrl &url)
{
    deadline_.start(limits_.timeoutMilliseconds);
    LookUpHost(url);
}

void PageFetch::LookUpHost(const QUrl &url)
{
    url_ = url;
    if (!IsWebAddress(url)) {
        Finish(FetchResult::Outcome::BadAddress, url.toString());
        return;
    }
    lookupId_ = QHostInfo::lookupHost(url.host(), this, &PageFetch::OnHostLookedUp);
}

void PageFetch::OnHostLookedUp(const QHostInfo &info)
{
    lookupId_ = -1;
    if (finished_)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        Finish(FetchResult::Outcome::HostNotFound, url_.host());
        return;
    }
    addresses_.clear();
    for (const QHostAddress &address : info.addresses())
        if (!limits_.refuseInternalAddresses || AddressPolicy::IsPublic(address))
            addresses_.append(address);
    if (!addresses_.isEmpty()) {
        RequestPage();
        return;
    }
    const QHostAddress refused = info.addresses().constFirst();
    Finish(FetchResult::Outcome::RefusedAddress,
           refused.toString() + QStringLiteral(", ")
               + AddressPolicy::DescribeKind(AddressPolicy::ClassifyAddress(refused)));
}

void PageFetch::RequestPage()
{
    const QHostAddress address = addresses_.takeFirst();
    // The connection goes to the address we judged; the server still hears the name it serves, in Host and,
    // over TLS, in the server name indication and the certificate check.
    QUrl target = url_;
    target.setHost(address.toString());
    target.setFragment(QString());
    QNetworkRequest request(target);
    request.setRawHeader("Host", HostHeader(url_));
    if (url_.scheme().toLower() == QLatin1String("https"))
        request.setPeerVerifyName(url_.host());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/5.0 (X11; Linux x86_64) quillon-resolver/1"));
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,*/*;q=0.8");
    // Compressed pages would be inflated by Qt before we could count them against the page limit.
    request.setRawHeader("Accept-Encoding", "identity");
    // A connection kept for reuse would be found again by address alone, whatever name it was opened for.
    request.setRawHeader("Connection", "close");

    body_.clear();
    reply_ = network_->get(request);
    connect(reply_, &QNetworkReply::metaDataChanged, this, &PageFetch::OnMetaDataChanged);
    connect(reply_, &QNetworkReply::readyRead, this, &PageFetch::OnReadyRead);
    connect(reply_, &QNetworkReply::finished, this, &PageFetch::OnReplyFinished);
}

void PageFetch::OnMetaDataChanged()
{
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        return;
    if (IsRedirect(status) && reply_->hasRawHeader("Location")) {
        const QUrl location = QUrl::fromEncoded(reply_->rawHeader("Location").trimmed());
        FollowRedirect(url_.resolved(location));
        return;
    }
    if (status < 200 || status >= 300) {
        Finish(FetchResult::Outcome::HttpError,
               QString::number(status) + QLatin1Char(' ')
                   + reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return;
    }
    if (IsVideoType(reply_->rawHeader("Content-Type"))) {
        Finish(FetchResult::Outcome::Video);
        return;
    }
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits_.pageLimit)
        Finish(FetchResult::Outcome::TooLarge, QString::number(limits_.pageLimit));
}

void PageFetch::OnReadyRead()
{
    if (finished_)
        return;
    body_.append(reply_->read(limits_.pageLimit + 1 - body_.size()));
    if (body_.startsWith("FLV")) {
        Finish(FetchResult::Outcome::Video);
        return;
    }
    if (body_.size() > limits_.pageLimit)
        Finish(FetchResult::Outcome::TooLarge, QString::number(limits_.pageLimit));
}

void PageFetch::OnReplyFinished()
{
    if (finished_)
        return;
    OnReadyRead();
    if (finished_)
        return;
    switch (reply_->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::SslHandshakeFailedError:
        Finish(FetchResult::Outcome::TlsFailed, reply_->errorString());
        return;
    default:
        if (reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 0) {
            // "localhost" is ::1 and 127.0.0.1, and a server may listen on one of them only.
            if (!addresses_.isEmpty() && body_.isEmpty()) {
                DropReply();
                RequestPage();
                return;
            }
            Finish(FetchResult::Outcome::ConnectionFailed, DescribeNetworkError(reply_));
            return;
        }
        OnMetaDataChanged();
        if (!finished_)
            Finish(FetchResult::Outcome::ConnectionFailed, DescribeNetworkError(reply_));
        return;
    }
    // A page that arrived whole but whose headers we never judged (say, a redirect without Location).
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300) {
        Finish(FetchResult::Outcome::HttpError, QString::number(status));
        return;
    }
    Finish(FetchResult::Outcome::Page);
}

void PageFetch::FollowRedirect(const QUrl &target)
{
    DropReply();
    if (++redirects_ > limits_.maxRedirects) {
        Finish(FetchResult::Outcome::TooManyRedirects, QString::number(limits_.maxRedirects));
        return;
    }
    LookUpHost(target);
}

void PageFetch::Finish(FetchResult::Outcome outcome, const QString &detail)
{
    if (finished_)
        return;
    finished_ = true;
    deadline_.stop();
    FetchResult result;
    result.outcome = outcome;
    result.url = url_;
    result.detail = detail;
    if (reply_)
        result.contentType = reply_->rawHeader("Content-Type");
    if (outcome == FetchResult::Outcome::Page)
        result.body = std::move(body_);
    DropReply();
    emit Finished(result);
}

void PageFetch::DropReply()
{
    if (!reply_)
        return;
    QNetworkReply *reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}
