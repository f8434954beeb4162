#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

struct StatusLine {
    QByteArray version;  // "HTTP/1.0" or "HTTP/1.1"
    int code = 0;
    QByteArray reason;
};

// "HTTP/1.x" + blank + three digits, then the end of the line or a blank and any reason phrase.
std::optional<StatusLine> ParseStatusLine(QByteArrayView line);

// The value of the first header line of that name, matched whatever the letter case, with the blanks
// around the value removed. Only the header block is searched, and the status line is not a header.
std::optional<QByteArrayView> FindHeader(QByteArrayView headerBlock, QByteArrayView name);

// The leading decimal digits of a length value; nothing when there are none. A length too large for
// 64 bits reads as the largest value, which no memory can hold anyway.
std::optional<qint64> ParseContentLength(QByteArrayView value);
