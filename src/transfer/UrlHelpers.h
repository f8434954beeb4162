#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// What an address set on the transfer control turns into.
struct UrlParts {
    enum class Kind {
        Absolute,  // "http://host[:port]/path" or "https://...": serverName, pageName and secure are filled
        BarePath,  // "/path": the previous server, scheme and path stay (a redirect has already put the path in place)
        Unsupported,  // another scheme (ftp://, ...)
        Invalid,  // no scheme and not a path, or an http(s):// address without a usable host or port
        Forbidden,  // holds CR, LF or NUL: it would let the address write its own header lines
    };
    Kind kind = Kind::Invalid;
    QString serverName;  // host, with ":port" when the address has one
    QString pageName;  // from the first "/" on, query and fragment included; "/" when there is none
    bool secure = false;  // "https://": TLS, port 443 unless the address names one
};

inline constexpr quint16 kHttpPort = 80;
inline constexpr quint16 kHttpsPort = 443;

UrlParts SplitURL(const QString &url);

// Where a server name says to connect, and how it is written on the wire.
struct HostPort {
    QString host;  // as written, brackets of an IPv6 literal removed
    quint16 port = kHttpPort;
    QByteArray wireServerName;  // for the "Host: " line and absolute request targets
};

// Nothing when the host is empty or holds blanks, or the port is not 1..65535. Without a port in the
// name, the port is defaultPort.
std::optional<HostPort> SplitHostPort(QStringView serverName, quint16 defaultPort = kHttpPort);

// A host on this machine's loopback: "localhost" and names under it, 127.0.0.0/8, ::1 (also written as an
// IPv4-mapped address). host is written without brackets, as HostPort keeps it.
bool IsLoopbackHost(QStringView host);

// "host:port" with the port always written, as a CONNECT request names its target.
QByteArray TunnelAuthority(const HostPort &server);

// The path as a request target: query kept, fragment dropped (it is the browser's, never sent), and
// every byte outside visible ASCII percent-encoded so no blank or control byte reaches the request line.
QByteArray EncodeRequestTarget(QStringView pageName);

// A page address in the ASCII form browsers send: the host in its ASCII (punycode) form, every other character
// outside ASCII as the percent-encoded bytes of its UTF-8 form, blanks around it dropped. An address that is
// ASCII already comes back unchanged, byte for byte. Without a scheme the address begins with its host, as the
// resolution service reads it.
QString ToAsciiAddress(QStringView address);

// The form encoding of the resolution body: letters and digits stay, a blank is "+", everything else is
// "%" and two upper-case hex digits of its Windows-1251 code, or of each of its UTF-8 bytes when the code
// page cannot hold it.
QString URLEncode(QStringView text);

// The address a "Location" value leads to, seen from the page currently fetched: an absolute value stays,
// a scheme-relative one takes the scheme of the current page (https when currentSecure), a path stays a
// path, a relative name is put beside the current page ("p.flv" from "/a/b?x" is "/a/p.flv"). As RFC 3986, 5.2
// has it: the "." and ".." segments of the path are worked out ("../p.flv" from "/a/b/c" is "/a/p.flv"), the
// query and fragment are left as they are.
QString ResolveLocation(const QString &location, const QString &currentPage, bool currentSecure = false);

bool HoldsLineBreakOrNul(QStringView text);
