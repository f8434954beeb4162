// Renders the Options dialog and the About window to PNG files for looking at; not a test.
// Usage: window_shots FOLDER

#include "About.h"
#include "INI.h"
#include "Options.h"
#include "ProgramValues.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTextStream>

namespace {

void Save(QWidget &window, const QString &folder, const QString &name)
{
    window.show();
    QApplication::processEvents();
    for (const int scale : {1, 2}) {
        QPixmap shot(window.size() * scale);
        shot.setDevicePixelRatio(scale);
        shot.fill(Qt::magenta);
        window.render(&shot);
        shot.save(QDir(folder).filePath(QStringLiteral("%1@%2x.png").arg(name).arg(scale)));
    }
    window.hide();
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        QTextStream(stderr) << "usage: window_shots FOLDER\n";
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    Program().AppVersion = QStringLiteral("1.7");

    INI ini;
    {
        Options first(ini);
        Save(first, folder, QStringLiteral("options-first-run"));
    }
    Program().UseProxy = QStringLiteral("1");
    Program().ProxyName = QStringLiteral("proxy.example.lan");
    Program().ProxyPort = QStringLiteral("3128");
    Program().ProxyAuth = QStringLiteral("1");
    Program().ProxyLogin = QStringLiteral("Пётр");
    Program().ProxyPass = QStringLiteral("secret");
    Program().CheckUpgrade = QStringLiteral("1");
    {
        Options filled(ini);
        Save(filled, folder, QStringLiteral("options-filled"));
    }
    Program().ProxyAuth = QStringLiteral("0");
    {
        Options noLogin(ini);
        Save(noLogin, folder, QStringLiteral("options-proxy-only"));
    }
    {
        About about(QStringLiteral("www.quillon.example"), QStringLiteral("quillon.example"));
        Save(about, folder, QStringLiteral("about"));
        about.ATimer_Timer();
        Save(about, folder, QStringLiteral("about-dots-hidden"));
    }
    return 0;
}
