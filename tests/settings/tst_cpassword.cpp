#include "CPassword.h"
#include "IniText.h"
#include "Scrambler.h"
#include "Windows1251.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <stdexcept>

// The password scrambler: its pieces with fixed keys, and the object with drawn ones.
class TestCPassword : public QObject {
    Q_OBJECT

private slots:
    void scramblesWithKey_data();
    void scramblesWithKey();
    void decrypts_data();
    void decrypts();
    void decryptWithPermissions();
    void decryptNeverReadsOutside();
    void usableKeys_data();
    void usableKeys();
    void everyUsableKeyIsDrawn();
    void scrambledTextsLoadBack_data();
    void scrambledTextsLoadBack();
    void emptyPasswordGivesKeyOnly();
    void twoAssignmentsDiffer();
    void assignmentClearsPermissions();
    void refusesWhatNoKeyCanHold_data();
    void refusesWhatNoKeyCanHold();
    void laterAssignmentClearsError();
    void characterMembers();
};

namespace {

QByteArray Codes(std::initializer_list<int> codes)
{
    QByteArray bytes;
    for (int code : codes)
        bytes.append(static_cast<char>(code));
    return bytes;
}

QList<int> AllKeysBut(std::initializer_list<int> excluded)
{
    QList<int> keys;
    for (int key = kLowestKey; key <= kHighestKey; ++key) {
        if (!QList<int>(excluded).contains(key))
            keys.append(key);
    }
    return keys;
}

}  // namespace

void TestCPassword::scramblesWithKey_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<QByteArray>("scrambled");

    QTest::newRow("abc with 5") << QByteArray("abc") << 5 << 0 << Codes({102, 103, 104, 5});
    QTest::newRow("empty") << QByteArray() << 77 << 0 << Codes({77});
    QTest::newRow("highest fit") << Codes({254}) << 1 << 0 << Codes({255, 1});
    QTest::newRow("one too high") << Codes({255}) << 1 << 0 << QByteArray();
    QTest::newRow("with permissions") << QByteArray("a") << 3 << 10 << Codes({97 + 13, 3});
    QTest::newRow("permissions overflow") << QByteArray() << 128 << 128 << QByteArray();
    QTest::newRow("cyrillic") << Windows1251::Encode(QStringLiteral("Пароль")).value() << 3 << 0
                              << Codes({0xCF + 3, 0xE0 + 3, 0xF0 + 3, 0xEE + 3, 0xEB + 3, 0xFC + 3, 3});
}

void TestCPassword::scramblesWithKey()
{
    QFETCH(QByteArray, plain);
    QFETCH(int, key);
    QFETCH(int, permissions);
    QFETCH(QByteArray, scrambled);
    QCOMPARE(ScrambleWithKey(plain, key, permissions), scrambled);
}

void TestCPassword::decrypts_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("plain");

    QTest::newRow("abc with 5") << Codes({102, 103, 104, 5}) << QStringLiteral("abc");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("one character") << QByteArray("x") << QString();
    QTest::newRow("code equal to key") << Codes({5, 5}) << QString();
    QTest::newRow("code below key") << Codes({100, 4, 5}) << QString();
    QTest::newRow("bad character last but one") << Codes({100, 100, 5, 5}) << QString();
    QTest::newRow("key 255") << Codes({255, 255}) << QString();
    QTest::newRow("key 0 keeps codes") << Codes({65, 66, 0}) << QStringLiteral("AB");
    QTest::newRow("cyrillic from an earlier version")
        << Codes({0xCF + 3, 0xE0 + 3, 0xF0 + 3, 0xEE + 3, 0xEB + 3, 0xFC + 3, 3}) << QStringLiteral("Пароль");
    QTest::newRow("plain text is not scrambled") << QByteArray("abc") << QString();
    QTest::newRow("plain text turns into another") << QByteArray("hunter2") << QStringLiteral("6C<B3@");
}

void TestCPassword::decrypts()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, plain);
    CPassword password;
    QString error;
    QCOMPARE(password.Decrypt(stored, std::nullopt, &error), plain);
    QVERIFY(error.isEmpty());
}

void TestCPassword::decryptWithPermissions()
{
    CPassword password;
    QCOMPARE(password.Decrypt(Codes({97 + 13, 3}), quint8(10)), QStringLiteral("a"));
    QString error;
    QCOMPARE(password.Decrypt(Codes({200, 200}), quint8(56), &error), QString());
    QVERIFY(error.contains(QStringLiteral("256")));
    QCOMPARE(password.PasswordLength(), qint16(0));
}

