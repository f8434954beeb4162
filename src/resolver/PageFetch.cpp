#include "PageFetch.h"

#include "ContentDecoder.h"
#include "NameLookup.h"

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

FetchResult::Outcome OutcomeOf(const QNetworkReply *reply)
{
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        return FetchResult::Outcome::ConnectionRefused;
    case QNetworkReply::TimeoutError:
        return FetchResult::Outcome::TimedOut;
    default:
        return FetchResult::Outcome::ConnectionFailed;
    }
}

// The answer page speaks Russian; Qt's own texts stay for the rarer failures.
QString DescribeNetworkError(const QNetworkReply *reply)
{
    if (reply->error() == QNetworkReply::RemoteHostClosedError)
        return QStringLiteral("сервер закрыл соединение");
    return reply->errorString();
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
    delete lookup;
    lookup = new NameLookup(limits.nameServers, this);
    connect(lookup, &NameLookup::Finished, this, &PageFetch::OnHostLookedUp);
    lookup->Start(url.host());
}

void PageFetch::OnHostLookedUp(const QList<QHostAddress> &found)
{
    lookup->deleteLater();
    lookup = nullptr;
    if (finished)
        return;
    if (found.isEmpty()) {
        Finish(FetchResult::Outcome::HostNotFound, url.host());
        return;
    }
    addresses.clear();
    for (const QHostAddress &address : found)
        if (!limits.mayConnect || limits.mayConnect(address))
            addresses.append(address);
    if (addresses.isEmpty()) {
        Finish(FetchResult::Outcome::RefusedAddress);
        return;
    }
    RequestPage();
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
    decoder.reset();
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
    if (!EnsureDecoder())
        return;
    // The limit is on the page, not on its compressed form: only a plain page is judged by its length.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > limits.pageLimit && reply->rawHeader("Content-Encoding").isEmpty())
        Finish(FetchResult::Outcome::TooLarge, QString::number(limits.pageLimit));
}

bool PageFetch::EnsureDecoder()
{
    if (decoder)
        return true;
    std::optional<ContentDecoder> coding = ContentDecoder::ForEncoding(reply->rawHeader("Content-Encoding"));
    if (!coding) {
        Finish(FetchResult::Outcome::BadEncoding, QString::fromLatin1(reply->rawHeader("Content-Encoding")));
        return false;
    }
    decoder = std::make_unique<ContentDecoder>(std::move(*coding));
    return true;
}

void PageFetch::OnReadyRead()
{
    if (finished || !EnsureDecoder())
        return;
    if (!decoder->Decode(reply->readAll(), body, limits.pageLimit)) {
        Finish(FetchResult::Outcome::BadEncoding);
        return;
    }
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
            Finish(OutcomeOf(reply), DescribeNetworkError(reply));
            return;
        }
        OnMetaDataChanged();
        if (!finished)
            Finish(OutcomeOf(reply), DescribeNetworkError(reply));
        return;
    }
    // A page that arrived whole but whose headers we never judged (say, a redirect without Location).
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 200 || status >= 300) {
        Finish(FetchResult::Outcome::HttpError, QString::number(status));
        return;
    }
    if (!EnsureDecoder())
        return;
    if (!decoder->Ended()) {
        Finish(FetchResult::Outcome::BadEncoding);
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
    delete lookup;
    lookup = nullptr;
    FetchResult result;
    result.outcome = outcome;
    result.url = url;
    result.detail = detail;
    if (reply) {
        result.contentType = reply->rawHeader("Content-Type");
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (outcome == FetchResult::Outcome::Video && length.isValid()
            && reply->rawHeader("Content-Encoding").isEmpty())
            result.size = length.toLongLong();
    }
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
