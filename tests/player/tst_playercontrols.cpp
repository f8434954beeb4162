#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "PlayerControls.h"
#include "PlayerHarness.h"
#include "ProcessSetup.h"

#include <QEnterEvent>
#include <QTemporaryDir>
#include <QTest>

using namespace PlayerHarness;

// The player's own controls: the strip under the pointer, the keys, full screen, and sound that may be missing.
class TestPlayerControls : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void stripFollowsThePointer();
    void stripButtonsPauseAndSeek();
    void keysSetVolumeAndMute();
    void fullScreenAndBack_data();
    void fullScreenAndBack();
    void playsWithoutSoundDevice_data();
    void playsWithoutSoundDevice();

private:
    static void Enter(QWidget *widget);
    static void Leave(QWidget *widget);
    static QPoint CentreOf(PlayerControls *controls, PlayerControls::Part part, double share = 0.5);

    QTemporaryDir folder;
    QString video;
};

void TestPlayerControls::initTestCase()
{
    PrepareProcessForVideo();
    QVERIFY(folder.isValid());
    video = FlvMaker::MakeFlv(folder.path(), QStringLiteral("video.flv"), {FlvMaker::Codecs::SorensonMp3, 12});
    QVERIFY(!video.isEmpty());
}

void TestPlayerControls::Enter(QWidget *widget)
{
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QEnterEvent enter(inside, widget->mapToGlobal(inside), widget->mapToGlobal(inside));
    QCoreApplication::sendEvent(widget, &enter);
}

void TestPlayerControls::Leave(QWidget *widget)
{
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(widget, &leave);
}

QPoint TestPlayerControls::CentreOf(PlayerControls *controls, PlayerControls::Part part, double share)
{
    const QRectF area = controls->Area(part);
    return QPointF(area.left() + area.width() * share, area.center().y()).toPoint();
}

void TestPlayerControls::stripFollowsThePointer()
{
    auto player = MakePlayer();
    auto *controls = player->findChild<PlayerControls *>();
    QVERIFY(controls);
    // The empty player has nothing to control.
    player->SetMovie(BareAddress());
    Enter(player.get());
    QVERIFY(!controls->isVisible());

    player->SetMovie(AddressFor(video, false));
    QVERIFY(controls->isVisible());
    QCOMPARE(controls->geometry().bottom(), player->rect().bottom());
    QCOMPARE(controls->width(), player->width());
    Leave(player.get());
    QVERIFY(!controls->isVisible());
    Enter(player.get());
    QVERIFY(controls->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture(), kPatience);

    // The strip sits over the picture: the bottom rows show it, not the video.
    const QImage withStrip = Picture(*player);
    Leave(player.get());
    const QImage withoutStrip = Picture(*player);
    const int row = player->height() - PlayerControls::StripHeight() / 2;
    QVERIFY(withStrip.copy(0, row, player->width(), 1) != withoutStrip.copy(0, row, player->width(), 1));
}

void TestPlayerControls::stripButtonsPauseAndSeek()
{
    auto player = MakePlayer();
    auto *controls = player->findChild<PlayerControls *>();
    player->SetMovie(AddressFor(video));
    Enter(player.get());
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.2 && player->Duration() > 11, kPatience);

    QTest::mouseClick(controls, Qt::LeftButton, {}, CentreOf(controls, PlayerControls::Part::PlayPause));
    QTRY_VERIFY_WITH_TIMEOUT(player->IsPaused(), kPatience);

    // A click three quarters along the seek bar goes three quarters into the video.
    QTest::mouseClick(controls, Qt::LeftButton, {}, CentreOf(controls, PlayerControls::Part::Seek, 0.75));
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->Position() - 0.75 * player->Duration()) < 0.5, kPatience);

    QTest::mouseClick(controls, Qt::LeftButton, {}, CentreOf(controls, PlayerControls::Part::PlayPause));
    QTRY_VERIFY_WITH_TIMEOUT(!player->IsPaused(), kPatience);

    QTest::mouseClick(controls, Qt::LeftButton, {}, CentreOf(controls, PlayerControls::Part::Volume, 0.25));
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(player->Volume() - 25) < 3, kPatience);
    QVERIFY(!player->IsMuted());
    QTest::mouseClick(controls, Qt::LeftButton, {}, CentreOf(controls, PlayerControls::Part::Mute));
    QTRY_VERIFY_WITH_TIMEOUT(player->IsMuted(), kPatience);
}

