#pragma once

#include <QSize>
#include <QString>

class XpPicture;

// The program's own pictures, kept as SVG in its resources.
namespace Artwork {

// Menu backgrounds: 0 neutral, 1 to 4 for the menu items.
QString MenuBackground(int item);
QString DownloadBackground();
QString WindowBackground();
QString EmptyPlayer();
QString WindowIcon();

// A button picture at its size in pixels at 100 %.
XpPicture ButtonPicture(const QString &name, QSize size);

}  // namespace Artwork
