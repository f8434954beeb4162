#include "FileReplacement.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <optional>
#include <vector>

#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
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

QByteArray ContentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteContent(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

// Whether part of the file still waits in memory for the disk: a range the file system has not placed yet
// (delayed allocation) or has placed but not written. The map is read without syncing the file first. nullopt
// where the file system keeps no such map (tmpfs).
std::optional<bool> WaitsForDisk(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    constexpr unsigned kExtents = 512;
    std::vector<fiemap_extent> buffer(kExtents + 1);
    auto *map = reinterpret_cast<fiemap *>(buffer.data());
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_flags = 0;
    map->fm_extent_count = kExtents;
    if (::ioctl(file.handle(), FS_IOC_FIEMAP, map) != 0)
        return std::nullopt;
    constexpr quint32 kWaiting = FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_UNWRITTEN | FIEMAP_EXTENT_UNKNOWN;
    for (quint32 i = 0; i < map->fm_mapped_extents; ++i) {
        if (map->fm_extents[i].fe_flags & kWaiting)
            return true;
    }
    return false;
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
    QCOMPARE(ContentOf(path), QByteArray("FLV\x01"));
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
    QCOMPARE(ContentOf(path), content);
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
    if (!otherFileSystem && WaitsForDisk(source) != true)
        QSKIP("the file system here keeps no map of what waits for the disk, or has written the file already");

    QString error;
    QVERIFY2(MoveFileInto(source, target, 0600, {}, &error), qPrintable(error));

    QCOMPARE(WaitsForDisk(target), std::optional<bool>(false));
    QCOMPARE(ContentOf(target), content);
    QVERIFY(!QFile::exists(source));
}

QTEST_GUILESS_MAIN(TestFileReplacement)
#include "tst_filereplacement.moc"
