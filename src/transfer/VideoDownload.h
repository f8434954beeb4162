#pragma once

#include "BodyFile.h"
#include "Exchange.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

// The download of one video into its partial file, from the first address to the last byte on disk, whatever
// redirects lie between: it owns the file and the rules by which a dropped connection is taken up again, and runs
// one exchange at a time. A connection that drops before the end (a close, a reset, the silence limit, an answer
// shorter than the part asked for) is taken up again from the bytes on disk with a Range request, a few times with
// growing pauses; an answer that cannot continue them starts the file over, one longer than the part asked for
// ends the download. Done comes only when the file holds the declared length exactly.
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

    // Fetches the address of request into the file, anew: whatever an earlier address left in the file goes.
    // Reports as the transfer control does, the first reports before it returns.
    void Fetch(const ExchangeRequest &request, const ExchangeLimits &limits, const ResumePolicy &policy);
    // Ends the fetch under way at once, without a word; the file stays as it is.
    void Stop();
    // The memory the answer under way takes.
    qint64 HeldBytes() const { return exchange ? exchange->HeldBytes() : 0; }

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
    void StartExchange(bool reportStart);
    void ExchangeEnded(const ExchangeEnd &end);
    void Answered(const Outcome &outcome);
    void Fail(const QString &text);
    void FailOn(const Outcome &outcome);
    // Ends the fetch with Failed, whatever a resume might do.
    void FailFinally(const QString &text);
    bool ScheduleResume();
    void StartOver();
    void FileFinished();
    void FileFailed(const QString &reason);

    BodyFile file;
    ExchangeRequest request;
    ExchangeLimits limits;
    ResumePolicy policy;

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
    QTimer resumeTimer;
    // Declared after the file, so it goes first.
    ExchangePtr exchange;
};
