// The rest of a body moved from the connection to the file by the kernel (splice through a pipe), on the writer's
// thread: no copy through the program, and nothing for the window's thread to do until the pour ends. Every range
// that pours has its own connection and pipe; the writer takes each in turn, a pipe's worth at a time, and waits on
// all of them at once when none has anything to give.
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

}  // namespace

int BodyFile::StartPour(const Job &job)
{
    if (job.serial != job.range->pourSerial.load()) {
        ::close(job.socket);
        return 0;
    }
    ActivePour pour;
    if (::pipe2(pour.pipe, O_CLOEXEC) != 0) {
        const int reason = errno;
        ::close(job.socket);
        return reason;
    }
    ::fcntl(pour.pipe[1], F_SETPIPE_SZ, kPipeBytes);
    pour.range = job.range;
    pour.serial = job.serial;
    pour.socket = job.socket;
    pour.offset = job.offset;
    pour.left = job.bytes;
    pour.silenceMs = job.silenceMs;
    pour.quietSince = std::chrono::steady_clock::now();
    Remember(pour.range);
    pours.push_back(pour);
    return 0;
}

// One turn over every pour; errno of a failed write, or 0. moved: some pour took bytes.
int BodyFile::StepPours(quint64 opened, bool &moved)
{
    for (std::size_t i = pours.size(); i-- > 0;) {
        ActivePour &pour = pours[i];
        // Stopped by the window's thread: it reports nothing more.
        if (pour.serial != pour.range->pourSerial.load()) {
            ClosePour(pour);
            pours.erase(pours.begin() + qsizetype(i));
            continue;
        }
        PourResult result;
        if (!StepPour(pour, result, moved))
            continue;
        if (result.reason != 0)
            return result.reason;
        EndPour(i, result, opened);
    }
    return 0;
}

// True once the pour has ended, result saying how.
bool BodyFile::StepPour(ActivePour &pour, PourResult &result, bool &moved)
{
    qint64 want = std::min<qint64>(pour.left, kPipeBytes);
    {
        // The end may be moved nearer meanwhile, but never below what a splice under way may reach.
        std::lock_guard lock(mutex);
        if (pour.range->end >= 0)
            want = std::min(want, pour.range->end - pour.offset);
        pour.range->claimed = pour.offset + std::max<qint64>(want, 0);
    }
    if (want <= 0)
        return true;
    const ssize_t got =
        ::splice(pour.socket, nullptr, pour.pipe[1], nullptr, std::size_t(want), SPLICE_F_MOVE | SPLICE_F_NONBLOCK);
    if (got == 0) {
        result.end = PourEnd::Closed;
        return true;
    }
    if (got < 0 && (errno == EINTR || errno == EAGAIN))
        return false;
    if (got < 0) {
        result.end = PourEnd::Reset;
        return true;
    }
    if (const int reason = DrainPipe(pour, got)) {
        result.reason = reason;
        return true;
    }
    moved = true;
    pour.left -= got;
    pour.quietSince = std::chrono::steady_clock::now();
    return false;
}

// Waits until a connection has something to say, the wake descriptor is written, or a connection has been quiet for
// longer than it may: that pour ends as silent.
void BodyFile::AwaitPours(quint64 opened)
{
    std::vector<pollfd> watched;
    watched.reserve(pours.size() + 1);
    watched.push_back({wakeFd, POLLIN, 0});
    const auto now = std::chrono::steady_clock::now();
    qint64 timeout = INT_MAX;
    for (const ActivePour &pour : pours) {
        watched.push_back({pour.socket, POLLIN, 0});
        const qint64 quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - pour.quietSince).count();
        timeout = std::min<qint64>(timeout, std::max<qint64>(0, pour.silenceMs - quiet));
    }
    idle.Begin();
    const int ready = ::poll(watched.data(), watched.size(), int(timeout));
    idle.End();
    if (ready < 0)
        return;
    if (watched[0].revents != 0) {
        eventfd_t ignored = 0;
        ::eventfd_read(wakeFd, &ignored);
    }
    const auto after = std::chrono::steady_clock::now();
    for (std::size_t i = pours.size(); i-- > 0;) {
        const ActivePour &pour = pours[i];
        if (watched[i + 1].revents != 0 || after - pour.quietSince < std::chrono::milliseconds(pour.silenceMs))
            continue;
        if (pour.serial != pour.range->pourSerial.load())
            continue;
        EndPour(i, {PourEnd::Silent, 0}, opened);
    }
}

void BodyFile::EndPour(std::size_t index, const PourResult &result, quint64 opened)
{
    ActivePour pour = pours[index];
    pours.erase(pours.begin() + qsizetype(index));
    ClosePour(pour);
    QMetaObject::invokeMethod(
        this,
        [this, opened, range = pour.range, serial = pour.serial, end = result.end, bytes = pour.bytes] {
            ReportedPour(opened, range, serial, end, bytes);
        },
        Qt::QueuedConnection);
}

void BodyFile::ClosePour(ActivePour &pour)
{
    for (int &end : pour.pipe) {
        if (end >= 0)
            ::close(end);
        end = -1;
    }
    if (pour.socket >= 0)
        ::close(pour.socket);
    pour.socket = -1;
}

// Moves bytes out of the pour's pipe into the file at its offset; errno of a failed write, or 0.
int BodyFile::DrainPipe(ActivePour &pour, qint64 bytes)
{
    while (bytes > 0) {
        loff_t at = pour.offset;
        ssize_t moved = ::splice(pour.pipe[0], nullptr, descriptor, &at, std::size_t(bytes), SPLICE_F_MOVE);
        if (moved < 0 && errno == EINTR)
            continue;
        if (moved < 0 && errno == EINVAL) {
            // A file system that takes no splice: the bytes go through memory, a buffer of the writer's own.
            if (!bounce)
                bounce = std::make_unique_for_overwrite<char[]>(std::size_t(kPipeBytes));
            moved = ::read(pour.pipe[0], bounce.get(), std::size_t(std::min<qint64>(bytes, kPipeBytes)));
            for (ssize_t done = 0; moved > 0 && done < moved;) {
                const ssize_t count =
                    ::pwrite(descriptor, bounce.get() + done, std::size_t(moved - done), pour.offset + done);
                if (count <= 0 && errno != EINTR)
                    return count == 0 ? ENOSPC : errno;
                done += std::max<ssize_t>(count, 0);
            }
        }
        if (moved < 0)
            return errno;
        if (moved == 0)
            return ENOSPC;
        if (const int reason = pour.range->behind.SendOn(pour.offset, moved))
            return reason;
        pour.offset += moved;
        bytes -= moved;
        pour.bytes += moved;
        // For progress only: the count that the file goes by is the one reported at the end.
        pour.range->poured = pour.bytes;
    }
    return 0;
}

void BodyFile::ReportedPour(quint64 opened, const Shared &range, quint64 serial, PourEnd end, qint64 bytes)
{
    // A pour of a file let go, or of a range gone since, is of no concern any more.
    if (descriptor < 0 || opened != generation)
        return;
    for (FileRange *open : ranges) {
        if (open->shared == range)
            return open->PourEnded(serial, end, bytes);
    }
}
