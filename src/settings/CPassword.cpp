#include "CPassword.h"

#include "Scrambler.h"
#include "Windows1251.h"

#include <chrono>
#include <random>
#include <stdexcept>

CPassword::CPassword()
{
    ClearPassword();
}

quint8 CPassword::Permissions() const
{
    return permissions;
}

void CPassword::Permissions(quint8 bytPermit)
{
    permissions = bytPermit;
}

void CPassword::Password(const QString &strPassword)
{
    ClearPassword();
    plainPassword = strPassword;
    CreatePassword();
}

QByteArray CPassword::Password() const
{
    return scrambledPassword;
}

QString CPassword::CreateError() const
{
    return createError;
}

QString CPassword::Decrypt(QByteArrayView strScrambledPassword, std::optional<quint8> vbytPermissions,
                           QString *error) const
{
    if (strScrambledPassword.isEmpty())
        return {};
    int shift = static_cast<uchar>(strScrambledPassword.back());
    if (vbytPermissions) {
        shift += *vbytPermissions;
        if (shift > 255) {
            if (error)
                *error = QStringLiteral(": overflow, the key %1 is above 255").arg(shift);
            return {};
        }
    }
    return Windows1251::Decode(UnscrambleWithKey(strScrambledPassword.chopped(1), shift));
}

qint16 CPassword::PasswordLength() const
{
    if (scrambledPassword.size() > 32767)
        throw std::overflow_error("The scrambled password is longer than 32767 characters");
    return static_cast<qint16>(scrambledPassword.size());
}

qint16 CPassword::ChrVal(qint16 position) const
{
    if (position < 1 || position > scrambledPassword.size())
        throw std::out_of_range("No character at this position of the scrambled password");
    return static_cast<uchar>(scrambledPassword[position - 1]);
}

void CPassword::ScrambledPwd(const QByteArray &text)
{
    scrambledPassword = text;
}

void CPassword::AddChar(qint16 iChar)
{
    if (iChar < 0 || iChar > 255)
        throw std::out_of_range("A character code must be 0..255");
    scrambledPassword.append(static_cast<char>(iChar));
}

void CPassword::FixSeed(std::optional<quint64> seed)
{
    fixedSeed = seed;
}

void CPassword::ClearPassword()
{
    permissions = 0;
    plainPassword.clear();
    scrambledPassword.clear();
    key = 0;
    createError.clear();
}

void CPassword::CreatePassword()
{
    std::mt19937_64 generator(DrawSeed());
    const std::optional<QByteArray> codes = Windows1251::Encode(plainPassword);
    QList<int> keys = codes ? UsableKeys(*codes, permissions) : QList<int>();
    QByteArrayView scrambledFrom = codes ? QByteArrayView(*codes) : QByteArrayView();
    if (keys.isEmpty()) {
        // Nothing of the password can be kept; what is left is a valid scrambled empty password, so the
        // file never holds a text that loads as something the user did not type.
        createError = DescribeUnusablePassword(plainPassword, permissions);
        scrambledFrom = QByteArrayView();
        keys = UsableKeys(scrambledFrom, permissions);
        if (keys.isEmpty())
            return;
    }
    // Drawing among the usable keys gives each of them the same chance, as drawing 1..128 again until one
    // is usable would.
    std::uniform_int_distribution<qsizetype> pick(0, keys.size() - 1);
    key = static_cast<quint8>(keys[pick(generator)]);
    scrambledPassword = ScrambleWithKey(scrambledFrom, key, permissions);
}

quint64 CPassword::DrawSeed() const
{
    if (fixedSeed)
        return *fixedSeed;
    return static_cast<quint64>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}
