#include "IniLines.h"

namespace {

constexpr char16_t kCtrlZ = 0x1A;

// Ctrl-Z is a blank too: DOS ended text files with it, and Windows reads it so.
bool IsBlank(QChar unit)
{
    switch (unit.unicode()) {
    case u' ':
    case u'\t':
    case u'\v':
    case u'\f':
    case u'\r':
    case u'\n':
    case kCtrlZ:
        return true;
    default:
        return false;
    }
}

QStringView Trimmed(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.sliced(first, last - first);
}

bool IsTrimmed(QStringView text)
{
    return Trimmed(text).size() == text.size();
}

char16_t AsciiLower(QChar unit)
{
    const char16_t code = unit.unicode();
    return code >= u'A' && code <= u'Z' ? char16_t(code - u'A' + u'a') : code;
}

// Only ASCII letters fold: the names the program uses are ASCII, and folding other letters would depend on
// which code page a name was written in.
bool SameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

bool IsLineEnd(QChar unit)
{
    return unit == u'\r' || unit == u'\n';
}

bool HasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// One line of the text. CR, LF and CR LF each end a line, mixed as they come (files pass through editors of
// every system); the line end is not part of the line's text, so a replaced line keeps its own.
struct Line {
    qsizetype start = 0;
    qsizetype textEnd = 0;
    qsizetype next = 0;

    bool HasLineEnd() const { return next > textEnd; }
};

Line LineAt(QStringView text, qsizetype start)
{
    Line line;
    line.start = start;
    line.textEnd = start;
    while (line.textEnd < text.size() && !IsLineEnd(text[line.textEnd]))
        ++line.textEnd;
    line.next = line.textEnd;
    if (line.next < text.size()) {
        const bool crlf = text[line.next] == u'\r' && line.next + 1 < text.size() && text[line.next + 1] == u'\n';
        line.next += crlf ? 2 : 1;
    }
    return line;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QStringView name;
    // As stored: everything after the first "=", nothing trimmed yet.
    QStringView value;
    // Whether a new key may follow this line: blank lines and comments at the end of a section usually
    // introduce the next section, so new keys go before them.
    bool holdsContent = false;
};

ParsedLine ParseLine(QStringView text)
{
    ParsedLine parsed;
    qsizetype first = 0;
    while (first < text.size() && IsBlank(text[first]))
        ++first;
    if (first == text.size() || text[first] == u';')
        return parsed;
    parsed.holdsContent = true;
    const QStringView line = text.sliced(first);
    if (line.front() == u'[') {
        // The name runs to the last "]" of the line: "[a]b]" is the section "a]b".
        const qsizetype close = line.lastIndexOf(u']');
        if (close > 0) {
            parsed.kind = LineKind::Section;
            parsed.name = Trimmed(line.sliced(1, close - 1));
        }
        return parsed;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0) {
        // A key without "=" is there all the same, with an empty value.
        parsed.kind = LineKind::Key;
        parsed.name = Trimmed(line);
        return parsed;
    }
    parsed.name = Trimmed(line.first(equals));
    if (!parsed.name.isEmpty()) {
        parsed.kind = LineKind::Key;
        parsed.value = line.sliced(equals + 1);
    }
    return parsed;
}

// Lines added to a file take the line end its first line has; a file without one gets the platform's.
QStringView LineEndOf(QStringView text)
{
    const Line first = LineAt(text, 0);
    if (!first.HasLineEnd())
        return u"\n";
    return text.sliced(first.textEnd, first.next - first.textEnd);
}

bool CanWriteKey(QStringView key)
{
    if (key.isEmpty() || HasLineBreak(key) || key.contains(u'='))
        return false;
    return key.front() != u'[' && key.front() != u';';
}

QString EntryLine(QStringView key, QStringView value)
{
    QString line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append(u'=').append(value);
    return line;
}

void EndLastLine(QString &text, QStringView lineEnd)
{
    if (!text.isEmpty() && !IsLineEnd(text.back()))
        text.append(lineEnd);
}

}  // namespace

