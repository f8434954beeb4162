#include <QApplication>
#include <QLabel>

// Until the main window exists the program shows a plain window with its title.
int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Quillon 1.7"));
    window.setObjectName(QStringLiteral("Main"));
    window.setWindowTitle(QStringLiteral("Quillon 1.7"));
    window.setAlignment(Qt::AlignCenter);
    window.resize(326, 269);
    window.show();
    return application.exec();
}
