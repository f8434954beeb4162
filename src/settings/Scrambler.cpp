#include "Scrambler.h"

#include "IniText.h"
#include "Windows1251.h"

namespace {

constexpr char kDoubleQuote = '"';

// A character beyond the 16-bit range is named whole, not by one of its surrogate halves; one that shows
// nothing is named by its number only.
QString DescribeCharacterAt(const QString &text, qsizetype at)
{
    const bool pair = text[at].isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate();
    const QString character = text.mid(at, pair ? 2 : 1);
    const char32_t codePoint = pair ? QChar::surrogateToUcs4(text[at], text[at + 1]) : text[at].unicode();
    const QString hex = QString::number(codePoint, 16).toUpper().rightJustified(4, QLatin1Char('0'));
    if (!pair && !text[at].isPrint())
        return QStringLiteral("U+") + hex;
    return QStringLiteral("\"%1\" (U+%2)").arg(character, hex);
}

}  // namespace

QByteArray ScrambleWithKey(QByteArrayView plain, int key, int permissions)
{
    const int shift = key + permissions;
    if (shift > 255)
        return {};
    QByteArray scrambled;
    scrambled.reserve(plain.size() + 1);
    for (char byte : plain) {
        const int code = static_cast<uchar>(byte) + shift;
        if (code > 255)
            return {};
        scrambled.append(static_cast<char>(code));
    }
    scrambled.append(static_cast<char>(key));
    return scrambled;
}

QList<int> UsableKeys(QByteArrayView plain, int permissions)
{
    QList<int> keys;
    QList<int> keysMakingQuotes;
    for (int key = kLowestKey; key <= kHighestKey; ++key) {
        const QByteArray scrambled = ScrambleWithKey(plain, key, permissions);
        if (scrambled.isEmpty() || !IsValueKept(scrambled))
            continue;
        // A NUL in the password would unscramble to the end of it.
        if (UnscrambleWithKey(scrambled.first(plain.size()), key + permissions) != plain)
            continue;
        if (scrambled.first(plain.size()).contains(kDoubleQuote))
            keysMakingQuotes.append(key);
        else
            keys.append(key);
    }
    // Password characters have always been kept from turning into double quotes, and texts without them
    // are preferred. The file keeps a quote inside a value, though, so when every other key is ruled out
    // (a "!" beside a "ю", which only the key 1 can raise) a quote is better than losing the password.
    return keys.isEmpty() ? keysMakingQuotes : keys;
}

QString DescribeUnusablePassword(const QString &plain, int permissions)
{
    for (qsizetype at = 0; at < plain.size(); ++at) {
        if (!Windows1251::CodeOf(plain[at]))
            return QStringLiteral(
                       " символ %1 отсутствует в кодировке Windows-1251, файл настроек не может его хранить.")
                .arg(DescribeCharacterAt(plain, at));
    }
    const qsizetype nul = plain.indexOf(QChar(0));
    if (nul >= 0)
        return QStringLiteral(" пароль содержит символ %1, который невозможно сохранить.")
            .arg(DescribeCharacterAt(plain, nul));
    if (permissions + kLowestKey > 255)
        return QStringLiteral(" переполнение: значение Permissions %1 не оставляет места для ключа.").arg(permissions);
    for (qsizetype at = 0; at < plain.size(); ++at) {
        const int code = *Windows1251::CodeOf(plain[at]);
        if (code + kLowestKey + permissions > 255)
            return QStringLiteral(
                       " переполнение: символ %1 имеет код %2 в Windows-1251, его нельзя зашифровать ни одним ключом.")
                .arg(DescribeCharacterAt(plain, at))
                .arg(code);
    }
    if (plain.size() + 1 > kIniValueLimit)
        return QStringLiteral(" пароль длиннее %1 символов, больше файл настроек не хранит.").arg(kIniValueLimit - 1);
    return QStringLiteral(" ни один ключ не даёт зашифрованный текст, который файл настроек сохранит без "
                          "изменений (пароль содержит управляющие символы).");
}

QByteArray UnscrambleWithKey(QByteArrayView scrambled, int key)
{
    QByteArray plain;
    plain.reserve(scrambled.size());
    for (char byte : scrambled) {
        const int code = static_cast<uchar>(byte) - key;
        if (code < 1)
            return {};
        plain.append(static_cast<char>(code));
    }
    return plain;
}
