#include "PlayerPlaceholder.h"

#include <QPainter>

PlayerPlaceholder::PlayerPlaceholder(const QString &name, QWidget *parent) : QWidget(parent)
{
    setObjectName(name);
}

void PlayerPlaceholder::setMovie(const QString &address)
{
    movie = address;
    update();
}

void PlayerPlaceholder::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0x1d, 0x24, 0x2c));
}

QString BareMovieAddress(const QString &programFolder)
{
    return QStringLiteral("file://localhost") + programFolder + QStringLiteral("/flv_video.swf");
}

QString MovieAddress(const QString &programFolder, const QString &videoPath)
{
    return BareMovieAddress(programFolder) + QStringLiteral("?file=") + videoPath + QStringLiteral("&autoStart=true");
}
