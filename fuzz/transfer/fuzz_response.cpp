// Arbitrary answers in arbitrary pieces through the response reader and its classification.
//
// Input: one byte of settings, then pieces, each a length byte followed by that many bytes (the last
// piece takes whatever is left). The same answer is also read whole and from a device; all three must
// agree, since where the network cuts an answer must never change what the answer means.

#include "ResponseReader.h"
#include "TransferTexts.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct Result {
    Outcome outcome;
    QByteArray body;
};

Result Finish(ResponseReader &reader, const ResponseReader::ProxyContext &proxy, qint64 fed, qint64 maxBody)
{
    Check(reader.ReceivedBytes() == fed || reader.Failed());
    Check(reader.BodyBytes() <= maxBody);
    if (const std::optional<int> percent = reader.Percent())
        Check(*percent >= 0 && *percent <= 100);
    Result result{reader.Classify(proxy), {}};
    Check(!TransferTexts::OutcomeError(result.outcome).isEmpty() || result.outcome.kind == Outcome::Kind::Success
          || result.outcome.kind == Outcome::Kind::Redirect);
    if (result.outcome.kind == Outcome::Kind::Success) {
        Check(reader.HeaderEnded());
        result.body = reader.TakeBody();
        Check(!result.outcome.declaredLength || result.outcome.declaredLength < 0
              || result.body.size() == result.outcome.declaredLength);
    }
    if (result.outcome.kind == Outcome::Kind::Redirect)
        Check(!result.outcome.location.isEmpty());
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t settings = data[0];
    ResponseReader::ProxyContext proxy;
    proxy.viaProxy = settings & 1;
    proxy.authConfigured = (settings & 2) != 0;
    // Small limits so the fuzzer reaches "too large" without asking for real memory.
    const qint64 maxBody = qint64(1) << ((settings >> 2) & 15);

    QByteArray whole;
    ResponseReader pieces(maxBody);
    size_t at = 1;
    while (at < size) {
        const size_t length = data[at++];
        const size_t take = (length == 0 || at + length > size) ? size - at : length;
        const QByteArrayView piece(reinterpret_cast<const char *>(data + at), qsizetype(take));
        pieces.Feed(piece);
        whole.append(piece);
        at += take;
    }
    const Result byPieces = Finish(pieces, proxy, whole.size(), maxBody);

    ResponseReader atOnce(maxBody);
    atOnce.Feed(whole);
    const Result byWhole = Finish(atOnce, proxy, whole.size(), maxBody);

    QBuffer device(&whole);
    device.open(QIODevice::ReadOnly);
    ResponseReader fromDevice(maxBody);
    fromDevice.ReadFrom(device);
    const Result byDevice = Finish(fromDevice, proxy, whole.size(), maxBody);

    for (const Result *other : {&byWhole, &byDevice}) {
        Check(other->outcome.kind == byPieces.outcome.kind);
        Check(other->outcome.location == byPieces.outcome.location);
        Check(other->outcome.statusLine == byPieces.outcome.statusLine);
        Check(other->body == byPieces.body);
    }
    return 0;
}
