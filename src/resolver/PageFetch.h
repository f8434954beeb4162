#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QHostInfo;
class QNetworkAccessManager;
class QNetworkReply;

struct FetchLimits {
    qint64 pageLimit = 4 * 1024 * 1024;
    int timeoutMilliseconds = 20000;
    int maxRedirects = 20;
    bool refuseInternalAddresses = false;
};

struct FetchResult {
    enum class Outcome {
        Page,  // body holds the page
        Video,  // the address itself is a video: url is the link
        BadAddress,  // not an http or https address
        HostNotFound,
        RefusedAddress,  // detail: the internal address the host resolved to
        ConnectionFailed,  // detail: what the network said
        TlsFailed,
        HttpError,  // detail: the status code and its text
        TooManyRedirects,
        TooLarge,
        TimedOut,
    };
    Outcome outcome = Outcome::BadAddress;
    QUrl url;  // the address the outcome belongs to, after redirects
    QByteArray body;
    QByteArray contentType;
    QString detail;
};

// Fetches one page, following redirects by itself so that each hop's host is looked up once, judged by the
// address policy, and then connected to at exactly the address that was judged: a name that resolves to a
// public address for the check and to an internal one for the connection gains nothing. Notices a video
// from its content type or its first bytes "FLV" and stops there instead of loading it. Finished() comes once.
class PageFetch : public QObject {
    Q_OBJECT

public:
    PageFetch(QNetworkAccessManager *network, const FetchLimits &limits, QObject *parent = nullptr);
    ~PageFetch() override;

    void Start(const QUrl &url);

signals:
    void Finished(const FetchResult &result);

private:
    void LookUpHost(const QUrl &url);
    void OnHostLookedUp(const QHostInfo &info);
    void RequestPage();
    void OnMetaDataChanged();
    void OnReadyRead();
    void OnReplyFinished();
    void FollowRedirect(const QUrl &target);
    void Finish(FetchResult::Outcome outcome, const QString &detail = QString());
    void DropReply();

    QNetworkAccessManager *network;
    FetchLimits limits;
    QTimer deadline;
    QUrl url;
    int redirects = 0;
    int lookupId = -1;
    QList<QHostAddress> addresses;  // the judged addresses of this hop, tried in turn
    QPointer<QNetworkReply> reply;
    QByteArray body;
    bool finished = false;
};
