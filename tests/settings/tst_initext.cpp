#include "IniText.h"

#include <QTest>

// Reading and rewriting INI content as bytes, without any file.
class TestIniText : public QObject {
    Q_OBJECT

private slots:
    void readsValues_data();
    void readsValues();
    void writesValues_data();
    void writesValues();
    void refusesWhatCannotReadBack_data();
    void refusesWhatCannotReadBack();
    void keepsOnlyValuesThatReadBack_data();
    void keepsOnlyValuesThatReadBack();
    void writtenValuesReadBack_data();
    void writtenValuesReadBack();
};

void TestIniText::readsValues_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    const QByteArray network = "[Network]\nUseProxy=1\nProxyPort=3128\n[Save]\nSavePath=/home/u/\n";
    QTest::newRow("plain") << network << QByteArray("Network") << QByteArray("UseProxy") << QByteArray("1");
    QTest::newRow("other section") << network << QByteArray("Save") << QByteArray("SavePath") << QByteArray("/home/u/");
    QTest::newRow("key case") << network << QByteArray("Network") << QByteArray("Proxyport") << QByteArray("3128");
    QTest::newRow("section case") << network << QByteArray("NETWORK") << QByteArray("proxyport") << QByteArray("3128");
    QTest::newRow("absent key") << network << QByteArray("Network") << QByteArray("ProxyName") << QByteArray();
    QTest::newRow("absent section") << network << QByteArray("Version") << QByteArray("UseProxy") << QByteArray();
    QTest::newRow("key of another section") << network << QByteArray("Save") << QByteArray("UseProxy") << QByteArray();
    QTest::newRow("empty content") << QByteArray() << QByteArray("Network") << QByteArray("UseProxy") << QByteArray();
    QTest::newRow("crlf") << QByteArray("[Network]\r\nUseProxy=1\r\nProxyName=proxy.lan\r\n") << QByteArray("Network")
                          << QByteArray("ProxyName") << QByteArray("proxy.lan");
    QTest::newRow("no final line end") << QByteArray("[Network]\r\nUseProxy=0") << QByteArray("Network")
                                       << QByteArray("UseProxy") << QByteArray("0");
    QTest::newRow("blanks around") << QByteArray("[S]\nk=  abc  \n") << QByteArray("S") << QByteArray("k")
                                   << QByteArray("abc");
    QTest::newRow("tabs around") << QByteArray("[S]\nk=\tabc\t\r\n") << QByteArray("S") << QByteArray("k")
                                 << QByteArray("abc");
    QTest::newRow("blanks inside kept") << QByteArray("[S]\nk= a  b \n") << QByteArray("S") << QByteArray("k")
                                        << QByteArray("a  b");
    QTest::newRow("double quotes") << QByteArray("[S]\nk=\"abc\"\n") << QByteArray("S") << QByteArray("k")
                                   << QByteArray("abc");
    QTest::newRow("single quotes") << QByteArray("[S]\nk='abc'\n") << QByteArray("S") << QByteArray("k")
                                   << QByteArray("abc");
    QTest::newRow("quotes then blanks inside")
        << QByteArray("[S]\nk= \" abc \" \n") << QByteArray("S") << QByteArray("k") << QByteArray(" abc ");
    QTest::newRow("unmatched quotes") << QByteArray("[S]\nk=\"abc'\n") << QByteArray("S") << QByteArray("k")
                                      << QByteArray("\"abc'");
    QTest::newRow("one quote alone") << QByteArray("[S]\nk=\"\n") << QByteArray("S") << QByteArray("k")
                                     << QByteArray("\"");
    QTest::newRow("only one pair removed")
        << QByteArray("[S]\nk=\"\"x\"\"\n") << QByteArray("S") << QByteArray("k") << QByteArray("\"x\"");
    QTest::newRow("empty value") << QByteArray("[S]\nk=\n") << QByteArray("S") << QByteArray("k") << QByteArray();
    QTest::newRow("second equals belongs to value")
        << QByteArray("[S]\nk=a=b\n") << QByteArray("S") << QByteArray("k") << QByteArray("a=b");
    QTest::newRow("first duplicate key wins")
        << QByteArray("[S]\nk=first\nk=second\n") << QByteArray("S") << QByteArray("k") << QByteArray("first");
    QTest::newRow("first duplicate section wins")
        << QByteArray("[S]\na=1\n[S]\nb=2\n") << QByteArray("S") << QByteArray("b") << QByteArray();
    QTest::newRow("key outside any section")
        << QByteArray("k=loose\n[S]\nother=1\n") << QByteArray("S") << QByteArray("k") << QByteArray();
    QTest::newRow("comment is no key") << QByteArray("[S]\n;k=hidden\nk=shown\n") << QByteArray("S") << QByteArray("k")
                                       << QByteArray("shown");
    QTest::newRow("header without bracket is no header")
        << QByteArray("[S]\n[T\nk=v\n") << QByteArray("S") << QByteArray("k") << QByteArray("v");
    QTest::newRow("empty section name") << QByteArray("[]\nk=v\n") << QByteArray("") << QByteArray("k")
                                        << QByteArray("v");
    QTest::newRow("windows-1251 bytes") << QByteArray("[S]\nk=\xcf\xe0\xf0\xee\xeb\xfc\n") << QByteArray("S")
                                        << QByteArray("k") << QByteArray("\xcf\xe0\xf0\xee\xeb\xfc");
    QTest::newRow("high bytes do not fold")
        << QByteArray("[S]\n\xc0=v\n") << QByteArray("S") << QByteArray("\xe0") << QByteArray();
    QTest::newRow("300 characters cut to 254")
        << ("[S]\nk=" + QByteArray(300, 'x') + "\n") << QByteArray("S") << QByteArray("k") << QByteArray(254, 'x');
    QTest::newRow("254 characters whole")
        << ("[S]\nk=" + QByteArray(254, 'y')) << QByteArray("S") << QByteArray("k") << QByteArray(254, 'y');
    QTest::newRow("utf-8 cut to 254 characters, between two")
        << ("[S]\nk=" + QString(300, QChar(u'Ж')).toUtf8() + "\n") << QByteArray("S") << QByteArray("k")
        << QString(254, QChar(u'Ж')).toUtf8();
    QTest::newRow("utf-8 of 202 characters whole")
        << ("[S]\nk=/" + QString(201, QChar(u'Ж')).toUtf8() + "\n") << QByteArray("S") << QByteArray("k")
        << ("/" + QString(201, QChar(u'Ж')).toUtf8());
    QTest::newRow("not utf-8: cut to 254 bytes") << ("[S]\nk=" + QByteArray(300, '\xc6') + "\n") << QByteArray("S")
                                                 << QByteArray("k") << QByteArray(254, '\xc6');
    QTest::newRow("cut after quotes are removed")
        << ("[S]\nk=\"" + QByteArray(260, 'z') + "\"\n") << QByteArray("S") << QByteArray("k") << QByteArray(254, 'z');
}

