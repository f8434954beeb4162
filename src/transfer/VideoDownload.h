#pragma once

#include "BodyFile.h"
#include "ConnectionPlan.h"
#include "Exchange.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

// The download of one video into its partial file, from the first address to the last byte on disk, whatever
// redirects lie between: it owns the file and the rules by which a dropped connection is taken up again. A connection
// that drops before the end (a close, a reset, the silence limit, an answer shorter than the part asked for) is taken
// up again from the bytes on disk with a Range request, a few times with growing pauses; an answer that cannot
// continue them starts the file over, one longer than the part asked for ends the download. Done comes only when the
// file holds the declared length exactly.
//
// Over several connections at once (VideoDownloadSeveral.cpp): a first answer that declares a length of at least
// ConnectionPlan::kLeastLength is measured alone for a moment; unless the file itself holds it back (its writer seldom
// waits for bytes), a second connection then asks for the second half of what is left with a Range request. Only its
// 206 with a fitting Content-Range shows that the server serves parts; from then on the first connection ends where the
// second begins, and the download adds connections while they make it faster (ConnectionPlan), each taking half of the
// largest part still to come, each writing at its own place in the file. The download then reports the progress of them
// all itself; over one connection its exchange does.
//
// Whoever makes the download opens the file (File().Open) and decides its fate once the download has ended: kept
// (BodyFile::Release) or deleted (BodyFile::Remove).
class VideoDownload : public QObject {
    Q_OBJECT

public:
    struct ResumePolicy {
        int attempts = 5;
        // The pause before the first try; each further one waits twice as long as the one before.
        std::chrono::milliseconds firstPause{2000};
    };

    explicit VideoDownload(QObject *parent = nullptr);
    ~VideoDownload() override;

    BodyFile &File() { return file; }
    const BodyFile &File() const { return file; }

    // The most connections a video is fetched over at once; 1 fetches every video over one. Taken by Fetch.
    void setMaxConnections(int count) { maxConnections = std::max(count, 1); }

    // Fetches the address of request into the file, anew: whatever an earlier address left in the file goes.
    // Reports as the transfer control does, the first reports before it returns.
    void Fetch(const ExchangeRequest &request, const ExchangeLimits &limits, const ResumePolicy &policy);
    // Ends the fetch under way at once, every connection of it, without a word; the file stays as it is.
    void Stop();
    // The memory the answers under way take.
    qint64 HeldBytes() const;
    // The connections that bring the video now: 1 over one connection, 0 while none does.
    int Connections() const;

signals:
    void Msg(const QString &text);
    void ServerLine(const QString &caption);
    void FLVsize(qint64 Size);
    void PercentOfLoad(int Perc);
    // The fetch has ended; each is raised last. Redirected hands over the raw Location of the answer.
    void Done();
    void Redirected(const QByteArray &location);
    void Failed(const QString &text);

private:
    // One connection of a fetch over several, and the bytes of the file it brings: from next up to end (exclusive).
    // Between a drop and its resume it has no exchange.
    struct Part {
        ExchangePtr exchange;
        qint64 next = 0;
        qint64 end = 0;
        // Its body has begun.
        bool begun = false;
        // The count wanted when its connection was made.
        int startedWith = 1;
        QTimer resume;
    };
    using Span = ConnectionPlan::Span;

    // Over one connection (VideoDownload.cpp).
    void StartExchange(bool reportStart);
    void ExchangeEnded(const ExchangeEnd &end);
    void Answered(const Outcome &outcome);
    void Fail(const QString &text);
    void FailOn(const Outcome &outcome);
    // Ends the fetch with Failed, whatever a resume might do.
    void FailFinally(const QString &text);
    bool ScheduleResume(QTimer &timer);
    void StartOver();
    void FileFinished();
    void FileFailed(const QString &reason);
    // Ends every connection and forgets how the fetch stood with several; the tries and the file stay.
    void EndConnections();
    void KeepHead(const FileHead &head);

    // Over several (VideoDownloadSeveral.cpp).
    void Tick();
    void FirstBodyBegins();
    void StartProbe();
    void ProbeBegins(Part *probe);
    void ProbeEnded(Part *probe, const ExchangeEnd &end);
    void EnterSeveral(qint64 firstEnd);
    void StartPart(Part *part);
    Part *AddPart(qint64 next, qint64 end);
    void PartEnded(Part *part, const ExchangeEnd &end);
    void PartRefused(Part *part);
    void ResumePart(Part *part, const QString &text);
    void TakeWork(Part *part);
    bool SplitFor(Part *part);
    void RemovePart(Part *part);
    void Grow();
    void StartWindow();
    void Measure();
    void ReportSeveral();
    void AllPartsDone();
    void StartOverAll();
    int Working() const;
    int Busy() const;
    QString HostKey() const;

    BodyFile file;
    ExchangeRequest request;
    ExchangeLimits limits;
    ResumePolicy policy;
    int maxConnections = kDefaultMaxConnections;

    // The fetch under way, from Fetch until it has said how it ended.
    struct State {
        bool underWay = false;
        // A success with a declared length has begun: a drop can be taken up again.
        bool resumable = false;
        qint64 total = -1;
        QByteArray etag;
        QByteArray lastModified;
        bool lengthShown = false;
        int attempts = 0;
        // The body is whole; the file is taking its last bytes.
        bool finishing = false;
    };
    State state;
    // How the fetch stands with several connections: whether the server was asked for a part, whether it serves
    // them (several), how many connections are wanted, and whether more may still help (growing).
    struct Plan {
        bool probed = false;
        bool several = false;
        int target = 1;
        // The most connections that have brought bytes together.
        int proven = 1;
        bool growing = false;
        // The window being measured: since when, from which size of the file and idle time of its writer, over how many
        // connections; and the measure before it.
        bool measuring = false;
        bool warm = false;
        QElapsedTimer since;
        qint64 fromBytes = 0;
        qint64 fromIdleMs = 0;
        int count = 0;
        ConnectionPlan::SoloWindow solo;
        ConnectionPlan::Measure before;
        // What the progress reports last said.
        qint64 reportedBytes = -1;
    };
    Plan plan;
    QTimer resumeTimer;
    // Measures and reports while a video may go, or goes, over several connections.
    QTimer tick;
    // Makes the count up again after connections were turned away.
    QTimer refill;
    // Declared after the file, so they go first: the exchange over one connection, the parts over several (the
    // second connection among them while it is asked), and the spans a refused connection gave back.
    ExchangePtr exchange;
    std::vector<std::unique_ptr<Part>> parts;
    std::vector<Span> spare;
};