QStringView NormalizeStoredValue(QStringView stored, bool beforeLineEnd)
{
    const qsizetype nul = stored.indexOf(QChar(0));
    if (nul >= 0) {
        stored = stored.first(nul);
        beforeLineEnd = false;
    }
    QStringView value = Trimmed(stored);
    // A scrambled password whose key is 26 ends in a Ctrl-Z, and the program writes the line end right after
    // it. Such a value, with nothing else to trim, keeps its Ctrl-Z, so that the password loads.
    if (beforeLineEnd && stored.endsWith(QChar(kCtrlZ)) && IsTrimmed(stored.chopped(1)))
        value = stored;
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.sliced(1, value.size() - 2);
    return value;
}

std::optional<QStringView> FindIniEntry(QStringView text, QStringView Section, QStringView KeyName)
{
    const QStringView section = Trimmed(Section);
    const QStringView key = Trimmed(KeyName);
    bool inSection = false;
    for (qsizetype start = 0; start < text.size();) {
        const Line line = LineAt(text, start);
        start = line.next;
        const ParsedLine parsed = ParseLine(text.sliced(line.start, line.textEnd - line.start));
        if (parsed.kind == LineKind::Section) {
            // Only the first section of a name counts, for reading and for writing alike.
            if (inSection)
                return std::nullopt;
            inSection = SameName(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Key && SameName(parsed.name, key)) {
            return NormalizeStoredValue(parsed.value, line.HasLineEnd());
        }
    }
    return std::nullopt;
}

QStringView FindIniValue(QStringView text, QStringView Section, QStringView KeyName)
{
    return FindIniEntry(text, Section, KeyName).value_or(QStringView());
}

std::optional<QString> PlaceIniValue(QStringView text, QStringView Section, QStringView KeyName, QStringView KeyValue)
{
    const QStringView section = Trimmed(Section);
    const QStringView key = Trimmed(KeyName);
    if (HasLineBreak(section) || !CanWriteKey(key) || HasLineBreak(KeyValue))
        return std::nullopt;
    const QStringView lineEnd = LineEndOf(text);

    bool inSection = false;
    qsizetype insertAt = -1;
    for (qsizetype start = 0; start < text.size();) {
        const Line line = LineAt(text, start);
        start = line.next;
        const ParsedLine parsed = ParseLine(text.sliced(line.start, line.textEnd - line.start));
        if (parsed.kind == LineKind::Section) {
            if (inSection)
                break;
            inSection = SameName(parsed.name, section);
            if (inSection)
                insertAt = line.next;
            continue;
        }
        if (!inSection)
            continue;
        if (parsed.kind == LineKind::Key && SameName(parsed.name, key)) {
            // The key keeps the spelling the file gives it; only its value changes.
            QString result = text.first(line.start).toString();
            result.append(EntryLine(parsed.name, KeyValue));
            // A Ctrl-Z ending the value stays part of it only before a line end.
            if (!line.HasLineEnd() && KeyValue.endsWith(QChar(kCtrlZ)))
                result.append(lineEnd);
            result.append(text.sliced(line.textEnd));
            return result;
        }
        if (parsed.holdsContent)
            insertAt = line.next;
    }

    QString result;
    result.reserve(text.size() + section.size() + key.size() + KeyValue.size() + 8);
    if (insertAt < 0) {
        result.append(text);
        EndLastLine(result, lineEnd);
        result.append(u'[').append(section).append(u']').append(lineEnd);
        result.append(EntryLine(key, KeyValue)).append(lineEnd);
        return result;
    }
    result.append(text.first(insertAt));
    EndLastLine(result, lineEnd);
    result.append(EntryLine(key, KeyValue)).append(lineEnd);
    result.append(text.sliced(insertAt));
    return result;
}
