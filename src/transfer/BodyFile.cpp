#include "BodyFile.h"

#include "TransferTexts.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/statvfs.h>
#include <unistd.h>

QString FileErrorText(int error)
{
    if (error == ENOSPC || error == EDQUOT)
        return QStringLiteral("на диске не осталось свободного места");
    return qt_error_string(error);
}

BodyFile::BodyFile(QObject *parent) : QObject(parent), wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
}

BodyFile::~BodyFile()
{
    Release();
    own.reset();
    // A range its owner still holds fills nothing any more.
    for (FileRange *range : ranges)
        range->file = nullptr;
    if (wakeFd >= 0)
        ::close(wakeFd);
}

bool BodyFile::Open(const QString &newPath, QString *error)
{
    Release();
    path = newPath;
    // Always a file of our own making: a name already taken is never written through, be it another download's
    // file or a link someone put there to have the video written over a file of the user's.
    descriptor =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        *error = FileErrorText(errno);
        return false;
    }
    // Tells another run of the program, cleaning up at its start, that the file is being written; on a file system
    // without locks it is written all the same.
    [[maybe_unused]] const int locked = ::flock(descriptor, LOCK_EX | LOCK_NB);
    freePieces.clear();
    for (int i = 0; i < kPieces; ++i) {
        if (!pieces[i])
            pieces[i] = std::make_unique_for_overwrite<char[]>(std::size_t(kPieceBytes));
        freePieces.push_back(i);
    }
    piecesMade = kPieces;
    size = 0;
    failure = 0;
    stopping = false;
    written.clear();
    writer = std::thread([this, opened = ++generation] { Run(opened); });
    return true;
}

bool BodyFile::Reserve(qint64 length, QString *error)
{
    struct statvfs disk { };
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (length > 0 && ::statvfs(folder.constData(), &disk) == 0) {
        const qint64 available = qint64(disk.f_bavail) * qint64(disk.f_frsize);
        if (available < length) {
            *error = TransferTexts::NoRoomForVideo(length, available);
            return false;
        }
    }
    if (length > 0)
        Queue({Job::Kind::Reserve, -1, 0, length});
    return true;
}

void BodyFile::StartOver()
{
    for (FileRange *range : ranges)
        range->Drop();
    own.reset();
    size = 0;
    Queue({Job::Kind::Truncate, -1, 0, 0});
}

qint64 BodyFile::Size() const
{
    qint64 total = size;
    for (const FileRange *range : ranges)
        total += range->PouredSoFar();
    return total;
}

std::unique_ptr<FileRange> BodyFile::OpenRange(qint64 first, qint64 end)
{
    std::unique_ptr<FileRange> range(new FileRange(*this, first, end));
    ranges.push_back(range.get());
    return range;
}

FileRange &BodyFile::Own()
{
    if (!own) {
        own = OpenRange(0);
        connect(own.get(), &FileRange::Poured, this, &BodyFile::Poured);
    }
    return *own;
}

void BodyFile::Pour(int socket, qint64 length, std::chrono::milliseconds silence)
{
    Own().Pour(socket, length, silence);
}

void BodyFile::Write(QByteArrayView bytes)
{
    Own().Write(bytes);
}

qint64 BodyFile::ReadFrom(QIODevice &device, qint64 max)
{
    return Own().ReadFrom(device, max);
}

bool BodyFile::HasRoom() const
{
    return own ? own->HasRoom() : PieceAvailable();
}

void BodyFile::Finish()
{
    for (FileRange *range : ranges)
        range->PassOnPieceInHand();
    Queue({Job::Kind::Finish, -1, 0, 0});
}

void BodyFile::Remove()
{
    Stop();
    if (descriptor < 0)
        return;
    // The name goes at once. The file itself goes with its last descriptor, and the system first waits for the
    // bytes on their way to the disk (up to a few tens of MiB): that wait is a thread's of its own.
    ::unlink(QFile::encodeName(path).constData());
    std::thread([closing = descriptor] { ::close(closing); }).detach();
    descriptor = -1;
}

