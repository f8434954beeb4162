// The rest of a body moved from the connection to the file by the kernel (splice through a pipe), on the writer's
// thread: no copy through the program, and nothing for the window's thread to do until the pour ends.
#include "BodyFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// What a pipe holds at once here; the kernel's default is 64 KiB.
constexpr int kPipeBytes = 1 << 20;

// Waits until the socket has something to say or the wake descriptor is written; false after silenceMs of
// neither.
bool AwaitSocket(int socket, int wake, int silenceMs)
{
    pollfd watched[2] = {{socket, POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(watched, 2, silenceMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (watched[1].revents != 0) {
            eventfd_t ignored = 0;
            ::eventfd_read(wake, &ignored);
        }
        return ready != 0;
    }
}

}  // namespace

void BodyFile::Pour(int socket, qint64 length, std::chrono::milliseconds silence)
{
    PassOnPieceInHand();
    pouring = true;
    poured = 0;
    Job job{Job::Kind::Pour, -1, pieceOffset, length};
    job.socket = socket;
    job.serial = ++pourSerial;
    job.silenceMs = int(std::min<qint64>(silence.count(), INT_MAX));
    Queue(job);
}

void BodyFile::StopPouring()
{
    if (!pouring)
        return;
    pouring = false;
    ++pourSerial;
    ::eventfd_write(wakeFd, 1);
}

void BodyFile::RunPour(const Job &job, quint64 opened)
{
    PourResult result;
    result.stopped = true;
    int pipe[2] = {-1, -1};
    if (PourGoesOn(job.serial) && ::pipe2(pipe, O_CLOEXEC) == 0) {
        ::fcntl(pipe[1], F_SETPIPE_SZ, kPipeBytes);
        result = PourInto(job, pipe);
        ::close(pipe[0]);
        ::close(pipe[1]);
    } else if (PourGoesOn(job.serial)) {
        result = {PourEnd::Whole, errno, false, 0};
    }
    ::close(job.socket);
    if (result.stopped)
        return;
    std::lock_guard lock(mutex);
    if (result.reason != 0) {
        if (failure == 0)
            FailLocked(result.reason);
        return Report(opened, result.reason, false, false);
    }
    const qint64 bytes = result.bytes;
    const quint64 serial = job.serial;
    const PourEnd end = result.end;
    QMetaObject::invokeMethod(
        this, [this, opened, serial, end, bytes] { ReportedPour(opened, serial, end, bytes); }, Qt::QueuedConnection);
}

BodyFile::PourResult BodyFile::PourInto(const Job &job, int pipe[2])
{
    PourResult result;
    const auto ended = [&result](PourEnd end, int reason = 0) {
        result.end = end;
        result.reason = reason;
        return result;
    };
    qint64 offset = job.offset;
    qint64 left = job.bytes;
    while (left > 0) {
        if (!PourGoesOn(job.serial)) {
            result.stopped = true;
            return result;
        }
        const ssize_t got =
            ::splice(job.socket, nullptr, pipe[1], nullptr, std::size_t(std::min<qint64>(left, kPipeBytes)),
                     SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
        if (got == 0)
            return ended(PourEnd::Closed);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && errno == EAGAIN && ReservePending()) {
            // Nothing to pour yet: the reservation goes on meanwhile.
            if (const int reason = ReserveStep())
                return ended(PourEnd::Whole, reason);
            continue;
        }
        if (got < 0 && errno == EAGAIN) {
            if (!AwaitSocket(job.socket, wakeFd, job.silenceMs))
                return ended(PourEnd::Silent);
            continue;
        }
        if (got < 0)
            return ended(PourEnd::Reset);
        if (const int reason = DrainPipe(pipe[0], offset, got, result.bytes))
            return ended(PourEnd::Whole, reason);
        left -= got;
        if (ReservePending()) {
            if (const int reason = ReserveStep())
                return ended(PourEnd::Whole, reason);
        }
    }
    return ended(PourEnd::Whole);
}

// Moves bytes out of the pipe into the file at offset, counting them into total; errno of a failed write, or 0.
int BodyFile::DrainPipe(int pipe, qint64 &offset, qint64 bytes, qint64 &total)
{
    while (bytes > 0) {
        loff_t at = offset;
        ssize_t moved = ::splice(pipe, nullptr, descriptor, &at, std::size_t(bytes), SPLICE_F_MOVE);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && errno == EINVAL) {
            // A file system that takes no splice: the bytes go through memory, in the first piece (every piece
            // is free while a pour runs).
            moved = ::read(pipe, pieces[0].get(), std::size_t(std::min(bytes, kPieceBytes)));
            for (ssize_t done = 0; moved > 0 && done < moved;) {
                const ssize_t written =
                    ::pwrite(descriptor, pieces[0].get() + done, std::size_t(moved - done), offset + done);
                if (written <= 0 && errno != EINTR)
                    return written == 0 ? ENOSPC : errno;
                done += std::max<ssize_t>(written, 0);
            }
        }
        if (moved < 0)
            return errno;
        if (moved == 0)
            return ENOSPC;
        if (const int reason = behind.SendOn(offset, moved))
            return reason;
        offset += moved;
        bytes -= moved;
        total += moved;
        // For progress only: the count that the file goes by is the one reported at the end.
        poured = total;
    }
    return 0;
}

void BodyFile::ReportedPour(quint64 opened, quint64 serial, PourEnd end, qint64 bytes)
{
    // A pour stopped since, or of a file let go, is of no concern any more.
    if (descriptor < 0 || opened != generation || serial != pourSerial.load() || !pouring)
        return;
    pouring = false;
    size += bytes;
    pieceOffset += bytes;
    emit Poured(end, bytes);
}
