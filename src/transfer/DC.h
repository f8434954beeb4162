#pragma once

#include "BodyFile.h"
#include "CloseWatch.h"
#include "ConnectionSettings.h"
#include "ResponseReader.h"
#include "UrlHelpers.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class QSslSocket;
class QTcpSocket;

// The transfer control: one HTTP/1.0 exchange at a time over one TCP socket, directly or through the HTTP
// proxy its connection settings name, reported through its signals. Every request asks for the connection to be
// closed, so the server's close is the end of the answer; the whole answer is held in memory until then, unless
// a body file is given (setBodyFile), which the body of a success goes to as it arrives.
// An https address is fetched over TLS (the certificate and the host name checked against the system's
// authorities), through the proxy inside a CONNECT tunnel; the signals are the same.
//
// Signals may be raised from inside setURL and Stopped, and a handler may itself call setURL or Stopped:
// the control checks after every signal whether the transfer it was working on is still the current one.
class DC : public QObject {
    Q_OBJECT

public:
    // Redirects followed one after the other before the control gives up.
    static constexpr int kMaxRedirectsInRow = 20;

    explicit DC(QObject *parent = nullptr);
    ~DC() override;

    // Stores the address, splits it into ServerName and PageName and starts the transfer with the connection
    // settings of that moment. A transfer
    // still open is dropped first without any signal. An address the control cannot fetch ends at once
    // with DownError (after PercentOfLoad and FLVsize with 0).
    void setURL(const QString &url);
    QString URL() const;

    // True: download mode, a GET of the address. False: resolution mode, the form submission of the page
    // address to the resolution service. Read when the connection is made; starts nothing.
    void setURLmode(bool downloadMode);

    QString ServerName() const;
    QString PageName() const;

    // Aborts the open transfer; raises "Загрузка остановлена", PercentOfLoad 0 and FLVsize 0 even when
    // idle. Nothing of the aborted connection is reported afterwards.
    void Stopped();

    // The page address for the resolution request, read at the moment the connection is made.
    void setPageAddressProvider(std::function<QString()> provider);

    // How to reach servers: a fixed value, or a provider asked whenever a transfer starts (the settings may
    // change between transfers). Without either, servers are reached directly.
    void setConnectionSettings(const ConnectionSettings &settings);
    void setConnectionSettingsProvider(std::function<ConnectionSettings()> provider);

    // The body of a success goes to this file as it arrives instead of memory (nullptr: memory), and DownOK
    // hands over an empty buffer once every byte is in the file. With a declared length, a connection that
    // drops before the end (a close, a reset, the silence limit, an answer shorter than the part asked for) is
    // taken up again from the bytes on disk with a Range request, a few times with growing pauses; an answer that
    // cannot continue them starts the file over, one longer than the part asked for ends the download with
    // DownError. DownOK comes only when the file holds the declared length exactly. The file must be open; it stays the
    // caller's. Taken when a transfer starts.
    void setBodyFile(BodyFile *file);
    struct ResumePolicy {
        int attempts = 5;
        // The pause before the first try; each further one waits twice as long as the one before.
        std::chrono::milliseconds firstPause{2000};
    };
    void setResumePolicy(const ResumePolicy &policy);

    // The largest body the control will gather; by default what memory can hold.
    void setMaxBodyBytes(qint64 bytes);
    // The largest body without a declared length (one that only the close or its last chunk ends), which
    // grows in memory as it arrives; negative: the same as any body. Taken when a transfer starts.
    void setMaxUndeclaredBodyBytes(qint64 bytes);
    // The memory the answer of the current transfer takes in the control; nothing once it has been handed
    // over, stopped or failed.
    qint64 HeldBytes() const;

    // How long a server may keep the control waiting: to be connected (the name looked up, the connection
    // made), and for the next bytes while the exchange is open. Either running out ends the transfer with
    // DownError.
    struct TimeLimits {
        std::chrono::milliseconds connect{30000};
        std::chrono::milliseconds silence{60000};
    };
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
    // PageName, so setting it as the URL fetches it from the same server.
    void Redirected(const QByteArray &address);
    void Msg(const QString &text);
    void PercentOfLoad(int Perc);
    void FLVsize(qint64 Size);
    void DownError(const QString &Msg);
    // "Сервер: " + host, when a download-mode connection is made.
    void ServerLine(const QString &caption);

private:
    // Where the connection stands; a plain HTTP connection is in Exchange from the start.
    enum class Phase { Tunnel, Handshake, Exchange };

