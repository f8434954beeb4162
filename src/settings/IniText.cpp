#include "IniText.h"

namespace {

bool IsBlank(char byte)
{
    return byte == ' ' || byte == '\t' || byte == '\v' || byte == '\f' || byte == '\r' || byte == '\n';
}

QByteArrayView Trimmed(QByteArrayView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

char AsciiLower(char byte)
{
    return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

// Only ASCII letters fold: the names the program uses are ASCII, and folding other bytes would depend on
// which code page a name was written in.
bool SameName(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool HasLineBreak(QByteArrayView text)
{
    return text.contains('\n') || text.contains('\r');
}

// One line of the content. A CR right before the LF belongs to the line end, so that files written on
// Windows keep their line ends when a line is replaced.
struct Line {
    qsizetype start = 0;
    qsizetype textEnd = 0;
    qsizetype next = 0;
};

Line LineAt(QByteArrayView content, qsizetype start)
{
    Line line;
    line.start = start;
    const qsizetype feed = content.indexOf('\n', start);
    if (feed < 0) {
        line.textEnd = content.size();
        line.next = content.size();
        return line;
    }
    line.textEnd = feed > start && content[feed - 1] == '\r' ? feed - 1 : feed;
    line.next = feed + 1;
    return line;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QByteArrayView name;
    QByteArrayView value;
    // Whether a new key may follow this line: blank lines and comments at the end of a section usually
    // introduce the next section, so new keys go before them.
    bool holdsContent = false;
};

ParsedLine ParseLine(QByteArrayView text)
{
    ParsedLine parsed;
    const QByteArrayView trimmed = Trimmed(text);
    if (trimmed.isEmpty() || trimmed.front() == ';')
        return parsed;
    parsed.holdsContent = true;
    if (trimmed.front() == '[') {
        const qsizetype close = trimmed.indexOf(']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = Trimmed(trimmed.sliced(1, close - 1));
        }
        return parsed;
    }
    const qsizetype equals = trimmed.indexOf('=');
    if (equals < 0)
        return parsed;
    parsed.name = Trimmed(trimmed.first(equals));
    if (parsed.name.isEmpty())
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.value = Trimmed(trimmed.sliced(equals + 1));
    return parsed;
}

// Lines added to a file take the line end its first line has; a file without one gets the platform's.
QByteArrayView LineEndOf(QByteArrayView content)
{
    const qsizetype feed = content.indexOf('\n');
    if (feed > 0 && content[feed - 1] == '\r')
        return "\r\n";
    return "\n";
}

bool CanWriteSection(QByteArrayView section)
{
    return !HasLineBreak(section) && !section.contains(']') && Trimmed(section).size() == section.size();
}

bool CanWriteKey(QByteArrayView key)
{
    if (key.isEmpty() || HasLineBreak(key) || key.contains('=') || Trimmed(key).size() != key.size())
        return false;
    return key.front() != '[' && key.front() != ';';
}

QByteArray EntryLine(QByteArrayView key, QByteArrayView value)
{
    QByteArray line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append('=').append(value);
    return line;
}

}  // namespace

QByteArray NormalizeValue(QByteArrayView stored)
{
    QByteArrayView value = Trimmed(stored);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value.first(std::min(value.size(), kIniValueLimit)).toByteArray();
}

bool IsValueKept(QByteArrayView value)
{
    return !HasLineBreak(value) && NormalizeValue(value) == value;
}

QByteArray ReadIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName)
{
    bool inSection = false;
    for (qsizetype start = 0; start < content.size();) {
        const Line line = LineAt(content, start);
        start = line.next;
        const ParsedLine parsed = ParseLine(content.sliced(line.start, line.textEnd - line.start));
        if (parsed.kind == LineKind::Section) {
            // Only the first section of a name counts, for reading and for writing alike.
            if (inSection)
                return {};
            inSection = SameName(parsed.name, Section);
        } else if (inSection && parsed.kind == LineKind::Key && SameName(parsed.name, KeyName)) {
            return NormalizeValue(parsed.value);
        }
    }
    return {};
}

std::optional<QByteArray> WriteIniValue(QByteArrayView content, QByteArrayView Section, QByteArrayView KeyName,
                                        QByteArrayView KeyValue)
{
    if (!CanWriteSection(Section) || !CanWriteKey(KeyName) || HasLineBreak(KeyValue))
        return std::nullopt;
    const QByteArrayView lineEnd = LineEndOf(content);

    bool inSection = false;
    qsizetype insertAt = -1;
    for (qsizetype start = 0; start < content.size();) {
        const Line line = LineAt(content, start);
        start = line.next;
        const ParsedLine parsed = ParseLine(content.sliced(line.start, line.textEnd - line.start));
        if (parsed.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(parsed.name, Section);
            if (inSection)
                insertAt = line.next;
            continue;
        }
        if (!inSection)
            continue;
        if (parsed.kind == LineKind::Key && SameName(parsed.name, KeyName)) {
            // The key keeps the spelling the file gives it; only its value changes.
            QByteArray result = content.first(line.start).toByteArray();
            result.append(EntryLine(parsed.name, KeyValue));
            result.append(content.sliced(line.textEnd));
            return result;
        }
        if (parsed.holdsContent)
            insertAt = line.next;
    }

    QByteArray result;
    result.reserve(content.size() + Section.size() + KeyName.size() + KeyValue.size() + 8);
    if (insertAt < 0) {
        result.append(content);
        if (!result.isEmpty() && !result.endsWith('\n'))
            result.append(lineEnd);
        result.append('[').append(Section).append(']').append(lineEnd);
        result.append(EntryLine(KeyName, KeyValue)).append(lineEnd);
        return result;
    }
    result.append(content.first(insertAt));
    if (!result.isEmpty() && !result.endsWith('\n'))
        result.append(lineEnd);
    result.append(EntryLine(KeyName, KeyValue)).append(lineEnd);
    result.append(content.sliced(insertAt));
    return result;
}