void TestPlayerControls::keysSetVolumeAndMute()
{
    auto player = MakePlayer();
    player->SetMovie(AddressFor(video, false));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture(), kPatience);
    QCOMPARE(player->Volume(), 100.0);
    QTest::keyClick(player.get(), Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(player->Volume(), 95.0, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Down);
    QTRY_COMPARE_WITH_TIMEOUT(player->Volume(), 90.0, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Up);
    QTRY_COMPARE_WITH_TIMEOUT(player->Volume(), 95.0, kPatience);
    QTest::keyClick(player.get(), Qt::Key_Up);
    QTest::keyClick(player.get(), Qt::Key_Up);
    // Never above full volume.
    QTRY_COMPARE_WITH_TIMEOUT(player->Volume(), 100.0, kPatience);
    QTest::keyClick(player.get(), Qt::Key_M);
    QTRY_VERIFY_WITH_TIMEOUT(player->IsMuted(), kPatience);
    QTest::keyClick(player.get(), Qt::Key_M);
    QTRY_VERIFY_WITH_TIMEOUT(!player->IsMuted(), kPatience);
}

void TestPlayerControls::fullScreenAndBack_data()
{
    QTest::addColumn<bool>("byDoubleClick");
    QTest::newRow("F key") << false;
    QTest::newRow("double click") << true;
}

void TestPlayerControls::fullScreenAndBack()
{
    QFETCH(bool, byDoubleClick);
    QWidget window;
    window.resize(326, 269);
    auto player = MakePlayer(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    player->SetMovie(AddressFor(video));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture(), kPatience);
    const QRect placed = player->geometry();

    if (byDoubleClick)
        QTest::mouseDClick(player.get(), Qt::LeftButton, {}, QPoint(100, 100));
    else
        QTest::keyClick(player.get(), Qt::Key_F);
    QTRY_VERIFY_WITH_TIMEOUT(player->isFullScreen(), kPatience);
    QVERIFY(player->isWindow());
    QCOMPARE(player->parentWidget(), &window);

    // Esc in the window outside full screen is left to the window.
    QTest::keyClick(player.get(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!player->isFullScreen(), kPatience);
    QVERIFY(!player->isWindow());
    QCOMPARE(player->geometry(), placed);
    QVERIFY(player->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(player->Position() > 0.3, kPatience);
    QVERIFY(!player->IsShowingMessage());

    // The bare address takes the player out of full screen as it stops the video.
    QTest::keyClick(player.get(), Qt::Key_F);
    QTRY_VERIFY_WITH_TIMEOUT(player->isFullScreen(), kPatience);
    player->SetMovie(BareAddress());
    QVERIFY(!player->isFullScreen());
    QCOMPARE(player->geometry(), placed);
}

void TestPlayerControls::playsWithoutSoundDevice_data()
{
    QTest::addColumn<QString>("audioOutput");
    QTest::newRow("desktop default") << QString();
    QTest::newRow("sound server that is not there") << QStringLiteral("pulse");
    QTest::newRow("sound card that is not there") << QStringLiteral("alsa");
}

void TestPlayerControls::playsWithoutSoundDevice()
{
    QFETCH(QString, audioOutput);
    qputenv("PULSE_SERVER", "unix:/nonexistent/quillon-test");
    qputenv("PULSE_RUNTIME_PATH", "/nonexistent/quillon-test");
    qputenv("ALSA_CONFIG_PATH", "/nonexistent/quillon-test.conf");
    auto player = MakePlayer();
    player->SetAudioOutput(audioOutput);
    player->SetMovie(AddressFor(video));
    QTRY_VERIFY_WITH_TIMEOUT(player->HasPicture() && player->Position() > 1, kPatience);
    QVERIFY(!player->IsShowingMessage());
}

QTEST_MAIN(TestPlayerControls)
#include "tst_playercontrols.moc"
