#include "DefaultVideoName.h"

#include <QTextBoundaryFinder>

namespace {

// Removes the time-zone fields ("t" runs outside quoted text) with the blanks before them.
QString WithoutTimeZone(const QString &format)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            result.append(c);
        } else if (!quoted && c == QLatin1Char('t')) {
            while (result.endsWith(QLatin1Char(' ')))
                result.chop(1);
        } else {
            result.append(c);
        }
    }
    return result.trimmed();
}

// Adds seconds after the minutes, joined as the locale joins hours and minutes.
QString WithSeconds(const QString &format)
{
    qsizetype minutesEnd = -1;
    qsizetype minutesStart = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && c == QLatin1Char('m')) {
            if (minutesEnd != i)
                minutesStart = i;
            minutesEnd = i + 1;
        }
    }
    if (minutesEnd < 0)
        return format + QStringLiteral(":ss");
    qsizetype hoursEnd = minutesStart;
    while (hoursEnd > 0 && !QStringLiteral("hH").contains(format[hoursEnd - 1]))
        --hoursEnd;
    QString separator = format.mid(hoursEnd, minutesStart - hoursEnd);
    if (separator.isEmpty())
        separator = QStringLiteral(":");
    QString result = format;
    result.insert(minutesEnd, separator + QStringLiteral("ss"));
    return result;
}

}  // namespace

QString ShortDateText(const QDate &date, const QLocale &locale)
{
    return locale.toString(date, QLocale::ShortFormat);
}

QString TimeFormatWithSeconds(const QLocale &locale)
{
    // The long format carries seconds in most locales, but also the time zone, which a name does not need;
    // the Russian short format has no seconds at all.
    QString format = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
    if (!format.contains(QLatin1Char('s')))
        format = WithSeconds(WithoutTimeZone(locale.timeFormat(QLocale::ShortFormat)));
    return format;
}

QString DefaultVideoName(const QDateTime &now, const QLocale &locale, const QString &extension)
{
    QString name = ShortDateText(now.date(), locale) + QLatin1Char('(')
        + locale.toString(now.time(), TimeFormatWithSeconds(locale)) + QStringLiteral(").") + extension;
    name.replace(QLatin1Char(':'), QLatin1Char('-'));
    name.replace(QLatin1Char(','), QLatin1Char('.'));
    name.replace(QLatin1Char('\\'), QLatin1Char('.'));
    name.replace(QLatin1Char('/'), QLatin1Char('.'));
    return name;
}

namespace {

// Blanks and dots at the ends are lost or refused by one file system or another (and a dot at the start hides
// the file).
QString TrimmedName(const QString &name, bool atStart)
{
    qsizetype first = 0;
    qsizetype last = name.size();
    const auto loose = [](QChar c) { return c == QLatin1Char('.') || c == QLatin1Char(' '); };
    while (atStart && first < last && loose(name[first]))
        ++first;
    while (last > first && loose(name[last - 1]))
        --last;
    return name.mid(first, last - first);
}

// The longest beginning of name that takes at most bytes of UTF-8 and ends between two graphemes.
QString CutToBytes(const QString &name, qsizetype bytes)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, name);
    qsizetype kept = 0;
    qsizetype used = 0;
    for (qsizetype next = graphemes.toNextBoundary(); next > 0; next = graphemes.toNextBoundary()) {
        used += QStringView(name).mid(kept, next - kept).toUtf8().size();
        if (used > bytes)
            break;
        kept = next;
    }
    return name.left(kept);
}

}  // namespace

QString SafeFileName(const QString &title)
{
    QString name;
    name.reserve(title.size());
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar c = title[i];
        const QChar next = i + 1 < title.size() ? title[i + 1] : QChar();
        if (c.isHighSurrogate() && next.isLowSurrogate()) {
            name += c;
            name += next;
            ++i;
        } else if (c.isSurrogate() || QStringLiteral("*?<>").contains(c)) {
            continue;
        } else if (c.category() == QChar::Other_Control || c.isSpace()) {
            name += QLatin1Char(' ');
        } else if (c == QLatin1Char('"')) {
            name += QLatin1Char('\'');
        } else if (c == QLatin1Char(':') && next.isSpace()) {
            name += QStringLiteral(" -");
        } else if (QStringLiteral(":/\\|").contains(c)) {
            name += QLatin1Char('-');
        } else {
            name += c;
        }
    }
    name = TrimmedName(name.simplified(), true);
    return TrimmedName(CutToBytes(name, kMostTitleNameBytes), false);
}

QString ProposedVideoName(const QString &title, bool byDateTime, const QString &extension, const QDateTime &now,
                          const QLocale &locale)
{
    const QString safe = byDateTime ? QString() : SafeFileName(title);
    if (safe.isEmpty())
        return DefaultVideoName(now, locale, extension);
    return safe + QLatin1Char('.') + extension;
}
