// A proxy's answer to a tunnel request, on any bytes: judged the same once its header has ended, however
// much of what follows has arrived, and never past what was received.

#include "ProxyTunnel.h"

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool authConfigured = data[0] & 1;
    const QByteArrayView received(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const TunnelAnswer whole = ReadTunnelAnswer(received, authConfigured);
    Check(whole.headerSize <= received.size());
    if (whole.kind == TunnelAnswer::Kind::Incomplete || whole.headerSize == 0)
        return 0;
    // What came after the header belongs to the tunnel and changes nothing.
    const TunnelAnswer header = ReadTunnelAnswer(received.first(whole.headerSize), authConfigured);
    Check(header.kind == whole.kind);
    Check(header.statusLine == whole.statusLine);
    Check(header.headerSize == whole.headerSize);
    return 0;
}
