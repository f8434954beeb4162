#include "HttpHeader.h"

#include <limits>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    }
    return true;
}

QByteArrayView TrimBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

}  // namespace

std::optional<StatusLine> ParseStatusLine(QByteArrayView line)
{
    if (line.size() < 12)
        return std::nullopt;
    const QByteArrayView version = line.first(8);
    if (version != "HTTP/1.0" && version != "HTTP/1.1")
        return std::nullopt;
    if (line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]))
        return std::nullopt;
    if (line.size() > 12 && line[12] != ' ')
        return std::nullopt;
    StatusLine status;
    status.version = version.toByteArray();
    status.code = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (line.size() > 13)
        status.reason = line.sliced(13).toByteArray();
    return status;
}

std::optional<QByteArrayView> FindHeader(QByteArrayView headerBlock, QByteArrayView name)
{
    qsizetype lineStart = headerBlock.indexOf("\r\n");
    if (lineStart < 0)
        return std::nullopt;
    lineStart += 2;
    while (lineStart < headerBlock.size()) {
        qsizetype lineEnd = headerBlock.indexOf("\r\n", lineStart);
        if (lineEnd < 0)
            lineEnd = headerBlock.size();
        const QByteArrayView line = headerBlock.sliced(lineStart, lineEnd - lineStart);
        if (line.isEmpty())
            break;  // the empty line ends the header: the body is no place to look
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && SameName(line.first(colon), name))
            return TrimBlanks(line.sliced(colon + 1));
        lineStart = lineEnd + 2;
    }
    return std::nullopt;
}

std::optional<qint64> ParseContentLength(QByteArrayView value)
{
    if (value.isEmpty() || !IsDigit(value[0]))
        return std::nullopt;
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    qint64 length = 0;
    for (char c : value) {
        if (!IsDigit(c))
            break;
        const int digit = c - '0';
        if (length > (kLargest - digit) / 10)
            return kLargest;
        length = length * 10 + digit;
    }
    return length;
}