void TestIniText::readsValues()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QCOMPARE(ReadIniValue(content, section, key), value);
}

void TestIniText::writesValues_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("empty file") << QByteArray() << QByteArray("Network") << QByteArray("UseProxy") << QByteArray("1")
                                << QByteArray("[Network]\nUseProxy=1\n");
    QTest::newRow("in place") << QByteArray("[S]\na=1\nk=old\nb=2\n") << QByteArray("S") << QByteArray("k")
                              << QByteArray("new") << QByteArray("[S]\na=1\nk=new\nb=2\n");
    QTest::newRow("in place keeps the file's spelling")
        << QByteArray("[Network]\nProxyport = 80 \n") << QByteArray("network") << QByteArray("ProxyPort")
        << QByteArray("3128") << QByteArray("[Network]\nProxyport=3128\n");
    QTest::newRow("in place keeps crlf") << QByteArray("[S]\r\nk=old\r\nb=2\r\n") << QByteArray("S") << QByteArray("k")
                                         << QByteArray("new") << QByteArray("[S]\r\nk=new\r\nb=2\r\n");
    QTest::newRow("empty value is written, not deleted")
        << QByteArray("[S]\nk=old\n") << QByteArray("S") << QByteArray("k") << QByteArray() << QByteArray("[S]\nk=\n");
    QTest::newRow("new key at end of its section")
        << QByteArray("[S]\na=1\n[T]\nb=2\n") << QByteArray("S") << QByteArray("k") << QByteArray("v")
        << QByteArray("[S]\na=1\nk=v\n[T]\nb=2\n");
    QTest::newRow("new key before blank line and comment of next section")
        << QByteArray("[S]\na=1\n\n; next\n[T]\n") << QByteArray("S") << QByteArray("k") << QByteArray("v")
        << QByteArray("[S]\na=1\nk=v\n\n; next\n[T]\n");
    QTest::newRow("new key in empty section") << QByteArray("[S]\n[T]\n") << QByteArray("S") << QByteArray("k")
                                              << QByteArray("v") << QByteArray("[S]\nk=v\n[T]\n");
    QTest::newRow("new key after last line without line end")
        << QByteArray("[S]\na=1") << QByteArray("S") << QByteArray("k") << QByteArray("v")
        << QByteArray("[S]\na=1\nk=v\n");
    QTest::newRow("new key in crlf file") << QByteArray("[S]\r\na=1\r\n") << QByteArray("S") << QByteArray("k")
                                          << QByteArray("v") << QByteArray("[S]\r\na=1\r\nk=v\r\n");
    QTest::newRow("new section at end") << QByteArray("[S]\na=1\n") << QByteArray("T") << QByteArray("k")
                                        << QByteArray("v") << QByteArray("[S]\na=1\n[T]\nk=v\n");
    QTest::newRow("new section after last line without line end")
        << QByteArray("; only a comment") << QByteArray("T") << QByteArray("k") << QByteArray("v")
        << QByteArray("; only a comment\n[T]\nk=v\n");
    QTest::newRow("new section in crlf file") << QByteArray("[S]\r\na=1\r\n") << QByteArray("T") << QByteArray("k")
                                              << QByteArray("v") << QByteArray("[S]\r\na=1\r\n[T]\r\nk=v\r\n");
    QTest::newRow("value with blanks written as given")
        << QByteArray() << QByteArray("S") << QByteArray("k") << QByteArray("  v  ") << QByteArray("[S]\nk=  v  \n");
    QTest::newRow("first duplicate key updated") << QByteArray("[S]\nk=1\nk=2\n") << QByteArray("S") << QByteArray("k")
                                                 << QByteArray("3") << QByteArray("[S]\nk=3\nk=2\n");
    QTest::newRow("first duplicate section updated")
        << QByteArray("[S]\na=1\n[S]\nk=2\n") << QByteArray("S") << QByteArray("k") << QByteArray("3")
        << QByteArray("[S]\na=1\nk=3\n[S]\nk=2\n");
    QTest::newRow("key outside any section left alone") << QByteArray("k=loose\n") << QByteArray("S") << QByteArray("k")
                                                        << QByteArray("v") << QByteArray("k=loose\n[S]\nk=v\n");
    QTest::newRow("comments and odd lines kept byte for byte")
        << QByteArray(";top \t\r\n  \r\n[S]\r\n# hash\r\nodd line\r\na=1\r\n; end\r\n") << QByteArray("S")
        << QByteArray("a") << QByteArray("2")
        << QByteArray(";top \t\r\n  \r\n[S]\r\n# hash\r\nodd line\r\na=2\r\n; end\r\n");
    QTest::newRow("windows-1251 bytes kept")
        << QByteArray("[S]\nname=\xc8\xe2\xe0\xed\n") << QByteArray("S") << QByteArray("k") << QByteArray("\xff\x01")
        << QByteArray("[S]\nname=\xc8\xe2\xe0\xed\nk=\xff\x01\n");
}

