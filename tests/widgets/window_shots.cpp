// Renders the Options dialog and the About window to PNG files for looking at; not a test.
// Usage: window_shots FOLDER

#include "About.h"
#include "INI.h"
#include "Options.h"
#include "ScriptedDialogs.h"

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

    INI ini;
    ScriptedDialogs dialogs;
    Settings settings;
    {
        Options first(settings, ini, dialogs);
        Save(first, folder, QStringLiteral("options-first-run"));
    }
    settings.Network.UseProxy = true;
    settings.Network.ProxyName = QStringLiteral("proxy.example.lan");
    settings.Network.ProxyPort = 3128;
    settings.Network.ProxyAuth = true;
    settings.Network.ProxyLogin = QStringLiteral("Пётр");
    settings.Network.ProxyPass = QStringLiteral("secret");
    settings.CheckUpgrade = true;
    {
        Options filled(settings, ini, dialogs);
        Save(filled, folder, QStringLiteral("options-filled"));
    }
    settings.Network.ProxyAuth = false;
    {
        Options noLogin(settings, ini, dialogs);
        Save(noLogin, folder, QStringLiteral("options-proxy-only"));
    }
    {
        About about(QStringLiteral("www.quillon.example"), QStringLiteral("quillon.example"), dialogs);
        Save(about, folder, QStringLiteral("about"));
        about.ATimer_Timer();
        Save(about, folder, QStringLiteral("about-dots-hidden"));
    }
    return 0;
}
