#pragma once

#include "ResponseReader.h"
#include "WriteBehind.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// The body of a download written to its file as it arrives. The window's thread fills pieces of a few MiB;
// a writer thread of its own writes them in order, so the window never waits for the disk, and the memory
// taken stays a few pieces whatever the size. While every piece waits for the disk the file has no room
// (HasRoom false): the transfer stops reading, and the server is held back by the connection itself. The rest
// of a plain body can instead be poured: the writer thread has the kernel move it from the connection to the
// file.
//
// The open file is locked (flock) while it is in use, so another run of the program can tell a file
// still being written from one a crash left behind.
//
// The writer thread sends what it has written on to the disk as it goes, a few MiB at a time, and waits for what lies
// more than a few tens of MiB behind (WriteBehind): when the last byte has arrived most of the file is on disk
// already, so the sync of the save has little left to do. Where the disk is slower than the connection, the
// pieces wait for it and the transfer is held back with them, rather than the memory filling up.
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
    // The bytes so far are of no use: the file starts again from its first byte.
    void StartOver();
    // Bytes taken so far, whether written yet or still waiting.
    qint64 Size() const { return size + PouredSoFar(); }

    // How a pour ended.
    enum class PourEnd { Whole, Closed, Reset, Silent };
    // Hands the rest of a body, length bytes, from the connected socket straight to the file after what waits:
    // the kernel moves them (splice), so they are never copied through the program and the window's thread
    // has no part in it. Takes the descriptor, which is closed once the pour ends; Poured follows. silence: how
    // long the connection may stay quiet.
    void Pour(int socket, qint64 length, std::chrono::milliseconds silence);
    // Ends a pour at once; it reports nothing more, and its bytes count no more.
    void StopPouring();
    // The bytes of the current pour that are in the file.
    qint64 PouredSoFar() const { return pouring ? poured.load() : 0; }

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

signals:
    // A piece has been written: there is room again.
    void Drained();
    // Everything has been written.
    void Finished();
    // A write failed (the disk is full, the file system broke); nothing more is written.
    void Failed(const QString &reason);
    // A pour has ended, with bytes in the file; a file that failed meanwhile raises Failed instead.
    void Poured(BodyFile::PourEnd end, qint64 bytes);

private:
    struct Job {
        enum class Kind { Write, Truncate, Reserve, Finish, Pour };
        Kind kind = Kind::Write;
        int piece = -1;
        qint64 offset = 0;
        qint64 bytes = 0;
        // Of a pour.
        int socket = -1;
        quint64 serial = 0;
        int silenceMs = 0;
    };
    struct PourResult {
        PourEnd end = PourEnd::Whole;
        int reason = 0;  // of a failed write
        bool stopped = false;
        qint64 bytes = 0;  // in the file
    };

    void Queue(const Job &job);
    void PassOnFilledPiece();
    // The piece being filled goes to the writer, or back to the free ones when it holds nothing.
    void PassOnPieceInHand();
    bool TakeFreePiece();
    void Run(quint64 opened);
    int RunJob(const Job &job, quint64 opened);
    // With the mutex held: the file has failed for reason; nothing more is written.
    void FailLocked(int reason);
    // Raises the outcome of a job on the window's thread.
    void Report(quint64 opened, int reason, bool wrote, bool finished);
    int ReserveStep();
    // With the mutex held, once a piece is written, free and reported: sends its bytes on to the disk, which may
    // wait for it; a failure fails the file.
    void SendOnLocked(std::unique_lock<std::mutex> &lock, const Job &written, quint64 opened);
    bool ReservePending() const { return reservedUpTo < reserveGoal; }
    // Pouring (BodyFilePour.cpp), on the writer's thread.
    void RunPour(const Job &job, quint64 opened);
    PourResult PourInto(const Job &job, int pipe[2]);
    int DrainPipe(int pipe, qint64 &offset, qint64 bytes, qint64 &total);
    bool PourGoesOn(quint64 serial) const { return pourSerial.load() == serial; }
    void DropJobLocked(const Job &job);
    void Stop();
    void Reported(quint64 opened, int reason, bool wrote, bool finished);
    void ReportedPour(quint64 opened, quint64 serial, PourEnd end, qint64 bytes);

    QString path;
    int descriptor = -1;
    // Counts the files opened, so a late report of one let go is told apart.
    quint64 generation = 0;
    qint64 size = 0;
    // The piece being filled and how much of it is.
    int current = -1;
    qint64 filled = 0;
    qint64 pieceOffset = 0;
    std::vector<std::unique_ptr<char[]>> pieces;

    // Shared with the writer thread.
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::deque<Job> jobs;
    std::vector<int> freePieces;
    bool stopping = false;
    int failure = 0;
    std::thread writer;
    // The writer's own: how far the declared length is reserved.
    qint64 reserveGoal = 0;
    qint64 reservedUpTo = 0;
    WriteBehind behind;
    // The pour under way: asked for by the window's thread (pouring), counted by the writer (poured). Stopping
    // a pour changes pourSerial, which the pour checks between steps; wakeFd wakes it from its wait.
    bool pouring = false;
    std::atomic<quint64> pourSerial = 0;
    std::atomic<qint64> poured = 0;
    int wakeFd = -1;
};

// The reason of a failed file operation as the user reads it: the system's words, the full disk in ours.
QString FileErrorText(int error);
