#include "EngineVersion.h"
#include "ReleaseSums.h"

#include <QTest>

// The pieces of the engine updates that are plain functions: release versions and the list of checksums.
class TestEngineParts : public QObject {
    Q_OBJECT

private slots:
    void comparesVersions_data();
    void comparesVersions();
    void findsDigest_data();
    void findsDigest();
};

void TestEngineParts::comparesVersions_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("newer");
    QTest::newRow("later day") << "2026.08.19"
                               << "2026.08.18" << true;
    QTest::newRow("same day") << "2026.08.19"
                              << "2026.08.19" << false;
    QTest::newRow("earlier") << "2023.03.04"
                             << "2026.08.19" << false;
    QTest::newRow("second release of a day") << "2026.08.19.1"
                                             << "2026.08.19" << true;
    QTest::newRow("numbers, not text") << "2026.08.19.10"
                                       << "2026.08.19.9" << true;
    QTest::newRow("month before day") << "2026.10.01"
                                      << "2026.09.30" << true;
    QTest::newRow("anything beats no version") << "2020.01.01"
                                               << "" << true;
    QTest::newRow("no version is never newer") << "nightly"
                                               << "2020.01.01" << false;
    QTest::newRow("no such day") << "2026.02.30"
                                 << "2020.01.01" << false;
    QTest::newRow("short fields") << "2026.8.19"
                                  << "2020.01.01" << false;
    QTest::newRow("trailing text") << "2026.08.19-dev"
                                   << "2020.01.01" << false;
}

void TestEngineParts::comparesVersions()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, newer);
    QCOMPARE(EngineVersion::IsNewer(a, b), newer);
}

void TestEngineParts::findsDigest_data()
{
    const QByteArray one(64, 'a');
    const QByteArray two(64, 'B');
    QTest::addColumn<QByteArray>("sums");
    QTest::addColumn<QByteArray>("digest");  // hexadecimal, empty: none
    QTest::newRow("among others") << QByteArray(two + "  yt-dlp.exe\n" + one + "  yt-dlp\n" + two + "  yt-dlp_linux\n")
                                  << one;
    QTest::newRow("binary mode, CRLF") << QByteArray(two + " *yt-dlp\r\n") << two.toLower();
    QTest::newRow("missing") << QByteArray(one + "  yt-dlp.exe\n") << QByteArray();
    QTest::newRow("named twice") << QByteArray(one + "  yt-dlp\n" + two + "  yt-dlp\n") << QByteArray();
    QTest::newRow("short digest") << QByteArray(one.left(63) + "  yt-dlp\n") << QByteArray();
    QTest::newRow("name with more after it") << QByteArray(one + "  yt-dlp.tar.gz\n") << QByteArray();
}

void TestEngineParts::findsDigest()
{
    QFETCH(QByteArray, sums);
    QFETCH(QByteArray, digest);
    const std::optional<QByteArray> found = ReleaseSums::DigestFor(sums, QStringLiteral("yt-dlp"));
    QCOMPARE(found.has_value(), !digest.isEmpty());
    if (found)
        QCOMPARE(found->toHex(), digest.toLower());
}

QTEST_GUILESS_MAIN(TestEngineParts)
#include "tst_engineparts.moc"
