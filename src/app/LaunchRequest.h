#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What the command line asks the window for: `quillon FILE` plays a video, `quillon URL` (an http or https page
// address) puts the address in the download panel, `quillon` alone opens the window as it always has.
struct LaunchRequest {
    enum class Kind { None, File, Address };
    Kind What = Kind::None;
    // The file's absolute path, or the page address as given.
    QString Value;
    // The desktop's word that lets the window that takes the request come to the front (XDG_ACTIVATION_TOKEN on
    // Wayland, DESKTOP_STARTUP_ID on X11), as the desktop gave it to the start; empty for none.
    QByteArray ActivationToken;

    friend bool operator==(const LaunchRequest &, const LaunchRequest &) = default;
};

// The request of the program's arguments (without the program's name): the first one counts, a relative path is
// taken from currentFolder (a window of another start may take it), a file:// address is its file.
LaunchRequest ReadLaunchRequest(const QStringList &arguments, const QString &currentFolder);

// The request as bytes for another start's window, and back; a reading of bytes that are no request is None.
QByteArray RequestBytes(const LaunchRequest &request);
LaunchRequest RequestOfBytes(const QByteArray &bytes);