// Every text of up to two bytes and many longer random ones; the sanitizers watch for reads outside.
void TestCPassword::decryptNeverReadsOutside()
{
    CPassword password;
    for (int first = 0; first < 256; ++first) {
        QCOMPARE(password.Decrypt(Codes({first})), QString());
        for (int second = 0; second < 256; ++second) {
            const QString plain = password.Decrypt(Codes({first, second}));
            QCOMPARE(plain.size(), first > second ? 1 : 0);
        }
    }
    QRandomGenerator random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray text(random.bounded(1, 40), Qt::Uninitialized);
        for (char &byte : text)
            byte = static_cast<char>(random.bounded(256));
        const QString plain = password.Decrypt(text);
        QVERIFY(plain.isEmpty() || plain.size() == text.size() - 1);
    }
}

void TestCPassword::usableKeys_data()
{
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QList<int>>("keys");

    // A key character that is a blank or a line break would be trimmed from the end of the value.
    const std::initializer_list<int> blanks = {9, 10, 11, 12, 13, 32};
    QTest::newRow("abc") << QByteArray("abc") << AllKeysBut(blanks);
    QTest::newRow("empty") << QByteArray() << AllKeysBut(blanks);
    QTest::newRow("tilde fits every key") << QByteArray("~") << AllKeysBut(blanks);
    QTest::newRow("exclamation mark would become a quote")
        << QByteArray("!x") << AllKeysBut({1, 9, 10, 11, 12, 13, 32});
    QTest::newRow("unit separator would become a leading blank")
        << Codes({31, 'x'}) << AllKeysBut({1, 3, 9, 10, 11, 12, 13, 32});
    QTest::newRow("nul never unscrambles") << Codes({'x', 0}) << QList<int>();
    QTest::newRow("yu fits key 1 only") << Codes({0xFE}) << QList<int>{1};
    QTest::newRow("a quote rather than nothing") << Codes({'!', 0xFE}) << QList<int>{1};
    QTest::newRow("a quote only when nothing else fits") << Codes({'!', 0xFD}) << QList<int>{2};
    QTest::newRow("cyrillic fits keys 1 to 3")
        << Windows1251::Encode(QStringLiteral("пароль")).value() << QList<int>{1, 2, 3};
    QTest::newRow("ya fits none") << Codes({'a', 0xFF}) << QList<int>();
    QTest::newRow("253 characters") << QByteArray(253, 'a') << AllKeysBut(blanks);
    QTest::newRow("254 characters are cut by the file") << QByteArray(254, 'a') << QList<int>();
}

void TestCPassword::usableKeys()
{
    QFETCH(QByteArray, plain);
    QFETCH(QList<int>, keys);
    QCOMPARE(UsableKeys(plain, 0), keys);
    for (int key : keys) {
        const QByteArray scrambled = ScrambleWithKey(plain, key, 0);
        QVERIFY(IsValueKept(scrambled));
        QCOMPARE(UnscrambleWithKey(scrambled.chopped(1), key), plain);
    }
}

// Each usable key has its chance, and no other key is ever drawn.
void TestCPassword::everyUsableKeyIsDrawn()
{
    CPassword password;
    const QList<int> usable = UsableKeys("!x", 0);
    QSet<int> drawn;
    for (quint64 seed = 0; seed < 5000; ++seed) {
        password.FixSeed(seed);
        password.Password(QStringLiteral("!x"));
        QCOMPARE(password.PasswordLength(), qint16(3));
        drawn.insert(password.ChrVal(3));
    }
    QCOMPARE(drawn, QSet<int>(usable.cbegin(), usable.cend()));
}

