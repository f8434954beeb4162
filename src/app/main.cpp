#include "Main.h"
#include "Artwork.h"
#include "DownloadNotices.h"
#include "InstanceChannel.h"
#include "LaunchRequest.h"
#include "ProcessSetup.h"
#include "QtInteraction.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

namespace {

// The desktop's word that lets the window of this start come to the front; Qt takes it from the environment as the
// application starts, so it is read before.
QByteArray DesktopActivationToken()
{
    const QByteArray wayland = qgetenv("XDG_ACTIVATION_TOKEN");
    return wayland.isEmpty() ? qgetenv("DESKTOP_STARTUP_ID") : wayland;
}

}  // namespace

int main(int argc, char *argv[])
{
    const QByteArray activationToken = DesktopActivationToken();
    QApplication application(argc, argv);
    LaunchRequest request = ReadLaunchRequest(QCoreApplication::arguments().mid(1), QDir::currentPath());
    request.ActivationToken = activationToken;
    InstanceChannel channel(InstanceChannel::SessionSocketPath());
    if (channel.HandOver(request))
        return 0;
    // The desktop entry the package installs: desktops find the window's icon and name through it.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.quillon.Quillon"));
    PrepareProcessForVideo();
    UseRussianQtTexts();
    // Every window of the program, dialogs included, shows the program's icon.
    QApplication::setWindowIcon(QIcon(Artwork::WindowIcon()));
    QtInteraction dialogs;
    Main window(QCoreApplication::applicationDirPath(), dialogs);
    DownloadNotices notices;
    window.setNotices(&notices);
    QObject::connect(&window, &Main::ProgramEnd, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    QObject::connect(&channel, &InstanceChannel::Received, &window, &Main::OpenLaterRequest);
    window.show();
    window.OpenRequest(request);
    return application.exec();
}
