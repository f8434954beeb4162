#include "Windows1251.h"

#include <QTest>

class TestWindows1251 : public QObject {
    Q_OBJECT

private slots:
    void encodesKnownCharacters_data();
    void encodesKnownCharacters();
    void refusesWhatItCannotHold();
    void everyByteSurvivesARoundTrip();
};

void TestWindows1251::encodesKnownCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("abc 123") << QByteArray("abc 123");
    QTest::newRow("capital A") << QStringLiteral("А") << QByteArray("\xC0");
    QTest::newRow("small ya") << QStringLiteral("я") << QByteArray("\xFF");
    QTest::newRow("yo") << QStringLiteral("Ёё") << QByteArray("\xA8\xB8");
    QTest::newRow("numero and euro") << QStringLiteral("№€") << QByteArray("\xB9\x88");
    QTest::newRow("empty") << QString() << QByteArray();
}

void TestWindows1251::encodesKnownCharacters()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Windows1251::Encode(text).value_or("<refused>"), bytes);
    QCOMPARE(Windows1251::Decode(bytes), text);
}

void TestWindows1251::refusesWhatItCannotHold()
{
    QVERIFY(!Windows1251::Encode(QStringLiteral("abc漢")).has_value());
    QVERIFY(!Windows1251::CodeOf(QChar(0x00E9)).has_value());  // é is not in the code page
}

void TestWindows1251::everyByteSurvivesARoundTrip()
{
    QByteArray all;
    for (int code = 0; code < 256; ++code)
        all.append(static_cast<char>(code));
    QCOMPARE(Windows1251::Encode(Windows1251::Decode(all)).value_or("<refused>"), all);
}

QTEST_GUILESS_MAIN(TestWindows1251)
#include "tst_windows1251.moc"
