#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "PlayerHarness.h"
#include "ProcessSetup.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace PlayerHarness;

// The player really plays: mpv decodes, the frames reach the widget, and broken files end in a message.
class TestFlvPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void startsWithoutEngine();
    void decodesAndDraws_data();
    void decodesAndDraws();
    void waitsOnFirstFrameWithoutAutoStart();
    void pausesAndResumes();
    void seeksByKeys();
    void keepsProportionsWhenResized_data();
    void keepsProportionsWhenResized();
    void bareAddressStopsAndShowsEmptyPlayer();
    void playsAgainAfterBareAddress();
    void brokenFilesShowMessage_data();
    void brokenFilesShowMessage();
    void awkwardPathsPlay_data();
    void awkwardPathsPlay();
    void nextVideoReplacesThePrevious();
    void lastFrameStaysWithReplayButton();
    void destroyedWhilePlaying_data();
    void destroyedWhilePlaying();

private:
    QTemporaryDir folder;
    QString sorenson;
    QString h264;
    QString longer;
    QString shortOne;
};

void TestFlvPlayer::initTestCase()
{
    PrepareProcessForVideo();
    QVERIFY(folder.isValid());
    sorenson = FlvMaker::MakeFlv(folder.path(), QStringLiteral("sorenson.flv"), {FlvMaker::Codecs::SorensonMp3, 4});
    h264 = FlvMaker::MakeFlv(folder.path(), QStringLiteral("h264.flv"), {FlvMaker::Codecs::H264Aac, 4});
    longer = FlvMaker::MakeFlv(folder.path(), QStringLiteral("longer.flv"), {FlvMaker::Codecs::SorensonMp3, 12});
    shortOne = FlvMaker::MakeFlv(folder.path(), QStringLiteral("short.flv"), {FlvMaker::Codecs::H264Aac, 1.5});
    QVERIFY(!sorenson.isEmpty() && !h264.isEmpty() && !longer.isEmpty() && !shortOne.isEmpty());
}

void TestFlvPlayer::startsWithoutEngine()
{
    auto player = MakePlayer();
    player->SetMovie(BareAddress());
    QVERIFY(!player->HasEngine());
    QVERIFY(player->IsEmptyPlayer());
    QCOMPARE(player->Movie(), BareAddress());
    QCOMPARE(player->property("Movie").toString(), BareAddress());
    player->SetMovie(AddressFor(sorenson));
    QVERIFY(player->HasEngine());
}

void TestFlvPlayer::decodesAndDraws_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("Sorenson FLV1 + MP3") << sorenson;
    QTest::newRow("H.264 + AAC") << h264;
}

void TestFlvPlayer::decodesAndDraws()
{
    QFETCH(QString, file);
    auto player = MakePlayer();
    player->setProperty("Movie", AddressFor(file));
    QCOMPARE(player->VideoFile(), file);
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture(), kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(ColourCount(Picture(*player)) > 30, kPatience);
    QVERIFY(!player->IsPaused());
    const QImage first = Picture(*player);
    QTRY_VERIFY_WITH_TIMEOUT(Picture(*player) != first, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 1.0, kPatience);
    QVERIFY(qAbs(player->Duration() - 4) < 0.5);
    QVERIFY(!player->IsShowingMessage());
    // Opaque also where it is drawn into a picture with alpha, as some desktops' windows and grabs are.
    QImage clear(player->size(), QImage::Format_ARGB32_Premultiplied);
    clear.fill(Qt::transparent);
    player->render(&clear);
    QCOMPARE(qAlpha(clear.pixel(clear.rect().center())), 255);
    QCOMPARE(qAlpha(clear.pixel(5, 5)), 255);
}

void TestFlvPlayer::waitsOnFirstFrameWithoutAutoStart()
{
    auto player = MakePlayer();
    player->SetMovie(AddressFor(h264, false));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && ColourCount(Picture(*player)) > 30, kPatience);
    QVERIFY(player->IsPaused());
    // The first frame's own time: H.264 with AAC in FLV may start one audio frame (23 ms) in.
    QVERIFY2(player->Position() < 0.05, qPrintable(QString::number(player->Position())));
    // Space starts it.
    QTest::keyClick(player.get(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.5, kPatience);
}

void TestFlvPlayer::pausesAndResumes()
{
    auto player = MakePlayer();
    player->SetMovie(AddressFor(longer));
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(player->IsPaused(), kPatience);
    const double pausedAt = player->Position();
    QTest::keyClick(player.get(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!player->IsPaused(), kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > pausedAt + 0.3, kPatience);
}

void TestFlvPlayer::seeksByKeys()
{
    auto player = MakePlayer();
    player->SetMovie(AddressFor(longer, false));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture(), kPatience);
    const QImage start = Picture(*player);
    QTest::keyClick(player.get(), Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->Position() - 5) < 0.2, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Right);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->Position() - 10) < 0.2, kPatience);
    // The paused picture follows the seek.
    QTRY_VERIFY_WITH_TIMEOUT(Picture(*player) != start, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Left);
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->Position() - 5) < 0.2, kPatience);
    QVERIFY(player->IsPaused());
}

