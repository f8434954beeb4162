#include "Main.h"
#include "Interaction.h"

#include <QApplication>

#include <clocale>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // The video library refuses to start under a locale whose numbers use a decimal comma.
    std::setlocale(LC_NUMERIC, "C");
    QtInteraction dialogs;
    Main window(QCoreApplication::applicationDirPath(), dialogs);
    QObject::connect(&window, &Main::ProgramEnd, &application, &QCoreApplication::quit, Qt::QueuedConnection);
    window.show();
    return application.exec();
}
