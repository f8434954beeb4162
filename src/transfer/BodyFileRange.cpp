// A range of the body file: its pieces on the window's thread, and its pour handed to the writer.
#include "BodyFile.h"

#include <QIODevice>

#include <algorithm>
#include <climits>
#include <cstring>

FileRange::FileRange(BodyFile &owner, qint64 firstByte, qint64 end)
    : file(&owner)
    , shared(std::make_shared<BodyFile::RangeShared>())
    , first(firstByte)
{
    shared->end = end;
    shared->claimed = firstByte;
    shared->behind = WriteBehind(owner.descriptor);
}

FileRange::~FileRange()
{
    if (!file)
        return;
    // Every byte taken is the file's: what is in hand is written still.
    PassOnPieceInHand();
    StopPouring();
    std::erase(file->ranges, this);
}

qint64 FileRange::End() const
{
    if (!file)
        return shared->end;
    std::lock_guard lock(file->mutex);
    return shared->end;
}

bool FileRange::Full() const
{
    const qint64 end = End();
    return end >= 0 && Next() >= end;
}

qint64 FileRange::Room() const
{
    const qint64 end = End();
    return end < 0 ? LLONG_MAX : std::max<qint64>(0, end - Next());
}

qint64 FileRange::CutAt(qint64 want)
{
    if (!file)
        return shared->end;
    std::lock_guard lock(file->mutex);
    qint64 end = std::max({want, Next(), shared->claimed});
    if (shared->end >= 0)
        end = std::min(end, shared->end);
    shared->end = end;
    return end;
}

void FileRange::Write(QByteArrayView bytes)
{
    bytes = bytes.first(std::min<qint64>(bytes.size(), Room()));
    while (file && !bytes.isEmpty()) {
        if (current < 0 && !TakeFreePiece()) {
            // Rare: only bytes that came with a header or a chunk's framing arrive while every piece waits.
            std::unique_lock lock(file->mutex);
            file->wake.wait(lock, [this] { return !file->freePieces.empty() || file->failure != 0 || file->stopping; });
            if (file->freePieces.empty())
                return;
            continue;
        }
        const qint64 take = std::min<qint64>(bytes.size(), BodyFile::kPieceBytes - filled);
        std::memcpy(file->pieces[current].get() + filled, bytes.data(), std::size_t(take));
        filled += take;
        Took(take);
        bytes = bytes.sliced(take);
        if (filled == BodyFile::kPieceBytes)
            PassOnFilledPiece();
    }
}

qint64 FileRange::ReadFrom(QIODevice &device, qint64 max)
{
    qint64 total = 0;
    max = std::min(max, Room());
    while (file && total < max) {
        if (current < 0 && !TakeFreePiece())
            break;
        const qint64 want = std::min({max - total, BodyFile::kPieceBytes - filled, device.bytesAvailable()});
        if (want <= 0)
            break;
        const qint64 got = device.read(file->pieces[current].get() + filled, want);
        if (got <= 0)
            break;
        filled += got;
        Took(got);
        total += got;
        if (filled == BodyFile::kPieceBytes)
            PassOnFilledPiece();
    }
    return total;
}

bool FileRange::HasRoom() const
{
    if (!file || Room() <= 0)
        return false;
    return current >= 0 || file->PieceAvailable();
}

void FileRange::Pour(int socket, qint64 length, std::chrono::milliseconds silence)
{
    if (!file) {
        ::close(socket);
        return;
    }
    PassOnPieceInHand();
    pouring = true;
    shared->poured = 0;
    BodyFile::Job job{BodyFile::Job::Kind::Pour, -1, Next(), length, shared};
    job.socket = socket;
    job.serial = ++shared->pourSerial;
    job.silenceMs = int(std::min<qint64>(silence.count(), INT_MAX));
    file->Queue(job);
}

void FileRange::StopPouring()
{
    if (!pouring)
        return;
    pouring = false;
    ++shared->pourSerial;
    if (file)
        file->Wake();
}

void FileRange::PourEnded(quint64 serial, BodyFile::PourEnd end, qint64 bytes)
{
    // A pour stopped since is of no concern any more.
    if (!pouring || serial != shared->pourSerial.load())
        return;
    pouring = false;
    Took(bytes);
    emit Poured(end, bytes);
}

void FileRange::Took(qint64 bytes)
{
    taken += bytes;
    file->size += bytes;
}

bool FileRange::TakeFreePiece()
{
    std::unique_lock lock(file->mutex);
    const int piece = file->TakePieceLocked();
    if (piece < 0) {
        lock.unlock();
        // The pieces the other ranges hold half filled go to the writer, so that one soon comes free: a range whose
        // connection is slow must not keep the others waiting.
        for (FileRange *other : file->ranges) {
            if (other != this && other->filled > 0)
                other->PassOnFilledPiece();
        }
        return false;
    }
    current = piece;
    filled = 0;
    return true;
}

void FileRange::PassOnFilledPiece()
{
    // The piece holds the last bytes taken.
    BodyFile::Job job{BodyFile::Job::Kind::Write, current, first + taken - filled, filled, shared};
    current = -1;
    filled = 0;
    file->Queue(job);
}

void FileRange::PassOnPieceInHand()
{
    if (!file || current < 0)
        return;
    if (filled > 0)
        return PassOnFilledPiece();
    std::lock_guard lock(file->mutex);
    file->freePieces.push_back(current);
    current = -1;
}

void FileRange::Drop()
{
    StopPouring();
    if (current >= 0) {
        std::lock_guard lock(file->mutex);
        file->freePieces.push_back(current);
    }
    current = -1;
    filled = 0;
    taken = 0;
}