void TestFlvPlayer::keepsProportionsWhenResized_data()
{
    QTest::addColumn<QSize>("area");
    // Where the 4:3 picture leaves bars, as shares of the area: left and right, or above and below.
    QTest::addColumn<QRectF>("bar");
    QTest::addColumn<QRectF>("middle");
    QTest::newRow("wide") << QSize(800, 300) << QRectF(0.02, 0.1, 0.2, 0.8) << QRectF(0.3, 0.1, 0.4, 0.8);
    QTest::newRow("tall") << QSize(300, 600) << QRectF(0.1, 0.02, 0.8, 0.25) << QRectF(0.1, 0.35, 0.8, 0.3);
    QTest::newRow("large 16:9") << QSize(1280, 720) << QRectF(0.01, 0.1, 0.1, 0.8) << QRectF(0.2, 0.1, 0.6, 0.8);
}

void TestFlvPlayer::keepsProportionsWhenResized()
{
    QFETCH(QSize, area);
    QFETCH(QRectF, bar);
    QFETCH(QRectF, middle);
    auto player = MakePlayer();
    player->SetMovie(AddressFor(h264, false));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && ColourCount(Picture(*player)) > 30, kPatience);
    player->resize(area);
    const auto part = [&](const QRectF &share) {
        const QImage picture = Picture(*player);
        return picture.copy(QRectF(share.x() * picture.width(), share.y() * picture.height(),
                                   share.width() * picture.width(), share.height() * picture.height())
                                .toRect());
    };
    // The paused picture is drawn afresh at the new size: black bars beside it, the whole picture between.
    QTRY_VERIFY_WITH_TIMEOUT(ColourCount(part(middle)) > 20, kPatience);
    QCOMPARE(Picture(*player).size(), area * player->devicePixelRatio());
    const QImage side = part(bar);
    QCOMPARE(ColourCount(side), 1);
    QCOMPARE(side.pixel(0, 0), qRgb(0, 0, 0));
}

void TestFlvPlayer::bareAddressStopsAndShowsEmptyPlayer()
{
    auto empty = MakePlayer();
    empty->SetMovie(BareAddress());
    const QImage emptyPicture = Picture(*empty);

    auto player = MakePlayer();
    player->SetMovie(AddressFor(longer));
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    player->SetMovie(BareAddress());
    QVERIFY(player->IsEmptyPlayer());
    QVERIFY(player->VideoFile().isEmpty());
    // mpv has let go of the file: no position any more.
    QTRY_COMPARE_WITH_TIMEOUT(player->Position(), 0.0, kPatience);
    QCOMPARE(Picture(*player), emptyPicture);
    QVERIFY(!player->findChild<QWidget *>(QStringLiteral("PlayerControls"))->isVisible());
}

void TestFlvPlayer::playsAgainAfterBareAddress()
{
    auto player = MakePlayer();
    for (int round = 0; round < 3; ++round) {
        player->SetMovie(AddressFor(shortOne));
        QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && player->Position() > 0.2, kPatience);
        QVERIFY(ColourCount(Picture(*player)) > 30);
        player->SetMovie(BareAddress());
        QTRY_COMPARE_WITH_TIMEOUT(player->Position(), 0.0, kPatience);
        QVERIFY(!player->HasPicture());
    }
}

void TestFlvPlayer::brokenFilesShowMessage_data()
{
    QTest::addColumn<QString>("file");
    QByteArray garbage("FLV");
    for (int i = 0; i < 4000; ++i)
        garbage.append(char((i * 7919) % 251));
    QTest::newRow("FLV and garbage") << FlvMaker::WriteFile(folder.path(), QStringLiteral("garbage.flv"), garbage);
    QTest::newRow("signature only") << FlvMaker::WriteFile(folder.path(), QStringLiteral("signature.flv"), "FLV");
    QTest::newRow("header without tags") << FlvMaker::MakeTruncatedCopy(sorenson, folder.path(),
                                                                        QStringLiteral("header.flv"), 13);
    QTest::newRow("real file cut inside its first frame")
        << FlvMaker::MakeTruncatedCopy(h264, folder.path(), QStringLiteral("cut.flv"), 700);
    QTest::newRow("codecs nobody knows") << FlvMaker::MakeUnknownCodecCopy(h264, folder.path(),
                                                                           QStringLiteral("unknown.flv"));
    QTest::newRow("missing file") << folder.filePath(QStringLiteral("nowhere.flv"));
}

