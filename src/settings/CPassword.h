#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <optional>

// Turns the proxy password into the scrambled text kept in options.ini and back. The scrambling shifts the
// Windows-1251 codes of the password by a random key that travels with the text: it hides the password from
// a glance at the file, nothing more. Texts written by earlier versions of the program load here.
//
// Properties are member pairs of one name: Password() reads, Password(text) assigns.
class CPassword {
public:
    // The beginning of the message shown when a password cannot be scrambled; the description follows.
    static inline const QString kCreateErrorHeading = QStringLiteral("Error creating password:");
    // The same for a text that cannot be unscrambled.
    static inline const QString kDecryptErrorHeading = QStringLiteral("Error decrypting password");

    CPassword();

    quint8 Permissions() const;
    void Permissions(quint8 bytPermit);

    // Clears the object (permissions included) and scrambles the password with a newly drawn key. A password
    // that no key can turn into a text options.ini keeps leaves only a key character, which unscrambles to
    // "", and CreateError() says why.
    void Password(const QString &strPassword);
    // The scrambled text as Windows-1251 codes; not the plain password.
    QByteArray Password() const;

    // The description of why the last assignment of Password could not be scrambled; "" when it could.
    // It begins with a blank and follows kCreateErrorHeading directly.
    QString CreateError() const;

    // The plain password of a scrambled text; "" for a text the scrambler did not make, without ever reading
    // outside it. With vbytPermissions, the key is that much higher; a key above 255 is a failure, whose
    // description (to follow kDecryptErrorHeading) goes to error when given. The object is neither used nor
    // changed.
    QString Decrypt(QByteArrayView strScrambledPassword, std::optional<quint8> vbytPermissions = std::nullopt,
                    QString *error = nullptr) const;

    // Length of the scrambled password.
    qint16 PasswordLength() const;
    // Code of the character at a position of the scrambled password, counted from 1; std::out_of_range
    // outside it.
    qint16 ChrVal(qint16 position) const;
    // Replaces the scrambled password.
    void ScrambledPwd(const QByteArray &text);
    // Appends the character with a code 0..255 to the scrambled password; std::out_of_range otherwise.
    void AddChar(qint16 iChar);

    // Every draw seeds from this value instead of the clock; tests use it to make draws repeatable.
    void FixSeed(std::optional<quint64> seed);

private:
    void ClearPassword();
    void CreatePassword();
    quint64 DrawSeed() const;

    quint8 permissions = 0;
    QString plainPassword;
    QByteArray scrambledPassword;
    quint8 key = 0;
    QString createError;
    std::optional<quint64> fixedSeed;
};