void TestIniText::writesValues()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    QCOMPARE(WriteIniValue(before, section, key, value).value_or("<refused>"), after);
}

void TestIniText::refusesWhatCannotReadBack_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("line feed in value") << QByteArray("S") << QByteArray("k") << QByteArray("a\nb");
    QTest::newRow("carriage return in value") << QByteArray("S") << QByteArray("k") << QByteArray("a\rb");
    QTest::newRow("equals in key") << QByteArray("S") << QByteArray("k=x") << QByteArray("v");
    QTest::newRow("empty key") << QByteArray("S") << QByteArray() << QByteArray("v");
    QTest::newRow("only blanks in key") << QByteArray("S") << QByteArray(" \t\x1a") << QByteArray("v");
    QTest::newRow("key like a comment") << QByteArray("S") << QByteArray(";k") << QByteArray("v");
    QTest::newRow("key like a comment after blanks") << QByteArray("S") << QByteArray(" ;k") << QByteArray("v");
    QTest::newRow("key like a header") << QByteArray("S") << QByteArray("[k]") << QByteArray("v");
    QTest::newRow("line feed in section") << QByteArray("S\nT") << QByteArray("k") << QByteArray("v");
    QTest::newRow("carriage return in section") << QByteArray("S\rT") << QByteArray("k") << QByteArray("v");
}