void TestFlvPlayer::brokenFilesShowMessage()
{
    QFETCH(QString, file);
    QVERIFY(!file.isEmpty());
    auto player = MakePlayer();
    QSignalSpy failed(player.get(), &FlvPlayer::PlaybackFailed);
    player->SetMovie(AddressFor(file));
    QVERIFY(failed.wait(kPatience));
    QVERIFY(player->IsShowingMessage());
    QCOMPARE(player->ShownMessage(), QStringLiteral("Не удалось воспроизвести файл"));
    QVERIFY(ColourCount(Picture(*player)) > 1);
    // The player is not stuck: the next good video plays.
    player->SetMovie(AddressFor(sorenson));
    QVERIFY(!player->IsShowingMessage());
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    QCOMPARE(failed.count(), 1);
}

void TestFlvPlayer::awkwardPathsPlay_data()
{
    QTest::addColumn<QString>("subfolder");
    QTest::addColumn<QString>("name");
    QTest::newRow("ampersand") << QString() << QStringLiteral("Tom & Jerry.flv");
    QTest::newRow("hash") << QString() << QStringLiteral("clip #2.flv");
    QTest::newRow("looks like the address") << QString() << QStringLiteral("a&autoStart=false.flv");
    QTest::newRow("cyrillic and blanks") << QStringLiteral("Моё видео") << QStringLiteral("Ёлка в лесу.flv");
    QTest::newRow("all at once") << QStringLiteral("папка & #1") << QStringLiteral("R&B #1 Песня.flv");
}

void TestFlvPlayer::awkwardPathsPlay()
{
    QFETCH(QString, subfolder);
    QFETCH(QString, name);
    QDir target(folder.path());
    if (!subfolder.isEmpty()) {
        QVERIFY(target.mkpath(subfolder));
        QVERIFY(target.cd(subfolder));
    }
    const QString path = target.filePath(name);
    QFile::remove(path);
    QVERIFY(QFile::copy(sorenson, path));

    auto player = MakePlayer();
    player->SetMovie(AddressFor(path));
    QCOMPARE(player->VideoFile(), path);
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    QVERIFY(player->HasPicture());
    QVERIFY(!player->IsShowingMessage());
}

void TestFlvPlayer::nextVideoReplacesThePrevious()
{
    auto player = MakePlayer();
    player->SetMovie(AddressFor(longer));
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    player->SetMovie(AddressFor(h264));
    player->SetMovie(AddressFor(shortOne));
    QTRY_VERIFY_WITH_TIMEOUT(player->Duration() > 1 && player->Duration() < 2, kPatience);
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    QVERIFY(!player->IsShowingMessage());
    // The same video again and again, each time while the last one plays.
    for (int round = 0; round < 3; ++round) {
        player->SetMovie(AddressFor(h264));
        QVERIFY(!player->HasPicture());
        QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && player->Position() > 0.2, kPatience);
    }
    // A broken file after a good one still shows the message, not the good one's last picture.
    QSignalSpy failed(player.get(), &FlvPlayer::PlaybackFailed);
    player->SetMovie(
        AddressFor(FlvMaker::MakeTruncatedCopy(h264, folder.path(), QStringLiteral("cut-after.flv"), 700)));
    QVERIFY(failed.wait(kPatience));
    QVERIFY(!player->HasPicture());
}

void TestFlvPlayer::lastFrameStaysWithReplayButton()
{
    auto player = MakePlayer();
    auto *replay = player->findChild<QWidget *>(QStringLiteral("ReplayButton"));
    QVERIFY(replay);
    player->SetMovie(AddressFor(shortOne));
    QVERIFY(!replay->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(player->IsAtEnd(), kPatience);
    QVERIFY(replay->isVisible());
    QVERIFY(ColourCount(Picture(*player)) > 30);
    QVERIFY(!player->IsShowingMessage());

    QTest::mouseClick(replay, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!player->IsAtEnd(), kPatience);
    QVERIFY(!replay->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(player->IsAtEnd(), kPatience);
    // Space at the end plays it again as well.
    QTest::keyClick(player.get(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!player->IsAtEnd() && !player->IsPaused(), kPatience);
}

void TestFlvPlayer::destroyedWhilePlaying_data()
{
    QTest::addColumn<bool>("waitForPicture");
    QTest::newRow("while loading") << false;
    QTest::newRow("while playing") << true;
}

void TestFlvPlayer::destroyedWhilePlaying()
{
    QFETCH(bool, waitForPicture);
    for (int round = 0; round < 3; ++round) {
        auto player = MakePlayer();
        player->SetMovie(AddressFor(round % 2 ? h264 : sorenson));
        if (waitForPicture)
            QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && player->Position() > 0.2, kPatience);
        player.reset();
        // Whatever mpv had queued for the gone player must come to nothing.
        QCoreApplication::processEvents();
    }
}

QTEST_MAIN(TestFlvPlayer)
#include "tst_flvplayer.moc"
