#pragma once

#include "ResponseReader.h"
#include "WaitClock.h"
#include "WriteBehind.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class FileRange;

// The body of a download written to its file as it arrives. The window's thread fills pieces of a few MiB;
// a writer thread of its own writes them, so the window never waits for the disk, and the memory taken stays a
// few pieces whatever the size. While every piece waits for the disk the file has no room (HasRoom false): the
// transfer stops reading, and the server is held back by the connection itself. The rest of a plain body can
// instead be poured: the writer thread has the kernel move it from the connection to the file.
//
// The file is filled in ranges (FileRange), each from its own first byte on, in order: one for the whole body,
// or one per connection when several connections fetch the video at once. The writer thread pours every range
// that pours, each at its own place in the file, in turns: it waits on all their connections at once, so that one
// thread serves any number of connections. The pieces are shared: a few more for each further range, never more
// than kMaxPieces, so memory stays flat whatever the count. The file's own calls (Write, Pour, ...) fill the
// range that starts at the first byte, for a download over one connection.
//
// The open file is locked (flock) while it is in use, so another run of the program can tell a file
// still being written from one a crash left behind.
//
// The writer thread sends what it has written on to the disk as it goes, range by range, a few MiB at a time, and
// waits for what lies more than a few tens of MiB behind (WriteBehind): when the last byte has arrived most of the
// file is on disk already, so the sync of the save has little left to do. Where the disk is slower than the
// connection, the pieces wait for it and the transfer is held back with them, rather than the memory filling up.
//
// The declared length is reserved by the writer thread in steps, whenever it has nothing else to do and one step
// between any two pieces of work: on a file system that must fill every page it reserves (tmpfs) a few GiB take
// over a second, which ahead of the first write would hold the whole download up, and which beside the writes
// (another thread) would make the two wait for each other on the file.
class BodyFile : public QObject, public BodyOutput {
    Q_OBJECT

public:
    static constexpr qsizetype kPieceBytes = qsizetype(2) << 20;
    static constexpr int kPieces = 4;
    static constexpr int kMaxPieces = 12;

    explicit BodyFile(QObject *parent = nullptr);
    ~BodyFile() override;

    // Creates the file, new: a name already taken (by a file, a folder or a link) fails and is left as it is. False
    // with the reason in the user's words.
    bool Open(const QString &path, QString *error);
    bool IsOpen() const { return descriptor >= 0; }
    QString Path() const { return path; }

    // Checks that the disk has room for length bytes and has them reserved, so the disk cannot fill under
    // the download; a file system that cannot reserve ahead is simply written. False with the reason; a
    // reservation that fails later is reported as a failed write.
    bool Reserve(qint64 length, QString *error);
    // The bytes so far are of no use: the file starts again from its first byte. Every range stops where it is.
    void StartOver();
    // Bytes taken so far by every range, whether written yet or still waiting.
    qint64 Size() const;

    // A range of the file from first up to (not including) end, -1 for as far as the body goes; the caller's, to
    // let go before the file is let go of or started over.
    std::unique_ptr<FileRange> OpenRange(qint64 first, qint64 end = -1);

    // How a pour ended.
    enum class PourEnd { Whole, Closed, Reset, Silent };
    // Of the range from the first byte: hands the rest of a body, length bytes, from the connected socket straight
    // to the file after what waits (see FileRange::Pour); Poured follows.
    void Pour(int socket, qint64 length, std::chrono::milliseconds silence);

    void Write(QByteArrayView bytes) override;
    qint64 ReadFrom(QIODevice &device, qint64 max) override;
    bool HasRoom() const override;

    // Writes what waits; Finished follows once every byte is in the file. The file is not synced here (most of it
    // is on disk by then): where the bytes must be on disk before anything else happens, the save does it.
    void Finish();
    // Lets the file go and deletes it, at once, whatever is under way.
    void Remove();
    // Lets the file go without deleting it (the program is done with it).
    void Release();
    // A failure already met, as the user reads it; "" while there is none.
    QString Fault() const;
    // How long the writer has waited for bytes to write, in all, its reservation of the file's room counted among its
    // waits (it takes the writer's spare time): where it seldom waits, the file (the disk, or the writing itself), not
    // the connections, holds the download back.
    qint64 IdleMs() const { return idle.TotalMs(); }

signals:
    // A piece has been written: there is room again.
    void Drained();
    // Everything has been written.
    void Finished();
    // A write failed (the disk is full, the file system broke); nothing more is written.
    void Failed(const QString &reason);
    // A pour of the range from the first byte has ended, with bytes in the file; a file that failed meanwhile
    // raises Failed instead.
    void Poured(BodyFile::PourEnd end, qint64 bytes);

private:
    friend class FileRange;

    // What a range shares with the writer thread.
    struct RangeShared {
        // Guarded by the file's mutex: the end (exclusive) and the furthest byte a splice under way may reach.
        qint64 end = -1;
        qint64 claimed = 0;
        // Counted by the writer while the range pours; changed by the window's thread to stop the pour.
        std::atomic<qint64> poured = 0;
        std::atomic<quint64> pourSerial = 0;
        // The writer's own.
        WriteBehind behind;
    };
    using Shared = std::shared_ptr<RangeShared>;

    struct Job {
        enum class Kind { Write, Truncate, Reserve, Finish, Pour };
        Kind kind = Kind::Write;
        int piece = -1;
        qint64 offset = 0;
        qint64 bytes = 0;
        Shared range = nullptr;
        // Of a pour.
        int socket = -1;
        quint64 serial = 0;
        int silenceMs = 0;
    };
    // A pour under way, the writer's own.
    struct ActivePour {
        Shared range = nullptr;
        quint64 serial = 0;
        int socket = -1;
        int pipe[2] = {-1, -1};
        qint64 offset = 0;
        qint64 left = 0;
        qint64 bytes = 0;
        int silenceMs = 0;
        std::chrono::steady_clock::time_point quietSince;
    };
    struct PourResult {
        PourEnd end = PourEnd::Whole;
        int reason = 0;  // of a failed write
    };