void TestCPassword::scrambledTextsLoadBack_data()
{
    QTest::addColumn<QString>("plain");
    QTest::newRow("ascii") << QStringLiteral("s3cr3t!");
    QTest::newRow("every printable ascii") << QStringLiteral(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCXYZ[\\]^_`abc{|}~");
    QTest::newRow("blanks around") << QStringLiteral("  pass  ");
    QTest::newRow("quotes around") << QStringLiteral("\"pass\"");
    QTest::newRow("single quotes around") << QStringLiteral("'pass'");
    QTest::newRow("cyrillic") << QStringLiteral("Пароль");
    QTest::newRow("yu") << QStringLiteral("ю");
    QTest::newRow("yo and numero") << QStringLiteral("Ёё№");
    QTest::newRow("control characters") << QStringLiteral("a\x01\tb");
    QTest::newRow("253 characters") << QString(253, QLatin1Char('k'));
    QTest::newRow("exclamation mark and yu") << QStringLiteral("Пароль!ю");
}

// What the scrambler hands over reads back through the file's rules unchanged and decrypts to the password.
void TestCPassword::scrambledTextsLoadBack()
{
    QFETCH(QString, plain);
    CPassword password;
    for (quint64 seed = 0; seed < 200; ++seed) {
        password.FixSeed(seed);
        password.Password(plain);
        QVERIFY(password.CreateError().isEmpty());
        const QByteArray scrambled = password.Password();
        QCOMPARE(password.PasswordLength(), qint16(plain.size() + 1));
        if (plain.contains(QLatin1Char('!')) && plain.contains(QStringLiteral("ю")))
            QVERIFY(scrambled.chopped(1).contains('"'));
        else
            QVERIFY(!scrambled.chopped(1).contains('"'));
        QCOMPARE(ReadIniValue(*WriteIniValue({}, "Network", "ProxyPass", scrambled), "Network", "ProxyPass"),
                 scrambled);
        QCOMPARE(password.Decrypt(scrambled), plain);
    }
}

void TestCPassword::emptyPasswordGivesKeyOnly()
{
    CPassword password;
    for (int round = 0; round < 300; ++round) {
        password.Password(QString());
        QCOMPARE(password.PasswordLength(), qint16(1));
        const int key = password.ChrVal(1);
        QVERIFY(key >= 1 && key <= 128);
        QVERIFY(IsValueKept(password.Password()));
        QCOMPARE(password.Decrypt(password.Password()), QString());
    }
}

void TestCPassword::twoAssignmentsDiffer()
{
    CPassword password;
    QSet<QByteArray> texts;
    for (int round = 0; round < 20; ++round) {
        password.Password(QStringLiteral("same"));
        QCOMPARE(password.Decrypt(password.Password()), QStringLiteral("same"));
        texts.insert(password.Password());
    }
    QVERIFY(texts.size() > 1);
}

void TestCPassword::assignmentClearsPermissions()
{
    CPassword password;
    QCOMPARE(password.Permissions(), quint8(0));
    password.Permissions(200);
    QCOMPARE(password.Permissions(), quint8(200));
    password.Password(QStringLiteral("abc"));
    QCOMPARE(password.Permissions(), quint8(0));
    QCOMPARE(password.Decrypt(password.Password()), QStringLiteral("abc"));
}

void TestCPassword::refusesWhatNoKeyCanHold_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("named");

    QTest::newRow("ya") << QStringLiteral("моя") << QStringLiteral("\"я\"");
    QTest::newRow("not windows-1251") << QStringLiteral("pass漢") << QStringLiteral("U+6F22");
    QTest::newRow("beyond 16 bits") << QStringLiteral("pass\U0001F600") << QStringLiteral("U+1F600");
    QTest::newRow("too long") << QString(254, QLatin1Char('a')) << QStringLiteral("253");
    QTest::newRow("nul") << QStringLiteral("ab").insert(1, QChar(0)) << QStringLiteral("U+0000");
}

void TestCPassword::refusesWhatNoKeyCanHold()
{
    QFETCH(QString, plain);
    QFETCH(QString, named);
    CPassword password;
    password.Password(plain);
    QVERIFY2(password.CreateError().contains(named), qPrintable(password.CreateError()));
    QVERIFY(password.CreateError().startsWith(QLatin1Char(' ')));
    QVERIFY(!password.CreateError().contains(QChar(0)));
    // What is left is the key character alone: it ends with its key and loads as "", never as a part.
    QCOMPARE(password.PasswordLength(), qint16(1));
    QVERIFY(IsValueKept(password.Password()));
    QCOMPARE(password.Decrypt(password.Password()), QString());
}

void TestCPassword::laterAssignmentClearsError()
{
    CPassword password;
    password.Password(QStringLiteral("я"));
    QVERIFY(!password.CreateError().isEmpty());
    password.Password(QStringLiteral("ok"));
    QVERIFY(password.CreateError().isEmpty());
    QCOMPARE(password.Decrypt(password.Password()), QStringLiteral("ok"));
}

void TestCPassword::characterMembers()
{
    CPassword password;
    password.FixSeed(1);
    password.Password(QStringLiteral("abc"));
    QCOMPARE(password.PasswordLength(), qint16(4));
    const int key = password.ChrVal(4);
    QCOMPARE(password.ChrVal(1), qint16('a' + key));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, password.ChrVal(0));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, password.ChrVal(5));

    password.ScrambledPwd(QByteArray());
    QCOMPARE(password.PasswordLength(), qint16(0));
    password.AddChar(65);
    QCOMPARE(password.Password(), QByteArray("A"));
    password.AddChar(255);
    QCOMPARE(password.ChrVal(2), qint16(255));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, password.AddChar(256));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, password.AddChar(-1));
    password.ScrambledPwd(Codes({102, 103, 104, 5}));
    QCOMPARE(password.Decrypt(password.Password()), QStringLiteral("abc"));
}

QTEST_GUILESS_MAIN(TestCPassword)
#include "tst_cpassword.moc"
