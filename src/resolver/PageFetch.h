#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class ContentDecoder;
class NameLookup;
class QNetworkAccessManager;
class QNetworkReply;

struct FetchLimits {
    qint64 pageLimit = 4 * 1024 * 1024;
    int timeoutMilliseconds = 20000;
    int maxRedirects = 20;
    std::function<bool(const QHostAddress &)> mayConnect;  // which addresses pages may live at; empty: any
    QString nameServers;  // empty: the system's (NameLookup)
};

struct FetchResult {
    enum class Outcome {
        Page,  // body holds the page
        Video,  // the address itself is a video: url is the link
        BadAddress,  // not an http or https address
        HostNotFound,
        RefusedAddress,  // the host leads to an internal address (which one is not told)
        ConnectionRefused,
        ConnectionFailed,  // detail: what the network said
        TlsFailed,
        HttpError,  // detail: the status code and its text
        TooManyRedirects,
        TooLarge,
        TimedOut,
        BadEncoding,  // detail: the Content-Encoding we cannot undo, or empty for a broken body
    };
    Outcome outcome = Outcome::BadAddress;
    QUrl url;  // the address the outcome belongs to, after redirects
    QByteArray body;
    QByteArray contentType;
    qint64 size = -1;  // of a video, as its server declared it; -1: not declared
    QString detail;
};

// Fetches one page, following redirects by itself so that each hop's host is looked up once, judged by the
// address policy, and then connected to at exactly the address that was judged: a name that resolves to a
// public address for the check and to an internal one for the connection gains nothing; nor does a page on
// one of this machine's own addresses. Undoes gzip and deflate that servers send unasked. Notices a video
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
    void OnHostLookedUp(const QList<QHostAddress> &found);
    void RequestPage();
    void OnMetaDataChanged();
    void OnReadyRead();
    bool EnsureDecoder();
    void OnReplyFinished();
    void FollowRedirect(const QUrl &target);
    void Finish(FetchResult::Outcome outcome, const QString &detail = QString());
    void DropReply();

    QNetworkAccessManager *network;
    FetchLimits limits;
    QTimer deadline;
    QUrl url;
    int redirects = 0;
    NameLookup *lookup = nullptr;  // a child of ours while it runs
    QList<QHostAddress> addresses;  // the judged addresses of this hop, tried in turn
    QPointer<QNetworkReply> reply;
    QByteArray body;
    std::unique_ptr<ContentDecoder> decoder;  // for the reply's Content-Encoding
    bool finished = false;
};
