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
#include <QPointer>
#include <QSslCertificate>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QSslSocket;
class QTcpSocket;

// How long a server may keep an exchange waiting: to be connected (the name looked up, the connection made), and
// for the next bytes while the exchange is open. Either running out ends the exchange as failed.
struct TimeLimits {
    std::chrono::milliseconds connect{30000};
    std::chrono::milliseconds silence{60000};
};

// Everything one exchange asks and of whom, fixed when it is made.
struct ExchangeRequest {
    // Why the exchange cannot be made at all, in the user's words; "" when it can. It then ends at once with this.
    QString fault;
    // The server as the user reads it (host, or host:port) and where it is.
    QString serverName;
    HostPort server;
    bool secure = false;
    // The path and query asked for (download mode).
    QString pageName;
    // True: a GET of pageName. False: the resolution request, which carries pageAddress.
    bool downloadMode = true;
    QString pageAddress;
    ConnectionSettings connection;
    // The connection goes to the proxy of connection (for https, a tunnel through it).
    bool viaProxy = false;
};

// What bounds an exchange, the same for every exchange of a transfer control.
struct ExchangeLimits {
    TimeLimits time;
    // The largest body gathered in memory, and the largest without a declared length (negative: the same).
    qint64 maxBodyBytes = ResponseReader::DefaultMaxBodyBytes();
    qint64 maxUndeclaredBodyBytes = -1;
    // For tests only: authorities of a test's own to trust besides the system's.
    QList<QSslCertificate> extraCaCertificates;
};

// The part of a video's partial file that an exchange fills, and what it needs to judge the answer's head.
struct FilePart {
    BodyFile *file = nullptr;
    // The first byte asked for, -1 for the whole body; and the last, -1 for a part that runs to the end of the file.
    qint64 first = -1;
    qint64 last = -1;
    // Of a part: the whole file's length and the validators of the answer the bytes on disk came with. The answer
    // continues them only when its Content-Range and validator agree.
    qint64 total = -1;
    QByteArray etag;
    QByteArray lastModified;
};

// What the head of a whole body (a first answer, or a 200 to a request for a part) told of the file.
struct FileHead {
    // A declared length, without which a drop cannot be taken up again; -1 for none.
    qint64 total = -1;
    QByteArray etag;
    QByteArray lastModified;
};

// How an exchange ended; the exchange does nothing more after it has said so.
struct ExchangeEnd {
    enum class Kind {
        // The exchange could not be made, its connection failed or fell silent: text says why.
        Failed,
        // The answer could not be read on (too large, framed wrongly, its head refused): outcome says why.
        Broken,
        // The answer has ended: by the close, a reset, or its own framing. outcome says what it is, body holds
        // the body of a success that went to memory.
        Answered,
    };
    Kind kind = Kind::Failed;
    QString text;
    Outcome outcome;
    QByteArray body;
    // Of a broken answer for a file part: it cannot continue the bytes on disk (the file is to start over), or
    // the file could not take it (fileFault, in the user's words).
    bool cannotContinue = false;
    QString fileFault;
    // The answer's status code (0 before a status line came), and the bytes of the answer that came, its header
    // included.
    int status = 0;
    qint64 received = 0;
    // Of a file part: the file's byte its next one would have gone to.
    qint64 reached = -1;
};

// One request and its answer: the socket (with its TLS tunnel through the proxy, for https), its time limits and
// the reader of the answer, made for one exchange and gone once it has ended or been dismissed. What it reports
// goes out through its signals, the same the transfer control raises, so its owner can pass them on as they are;
// Ended comes once, last. A dismissed exchange is cut off from everything (its owner, its socket, its file): a
// late callback of its socket can only reach it, and it reaches no one.
//
// For a video it fills its part of the partial file: the body of a success goes there as it arrives, and once
// the header is behind the rest of a plain body is poured past the program. It judges the answer's head against
// the part: a first answer declares the file's length (reserved on disk) and its validators, an answer to a part
// must continue the bytes on disk.
class Exchange : public QObject {
    Q_OBJECT

public:
    Exchange(const ExchangeRequest &request, const ExchangeLimits &limits, QObject *parent = nullptr);
    ~Exchange() override;

    // The body of a success goes to this part of a file instead of memory. Before Start.
    void setFilePart(const FilePart &part);
    // The file's length has been shown already: a continued part does not show it again. Before Start.
    void setLengthShown(bool shown) { lengthShown = shown; }
    // Whether the exchange reports what has arrived (Msg, FLVsize, PercentOfLoad); a download over several
    // connections reports for them all itself.
    void setReportsProgress(bool reports);
    // Whether a body cut short is taken up again by the owner, whose end is then no "Завершено": the download is
    // resumable (until a head of this exchange says anew: when it declares a length) and tries are left. Before
    // Start.
    void setResumeRule(bool resumable, bool triesLeft)
    {
        resumableBefore = resumable;
        resumeTriesLeft = triesLeft;
    }
    // The download can be taken up again after this exchange: what its head declared, or what it was before.
    bool Resumable() const { return head ? head->total > 0 && fileFault.isEmpty() : resumableBefore; }