void BodyFile::Release()
{
    Stop();
    if (descriptor >= 0)
        ::close(descriptor);
    descriptor = -1;
}

QString BodyFile::Fault() const
{
    std::lock_guard lock(mutex);
    return failure != 0 ? FileErrorText(failure) : QString();
}

void BodyFile::Queue(const Job &job)
{
    {
        std::lock_guard lock(mutex);
        // After a failed write nothing more is written: the piece is free again at once.
        if (failure != 0)
            return DropJobLocked(job);
        jobs.push_back(job);
    }
    wake.notify_all();
    Wake();
}

void BodyFile::Wake()
{
    ::eventfd_write(wakeFd, 1);
}

int BodyFile::PieceLimitLocked() const
{
    // A few pieces for the whole body; each further range adds one, so that every connection can have one in hand.
    const int extra = std::max(0, int(ranges.size()) - 1);
    return std::min(kMaxPieces, kPieces + extra);
}

int BodyFile::TakePieceLocked()
{
    if (failure != 0)
        return -1;
    if (!freePieces.empty()) {
        const int piece = freePieces.back();
        freePieces.pop_back();
        return piece;
    }
    if (piecesMade >= PieceLimitLocked())
        return -1;
    if (!pieces[piecesMade])
        pieces[piecesMade] = std::make_unique_for_overwrite<char[]>(std::size_t(kPieceBytes));
    return piecesMade++;
}

bool BodyFile::PieceAvailable() const
{
    std::lock_guard lock(mutex);
    return failure == 0 && (!freePieces.empty() || piecesMade < PieceLimitLocked());
}

void BodyFile::Stop()
{
    if (!writer.joinable())
        return;
    {
        std::lock_guard lock(mutex);
        stopping = true;
        for (const Job &dropped : jobs)
            DropJobLocked(dropped);
        jobs.clear();
    }
    for (FileRange *range : ranges) {
        range->pouring = false;
        ++range->shared->pourSerial;
        range->current = -1;
        range->filled = 0;
    }
    Wake();
    wake.notify_all();
    writer.join();
    own.reset();
}

// On the writer's thread: reserves the next step of the declared length; errno of a failure, or 0.
int BodyFile::ReserveStep()
{
    // A few ms each on tmpfs, which has to fill every page it reserves.
    constexpr qint64 kStep = qint64(16) << 20;
    const qint64 bytes = std::min(kStep, reserveGoal - reservedUpTo);
    // The system call itself, not posix_fallocate: where a file system cannot reserve, glibc writes a zero into
    // every block it finds empty, and needs to read the file for it.
    int result;
    do
        result = ::fallocate(descriptor, 0, reservedUpTo, bytes);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        reservedUpTo += bytes;
        return 0;
    }
    const int reason = errno;
    reserveGoal = reservedUpTo;
    // A file system that cannot reserve ahead is written all the same.
    return reason == EOPNOTSUPP || reason == ENOSYS ? 0 : reason;
}

void BodyFile::Run(quint64 opened)
{
    std::unique_lock lock(mutex);
    for (;;) {
        // While connections pour the writer waits on them instead, and a job wakes it there.
        if (pours.empty()) {
            idle.Begin();
            wake.wait(lock, [this] { return stopping || !jobs.empty() || ReservePending(); });
            idle.End();
        }
        if (stopping)
            break;
        std::optional<Job> job;
        if (!jobs.empty()) {
            job = jobs.front();
            jobs.pop_front();
        }
        lock.unlock();
        int reason = job ? RunJob(*job) : 0;
        bool moved = false;
        if (reason == 0 && !pours.empty())
            reason = StepPours(opened, moved);
        // Between two jobs, and whenever there is nothing else to do, the reservation takes a step: it is done
        // within a moment on a slow connection and within the first few pieces on a fast one.
        if (reason == 0 && ReservePending()) {
            // The writer's spare time, as its waits are: bytes that arrive meanwhile are taken at the next turn.
            idle.Begin();
            reason = ReserveStep();
            idle.End();
        }
        if (reason == 0 && !job && !moved && !pours.empty() && !ReservePending())
            AwaitPours(opened);
        lock.lock();
        const bool wrote = job && job->kind == Job::Kind::Write;
        if (wrote)
            freePieces.push_back(job->piece);
        if (reason != 0 && failure == 0)
            FailLocked(reason);
        wake.notify_all();
        if (stopping)
            break;
        // A pour reports itself.
        const bool finished = job && job->kind == Job::Kind::Finish && failure == 0;
        if (reason != 0 || wrote || finished)
            Report(opened, reason, wrote, finished);
        // Only now, with the piece free and reported, may the writer wait for the disk: the transfer fills the
        // other pieces meanwhile.
        if (wrote && reason == 0)
            SendOnLocked(lock, *job, opened);
    }
    lock.unlock();
    for (ActivePour &pour : pours)
        ClosePour(pour);
    pours.clear();
}

