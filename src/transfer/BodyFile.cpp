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
    if (pieces.empty()) {
        for (int i = 0; i < kPieces; ++i)
            pieces.push_back(std::make_unique<char[]>(std::size_t(kPieceBytes)));
    }
    freePieces.clear();
    for (int i = 0; i < kPieces; ++i)
        freePieces.push_back(i);
    size = 0;
    current = -1;
    filled = 0;
    pieceOffset = 0;
    failure = 0;
    stopping = false;
    behind = WriteBehind(descriptor);
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
    StopPouring();
    filled = 0;
    size = 0;
    pieceOffset = 0;
    Queue({Job::Kind::Truncate, -1, 0, 0});
}

void BodyFile::Write(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
        if (current < 0 && !TakeFreePiece()) {
            // Rare: only bytes that came with a header or a chunk's framing arrive while every piece waits.
            std::unique_lock lock(mutex);
            wake.wait(lock, [this] { return !freePieces.empty() || failure != 0 || stopping; });
            if (freePieces.empty())
                return;
            continue;
        }
        const qint64 take = std::min<qint64>(bytes.size(), kPieceBytes - filled);
        std::memcpy(pieces[current].get() + filled, bytes.data(), std::size_t(take));
        filled += take;
        size += take;
        bytes = bytes.sliced(take);
        if (filled == kPieceBytes)
            PassOnFilledPiece();
    }
}

qint64 BodyFile::ReadFrom(QIODevice &device, qint64 max)
{
    qint64 total = 0;
    while (total < max) {
        if (current < 0 && !TakeFreePiece())
            break;
        const qint64 want = std::min({max - total, kPieceBytes - filled, device.bytesAvailable()});
        if (want <= 0)
            break;
        const qint64 got = device.read(pieces[current].get() + filled, want);
        if (got <= 0)
            break;
        filled += got;
        size += got;
        total += got;
        if (filled == kPieceBytes)
            PassOnFilledPiece();
    }
    return total;
}

bool BodyFile::HasRoom() const
{
    if (current >= 0)
        return true;
    std::lock_guard lock(mutex);
    return !freePieces.empty() && failure == 0;
}

void BodyFile::Finish()
{
    PassOnPieceInHand();
    Queue({Job::Kind::Finish, -1, 0, 0});
}

void BodyFile::PassOnPieceInHand()
{
    if (filled > 0) {
        PassOnFilledPiece();
    } else if (current >= 0) {
        std::lock_guard lock(mutex);
        freePieces.push_back(current);
        current = -1;
    }
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
}

void BodyFile::PassOnFilledPiece()
{
    Queue({Job::Kind::Write, current, pieceOffset, filled});
    pieceOffset += filled;
    current = -1;
    filled = 0;
}

bool BodyFile::TakeFreePiece()
{
    std::lock_guard lock(mutex);
    if (freePieces.empty() || failure != 0)
        return false;
    current = freePieces.back();
    freePieces.pop_back();
    filled = 0;
    return true;
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
    pouring = false;
    ++pourSerial;
    ::eventfd_write(wakeFd, 1);
    wake.notify_all();
    writer.join();
    current = -1;
    filled = 0;
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
        wake.wait(lock, [this] { return stopping || !jobs.empty() || ReservePending(); });
        if (stopping)
            return;
        std::optional<Job> job;
        if (!jobs.empty()) {
            job = jobs.front();
            jobs.pop_front();
        }
        lock.unlock();
        int reason = job ? RunJob(*job, opened) : 0;
        // Between two jobs, and whenever there is nothing else to do, the reservation takes a step: it is done
        // within a moment on a slow connection and within the first few pieces on a fast one.
        if (reason == 0 && ReservePending())
            reason = ReserveStep();
        lock.lock();
        const bool wrote = job && job->kind == Job::Kind::Write;
        if (wrote)
            freePieces.push_back(job->piece);
        if (reason != 0 && failure == 0)
            FailLocked(reason);
        wake.notify_all();
        if (stopping)
            return;
        // A pour reports itself.
        const bool finished = job && job->kind == Job::Kind::Finish && failure == 0;
        if (reason != 0 || wrote || finished)
            Report(opened, reason, wrote, finished);
        // Only now, with the piece free and reported, may the writer wait for the disk: the transfer fills the
        // other pieces meanwhile.
        if (wrote && reason == 0)
            SendOnLocked(lock, *job, opened);
    }
}

void BodyFile::SendOnLocked(std::unique_lock<std::mutex> &lock, const Job &written, quint64 opened)
{
    lock.unlock();
    const int reason = behind.SendOn(written.offset, written.bytes);
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

int BodyFile::RunJob(const Job &job, quint64 opened)
{
    switch (job.kind) {
    case Job::Kind::Write: {
        const char *data = pieces[job.piece].get();
        qint64 done = 0;
        while (done < job.bytes) {
            const ssize_t written = ::pwrite(descriptor, data + done, std::size_t(job.bytes - done), job.offset + done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0)
                return errno;
            if (written == 0)
                return ENOSPC;
            done += written;
        }
        return 0;
    }
    case Job::Kind::Truncate:
        // What the reservation was for is gone; the new body reserves its own length.
        reserveGoal = reservedUpTo = 0;
        return ::ftruncate(descriptor, 0) == 0 ? 0 : errno;
    case Job::Kind::Reserve:
        reserveGoal = job.bytes;
        reservedUpTo = 0;
        return 0;
    case Job::Kind::Pour:
        RunPour(job, opened);
        return 0;
    case Job::Kind::Finish:
        // Every byte is written: there is nothing left to reserve room for, and the last few MiB go on to the disk
        // too (without a wait, so a failure of the disk is still the save's sync's to report).
        reserveGoal = reservedUpTo;
        return behind.SendRest();
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
