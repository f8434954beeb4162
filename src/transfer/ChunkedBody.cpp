#include "ChunkedBody.h"

#include "HexDigit.h"

#include <algorithm>
#include <optional>

namespace {

// Hex digits alone, blanks around allowed; beyond 15 digits no size is real.
std::optional<qint64> ParseChunkSize(QByteArrayView text)
{
    text = text.trimmed();
    if (text.isEmpty() || text.size() > 15)
        return std::nullopt;
    qint64 size = 0;
    for (char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        size = size * 16 + digit;
    }
    return size;
}

}  // namespace

void ChunkedBody::Feed(QByteArrayView piece, const std::function<void(QByteArrayView)> &data)
{
    while (!piece.isEmpty()) {
        switch (state) {
        case State::SizeLine:
            if (TakeLine(piece))
                SizeLineEnded();
            break;
        case State::Data: {
            const qsizetype take = static_cast<qsizetype>(std::min<qint64>(remaining, piece.size()));
            data(piece.first(take));
            piece = piece.sliced(take);
            remaining -= take;
            if (remaining == 0)
                state = State::DataEnd;
            break;
        }
        case State::DataEnd:
            if (TakeLine(piece))
                state = line.isEmpty() ? State::SizeLine : State::Broken;
            break;
        case State::Trailer:
            if (TakeLine(piece))
                TrailerLineEnded();
            break;
        case State::Ended:
        case State::Broken:
            return;
        }
    }
}

// Gathers bytes into line up to its line feed; true once the line has ended (line then holds it without
// its line end).
bool ChunkedBody::TakeLine(QByteArrayView &piece)
{
    const qsizetype lineFeed = piece.indexOf('\n');
    const qsizetype take = lineFeed < 0 ? piece.size() : lineFeed;
    if (line.size() + take > kMaxLineBytes) {
        state = State::Broken;
        return false;
    }
    line.append(piece.first(take));
    piece = piece.sliced(lineFeed < 0 ? take : take + 1);
    if (lineFeed < 0)
        return false;
    if (line.endsWith('\r'))
        line.chop(1);
    return true;
}

void ChunkedBody::SizeLineEnded()
{
    const qsizetype extension = line.indexOf(';');
    const std::optional<qint64> size =
        ParseChunkSize(QByteArrayView(line).first(extension < 0 ? line.size() : extension));
    line.clear();
    if (!size)
        state = State::Broken;
    else if (*size == 0)
        state = State::Trailer;
    else {
        remaining = *size;
        state = State::Data;
    }
}

void ChunkedBody::TrailerLineEnded()
{
    if (line.isEmpty()) {
        state = State::Ended;
        return;
    }
    trailerBytes += line.size();
    line.clear();
    if (trailerBytes > kMaxTrailerBytes)
        state = State::Broken;
}
