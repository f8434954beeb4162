// The transfer control's address helpers on any text: what they hand to the request line and the form body
// is plain visible ASCII, and an address is split the same way however it is written.

#include "ProxyTunnel.h"
#include "UrlHelpers.h"

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

bool IsVisibleAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (uchar(c) <= 0x20 || uchar(c) >= 0x7F)
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const UrlParts parts = SplitURL(text);
    Check((parts.kind == UrlParts::Kind::Forbidden) == HoldsLineBreakOrNul(text));
    if (parts.kind == UrlParts::Kind::Absolute) {
        Check(!parts.serverName.isEmpty());
        Check(parts.pageName.startsWith(QLatin1Char('/')));
        Check(SplitHostPort(parts.serverName, parts.secure ? kHttpsPort : kHttpPort).has_value());
    }
    if (parts.kind == UrlParts::Kind::Absolute || parts.kind == UrlParts::Kind::BarePath)
        Check(IsVisibleAscii(EncodeRequestTarget(parts.pageName)));

    const QString encoded = URLEncode(text);
    for (QChar c : encoded)
        Check(c.isLetterOrNumber() ? c.unicode() < 0x80 : (c == QLatin1Char('+') || c == QLatin1Char('%')));

    if (const std::optional<HostPort> server = SplitHostPort(text)) {
        Check(!server->host.isEmpty() && server->port != 0);
        Check(IsVisibleAscii(TunnelAuthority(*server)));
    }
    const QString location = ResolveLocation(text, QStringLiteral("/a/b?x"), data[0 % std::max<size_t>(size, 1)] & 1);
    (void)location;
    return 0;
}
