#include "FormAddress.h"
#include "Requests.h"

#include <QTest>
#include <QUrl>

// The page address the user typed, sent by the program in its resolution request and read back by the
// link-resolution service: the page the service fetches must be the one a browser would fetch for that address.
class TestPageAddress : public QObject {
    Q_OBJECT

private slots:
    void arrivesAsTyped_data();
    void arrivesAsTyped();
};

void TestPageAddress::arrivesAsTyped_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("ascii") << QStringLiteral("http://videos.example/watch?v=a b&c=%41");
    // Its Windows-1251 codes, D2 B8, are also the UTF-8 of "Ҹ".
    QTest::newRow("Тё") << QStringLiteral("http://videos.example/Тё");
    // Windows-1251 and UTF-8 in one text: neither reading took it whole.
    QTest::newRow("Жук中文") << QStringLiteral("http://videos.example/Жук中文?q=Жук");
    QTest::newRow("cyrillic host") << QStringLiteral("http://видео.рф/смотреть");
    QTest::newRow("no scheme") << QStringLiteral("видео.рф/Тё");
    QTest::newRow("beyond the basic plane") << QStringLiteral("http://videos.example/\U0001F600");
}

void TestPageAddress::arrivesAsTyped()
{
    QFETCH(QString, typed);
    const QByteArray body = ResolutionBody(typed);
    const std::optional<QString> read = FormAddress::ExtractAddress(body);
    QVERIFY(read);
    // The service fetches what QUrl makes of the address it has read, as it would of the address typed.
    QCOMPARE(QUrl::fromUserInput(*read).toEncoded(), QUrl::fromUserInput(typed).toEncoded());
}

QTEST_GUILESS_MAIN(TestPageAddress)
#include "tst_pageaddress.moc"
