#include "WriteBehind.h"

#include <cerrno>

#include <fcntl.h>

namespace {

// Bytes are sent on in steps of this size: few requests, each a moment's work for the disk.
constexpr qint64 kSendStep = qint64(4) << 20;
// What may wait for the disk: enough to keep it busy, little memory, and a short wait for whoever must then see
// the file on disk (a sync, a removal of the file).
constexpr qint64 kBytesInFlight = qint64(32) << 20;

}  // namespace

int WriteBehind::SendOn(qint64 offset, qint64 bytes)
{
    if (offset != written)
        sent = waited = offset;
    written = offset + bytes;
    if (written - sent < kSendStep)
        return 0;
    if (const int reason = SyncRange(sent, written, SYNC_FILE_RANGE_WRITE))
        return reason;
    sent = written;
    if (sent - waited <= kBytesInFlight)
        return 0;
    // The oldest step sent; by now it is at the head of the disk's queue, so the wait is short where the disk keeps
    // up, and holds the writer back where it does not.
    const qint64 until = sent - kBytesInFlight;
    const int reason =
        SyncRange(waited, until, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
    waited = until;
    return reason;
}

int WriteBehind::SendRest()
{
    const int reason = SyncRange(sent, written, SYNC_FILE_RANGE_WRITE);
    sent = written;
    return reason;
}

int WriteBehind::SyncRange(qint64 from, qint64 until, unsigned flags)
{
    if (!able || until <= from)
        return 0;
    int result;
    do
        result = ::sync_file_range(descriptor, from, until - from, flags);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return 0;
    const int reason = errno;
    switch (reason) {
    case ENOSYS:
    case EINVAL:
    case ESPIPE:
    case EOPNOTSUPP:
        // A system or a file that cannot do this: the final sync writes the file as it always did.
        able = false;
        return 0;
    case ENOMEM:
        // Sending ahead is only a help; the final sync makes up for it.
        return 0;
    default:
        return reason;
    }
}
