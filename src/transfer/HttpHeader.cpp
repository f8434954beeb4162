#include "HttpHeader.h"

#include <QList>

#include <functional>
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

// The line from start to the line feed at lineFeed, without its line end.
QByteArrayView LineBefore(QByteArrayView text, qsizetype start, qsizetype lineFeed)
{
    qsizetype end = lineFeed;
    if (end > start && text[end - 1] == '\r')
        --end;
    return text.sliced(start, end - start);
}

// Calls visit with the name and the trimmed value of every header line until the empty line; stops early
// when visit returns false.
void ForEachHeaderLine(QByteArrayView headerBlock,
                       const std::function<bool(QByteArrayView name, QByteArrayView value)> &visit)
{
    qsizetype lineStart = headerBlock.indexOf('\n');
    if (lineStart < 0)
        return;
    ++lineStart;
    while (lineStart < headerBlock.size()) {
        qsizetype lineFeed = headerBlock.indexOf('\n', lineStart);
        if (lineFeed < 0)
            lineFeed = headerBlock.size();
        const QByteArrayView line = LineBefore(headerBlock, lineStart, lineFeed);
        if (line.isEmpty())
            return;  // the empty line ends the header: the body is no place to look
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && !visit(line.first(colon), TrimBlanks(line.sliced(colon + 1))))
            return;
        lineStart = lineFeed + 1;
    }
}

QList<QByteArrayView> SplitList(QByteArrayView value)
{
    QList<QByteArrayView> members;
    qsizetype start = 0;
    while (start <= value.size()) {
        qsizetype comma = value.indexOf(',', start);
        if (comma < 0)
            comma = value.size();
        members.append(TrimBlanks(value.sliced(start, comma - start)));
        start = comma + 1;
    }
    return members;
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

std::optional<QByteArrayView> FirstLine(QByteArrayView text)
{
    const qsizetype lineFeed = text.indexOf('\n');
    if (lineFeed < 0)
        return std::nullopt;
    return LineBefore(text, 0, lineFeed);
}

std::optional<qsizetype> FindHeaderEnd(QByteArrayView text, qsizetype &lineStart)
{
    while (true) {
        const qsizetype lineFeed = text.indexOf('\n', lineStart);
        if (lineFeed < 0)
            return std::nullopt;
        const bool empty = LineBefore(text, lineStart, lineFeed).isEmpty();
        lineStart = lineFeed + 1;
        if (empty)
            return lineStart;
    }
}

std::optional<QByteArrayView> FindHeader(QByteArrayView headerBlock, QByteArrayView name)
{
    std::optional<QByteArrayView> found;
    ForEachHeaderLine(headerBlock, [&](QByteArrayView lineName, QByteArrayView value) {
        if (!SameName(lineName, name))
            return true;
        found = value;
        return false;
    });
    return found;
}

std::optional<QByteArray> JoinedHeader(QByteArrayView headerBlock, QByteArrayView name)
{
    std::optional<QByteArray> joined;
    ForEachHeaderLine(headerBlock, [&](QByteArrayView lineName, QByteArrayView value) {
        if (SameName(lineName, name)) {
            if (joined)
                joined->append(", ");
            else
                joined.emplace();
            joined->append(value);
        }
        return true;
    });
    return joined;
}

std::optional<qint64> ParseContentLength(QByteArrayView value)
{
    if (value.isEmpty())
        return std::nullopt;
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    qint64 length = 0;
    for (char c : value) {
        if (!IsDigit(c))
            return std::nullopt;
        const int digit = c - '0';
        if (length > (kLargest - digit) / 10)
            return std::nullopt;
        length = length * 10 + digit;
    }
    return length;
}

DeclaredLength ReadContentLength(QByteArrayView headerBlock)
{
    DeclaredLength declared;
    const std::optional<QByteArray> values = JoinedHeader(headerBlock, "Content-Length");
    if (!values)
        return declared;
    declared.values = *values;
    declared.kind = DeclaredLength::Kind::Invalid;
    std::optional<qint64> agreed;
    for (QByteArrayView member : SplitList(*values)) {
        const std::optional<qint64> length = ParseContentLength(member);
        // "1,029" is a list of two different lengths, and a cut file is worse than none.
        if (!length || (agreed && *agreed != *length))
            return declared;
        agreed = length;
    }
    declared.kind = DeclaredLength::Kind::Valid;
    declared.bytes = *agreed;
    return declared;
}

TransferCoding ReadTransferCoding(QByteArrayView headerBlock)
{
    TransferCoding coding;
    const std::optional<QByteArray> value = JoinedHeader(headerBlock, "Transfer-Encoding");
    if (!value)
        return coding;
    coding.value = *value;
    // Misconfigured proxies name "chunked" twice (in one line or in two) over a body chunked once: it is
    // decoded once.
    bool chunked = false;
    bool other = false;
    for (QByteArrayView member : SplitList(*value)) {
        if (SameName(member, "chunked"))
            chunked = true;
        else if (!member.isEmpty() && !SameName(member, "identity"))
            other = true;
    }
    if (other)
        coding.kind = TransferCoding::Kind::Unknown;
    else if (chunked)
        coding.kind = TransferCoding::Kind::Chunked;
    return coding;
}

std::optional<ContentRange> ParseContentRange(QByteArrayView value)
{
    const QByteArrayView unit = "bytes ";
    if (!value.startsWith(unit))
        return std::nullopt;
    value = value.sliced(unit.size()).trimmed();
    const qsizetype dash = value.indexOf('-');
    const qsizetype slash = value.indexOf('/');
    if (dash <= 0 || slash <= dash + 1)
        return std::nullopt;
    const std::optional<qint64> first = ParseContentLength(value.first(dash));
    const std::optional<qint64> last = ParseContentLength(value.sliced(dash + 1, slash - dash - 1));
    const std::optional<qint64> total = ParseContentLength(value.sliced(slash + 1));
    if (!first || !last || !total || *first > *last || *last >= *total)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}
