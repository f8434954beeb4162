// Takes a picture of every window of the program in each of its states, for looking at; not a test.
// Usage: window_shots FOLDER. Run it on a real display (xvfb-run) once as it is and once with QT_SCALE_FACTOR=2:
// the pictures are named after the scale they were taken at.

#include "About.h"
#include "FlvPlayer.h"
#include "INI.h"
#include "Main.h"
#include "Options.h"
#include "PlayerControls.h"
#include "QtInteraction.h"
#include "ScriptedDialogs.h"
#include "XpB.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <functional>

namespace {

QString folder;

void Settle()
{
    QTest::qWait(150);
}

// What the screen shows of the window, as the user sees it.
void Save(QWidget &window, const QString &name)
{
    if (!QTest::qWaitForWindowExposed(&window))
        qWarning("%s was never shown", qPrintable(name));
    Settle();
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    const int scale = qRound(window.devicePixelRatioF() * 100);
    shot.save(QDir(folder).filePath(QStringLiteral("%1@%2.png").arg(name).arg(scale)));
}

// Focus shows only in the active window.
void Activate(QWidget &window)
{
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        qWarning("%s never became active", qPrintable(window.objectName()));
}

void SaveShown(QWidget &window, const QString &name)
{
    window.show();
    Activate(window);
    Settle();
    Save(window, name);
    window.hide();
}

// Photographs the modal window that ask opens, then closes it.
void SaveModal(const QString &name, const std::function<void()> &ask)
{
    QTimer::singleShot(300, [name] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        Save(*modal, name);
        modal->close();
    });
    ask();
}

template <typename T> T *Find(QWidget &window, const char *name)
{
    return window.findChild<T *>(QString::fromLatin1(name));
}

void ShootMain(const QString &programFolder, ScriptedDialogs &dialogs)
{
    Main window(programFolder, dialogs);
    window.show();
    Activate(window);
    const int scale = qRound(window.devicePixelRatioF() * 100);
    window.windowIcon()
        .pixmap(QSize(48, 48), window.devicePixelRatioF())
        .save(QDir(folder).filePath(QStringLiteral("window-icon@%1.png").arg(scale)));
    Save(window, QStringLiteral("main-menu"));
    for (const char *button : {"ProButton", "aButton"}) {
        QTest::mouseMove(Find<QWidget>(window, button));
        Save(window, QStringLiteral("main-menu-hover-") + QLatin1String(button));
    }
    QTest::mouseMove(&window, QPoint(200, 120));

    window.ShowDownloadMode();
    Find<QLineEdit>(window, "URLtext")->setText(QStringLiteral("http://video.example/watch?v=42"));
    Save(window, QStringLiteral("download-idle"));
    Find<XpB>(window, "XpB4")->setFocus();
    Save(window, QStringLiteral("download-focus"));
    Find<XpB>(window, "XpB1")->setFocus();
    Save(window, QStringLiteral("download-focus-paste"));

    window.SetBusyState();
    emit window.Flow().Msg(QStringLiteral("Загрузка данных:  1234567 Bytes"));
    emit window.Flow().ServerLine(QStringLiteral("Сервер: video.example"));
    emit window.Flow().FLVsize(4 * 1024 * 1024);
    emit window.Flow().PercentOfLoad(42);
    Find<QLabel>(window, "LabelSpeed")->setText(QStringLiteral("Скорость: 2,4 МБ/с, осталось 1 мин 20 с"));
    Save(window, QStringLiteral("download-busy"));
    Find<QLabel>(window, "LabelSpeed")
        ->setText(QStringLiteral("Скорость: 61 МБ/с, 12 соединений, осталось 1 мин 20 с"));
    Save(window, QStringLiteral("download-busy-connections"));
    emit window.Flow().ChoicesOffered({QStringLiteral("1920 × 1080, WebM, 212 МБ"),
                                       QStringLiteral("1280 × 720, MP4, 84 МБ"), QStringLiteral("480p, MP4"),
                                       QStringLiteral("Только звук, M4A, 3,2 МБ")},
                                      1);
    Save(window, QStringLiteral("download-choices"));
    // Reached with Tab from the stop button, as a keyboard user does.
    Find<QWidget>(window, "StopButton")->setFocus();
    QTest::keyClick(&window, Qt::Key_Tab);
    Save(window, QStringLiteral("download-choices-focus"));

    emit window.Flow().VideoSaved(QDir(programFolder).filePath(QStringLiteral("DownloadVideo/video.flv")));
    emit window.Flow().Ended();
    emit window.Flow().Msg(QStringLiteral("Файл сохранен"));
    Save(window, QStringLiteral("download-saved"));
    window.SetBusyState();

    emit window.Flow().Msg(QStringLiteral("Сервер video.example.org ответил ошибкой 404 Not Found: страница "
                                          "не найдена, проверьте адрес страницы"));
    emit window.Flow().Ended();
    emit window.Flow().ServerLine(QStringLiteral("Ошибка! Не удалось найти видеопоток"));
    Save(window, QStringLiteral("download-error"));
    window.SetBusyState();
    const QString reason = QStringLiteral(
        "Сайт video.example.org не ответил: соединение отклонено (сервер не запущен или порт закрыт). Проверьте "
        "адрес страницы, подключение к интернету и настройки прокси-сервера, затем попробуйте ещё раз. Если "
        "страница открывается в браузере, а видео не находится, сообщите нам адрес страницы: поддержка сайтов "
        "обновляется вместе со службой поиска видео, без новой версии программы.");
    emit window.Flow().Msg(reason);
    emit window.Flow().Ended();
    emit window.Flow().ServerLine(QStringLiteral("Ошибка! Не удалось найти видеопоток"));
    emit window.Flow().Failed(reason);
    Save(window, QStringLiteral("download-failed-reason"));

    window.ShowPlayerMode();
    Save(window, QStringLiteral("player"));
    Find<QWidget>(window, "PlayerClear")->setFocus();
    Find<QWidget>(window, "BlankPlayer")->show();
    Find<QWidget>(window, "BlankPlayer")->raise();
    Save(window, QStringLiteral("player-blank"));
}

