#include "Artwork.h"

#include "XpPicture.h"

#include <QIcon>

namespace Artwork {

QString MenuBackground(int item)
{
    return QStringLiteral(":/artwork/menu%1.svg").arg(item);
}

QString DownloadBackground()
{
    return QStringLiteral(":/artwork/download.svg");
}

QString WindowBackground()
{
    return QStringLiteral(":/artwork/window.svg");
}

QString EmptyPlayer()
{
    return QStringLiteral(":/artwork/player-empty.svg");
}

QString WindowIcon()
{
    return QStringLiteral(":/artwork/quillon.svg");
}

XpPicture ButtonPicture(const QString &name, QSize size)
{
    return XpPicture::FromIcon(QIcon(QStringLiteral(":/artwork/") + name + QStringLiteral(".svg")), size);
}

}  // namespace Artwork