void TestIniText::refusesWhatCannotReadBack()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QVERIFY(!WriteIniValue("[S]\nk=1\n", section, key, value).has_value());
}

void TestIniText::keepsOnlyValuesThatReadBack_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("kept");

    QTest::newRow("plain") << QByteArray("abc") << true;
    QTest::newRow("empty") << QByteArray() << true;
    QTest::newRow("control character inside and at end") << QByteArray("a\x01\x05") << true;
    QTest::newRow("quote at one end") << QByteArray("\"abc") << true;
    QTest::newRow("different quotes") << QByteArray("'abc\"") << true;
    QTest::newRow("one quote") << QByteArray("'") << true;
    QTest::newRow("254 bytes") << QByteArray(254, 'a') << true;
    QTest::newRow("255 bytes") << QByteArray(255, 'a') << false;
    QTest::newRow("blank at end") << QByteArray("abc ") << false;
    QTest::newRow("tab at start") << QByteArray("\tabc") << false;
    QTest::newRow("vertical tab at end") << QByteArray("abc\v") << false;
    QTest::newRow("form feed at end") << QByteArray("abc\f") << false;
    QTest::newRow("carriage return inside") << QByteArray("a\rb") << false;
    QTest::newRow("line feed inside") << QByteArray("a\nb") << false;
    QTest::newRow("paired double quotes") << QByteArray("\"abc\"") << false;
    QTest::newRow("paired single quotes") << QByteArray("'abc'") << false;
    QTest::newRow("ctrl-z at end") << QByteArray("abc\x1a") << true;
    QTest::newRow("ctrl-z alone") << QByteArray("\x1a") << true;
    QTest::newRow("ctrl-z at start") << QByteArray("\x1a"
                                                   "abc")
                                     << false;
    QTest::newRow("two ctrl-z at end") << QByteArray("abc\x1a\x1a") << false;
    QTest::newRow("blank before ctrl-z at end") << QByteArray("abc \x1a") << false;
    QTest::newRow("nul inside") << QByteArray("a\0b", 3) << false;
}

void TestIniText::keepsOnlyValuesThatReadBack()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, kept);
    QCOMPARE(IsValueKept(value), kept);
    if (kept)
        QCOMPARE(ReadIniValue(*WriteIniValue({}, "S", "k", value), "S", "k"), value);
}

void TestIniText::writtenValuesReadBack_data()
{
    QTest::addColumn<QByteArray>("content");
    const QByteArray messy = ";c\r\nloose=1\r\n[Network]\r\nUseProxy=0\r\n[network]\r\nUseProxy=9\r\n\r\n[Save]";
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("messy crlf") << messy;
    QTest::newRow("messy lf") << QByteArray(messy).replace("\r\n", "\n");
}

// Whatever the file looked like, a written value is what the next read of it gives, and the other values
// do not change.
void TestIniText::writtenValuesReadBack()
{
    QFETCH(QByteArray, content);
    const QList<QByteArray> keys = {"UseProxy", "loose", "SavePath", "k"};
    const QList<QByteArray> sections = {"Network", "Save", "New", ""};
    QByteArray current = content;
    int step = 0;
    for (const QByteArray &section : sections) {
        for (const QByteArray &key : keys) {
            const QByteArray value = "v" + QByteArray::number(++step);
            const std::optional<QByteArray> next = WriteIniValue(current, section, key, value);
            QVERIFY(next.has_value());
            QCOMPARE(ReadIniValue(*next, section, key), value);
            for (const QByteArray &otherSection : sections) {
                for (const QByteArray &otherKey : keys) {
                    if (otherSection == section && otherKey == key)
                        continue;
                    QCOMPARE(ReadIniValue(*next, otherSection, otherKey),
                             ReadIniValue(current, otherSection, otherKey));
                }
            }
            current = *next;
        }
    }
}

QTEST_GUILESS_MAIN(TestIniText)
#include "tst_initext.moc"
