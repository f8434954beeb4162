#include "FlvFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFlvFile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void decidesByFirstThreeBytes_data();
    void decidesByFirstThreeBytes();
    void refusesWhatCannotBeRead();

private:
    QTemporaryDir folder;
};

void TestFlvFile::initTestCase()
{
    QVERIFY(folder.isValid());
}

void TestFlvFile::decidesByFirstThreeBytes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("flv");

    QTest::newRow("flv signature") << QStringLiteral("a.flv") << QByteArray("FLV\x01\x05\0\0\0\x09", 9) << true;
    QTest::newRow("exactly three bytes") << QStringLiteral("three.flv") << QByteArray("FLV") << true;
    QTest::newRow("lower case") << QStringLiteral("lower.flv") << QByteArray("flv\x01\x05") << false;
    QTest::newRow("mixed case") << QStringLiteral("mixed.flv") << QByteArray("FlV\x01") << false;
    QTest::newRow("two bytes") << QStringLiteral("two.flv") << QByteArray("FL") << false;
    QTest::newRow("empty") << QStringLiteral("empty.flv") << QByteArray() << false;
    QTest::newRow("signature later in the file") << QStringLiteral("late.flv") << QByteArray(" FLV") << false;
    QTest::newRow("avi name, flv content") << QStringLiteral("clip.avi") << QByteArray("FLV\x01\x05garbage") << true;
    QTest::newRow("flv name, avi content")
        << QStringLiteral("clip2.flv") << QByteArray("RIFF\0\0\0\0AVI ", 12) << false;
    QTest::newRow("blanks, cyrillic, & and #") << QStringLiteral("Моё видео & #1.flv") << QByteArray("FLV\x01") << true;
}

void TestFlvFile::decidesByFirstThreeBytes()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, flv);
    const QString path = folder.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();
    QCOMPARE(IsFlvFile(path), flv);
}

void TestFlvFile::refusesWhatCannotBeRead()
{
    QVERIFY(!IsFlvFile(QString()));
    QVERIFY(!IsFlvFile(folder.filePath(QStringLiteral("missing.flv"))));
    // A folder whose name looks like a video is still not one.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder.flv")));
    QVERIFY(!IsFlvFile(folder.filePath(QStringLiteral("folder.flv"))));
}

QTEST_APPLESS_MAIN(TestFlvFile)
#include "tst_flvfile.moc"
