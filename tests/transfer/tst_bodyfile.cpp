#include "BodyFile.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

#include <sys/socket.h>
#include <unistd.h>

class TestBodyFile : public QObject {
    Q_OBJECT

private slots:
    void finishedFileIsMostlyOnDisk_data();
    void finishedFileIsMostlyOnDisk();
};

namespace {

// Far more than the file may keep waiting for the disk, far less than the system would start writing out by itself.
constexpr qint64 kBodyBytes = qint64(128) << 20;
constexpr int kPatience = 60000;

// Writes bytes into the socket until count are in or the other end has gone, then closes it.
void Feed(int socket, QByteArrayView bytes, qint64 count)
{
    for (qint64 sent = 0; sent < count;) {
        const ssize_t written =
            ::write(socket, bytes.data(), std::size_t(std::min<qint64>(bytes.size(), count - sent)));
        if (written <= 0)
            break;
        sent += written;
    }
    ::close(socket);
}

}  // namespace

void TestBodyFile::finishedFileIsMostlyOnDisk_data()
{
    QTest::addColumn<bool>("poured");
    QTest::newRow("written in pieces") << false;
    QTest::newRow("poured from a connection") << true;
}

// Once the last byte is in, most of the file is on disk already, so the save's sync leaves little to wait for.
void TestBodyFile::finishedFileIsMostlyOnDisk()
{
    QFETCH(bool, poured);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("v.part"));
    BodyFile file;
    QString error;
    QVERIFY2(file.Open(path, &error), qPrintable(error));
    QVERIFY2(file.Reserve(kBodyBytes, &error), qPrintable(error));
    const QByteArray bytes(1 << 20, 'v');
    if (poured) {
        int ends[2] = {-1, -1};
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        std::thread feeder(Feed, ends[1], QByteArrayView(bytes), kBodyBytes);
        qint64 pouredBytes = -1;
        connect(&file, &BodyFile::Poured, this,
                [&pouredBytes](BodyFile::PourEnd, qint64 count) { pouredBytes = count; });
        file.Pour(ends[0], kBodyBytes, std::chrono::milliseconds(kPatience));
        QTRY_VERIFY_WITH_TIMEOUT(pouredBytes >= 0, kPatience);
        feeder.join();
        QCOMPARE(pouredBytes, kBodyBytes);
    } else {
        for (qint64 written = 0; written < kBodyBytes; written += bytes.size())
            file.Write(bytes);
    }
    QSignalSpy finished(&file, &BodyFile::Finished);
    file.Finish();
    QVERIFY(finished.wait(kPatience));

    const std::optional<qint64> waiting = BytesWaitingForDisk(path);
    if (!waiting)
        QSKIP("the file system here keeps no map of what waits for the disk");
    QCOMPARE(QFileInfo(path).size(), kBodyBytes);
    QVERIFY2(*waiting < kBodyBytes / 2,
             qPrintable(QStringLiteral("%1 of %2 bytes still wait for the disk").arg(*waiting).arg(kBodyBytes)));
}

QTEST_GUILESS_MAIN(TestBodyFile)
#include "tst_bodyfile.moc"