    // Connects and asks; reportStart first raises PercentOfLoad 0 and FLVsize 0, as a transfer does when it begins.
    // Reports from here on, the first of them before Start returns.
    void Start(bool reportStart);
    // Ends the exchange at once, without a word: it lets go of its socket and file and deletes itself later.
    void Dismiss();

    // What the head of a whole body told of the file, once such a head has come.
    const std::optional<FileHead> &Head() const { return head; }
    // The file's length has been shown (FLVsize), by this exchange or before it.
    bool LengthShown() const { return lengthShown; }
    // The memory the answer takes.
    qint64 HeldBytes() const { return reader ? reader->HeldBytes() : 0; }
    // Of a file part: the file's byte the next one goes to; and CutPartAt moves the end of the part (exclusive, -1
    // for the end of the body) nearer, as far as the bytes on their way allow, giving the end it set.
    qint64 PartReached() const;
    qint64 CutPartAt(qint64 want);

signals:
    void Msg(const QString &text);
    // "Сервер: " + host, when a download-mode connection is made.
    void ServerLine(const QString &caption);
    void FLVsize(qint64 Size);
    void PercentOfLoad(int Perc);
    // The head of a success has been accepted for the file: its body begins. Raised from inside the reading of the
    // answer: a handler must not dismiss the exchange.
    void BodyBegins();
    void Ended(const ExchangeEnd &end);

private:
    // Where the connection stands; a plain HTTP connection is in Asking from the start.
    enum class Phase { Tunnel, Handshake, Asking };

    // The connection (ExchangeConnection.cpp).
    bool OpenConnection();
    QSslSocket *NewSecureSocket();
    void StartSecureConnection(const QString &host, quint16 port);
    void RequestTunnel();
    void TunnelArrival();
    void EndBeforeAsking();
    std::optional<QString> SecureErrorText(QAbstractSocket::SocketError error) const;
    void WatchConnection();
    void ConnectTimedOut();
    void SilenceTimedOut();
    QString SilenceText() const;
    void SendRequest();
    void Error(QAbstractSocket::SocketError error);
    void DetachSocket();
    // The exchange is over: it lets go of everything and says so, last.
    void Finish(const ExchangeEnd &end);
    void Fail(const QString &text);

    // The answer (ExchangeAnswer.cpp).
    void DataArrival();
    void Close();
    void EndOfAnswer();
    Outcome MeasureFile(Outcome outcome) const;
    void ReportArrival();
    void ReportProgress();
    bool JudgeHead(const ResponseReader &answer);
    bool TakeHead(const ResponseReader &answer);
    bool PourRest();
    void OpenRange(qint64 first, qint64 end);
    bool PartWhole() const { return range && range->Full(); }
    void LetRangeGo();
    void FileDrained();
    void FilePoured(BodyFile::PourEnd end, qint64 bytes);
    ResponseReader::ProxyContext ProxyContextNow() const;

    const ExchangeRequest request;
    const ExchangeLimits limits;
    // The file of a video, while the exchange fills it; it may go before the exchange does.
    QPointer<BodyFile> file;
    FilePart part;
    // The part of the file the body goes to, and where it had got when it was let go.
    std::unique_ptr<FileRange> range;
    qint64 reached = -1;
    std::optional<FileHead> head;
    // The answer to a part cannot continue the bytes on disk, or the file could not take the answer.
    bool cannotContinue = false;
    QString fileFault;
    bool lengthShown = false;
    bool reportsProgress = true;
    bool resumableBefore = false;
    bool resumeTriesLeft = false;
    // The server closed while bytes of its answer still waited for room in the file.
    bool closePending = false;

    Phase phase = Phase::Asking;
    QTcpSocket *WS = nullptr;
    CloseWatch closeWatch;
    QByteArray tunnelAnswer;
    // Runs from the start of the connection until it stands.
    QTimer connectTimer;
    // Runs while the connection stands, restarted by every sign of life from the other side.
    QTimer silenceTimer;
    // Shows the progress while the rest of the body pours from the connection to the file.
    QTimer pourProgress;
    std::optional<ResponseReader> reader;
};

// Owns an exchange and dismisses it when let go: a stopped or replaced exchange reports nothing more.
struct DismissExchange {
    void operator()(Exchange *exchange) const { exchange->Dismiss(); }
};
using ExchangePtr = std::unique_ptr<Exchange, DismissExchange>;
