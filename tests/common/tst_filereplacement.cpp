#include "FileReplacement.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <sys/stat.h>

class TestFileReplacement : public QObject {
    Q_OBJECT

private slots:
    void newFileGetsTheGivenMode_data();
    void newFileGetsTheGivenMode();
    void replacedFileKeepsItsModeAndGetsTheWholeContent();
    void failureLeavesTheFolderAsItWas();
    void movedFileIsOnDisk_data();
    void movedFileIsOnDisk();
};

namespace {

mode_t ModeOf(const QString &path)
{
    struct stat info { };
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

void WriteContent(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

}  // namespace

void TestFileReplacement::newFileGetsTheGivenMode_data()
{
    QTest::addColumn<uint>("mode");
    QTest::newRow("owner only") << uint(0600);
    QTest::newRow("readable by all") << uint(0644);
}

void TestFileReplacement::newFileGetsTheGivenMode()
{
    QFETCH(uint, mode);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("new.flv"));
    QString error;
    QVERIFY2(ReplaceFileContent(path, "FLV\x01", mode_t(mode), &error), qPrintable(error));
    QCOMPARE(ReadAll(path), QByteArray("FLV\x01"));
    QCOMPARE(uint(ModeOf(path)), mode);
}

void TestFileReplacement::replacedFileKeepsItsModeAndGetsTheWholeContent()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("old.flv"));
    QVERIFY(ReplaceFileContent(path, QByteArray(5000, 'o'), 0640, nullptr));
    // More than one write piece, so the pieces must follow each other exactly.
    QByteArray content(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    for (qsizetype i = 0; i < content.size(); ++i)
        content[i] = char(i * 31 + i / 4096);
    QVERIFY(ReplaceFileContent(path, content, 0600, nullptr));
    QCOMPARE(ReadAll(path), content);
    QCOMPARE(uint(ModeOf(path)), uint(0640));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestFileReplacement::failureLeavesTheFolderAsItWas()
{
    QTemporaryDir folder;
    const QString inFolderThatIsAFile = folder.filePath(QStringLiteral("file"));
    QVERIFY(ReplaceFileContent(inFolderThatIsAFile, "x", 0600, nullptr));
    QString error;
    QVERIFY(!ReplaceFileContent(inFolderThatIsAFile + QStringLiteral("/video.flv"), "FLV", 0600, &error));
    QCOMPARE(error, qt_error_string(ENOTDIR));
    QVERIFY(!ReplaceFileContent(folder.path(), "FLV", 0600, &error));
    QVERIFY(error.contains(QStringLiteral("не обычный файл")));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("file")});
}

void TestFileReplacement::movedFileIsOnDisk_data()
{
    QTest::addColumn<bool>("otherFileSystem");
    QTest::addColumn<bool>("replaces");
    QTest::newRow("renamed to a new name") << false << false;
    QTest::newRow("renamed over a file") << false << true;
    QTest::newRow("copied from tmpfs") << true << false;
}

// The save is reported done once the video is on disk, whichever way it got into place.
void TestFileReplacement::movedFileIsOnDisk()
{
    QFETCH(bool, otherFileSystem);
    QFETCH(bool, replaces);
    QTemporaryDir folder;
    QTemporaryDir shm(QStringLiteral("/dev/shm/quillon-XXXXXX"));
    if (otherFileSystem && !shm.isValid())
        QSKIP("no /dev/shm here");
    const QString source = (otherFileSystem ? shm : folder).filePath(QStringLiteral("v.part"));
    const QString target = folder.filePath(QStringLiteral("v.flv"));
    if (replaces)
        WriteContent(target, "old");
    const QByteArray content(4 * 1024 * 1024, 'v');
    WriteContent(source, content);
    if (!otherFileSystem && BytesWaitingForDisk(source).value_or(0) == 0)
        QSKIP("the file system here keeps no map of what waits for the disk, or has written the file already");

    QString error;
    QVERIFY2(MoveFileInto(source, target, 0600, {}, &error), qPrintable(error));

    QCOMPARE(BytesWaitingForDisk(target), std::optional<qint64>(0));
    QCOMPARE(ReadAll(target), content);
    QVERIFY(!QFile::exists(source));
}

QTEST_GUILESS_MAIN(TestFileReplacement)
#include "tst_filereplacement.moc"
