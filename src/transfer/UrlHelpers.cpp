#include "UrlHelpers.h"

#include "WireText.h"

#include <QHostAddress>
#include <QUrl>

#include <algorithm>

namespace {

const QString kHttpScheme = QStringLiteral("http://");
const QString kHttpsScheme = QStringLiteral("https://");

bool IsAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool StartsWithScheme(QStringView text)
{
    if (text.isEmpty() || !IsAsciiLetter(text[0]))
        return false;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u':')
            return true;
        if (!(IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return false;
}

bool IsBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}

bool IsAsciiAlphanumeric(uchar byte)
{
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9');
}

void AppendPercent(QByteArray &out, uchar byte)
{
    constexpr char kHex[] = "0123456789ABCDEF";
    out.append('%');
    out.append(kHex[byte >> 4]);
    out.append(kHex[byte & 0x0F]);
}

std::optional<quint16> ParsePort(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 5)
        return std::nullopt;
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return static_cast<quint16>(value);
}

bool IsAscii(QStringView text)
{
    for (QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// ASCII characters stay; every other character becomes the percent-encoded bytes of its UTF-8 form.
QString PercentEncodeBeyondAscii(QStringView text)
{
    if (IsAscii(text))
        return text.toString();
    QByteArray encoded;
    for (char c : text.toUtf8()) {
        if (static_cast<uchar>(c) < 0x80)
            encoded.append(c);
        else
            AppendPercent(encoded, static_cast<uchar>(c));
    }
    return QString::fromLatin1(encoded);
}

// "host" or "host:port", the host written in ASCII as a name lookup wants it.
QString AsciiHostAndPort(QStringView hostAndPort)
{
    if (IsAscii(hostAndPort))
        return hostAndPort.toString();
    // An IPv6 literal is ASCII, so a colon here can only start the port.
    const qsizetype colon = hostAndPort.indexOf(u':');
    const QStringView host = colon < 0 ? hostAndPort : hostAndPort.left(colon);
    const QStringView port = colon < 0 ? QStringView() : hostAndPort.mid(colon);
    QString ascii = host.toString();
    if (!IsAscii(host)) {
        const QByteArray ace = QUrl::toAce(ascii);
        // A name that cannot be a host name still reaches the service whole, for it to refuse.
        ascii = ace.isEmpty() ? PercentEncodeBeyondAscii(host) : QString::fromLatin1(ace);
    }
    return ascii + PercentEncodeBeyondAscii(port);
}

// RFC 3986, 5.2.4: the "." and ".." segments of a path worked out, so the server is asked for the path they
// lead to; a ".." never climbs above the root.
QString RemoveDotSegments(QStringView path)
{
    QString output;
    const auto dropLastSegment = [&output] { output.truncate(std::max<qsizetype>(0, output.lastIndexOf(u'/'))); };
    while (!path.isEmpty()) {
        if (path.startsWith(u"../")) {
            path = path.sliced(3);
        } else if (path.startsWith(u"./") || path.startsWith(u"/./")) {
            path = path.sliced(2);
        } else if (path == u"/.") {
            path = u"/";
        } else if (path.startsWith(u"/../")) {
            path = path.sliced(3);
            dropLastSegment();
        } else if (path == u"/..") {
            path = u"/";
            dropLastSegment();
        } else if (path == u"." || path == u"..") {
            path = {};
        } else {
            const qsizetype next = path.indexOf(u'/', 1);
            const qsizetype end = next < 0 ? path.size() : next;
            output.append(path.first(end));
            path = path.sliced(end);
        }
    }
    return output;
}

// Where the path of an address that begins at from ends: at its query or fragment.
qsizetype PathEnd(QStringView address, qsizetype from = 0)
{
    while (from < address.size() && address[from] != u'?' && address[from] != u'#')
        ++from;
    return from;
}

// Where the path of an address with a scheme begins: after the scheme and the authority, if it has one.
qsizetype PathStart(QStringView address)
{
    qsizetype start = address.indexOf(u':') + 1;
    if (address.sliced(start).startsWith(u"//")) {
        start += 2;
        while (start < address.size() && address[start] != u'/' && address[start] != u'?' && address[start] != u'#')
            ++start;
    }
    return start;
}

// The dot segments of the path that begins at pathStart removed; the query and fragment are data, dots and all.
QString WithoutDotSegments(QStringView address, qsizetype pathStart = 0)
{
    const qsizetype pathEnd = PathEnd(address, pathStart);
    QString result = address.first(pathStart).toString();
    result.append(RemoveDotSegments(address.sliced(pathStart, pathEnd - pathStart)));
    result.append(address.sliced(pathEnd));
    return result;
}

}  // namespace

bool HoldsLineBreakOrNul(QStringView text)
{
    for (QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

UrlParts SplitURL(const QString &url)
{
    UrlParts parts;
    if (HoldsLineBreakOrNul(url)) {
        parts.kind = UrlParts::Kind::Forbidden;
        return parts;
    }
    // A pasted address often brings a blank or a tab along; inside the address blanks are data.
    const QStringView address = QStringView(url).trimmed();
    const bool plain = address.startsWith(kHttpScheme, Qt::CaseInsensitive);
    const bool secure = address.startsWith(kHttpsScheme, Qt::CaseInsensitive);
    if (plain || secure) {
        parts.secure = secure;
        const QStringView rest = address.mid(secure ? kHttpsScheme.size() : kHttpScheme.size());
        qsizetype end = 0;
        while (end < rest.size() && rest[end] != u'/' && rest[end] != u'?' && rest[end] != u'#')
            ++end;
        parts.serverName = rest.left(end).toString();
        if (end == rest.size())
            parts.pageName = QStringLiteral("/");
        else if (rest[end] == u'/')
            parts.pageName = rest.mid(end).toString();
        else
            parts.pageName = u'/' + rest.mid(end).toString();
        parts.kind = SplitHostPort(parts.serverName, secure ? kHttpsPort : kHttpPort) ? UrlParts::Kind::Absolute
                                                                                      : UrlParts::Kind::Invalid;
        return parts;
    }
    if (address.startsWith(u'/'))
        parts.kind = UrlParts::Kind::BarePath;
    else if (StartsWithScheme(address))
        parts.kind = UrlParts::Kind::Unsupported;
    else
        parts.kind = UrlParts::Kind::Invalid;
    return parts;
}

std::optional<HostPort> SplitHostPort(QStringView serverName, quint16 defaultPort)
{
    HostPort result;
    result.port = defaultPort;
    QStringView host = serverName;
    QStringView port;
    if (serverName.startsWith(u'[')) {
        const qsizetype close = serverName.indexOf(u']');
        if (close < 0)
            return std::nullopt;
        host = serverName.mid(1, close - 1);
        const QStringView after = serverName.mid(close + 1);
        if (!after.isEmpty()) {
            if (!after.startsWith(u':'))
                return std::nullopt;
            port = after.mid(1);
            if (port.isEmpty())
                return std::nullopt;
        }
    } else {
        const qsizetype colon = serverName.indexOf(u':');
        if (colon >= 0) {
            host = serverName.left(colon);
            port = serverName.mid(colon + 1);
            if (port.isEmpty())
                return std::nullopt;
        }
    }
    if (host.isEmpty())
        return std::nullopt;
    for (QChar c : serverName) {
        if (IsBlankOrControl(c) || c == u'@')
            return std::nullopt;
    }
    if (!port.isEmpty()) {
        const std::optional<quint16> number = ParsePort(port);
        if (!number)
            return std::nullopt;
        result.port = *number;
    }
    result.host = host.toString();
    bool ascii = true;
    for (QChar c : serverName)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        result.wireServerName = serverName.toLatin1();
    } else {
        // An internationalised host name travels in its ASCII (punycode) form.
        const QByteArray ace = QUrl::toAce(result.host);
        if (ace.isEmpty())
            return std::nullopt;
        result.host = QString::fromLatin1(ace);
        result.wireServerName = ace;
        if (!port.isEmpty())
            result.wireServerName += ':' + port.toLatin1();
    }
    return result;
}

bool IsLoopbackHost(QStringView host)
{
    QStringView name = host;
    if (name.endsWith(u'.'))
        name.chop(1);
    if (name.compare(u"localhost", Qt::CaseInsensitive) == 0 || name.endsWith(u".localhost", Qt::CaseInsensitive))
        return true;
    QHostAddress address;
    if (!address.setAddress(host.toString()))
        return false;
    bool isMapped = false;
    const quint32 mapped = address.toIPv4Address(&isMapped);
    if (isMapped)
        return (mapped >> 24) == 127;
    return address.isLoopback();
}

QByteArray TunnelAuthority(const HostPort &server)
{
    // SplitHostPort has already made the host ASCII; an IPv6 literal gets its brackets back.
    const QByteArray host = server.host.toLatin1();
    const QByteArray port = QByteArray::number(server.port);
    return server.host.contains(u':') ? '[' + host + "]:" + port : host + ':' + port;
}

QByteArray EncodeRequestTarget(QStringView pageName)
{
    const qsizetype fragment = pageName.indexOf(u'#');
    const QByteArray bytes = ToWireBytes(fragment < 0 ? pageName : pageName.left(fragment));
    QByteArray target;
    target.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<uchar>(c);
        if (byte > 0x20 && byte < 0x7F)
            target.append(c);
        else
            AppendPercent(target, byte);
    }
    return target;
}

QString ToAsciiAddress(QStringView address)
{
    if (IsAscii(address))
        return address.toString();
    const QStringView text = address.trimmed();
    // The authority follows "scheme://", or begins the address when it has no scheme.
    qsizetype start = 0;
    const qsizetype schemeEnd = text.indexOf(u"://");
    if (schemeEnd > 0 && StartsWithScheme(text.left(schemeEnd + 1)))
        start = schemeEnd + 3;
    qsizetype end = start;
    while (end < text.size() && text[end] != u'/' && text[end] != u'?' && text[end] != u'#')
        ++end;
    const QStringView authority = text.mid(start, end - start);
    const qsizetype at = authority.lastIndexOf(u'@');
    const QStringView userInfo = at < 0 ? QStringView() : authority.left(at + 1);
    const QStringView hostAndPort = at < 0 ? authority : authority.mid(at + 1);
    return text.left(start).toString() + PercentEncodeBeyondAscii(userInfo) + AsciiHostAndPort(hostAndPort)
        + PercentEncodeBeyondAscii(text.mid(end));
}

QString URLEncode(QStringView text)
{
    const QByteArray bytes = ToWireBytes(text);
    QByteArray encoded;
    encoded.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto byte = static_cast<uchar>(c);
        if (IsAsciiAlphanumeric(byte))
            encoded.append(c);
        else if (byte == ' ')
            encoded.append('+');
        else
            AppendPercent(encoded, byte);
    }
    return QString::fromLatin1(encoded);
}

QString ResolveLocation(const QString &location, const QString &currentPage, bool currentSecure)
{
    QString value = location.trimmed();
    if (value.startsWith(QStringLiteral("//")))
        value.prepend(currentSecure ? QStringLiteral("https:") : QStringLiteral("http:"));
    if (StartsWithScheme(value))
        return WithoutDotSegments(value, PathStart(value));
    if (value.startsWith(u'/'))
        return WithoutDotSegments(value);
    // Relative to the current page: a fragment alone keeps the page's path and query, a query alone its path,
    // anything else goes after the last "/" of its path.
    const QStringView path = QStringView(currentPage).first(PathEnd(currentPage));
    if (value.isEmpty() || value.startsWith(u'#')) {
        const qsizetype fragment = currentPage.indexOf(u'#');
        return WithoutDotSegments(currentPage.left(fragment < 0 ? currentPage.size() : fragment) + value);
    }
    if (value.startsWith(u'?'))
        return WithoutDotSegments(path.toString() + value);
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString directory = slash < 0 ? QStringLiteral("/") : path.first(slash + 1).toString();
    return WithoutDotSegments(directory + value);
}
