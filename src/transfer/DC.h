#pragma once

#include "ConnectionSettings.h"
#include "Exchange.h"
#include "UrlHelpers.h"
#include "VideoDownload.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QString>

#include <functional>

// The transfer library's words, as its code uses them:
// - the control: DC, the one transfer object the program talks to. It fetches one address at a time and reports
//   through its signals (Msg, FLVsize, PercentOfLoad, ServerLine, then DownOK, Redirected or DownError).
// - an exchange: one request and its answer over one connection (Exchange), made for it and gone once it ends. A
//   transfer is one exchange, or, for a video, as many as it takes to have the whole file.
// - the partial file: the file a video is written to while it arrives (BodyFile), owned by the video's download
//   (VideoDownload), which takes a dropped connection up again from the bytes on disk (a resume).
// - to pour: to have the kernel move the rest of a plain body from the connection straight to the file (splice),
//   on the file's writer thread, so that the bytes never pass through the program.
//
// DC itself: it fetches the address set as its URL, directly or through the HTTP proxy its connection settings name,
// in HTTP/1.0 with the connection closed after the answer, over TLS for an https address (the certificate and the
// host name checked against the system's authorities; through the proxy inside a CONNECT tunnel). The answer is
// held in memory and handed over with DownOK, unless a video's download is given (setVideo), whose partial file
// the body of a success goes to as it arrives; DownOK then hands over an empty buffer once every byte is in the
// file.
//
// Signals may be raised from inside setURL and Stopped, and a handler of any of them may itself call setURL or
// Stopped: the exchange that reported is then cut off, and nothing more of it is reported.
class DC : public QObject {
    Q_OBJECT

public:
    // Redirects followed one after the other before the control gives up.
    static constexpr int kMaxRedirectsInRow = 20;
    using TimeLimits = ::TimeLimits;
    using ResumePolicy = VideoDownload::ResumePolicy;

    explicit DC(QObject *parent = nullptr);
    ~DC() override;

    // Stores the address, splits it into ServerName and PageName and starts the transfer with the settings of
    // that moment (mode, page address, connection, limits). A transfer still open is dropped first without any
    // signal. An address the control cannot fetch ends at once with DownError (after PercentOfLoad and FLVsize
    // with 0).
    void setURL(const QString &url);
    QString URL() const;

    // True: download mode, a GET of the address. False: resolution mode, the form submission of the page
    // address to the resolution service. Taken when the transfer starts; starts nothing.
    void setURLmode(bool downloadMode);
    // The page address the resolution request carries, taken when the transfer starts.
    void setPageAddress(const QString &address);

    QString ServerName() const;
    QString PageName() const;

    // Aborts the open transfer; raises "Загрузка остановлена", PercentOfLoad 0 and FLVsize 0 even when
    // idle. Nothing of the aborted transfer is reported afterwards.
    void Stopped();

    // How to reach servers: a fixed value, or a provider asked whenever a transfer starts (the settings may
    // change between transfers). Without either, servers are reached directly.
    void setConnectionSettings(const ConnectionSettings &settings);
    void setConnectionSettingsProvider(std::function<ConnectionSettings()> provider);

    // The video whose partial file the next transfers fill (nullptr, or a video whose file is not open: memory).
    // It stays its owner's; the control only runs it.
    void setVideo(VideoDownload *video);
    void setResumePolicy(const ResumePolicy &policy);
    // The most connections a video is fetched over at once (VideoDownload); 1 fetches it over one.
    void setMaxConnections(int count) { maxConnections = count; }
    // The connections that bring the current transfer now: 1 over one connection, 0 while none does.
    int Connections() const;

    // The largest body the control will gather; by default what memory can hold.
    void setMaxBodyBytes(qint64 bytes);
    // The largest body without a declared length (one that only the close or its last chunk ends), which
    // grows in memory as it arrives; negative: the same as any body. Taken when a transfer starts.
    void setMaxUndeclaredBodyBytes(qint64 bytes);
    // The memory the answer of the current transfer takes in the control; nothing once it has been handed
    // over, stopped or failed.
    qint64 HeldBytes() const;
    void setTimeLimits(const TimeLimits &limits);

    // For tests only: servers on this machine's loopback stand in for remote ones and are reached through the
    // proxy like them. The program never calls it: a proxy cannot reach the user's own machine, so loopback
    // is always reached directly.
    void setLoopbackThroughProxy(bool enabled);
    // For tests only: authorities of a test's own to trust, so a test server's certificate is checked like
    // any other (while some are given, the system's authorities may go unconsulted). The program never
    // calls it: it trusts the system's store alone.
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);

signals:
    // A success hands over the body (the buffer itself, shared, never copied).
    void DownOK(const QByteArray &LData);
    // A redirect hands over the address to fetch next, as wire bytes (Windows1251::Decode gives the text); the
    // client answers by setting URLmode True and URL to that address. A bare path has already been put into
    // PageName, so setting it as the URL fetches it from the same server. A URL set while this is being
    // reported continues the chain of redirects, which ends after kMaxRedirectsInRow.
    void Redirected(const QByteArray &address);
    void Msg(const QString &text);
    void PercentOfLoad(int Perc);
    void FLVsize(qint64 Size);
    void DownError(const QString &Msg);
    // "Сервер: " + host, when a download-mode connection is made.
    void ServerLine(const QString &caption);

private:
    ExchangeRequest RequestNow() const;
    void StartTransfer();
    void DropTransfer();
    void ExchangeEnded(const ExchangeEnd &end);
    void FollowRedirect(const QByteArray &location);
    void VideoDone();
    void VideoFailed(const QString &text);

    QString StoredURL;
    QString serverName;
    QString pageName;
    UrlParts::Kind addressKind = UrlParts::Kind::Invalid;
    // The scheme of ServerName: an address with a scheme sets it, a bare path keeps the previous one.
    bool secure = false;
    bool URLmode = false;
    QString pageAddress;
    std::function<ConnectionSettings()> connectionSettingsProvider;
    bool loopbackThroughProxy = false;
    ExchangeLimits limits;
    ResumePolicy resumePolicy;
    int maxConnections = kDefaultMaxConnections;
    QPointer<VideoDownload> video;
    // The exchange of a transfer into memory.
    ExchangePtr exchange;
    // The redirects of the chain the current transfer belongs to, and, only while a redirect is being reported,
    // those of the chain a URL set then continues.
    int redirectsInRow = 0;
    int chainBeingReported = 0;
};
