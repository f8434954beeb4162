#include "PlayerHarness.h"

#include "MovieAddress.h"

#include <QCoreApplication>
#include <QSet>
#include <QTest>

namespace PlayerHarness {

std::unique_ptr<FlvPlayer> MakePlayer(QWidget *parent)
{
    auto player = std::make_unique<FlvPlayer>(parent);
    player->SetAudioOutput(QStringLiteral("null"));
    player->setGeometry(4, 4, 320, 240);
    if (!parent) {
        player->show();
        if (!QTest::qWaitForWindowExposed(player.get()))
            qWarning("the player window was never exposed");
    }
    return player;
}

QString AddressFor(const QString &file, bool autoStart)
{
    QString address = PlayerMovieAddress(QCoreApplication::applicationDirPath(), file);
    if (!autoStart)
        address.chop(QStringLiteral("&autoStart=true").size());
    return address;
}

QString BareAddress()
{
    return PlayerMovieAddress(QCoreApplication::applicationDirPath());
}

QImage Picture(FlvPlayer &player)
{
    return player.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

int ColourCount(const QImage &image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

}  // namespace PlayerHarness