void BodyFile::SendOnLocked(std::unique_lock<std::mutex> &lock, const Job &done, quint64 opened)
{
    lock.unlock();
    const int reason = done.range->behind.SendOn(done.offset, done.bytes);
    lock.lock();
    if (reason != 0 && failure == 0 && !stopping) {
        FailLocked(reason);
        Report(opened, reason, false, false);
    }
}

void BodyFile::FailLocked(int reason)
{
    failure = reason;
    reserveGoal = reservedUpTo;
    // Nothing after a failed write can make a whole file.
    for (const Job &dropped : jobs)
        DropJobLocked(dropped);
    jobs.clear();
    for (ActivePour &pour : pours)
        ClosePour(pour);
    pours.clear();
}

void BodyFile::DropJobLocked(const Job &job)
{
    if (job.kind == Job::Kind::Write)
        freePieces.push_back(job.piece);
    if (job.kind == Job::Kind::Pour)
        ::close(job.socket);
}

void BodyFile::Report(quint64 opened, int reason, bool wrote, bool finished)
{
    QMetaObject::invokeMethod(
        this, [this, opened, reason, wrote, finished] { Reported(opened, reason, wrote, finished); },
        Qt::QueuedConnection);
}

void BodyFile::Remember(const Shared &range)
{
    if (std::find(written.begin(), written.end(), range) == written.end())
        written.push_back(range);
}

int BodyFile::RunJob(const Job &job)
{
    switch (job.kind) {
    case Job::Kind::Write: {
        Remember(job.range);
        const char *data = pieces[job.piece].get();
        qint64 done = 0;
        while (done < job.bytes) {
            const ssize_t count = ::pwrite(descriptor, data + done, std::size_t(job.bytes - done), job.offset + done);
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                return errno;
            if (count == 0)
                return ENOSPC;
            done += count;
        }
        return 0;
    }
    case Job::Kind::Truncate:
        // What the reservation was for is gone; the new body reserves its own length.
        reserveGoal = reservedUpTo = 0;
        written.clear();
        return ::ftruncate(descriptor, 0) == 0 ? 0 : errno;
    case Job::Kind::Reserve:
        reserveGoal = job.bytes;
        reservedUpTo = 0;
        return 0;
    case Job::Kind::Pour:
        return StartPour(job);
    case Job::Kind::Finish: {
        // Every byte is written: there is nothing left to reserve room for, and the last few MiB go on to the disk
        // too (without a wait, so a failure of the disk is still the save's sync's to report).
        reserveGoal = reservedUpTo;
        int reason = 0;
        for (const Shared &range : written)
            reason = reason != 0 ? reason : range->behind.SendRest();
        return reason;
    }
    }
    return 0;
}

void BodyFile::Reported(quint64 opened, int reason, bool wrote, bool finished)
{
    // A report of a file let go since, or of an earlier file, is of no concern any more.
    if (descriptor < 0 || opened != generation)
        return;
    if (reason != 0)
        return emit Failed(FileErrorText(reason));
    if (wrote)
        emit Drained();
    if (finished)
        emit Finished();
}