    void StartTransfer();
    void OpenConnection(const QString &host, quint16 port);
    // The secure steps (DCSecure.cpp): a TLS socket, the tunnel through the proxy, the handshake.
    QSslSocket *NewSecureSocket(const QString &host);
    void StartSecureConnection(const QString &host, quint16 port);
    void RequestTunnel();
    void TunnelArrival();
    void EndBeforeExchange();
    std::optional<QString> SecureErrorText(QAbstractSocket::SocketError error) const;

    void WatchConnection();
    void ConnectTimedOut();
    void SilenceTimedOut();
    QString SilenceText() const;
    void Connect();
    void DataArrival();
    void Close();
    void EndOfAnswer();
    void Error(QAbstractSocket::SocketError error);
    void FollowRedirect(const Outcome &outcome);
    void Fail(const QString &text);
    void FailOn(const Outcome &outcome);
    // Ends the transfer with DownError, whatever a resume might do.
    void FailFinally(const QString &text);
    // Resuming (DCResume.cpp).
    void ConfigureReader();
    void ConnectToServer();
    bool JudgeHead(const ResponseReader &answer);
    bool TakeFirstHead(const ResponseReader &answer);
    Outcome MeasureFile(Outcome outcome) const;
    bool ScheduleResume();
    void ResumeNow();
    void StartOverNow();
    void FileDrained();
    void FileFinished();
    void FileFailed(const QString &reason);
    void PourRest();
    void FilePoured(BodyFile::PourEnd end, qint64 bytes);
    void ReportArrival();
    void FinishFile();
    void ReportProgress();
    void DetachSocket();
    void EndRedirectChain();
    ResponseReader::ProxyContext ProxyContextNow() const;

    // The download into a file, while a transfer has one.
    struct FileDownload {
        bool active = false;
        // A success with a declared length has begun: a drop can be taken up again.
        bool resumable = false;
        qint64 total = -1;
        QByteArray etag;
        QByteArray lastModified;
        int attempts = 0;
        // The first byte the request in flight asks for; -1 for the whole body.
        qint64 rangeStart = -1;
        // The answer cannot continue the bytes on disk: they go, and the body is asked for again.
        bool startOver = false;
        // The body is whole; the file is taking its last bytes.
        bool finishing = false;
        // The server closed while bytes of its answer still waited for room in the file.
        bool closePending = false;
        QString fault;
    };

    QString StoredURL;
    BodyFile *bodyFile = nullptr;
    // Shows the progress while the rest of the body pours from the connection to the file, which holds the
    // connection meanwhile.
    QTimer pourProgress;
    FileDownload download;
    ResumePolicy resumePolicy;
    QTimer resumeTimer;
    QString targetHost;
    quint16 targetPort = 0;
    QString serverName;
    QString pageName;
    UrlParts::Kind addressKind = UrlParts::Kind::Invalid;
    bool URLmode = false;
    bool StopFlag = false;
    bool viaProxy = false;
    bool loopbackThroughProxy = false;
    // The scheme of ServerName: an address with a scheme sets it, a bare path keeps the previous one.
    bool secure = false;
    Phase phase = Phase::Exchange;
    QByteArray wireServerName;
    QString peerName;  // the host the certificate must be for
    QByteArray tunnelAuthority;
    QByteArray tunnelAnswer;
    QList<QSslCertificate> extraCaCertificates;
    QTcpSocket *WS = nullptr;
    CloseWatch closeWatch;
    TimeLimits timeLimits;
    // Runs from the start of the connection until it stands.
    QTimer connectTimer;
    // Runs while the connection stands, restarted by every sign of life from the other side.
    QTimer silenceTimer;
    std::optional<ResponseReader> reader;
    bool lengthReported = false;
    qint64 maxBodyBytes;
    qint64 maxUndeclaredBodyBytes = -1;
    std::function<QString()> pageAddressProvider;
    std::function<ConnectionSettings()> connectionSettingsProvider;
    // Taken from the provider when the transfer starts, so one transfer never mixes two settings.
    ConnectionSettings connection;
    // Counts the redirects of one chain: a setURL right after a redirect continues it, any other end
    // of a transfer (or Stopped) ends it.
    int redirectsInRow = 0;
    bool redirectPending = false;
    // Changes whenever a transfer starts or is stopped, so a handler's re-entry is noticed.
    quint64 generation = 0;
};
