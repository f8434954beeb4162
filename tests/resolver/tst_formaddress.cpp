#include "FormAddress.h"

#include <QTest>

class TestFormAddress : public QObject {
    Q_OBJECT

private slots:
    void extractsTheAddress_data();
    void extractsTheAddress();
    void decodesFormValues_data();
    void decodesFormValues();
};

void TestFormAddress::extractsTheAddress_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("address");  // "<none>" when the body has no url field

    QTest::newRow("program, ascii") << QByteArray("url=http%3A%2F%2Fexample%2Ecom%2Fwatch%3Fv%3D1%26t%3D2")
                                    << QStringLiteral("http://example.com/watch?v=1&t=2");
    QTest::newRow("program, cyrillic in windows-1251")
        << QByteArray("url=http%3A%2F%2Fexample%2Ecom%2F%E2%E8%E4%E5%EE") << QStringLiteral("http://example.com/видео");
    QTest::newRow("browser, cyrillic in utf-8")
        << QByteArray("url=http%3A%2F%2Fexample.com%2F%D0%B2%D0%B8%D0%B4%D0%B5%D0%BE")
        << QStringLiteral("http://example.com/видео");
    QTest::newRow("plus is a blank") << QByteArray("url=a+b%20c") << QStringLiteral("a b c");
    QTest::newRow("line break after the body")
        << QByteArray("url=http%3A%2F%2Fa%2Eb%2F\r\n") << QStringLiteral("http://a.b/");
    QTest::newRow("blanks around are trimmed")
        << QByteArray("url=+++http%3A%2F%2Fa%2F+") << QStringLiteral("http://a/");
    QTest::newRow("other fields around") << QByteArray("x=1&url=http%3A%2F%2Fa%2F&y=2") << QStringLiteral("http://a/");
    QTest::newRow("first url wins") << QByteArray("url=first&url=second") << QStringLiteral("first");
    QTest::newRow("empty value") << QByteArray("url=") << QString();
    QTest::newRow("empty body") << QByteArray() << QStringLiteral("<none>");
    QTest::newRow("no url field") << QByteArray("address=http%3A%2F%2Fa%2F") << QStringLiteral("<none>");
    QTest::newRow("name is case-sensitive") << QByteArray("URL=x") << QStringLiteral("<none>");
    QTest::newRow("broken escape stays") << QByteArray("url=100%25+and+%ZZ+and+%4")
                                         << QStringLiteral("100% and %ZZ and %4");
    QTest::newRow("windows-1251 yo and numero") << QByteArray("url=%A8%B9") << QStringLiteral("Ё№");
}

void TestFormAddress::extractsTheAddress()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, address);
    const std::optional<QString> found = FormAddress::ExtractAddress(body);
    QCOMPARE(found.value_or(QStringLiteral("<none>")), address);
}

void TestFormAddress::decodesFormValues_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("upper and lower hex") << QByteArray("%C0%c0") << QByteArray("\xC0\xC0");
    QTest::newRow("escape at the very end") << QByteArray("a%41") << QByteArray("aA");
    QTest::newRow("percent at the end") << QByteArray("a%") << QByteArray("a%");
    QTest::newRow("nul byte") << QByteArray("%00") << QByteArray("\0", 1);
    QTest::newRow("encoded plus stays plus") << QByteArray("%2B+") << QByteArray("+ ");
}

void TestFormAddress::decodesFormValues()
{
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, bytes);
    QCOMPARE(FormAddress::DecodeFormValue(value), bytes);
}

QTEST_GUILESS_MAIN(TestFormAddress)
#include "tst_formaddress.moc"
