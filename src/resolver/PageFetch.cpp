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

PageFetch::PageFetch(QNetworkAccessManager *network, const FetchLimits &fetchLimits, QObject *parent)
    : QObject(parent)
    , network(network)
    , limits(fetchLimits)
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this,
            [this] { Finish(FetchResult::Outcome::TimedOut, QString::number(limits.timeoutMilliseconds / 1000)); });
}

PageFetch::~PageFetch()
{
    if (lookupId >= 0)
        QHostInfo::abortHostLookup(lookupId);
    DropReply();
}

void PageFetch::Start(const QUrl &url)
{
    deadline.start(limits.timeoutMilliseconds);
    LookUpHost(url);
}

void PageFetch::LookUpHost(const QUrl &address)
{
    url = address;
    if (!IsWebAddress(url)) {
        Finish(FetchResult::Outcome::BadAddress, url.toString());
        return;
    }
    lookupId = QHostInfo::lookupHost(url.host(), this, &PageFetch::OnHostLookedUp);
}

void PageFetch::OnHostLookedUp(const QHostInfo &info)
{
    lookupId = -1;
    if (finished)
        return;
    if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
        Finish(FetchResult::Outcome::HostNotFound, url.host());
        return;
    }
    addresses.clear();
    for (const QHostAddress &address : info.addresses())
        if (!limits.refuseInternalAddresses || AddressPolicy::IsPublic(address))
            addresses.append(address);
    if (!addresses.isEmpty()) {
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
    const QHostAddress address = addresses.takeFirst();
    // The connection goes to the address we judged; the server still hears the name it serves, in Host and,
    // over TLS, in the server name indication and the certificate check.
    QUrl target = url;
    target.setHost(address.toString());
    target.setFragment(QString());
    QNetworkRequest request(target);
    request.setRawHeader("Host", HostHeader(url));
    if (url.scheme().toLower() == QLatin1String("https"))
        request.setPeerVerifyName(url.host());
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

    body.clear();
    reply = network->get(request);
    connect(reply, &QNetworkReply::metaDataChanged, this, &PageFetch::OnMetaDataChanged);
    connect(reply, &QNetworkReply::readyRead, this, &PageFetch::OnReadyRead);
    connect(reply, &QNetworkReply::finished, this, &PageFetch::OnReplyFinished);
}

void PageFetch::OnMetaDataChanged()
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 0)
        return;
    if (IsRedirect(status) && reply->hasRawHeader("Location")) {
        const QUrl location = QUrl::fromEncoded(reply->rawHeader("Location").trimmed());
        FollowRedirect(url.resolved(location));
        return;
    }
    if (status < 200 || status >= 300) {
        Finish(FetchResult::Outcome::HttpError,
               QString::number(status) + QLatin1Char(' ')
                   + reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return;
    }
    if (IsVideoType(reply->rawHeader("Content-Type"))) {
        Finish(FetchResult::Outcome::Video);
        return;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits.pageLimit)
        Finish(FetchResult::Outcome::TooLarge, QString::number(limits.pageLimit));
}

void PageFetch::OnReadyRead()
{
    if (finished)
        return;
    body.append(reply->read(limits.pageLimit + 1 - body.size()));
    if (body.startsWith("FLV")) {
        Finish(FetchResult::Outcome::Video);
        return;
    }
    if (body.size() > limits.pageLimit)
        Finish(FetchResult::Outcome::TooLarge, QString::number(limits.pageLimit));
}

void PageFetch::OnReplyFinished()
{
    if (finished)
        return;
    OnReadyRead();
    if (finished)
        return;
    switch (reply->error()) {
    case QNetworkReply::NoError:
        break;
    case QNetworkReply::SslHandshakeFailedError:
        Finish(FetchResult::Outcome::TlsFailed, reply->errorString());
        return;
    default:
        if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 0) {
            // "localhost" is ::1 and 127.0.0.1, and a server may listen on one of them only.
            if (!addresses.isEmpty() && body.isEmpty()) {
                DropReply();
                RequestPage();
                return;
            }
            Finish(FetchResult::Outcome::ConnectionFailed, DescribeNetworkError(reply));
            return;
        }
        OnMetaDataChanged();
        if (!finished)
            Finish(FetchResult::Outcome::ConnectionFailed, DescribeNetworkError(reply));
        return;
    }
    // A page that arrived whole but whose headers we never judged (say, a redirect without Location).
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300) {
        Finish(FetchResult::Outcome::HttpError, QString::number(status));
        return;
    }
    Finish(FetchResult::Outcome::Page);
}

void PageFetch::FollowRedirect(const QUrl &target)
{
    DropReply();
    if (++redirects > limits.maxRedirects) {
        Finish(FetchResult::Outcome::TooManyRedirects, QString::number(limits.maxRedirects));
        return;
    }
    LookUpHost(target);
}

void PageFetch::Finish(FetchResult::Outcome outcome, const QString &detail)
{
    if (finished)
        return;
    finished = true;
    deadline.stop();
    FetchResult result;
    result.outcome = outcome;
    result.url = url;
    result.detail = detail;
    if (reply)
        result.contentType = reply->rawHeader("Content-Type");
    if (outcome == FetchResult::Outcome::Page)
        result.body = std::move(body);
    DropReply();
    emit Finished(result);
}

void PageFetch::DropReply()
{
    if (!reply)
        return;
    QNetworkReply *dropped = reply;
    reply = nullptr;
    dropped->disconnect(this);
    dropped->abort();
    dropped->deleteLater();
}
