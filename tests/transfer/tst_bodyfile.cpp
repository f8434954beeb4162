#include "BodyFile.h"
#include "TestFiles.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

class TestBodyFile : public QObject {
    Q_OBJECT

private slots:
    void finishedFileIsMostlyOnDisk_data();
    void finishedFileIsMostlyOnDisk();
    void rangesFillTheirPlaces_data();
    void rangesFillTheirPlaces();
    void rangeCutWhilePouring();
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

// Bytes no two ranges share, so that a byte written at the wrong place shows.
QByteArray Pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    return bytes;
}

// Sends bytes into the socket, as far as the other end takes them, then closes it.
void Send(int socket, QByteArrayView bytes)
{
    for (qsizetype sent = 0; sent < bytes.size();) {
        const ssize_t written = ::send(socket, bytes.data() + sent, std::size_t(bytes.size() - sent), MSG_NOSIGNAL);
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

void TestBodyFile::rangesFillTheirPlaces_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("poured");
    QTest::newRow("1 poured") << 1 << true;
    QTest::newRow("2 poured") << 2 << true;
    QTest::newRow("16 poured") << 16 << true;
    QTest::newRow("16 in pieces, in turns") << 16 << false;
}

// Ranges filled at once, each in its own place, make one file: poured from their connections by the one writer, or
// written in pieces that the ranges share.
void TestBodyFile::rangesFillTheirPlaces()
{
    QFETCH(int, count);
    QFETCH(bool, poured);
    const QByteArray body = Pattern((qsizetype(8) << 20) + 4099);
    QTemporaryDir folder;
    BodyFile file;
    QString error;
    QVERIFY2(file.Open(folder.filePath(QStringLiteral("v.part")), &error), qPrintable(error));
    std::vector<std::unique_ptr<FileRange>> ranges;
    std::vector<std::thread> feeders;
    int pouredRanges = 0;
    for (int i = 0; i < count; ++i) {
        const qint64 first = body.size() * i / count;
        const qint64 end = body.size() * (i + 1) / count;
        ranges.push_back(file.OpenRange(first, end));
        if (!poured)
            continue;
        connect(ranges.back().get(), &FileRange::Poured, this, [&pouredRanges] { ++pouredRanges; });
        int ends[2] = {-1, -1};
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        feeders.emplace_back(Send, ends[1], QByteArrayView(body).sliced(first, end - first));
        ranges.back()->Pour(ends[0], end - first, std::chrono::milliseconds(kPatience));
    }
    for (qint64 at = 0; !poured && at < body.size() / count + 1; at += 100000) {
        for (int i = 0; i < count; ++i) {
            const qint64 first = body.size() * i / count + at;
            const qint64 end = body.size() * (i + 1) / count;
            if (first < end)
                ranges[std::size_t(i)]->Write(
                    QByteArrayView(body).sliced(first, std::min<qint64>(100000, end - first)));
        }
        // With more ranges than pieces, the pieces may all be in the hands of other ranges than the first one, half
        // filled: the turn goes on once any range can take bytes, or once every range is full.
        QTRY_VERIFY_WITH_TIMEOUT(file.HasRoom() || std::ranges::any_of(ranges, &FileRange::HasRoom)
                                     || std::ranges::all_of(ranges, &FileRange::Full),
                                 kPatience);
    }
    QTRY_COMPARE_WITH_TIMEOUT(pouredRanges, poured ? count : 0, kPatience);
    for (std::thread &feeder : feeders)
        feeder.join();
    QCOMPARE(file.Size(), qint64(body.size()));
    ranges.clear();
    QSignalSpy finished(&file, &BodyFile::Finished);
    file.Finish();
    QVERIFY(finished.wait(kPatience));
    QCOMPARE(ReadAll(file.Path()), body);
}

// A range cut while it pours ends at its new end, and another range fills the rest.
void TestBodyFile::rangeCutWhilePouring()
{
    const QByteArray body = Pattern((qsizetype(8) << 20) + 17);
    QTemporaryDir folder;
    BodyFile file;
    QString error;
    QVERIFY2(file.Open(folder.filePath(QStringLiteral("v.part")), &error), qPrintable(error));
    std::unique_ptr<FileRange> whole = file.OpenRange(0);
    int ends[2] = {-1, -1};
    QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    // The first quarter, then the rest once the range has been cut.
    std::atomic<bool> cut = false;
    std::thread feeder([&] {
        QByteArrayView bytes(body);
        const qsizetype quarter = bytes.size() / 4;
        for (qsizetype sent = 0; sent < quarter;)
            sent +=
                std::max<ssize_t>(0, ::send(ends[1], bytes.data() + sent, std::size_t(quarter - sent), MSG_NOSIGNAL));
        while (!cut)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        Send(ends[1], bytes.sliced(quarter));
    });
    qint64 pouredBytes = -1;
    connect(whole.get(), &FileRange::Poured, this, [&pouredBytes](BodyFile::PourEnd end, qint64 bytes) {
        pouredBytes = end == BodyFile::PourEnd::Whole ? bytes : -2;
    });
    whole->Pour(ends[0], body.size(), std::chrono::milliseconds(kPatience));
    QTRY_VERIFY_WITH_TIMEOUT(whole->Taken() >= body.size() / 8, kPatience);
    // The connection is quiet: the writer waits for it, and the wait counts while it lasts.
    const qint64 idleBefore = file.IdleMs();
    QTRY_VERIFY_WITH_TIMEOUT(file.IdleMs() - idleBefore >= 100, kPatience);
    const qint64 end = whole->CutAt(body.size() / 2);
    QVERIFY2(end >= body.size() / 2 && end < body.size(), qPrintable(QString::number(end)));
    cut = true;
    QTRY_COMPARE_WITH_TIMEOUT(pouredBytes, end, kPatience);
    feeder.join();
    std::unique_ptr<FileRange> rest = file.OpenRange(end);
    rest->Write(QByteArrayView(body).sliced(end));
    whole.reset();
    rest.reset();
    QSignalSpy finished(&file, &BodyFile::Finished);
    file.Finish();
    QVERIFY(finished.wait(kPatience));
    QCOMPARE(ReadAll(file.Path()), body);
}

QTEST_GUILESS_MAIN(TestBodyFile)
#include "tst_bodyfile.moc"
