#include "Main.h"
#include "ProcessSetup.h"
#include "QtInteraction.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PrepareProcessForVideo();
    UseRussianQtTexts();
    QtInteraction dialogs;
    Main window(QCoreApplication::applicationDirPath(), dialogs);
    QObject::connect(&window, &Main::ProgramEnd, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return application.exec();
}
