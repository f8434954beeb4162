#include "Base64.h"

#include <QTest>

class TestBase64 : public QObject {
    Q_OBJECT

private slots:
    void rfc4648Vectors_data();
    void rfc4648Vectors();
    void texts_data();
    void texts();
    void encodeTriple_data();
    void encodeTriple();
    void lengthAndFill_data();
    void lengthAndFill();
};

void TestBase64::rfc4648Vectors_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("f") << QByteArray("f") << QByteArray("Zg==");
    QTest::newRow("fo") << QByteArray("fo") << QByteArray("Zm8=");
    QTest::newRow("foo") << QByteArray("foo") << QByteArray("Zm9v");
    QTest::newRow("foob") << QByteArray("foob") << QByteArray("Zm9vYg==");
    QTest::newRow("fooba") << QByteArray("fooba") << QByteArray("Zm9vYmE=");
    QTest::newRow("foobar") << QByteArray("foobar") << QByteArray("Zm9vYmFy");
    QTest::newRow("high bytes") << QByteArray("\xFF\xFE\xFD\x00\x01", 5) << QByteArray("//79AAE=");
    QTest::newRow("last alphabet characters") << QByteArray("\xFB\xFF", 2) << QByteArray("+/8=");
}

void TestBase64::rfc4648Vectors()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(Base64EncodeBytes(input), expected);
    QCOMPARE(Base64EncodeBytes(input), input.toBase64());
}

void TestBase64::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("login and password") << QStringLiteral("user:secret") << QStringLiteral("dXNlcjpzZWNyZXQ=");
    QTest::newRow("empty login and password") << QStringLiteral(":") << QStringLiteral("Og==");
    // Cyrillic А is one Windows-1251 byte, 0xC0, not the two UTF-8 bytes D0 90.
    QTest::newRow("cyrillic is one byte") << QStringLiteral("А") << QStringLiteral("wA==");
    QTest::newRow("cyrillic login") << QStringLiteral(
        "Иван:пароль") << QString::fromLatin1(QByteArray("\xC8\xE2\xE0\xED:\xEF\xE0\xF0\xEE\xEB\xFC").toBase64());
    // é has no Windows-1251 code: it goes out as its UTF-8 bytes C3 A9 rather than vanish.
    QTest::newRow("outside the code page") << QStringLiteral("é") << QStringLiteral("w6k=");
    QTest::newRow("outside the code page, astral")
        << QStringLiteral("a😀") << QString::fromLatin1(QByteArray("a\xF0\x9F\x98\x80").toBase64());
}

void TestBase64::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Base64Encode(text), expected);
}

void TestBase64::encodeTriple_data()
{
    QTest::addColumn<int>("b1");
    QTest::addColumn<int>("b2");
    QTest::addColumn<int>("b3");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("zeros") << 0 << 0 << 0 << QByteArray("AAAA");
    QTest::newRow("ones") << 255 << 255 << 255 << QByteArray("////");
    QTest::newRow("Man") << int('M') << int('a') << int('n') << QByteArray("TWFu");
    QTest::newRow("bit boundaries") << 0x03 << 0xF0 << 0x3F << QByteArray("A/A/");
}

void TestBase64::encodeTriple()
{
    QFETCH(int, b1);
    QFETCH(int, b2);
    QFETCH(int, b3);
    QFETCH(QByteArray, expected);
    const std::array<char, 4> group = EncodeTriple(uchar(b1), uchar(b2), uchar(b3));
    QCOMPARE(QByteArray(group.data(), 4), expected);
}

void TestBase64::lengthAndFill_data()
{
    QTest::addColumn<int>("length");
    for (int n : {0, 1, 2, 3, 56, 57, 58, 100, 1000})
        QTest::newRow(qPrintable(QString::number(n))) << n;
}

void TestBase64::lengthAndFill()
{
    QFETCH(int, length);
    QByteArray input(length, Qt::Uninitialized);
    for (int i = 0; i < length; ++i)
        input[i] = static_cast<char>(i * 37 + 11);
    const QByteArray encoded = Base64EncodeBytes(input);
    QCOMPARE(encoded.size(), 4 * ((length + 2) / 3));
    QVERIFY(!encoded.contains('\n'));
    QCOMPARE(encoded.endsWith("=="), length % 3 == 1);
    QCOMPARE(encoded.endsWith("=") && !encoded.endsWith("=="), length % 3 == 2);
    QCOMPARE(QByteArray::fromBase64(encoded), input);
}

QTEST_GUILESS_MAIN(TestBase64)
#include "tst_base64.moc"