    void Queue(const Job &job);
    // With the mutex held: a free piece, or a new one while the ranges may have more; -1 when there is none.
    int TakePieceLocked();
    bool PieceAvailable() const;
    int PieceLimitLocked() const;
    void Run(quint64 opened);
    int RunJob(const Job &job);
    // With the mutex held: the file has failed for reason; nothing more is written.
    void FailLocked(int reason);
    // Raises the outcome of a job on the window's thread.
    void Report(quint64 opened, int reason, bool wrote, bool finished);
    int ReserveStep();
    // With the mutex held, once a piece is written, free and reported: sends its bytes on to the disk, which may
    // wait for it; a failure fails the file.
    void SendOnLocked(std::unique_lock<std::mutex> &lock, const Job &written, quint64 opened);
    bool ReservePending() const { return reservedUpTo < reserveGoal; }
    void Remember(const Shared &range);
    // Pouring (BodyFilePour.cpp), on the writer's thread.
    int StartPour(const Job &job);
    int StepPours(quint64 opened, bool &moved);
    bool StepPour(ActivePour &pour, PourResult &result, bool &moved);
    void AwaitPours(quint64 opened);
    void EndPour(std::size_t index, const PourResult &result, quint64 opened);
    void ClosePour(ActivePour &pour);
    int DrainPipe(ActivePour &pour, qint64 bytes);
    void DropJobLocked(const Job &job);
    void Stop();
    void Reported(quint64 opened, int reason, bool wrote, bool finished);
    void ReportedPour(quint64 opened, const Shared &range, quint64 serial, PourEnd end, qint64 bytes);
    FileRange &Own();
    void Wake();

    QString path;
    int descriptor = -1;
    // Counts the files opened, so a late report of one let go is told apart.
    quint64 generation = 0;
    // Bytes taken by every range on the window's thread, pours counted once they have ended.
    qint64 size = 0;
    // The ranges open now; the first byte's own among them.
    std::vector<FileRange *> ranges;
    std::unique_ptr<FileRange> own;
    std::array<std::unique_ptr<char[]>, kMaxPieces> pieces;

    // Shared with the writer thread.
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<int> freePieces;
    int piecesMade = 0;
    bool stopping = false;
    int failure = 0;
    std::thread writer;
    WaitClock idle;
    // The writer's own: how far the declared length is reserved, the ranges written since the file began, and
    // the pours under way.
    qint64 reserveGoal = 0;
    qint64 reservedUpTo = 0;
    std::vector<Shared> written;
    std::vector<ActivePour> pours;
    std::unique_ptr<char[]> bounce;
    // Wakes the writer from its wait on the connections: a job, a stop.
    int wakeFd = -1;
};

// A run of the file's bytes that one exchange fills in order, from its first byte up to its end (exclusive), which
// the download may move nearer while it is filled: another connection then fetches what lies beyond. Bytes beyond
// the end are no part of it and are let go. Its piece in hand goes to the writer when it is let go.
class FileRange : public QObject, public BodyOutput {
    Q_OBJECT

public:
    ~FileRange() override;

    // -1: as far as the body goes.
    qint64 End() const;
    // Bytes taken, whether written yet or still waiting; the pour under way counted as it goes.
    qint64 Taken() const { return taken + PouredSoFar(); }
    // The file's byte the next one taken goes to.
    qint64 Next() const { return first + Taken(); }
    bool Full() const;
    // Moves the end to want, or only as near as the bytes already on their way allow; the end it has now.
    qint64 CutAt(qint64 want);

    void Write(QByteArrayView bytes) override;
    qint64 ReadFrom(QIODevice &device, qint64 max) override;
    bool HasRoom() const override;

    // Hands the rest of a body, length bytes, from the connected socket straight to the file after what waits:
    // the kernel moves them (splice), so they are never copied through the program and the window's thread
    // has no part in it. Takes the descriptor, which is closed once the pour ends; Poured follows. silence: how
    // long the connection may stay quiet.
    void Pour(int socket, qint64 length, std::chrono::milliseconds silence);
    // Ends a pour at once; it reports nothing more, and its bytes count no more.
    void StopPouring();
    // The bytes of the current pour that are in the file.
    qint64 PouredSoFar() const { return pouring ? shared->poured.load() : 0; }
    // The piece in hand goes to the writer, or back to the free ones when it holds nothing.
    void PassOnPieceInHand();

signals:
    // A pour has ended, with bytes in the file.
    void Poured(BodyFile::PourEnd end, qint64 bytes);

private:
    friend class BodyFile;

    FileRange(BodyFile &file, qint64 first, qint64 end);
    qint64 Room() const;
    bool TakeFreePiece();
    void PassOnFilledPiece();
    void Took(qint64 bytes);
    void PourEnded(quint64 serial, BodyFile::PourEnd end, qint64 bytes);
    // The file has started over or gone: the range holds nothing more.
    void Drop();

    BodyFile *file;
    BodyFile::Shared shared;
    qint64 first;
    // Taken on the window's thread, and by the pours that have ended.
    qint64 taken = 0;
    // The piece being filled, and how much of it is: its bytes are the last ones taken.
    int current = -1;
    qint64 filled = 0;
    bool pouring = false;
};

// The reason of a failed file operation as the user reads it: the system's words, the full disk in ours.
QString FileErrorText(int error);
