#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

// What an address set on the transfer control turns into.
struct UrlParts {
    enum class Kind {
        Absolute,     // "http://host[:port]/path": serverName and pageName are filled
        BarePath,     // "/path": the previous server and path stay (a redirect has already put the path in place)
        Unsupported,  // another scheme (https://, ftp://, ...)
        Invalid,      // no scheme and not a path, or an http:// address without a usable host or port
        Forbidden,    // holds CR, LF or NUL: it would let the address write its own header lines
    };
    Kind kind = Kind::Invalid;
    QString serverName;  // host, with ":port" when the address has one
    QString pageName;    // from the first "/" on, query and fragment included; "/" when there is none
};

UrlParts SplitURL(const QString &url);

// Where a server name says to connect, and how it is written on the wire.
struct HostPort {
    QString host;                // as written, brackets of an IPv6 literal removed
    quint16 port = 80;
    QByteArray wireServerName;   // for the "Host: " line and absolute request targets
};

// Nothing when the host is empty or holds blanks, or the port is not 1..65535.
std::optional<HostPort> SplitHostPort(QStringView serverName);

// The path as a request target: query kept, fragment dropped (it is the browser's, never sent), and
// every byte outside visible ASCII percent-encoded so no blank or control byte reaches the request line.
QByteArray EncodeRequestTarget(QStringView pageName);

// The form encoding of the resolution body: letters and digits stay, a blank is "+", everything else is
// "%" and two upper-case hex digits of its Windows-1251 code, or of each of its UTF-8 bytes when the code
// page cannot hold it.
QString URLEncode(QStringView text);

// The address a "Location" value leads to, seen from the page currently fetched: absolute and
// scheme-relative values become "http..." addresses, a path stays a path, a relative name is put
// beside the current page ("p.flv" from "/a/b?x" is "/a/p.flv").
QString ResolveLocation(const QString &location, const QString &currentPage);

bool HoldsLineBreakOrNul(QStringView text);
