#include "Main.h"
#include "Artwork.h"
#include "DownloadNotices.h"
#include "ProcessSetup.h"
#include "QtInteraction.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
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
    window.show();
    return application.exec();
}
