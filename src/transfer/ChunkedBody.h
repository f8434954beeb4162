#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <functional>

// Undoes the chunked transfer coding of a body as it arrives in pieces of any size: each chunk's size line
// (extensions ignored), its data, the line end after it, and after the last chunk the trailer lines up to
// the empty line. Line ends may be CRLF or a line feed alone.
class ChunkedBody {
public:
    // The longest size line or trailer taken; a longer one is not a real answer.
    static constexpr qsizetype kMaxLineBytes = 4096;
    static constexpr qsizetype kMaxTrailerBytes = 64 * 1024;

    // Hands each run of data bytes to data as it is found; bytes after the end of the body are let go.
    void Feed(QByteArrayView piece, const std::function<void(QByteArrayView)> &data);

    // The last chunk and its trailer have arrived: the body is whole.
    bool Ended() const { return state == State::Ended; }
    // The framing is broken: nothing more can be read.
    bool Broken() const { return state == State::Broken; }

private:
    // What the reader waits for next.
    enum class State {
        SizeLine,  // a chunk's size line: hexadecimal digits, perhaps extensions, its line end
        Data,  // the chunk's data bytes, remaining of them still to come
        DataEnd,  // the line end that closes the chunk's data
        Trailer,  // after the last (zero) chunk: trailer lines, up to the empty line that ends the body
        Ended,  // nothing: the body is whole, and whatever follows is let go
        Broken,  // nothing: the framing did not hold, and nothing more is read
    };

    bool TakeLine(QByteArrayView &piece);
    void SizeLineEnded();
    void TrailerLineEnded();

    State state = State::SizeLine;
    QByteArray line;  // the line being gathered, without its line feed
    qint64 remaining = 0;  // data bytes of the current chunk still to come
    qsizetype trailerBytes = 0;
};
