#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Header lines end with CRLF, or with a line feed alone as some servers write them; a carriage return
// before the line feed is never part of the line.

struct StatusLine {
    QByteArray version;  // "HTTP/1.0" or "HTTP/1.1"
    int code = 0;
    QByteArray reason;
};

// "HTTP/1.x" + blank + three digits, then the end of the line or a blank and any reason phrase.
std::optional<StatusLine> ParseStatusLine(QByteArrayView line);

// The first line of text without its line end; nothing while that line has not ended.
std::optional<QByteArrayView> FirstLine(QByteArrayView text);

// Searches text for the empty line that ends a header, starting at lineStart (the start of a line not
// searched yet). Returns the size of the header, its empty line included; or nothing, with lineStart moved to
// the start of the unfinished last line, so that the next search goes on from there.
std::optional<qsizetype> FindHeaderEnd(QByteArrayView text, qsizetype &lineStart);

// The value of the first header line of that name, matched whatever the letter case, with the blanks
// around the value removed. Only the header block is searched, and the status line is not a header.
std::optional<QByteArrayView> FindHeader(QByteArrayView headerBlock, QByteArrayView name);

// The values of every header line of that name, in order, joined by ", " as a list header allows.
std::optional<QByteArray> JoinedHeader(QByteArrayView headerBlock, QByteArrayView name);

// A length value: decimal digits and nothing else, at most 2^63 - 1; nothing otherwise (a length beyond that is
// no file's, and is as wrong as any other value that is no length).
std::optional<qint64> ParseContentLength(QByteArrayView value);

// What the header says of the length of the body.
struct DeclaredLength {
    enum class Kind {
        Absent,
        Valid,
        Invalid,  // a value that is not plain digits, or two different values
    };
    Kind kind = Kind::Absent;
    qint64 bytes = -1;
    QByteArray values;  // every Content-Length value, as received, for the error text
};

// Several Content-Length lines, or a list in one, are taken when every value is the same.
DeclaredLength ReadContentLength(QByteArrayView headerBlock);

// How the body is framed on the wire.
struct TransferCoding {
    enum class Kind {
        Identity,  // as it is, until the close or the declared length
        Chunked,
        Unknown,  // any other coding: the body cannot be read
    };
    Kind kind = Kind::Identity;
    QByteArray value;  // the Transfer-Encoding value as received
};

// "chunked" (in any letter case), named once or more, is chunked; "identity" alone, or no Transfer-Encoding, is
// none; any other coding named is unknown.
TransferCoding ReadTransferCoding(QByteArrayView headerBlock);

// A Content-Range value of a partial answer, "bytes first-last/total"; nothing for any other form (an unknown
// total "*" included).
struct ContentRange {
    qint64 first = 0;
    qint64 last = 0;
    qint64 total = 0;
};
std::optional<ContentRange> ParseContentRange(QByteArrayView value);
