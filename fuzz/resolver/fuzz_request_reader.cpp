// The service's request reading on any bytes in any pieces. Input: one byte of settings, then pieces, each a
// length byte followed by that many bytes (the last piece takes whatever is left). The same bytes are also
// read in one piece: where the network cuts a stream must never change the requests read from it, and the
// reader never holds more than its limits allow.

#include "HttpRequestReader.h"

#include <QList>

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Reading {
    QList<HttpRequest> requests;
    int rejectStatus = 0;
};

// Small limits, so that the fuzzer reaches them without asking for real memory.
HttpLimits Limits()
{
    HttpLimits limits;
    limits.headerLimit = 256;
    limits.bodyLimit = 512;
    return limits;
}

// Feeds one piece and takes every request it completes, as the connection does.
void Take(HttpRequestReader &reader, QByteArrayView piece, Reading &reading)
{
    if (reading.rejectStatus != 0)
        return;
    reader.Feed(piece);
    for (;;) {
        const HttpRequestReader::State state = reader.Parse();
        if (state == HttpRequestReader::State::Complete) {
            const HttpRequest request = reader.TakeRequest();
            Check(request.body.size() <= Limits().bodyLimit);
            reading.requests.append(request);
            continue;
        }
        if (state == HttpRequestReader::State::Rejected) {
            reading.rejectStatus = reader.RejectStatus();
            Check(reading.rejectStatus == 400 || reading.rejectStatus == 413 || reading.rejectStatus == 431);
            Check(!reader.RejectReason().isEmpty());
            return;
        }
        Check(reader.BufferedBytes() <= Limits().headerLimit);
        return;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    QByteArray whole;
    Reading byPieces;
    HttpRequestReader pieces(Limits());
    size_t at = 1;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = (length == 0 || at + length > size) ? size - at : length;
        const QByteArrayView piece(reinterpret_cast<const char *>(data + at), qsizetype(take));
        whole.append(piece);
        // A piece longer than the connection reads at once arrives in several reads anyway.
        Take(pieces, piece, byPieces);
        at += take;
    }
    Reading byWhole;
    HttpRequestReader atOnce(Limits());
    // The connection reads at most 64 KiB at once; the fuzzer's inputs are smaller.
    Take(atOnce, whole, byWhole);

    // Requests completed before a refusal are the same however the bytes came; a refusal may come earlier
    // when more bytes are there to see past a limit at once.
    const qsizetype common = std::min(byPieces.requests.size(), byWhole.requests.size());
    for (qsizetype i = 0; i < common; ++i) {
        Check(byPieces.requests[i].method == byWhole.requests[i].method);
        Check(byPieces.requests[i].target == byWhole.requests[i].target);
        Check(byPieces.requests[i].body == byWhole.requests[i].body);
        Check(byPieces.requests[i].keepAlive == byWhole.requests[i].keepAlive);
    }
    if (byPieces.rejectStatus == 0 && byWhole.rejectStatus == 0)
        Check(byPieces.requests.size() == byWhole.requests.size());
    return 0;
}
