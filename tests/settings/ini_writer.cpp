// Writes keys one by one into an INI file, as a second copy of the program would: ini_writer FILE PREFIX COUNT
// writes PREFIX0 .. PREFIX<COUNT-1> in section "Keys", each with its own name as its value.

#include "INI.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: ini_writer FILE PREFIX COUNT\n";
        return 2;
    }
    INI ini;
    ini.FileName(arguments[1]);
    const int count = arguments[3].toInt();
    for (int i = 0; i < count; ++i) {
        const QByteArray key = (arguments[2] + QString::number(i)).toUtf8();
        if (!ini.WInI("Keys", key, key)) {
            QTextStream(stderr) << "ini_writer: " << ini.WriteError() << "\n";
            return 1;
        }
    }
    return 0;
}
