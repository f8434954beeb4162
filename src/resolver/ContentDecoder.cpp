#include "ContentDecoder.h"

#include <zlib.h>

struct ContentDecoder::Stream {
    z_stream zlib{};
    bool identity = false;
    bool deflate = false;  // "deflate": zlib's wrapping as the standard says, or bare as some servers send it
    bool started = false;
    bool ended = false;

    ~Stream()
    {
        if (!identity)
            inflateEnd(&zlib);
    }
};

std::optional<ContentDecoder> ContentDecoder::ForEncoding(QByteArrayView contentEncoding)
{
    const QByteArray coding = contentEncoding.toByteArray().trimmed().toLower();
    auto stream = std::make_unique<Stream>();
    if (coding.isEmpty() || coding == "identity") {
        stream->identity = true;
        return ContentDecoder(std::move(stream));
    }
    int windowBits = 0;
    if (coding == "gzip" || coding == "x-gzip") {
        windowBits = 15 + 16;
    } else if (coding == "deflate") {
        windowBits = 15;
        stream->deflate = true;
    } else {
        return std::nullopt;
    }
    if (inflateInit2(&stream->zlib, windowBits) != Z_OK)
        return std::nullopt;
    return ContentDecoder(std::move(stream));
}

ContentDecoder::ContentDecoder(std::unique_ptr<Stream> stream) : stream(std::move(stream))
{
}
ContentDecoder::ContentDecoder(ContentDecoder &&) noexcept = default;
ContentDecoder &ContentDecoder::operator=(ContentDecoder &&) noexcept = default;
ContentDecoder::~ContentDecoder() = default;

bool ContentDecoder::Ended() const
{
    return stream->identity || stream->ended;
}

bool ContentDecoder::Decode(QByteArrayView encoded, QByteArray &out, qint64 limit)
{
    if (stream->identity) {
        out.append(encoded.first(std::min(encoded.size(), qsizetype(std::max<qint64>(limit + 1 - out.size(), 0)))));
        return true;
    }
    z_stream &zlib = stream->zlib;
    zlib.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(encoded.data()));
    zlib.avail_in = uInt(encoded.size());
    constexpr qsizetype kPiece = 64 * 1024;
    while (zlib.avail_in > 0 && out.size() <= limit) {
        if (stream->ended) {
            // Another gzip member follows the first one; anything else after the end is junk.
            if (!stream->deflate && zlib.next_in[0] == 0x1F) {
                inflateReset(&zlib);
                stream->ended = false;
            } else {
                return true;
            }
        }
        const qsizetype before = out.size();
        out.resize(before + kPiece);
        zlib.next_out = reinterpret_cast<Bytef *>(out.data() + before);
        zlib.avail_out = uInt(kPiece);
        const int status = inflate(&zlib, Z_NO_FLUSH);
        out.resize(before + kPiece - qsizetype(zlib.avail_out));
        if (status == Z_DATA_ERROR && stream->deflate && !stream->started) {
            // Bare deflate without zlib's two bytes in front: start over reading it so.
            inflateEnd(&zlib);
            if (inflateInit2(&zlib, -15) != Z_OK)
                return false;
            stream->started = true;
            zlib.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(encoded.data()));
            zlib.avail_in = uInt(encoded.size());
            continue;
        }
        stream->started = true;
        if (status == Z_STREAM_END)
            stream->ended = true;
        else if (status != Z_OK && status != Z_BUF_ERROR)
            return false;
        else if (status == Z_BUF_ERROR && zlib.avail_out != 0)
            return true;  // needs more input
    }
    return true;
}