void ShootPlayerStrip()
{
    QWidget frame;
    frame.resize(320, 60);
    auto *strip = new PlayerControls(&frame);
    strip->setGeometry(0, 30, 320, PlayerControls::StripHeight());
    strip->SetDuration(83);
    strip->SetPosition(21);
    strip->SetVolume(100);
    SaveShown(frame, QStringLiteral("player-strip"));
}

void ShootDialogs(ScriptedDialogs &dialogs)
{
    INI ini;
    Settings settings;
    {
        Options first(settings, ini, dialogs, QDir::homePath() + QStringLiteral("/Видео/Quillon/"));
        SaveShown(first, QStringLiteral("options-first-run"));
    }
    settings.Network.UseProxy = true;
    settings.Network.ProxyName = QStringLiteral("proxy.example.lan");
    settings.Network.ProxyPort = 65535;
    settings.Network.ProxyAuth = true;
    settings.Network.ProxyLogin = QStringLiteral("Пётр Иванович");
    settings.Network.ProxyPass = QStringLiteral("secret-password");
    settings.CheckUpgrade = true;
    settings.Direct = DirectSave{true, QStringLiteral("/media/Пётр/Внешний диск/Видео с дачи/")};
    {
        Options filled(settings, ini, dialogs, QDir::homePath() + QStringLiteral("/Видео/Quillon/"));
        SaveShown(filled, QStringLiteral("options-filled"));
    }
    {
        About about(QStringLiteral("www.quillon.example"), QStringLiteral("quillon.example"), dialogs);
        SaveShown(about, QStringLiteral("about"));
    }
    {
        About about(QStringLiteral("www.quillon.example"), QStringLiteral("quillon.example"), dialogs);
        about.ShowSettingsFile(QDir::homePath() + QStringLiteral("/.config/quillon/options.ini"));
        about.ShowEngines(QStringLiteral("yt-dlp 2026.08.19, builtin 1.7"));
        SaveShown(about, QStringLiteral("about-engines"));
    }
}

void ShootQtDialogs(const QString &programFolder)
{
    QtInteraction real;
    QWidget owner;
    owner.resize(300, 200);
    owner.show();
    SaveModal(QStringLiteral("message-question"), [&] {
        real.ShowMessage(&owner, QStringLiteral("Вышла новая версия программы. Открыть страницу загрузки?"),
                         QStringLiteral("Quillon"), MessageButton::Yes | MessageButton::No, MessageIcon::Question);
    });
    SaveModal(QStringLiteral("file-save"), [&] {
        real.ShowFileDialog(&owner, 2, QStringLiteral("Видео FLV (*.flv)|*.flv"), programFolder,
                            QStringLiteral("Сохранить видео"), 0, QStringLiteral("video.flv"));
    });
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    UseRussianQtTexts();
    if (argc < 2) {
        QTextStream(stderr) << "usage: window_shots FOLDER\n";
        return 2;
    }
    folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);

    QTemporaryDir program;
    ScriptedDialogs dialogs;
    ShootMain(program.path(), dialogs);
    ShootPlayerStrip();
    ShootDialogs(dialogs);
    ShootQtDialogs(program.path());
    return 0;
}
