// Program start-up: from starting the process to the first paint of the main window, and, entering the
// player and opening a video there, to its first drawn frame. Each run is a fresh process (this same
// program, started with --child), so loading the libraries counts as it does for a user.
//   quillon_startup_bench [--runs N]
#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "Main.h"
#include "ProcessSetup.h"
#include "ScriptedDialogs.h"
#include "XpB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Says "painted" on the first paint of the window, with whether the video engine was started by then.
class FirstPaint : public QObject {
public:
    FirstPaint(FlvPlayer &player, std::function<void()> then) : player(player), then(std::move(then)) { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !seen) {
            seen = true;
            std::printf("painted %d\n", player.HasEngine() ? 1 : 0);
            std::fflush(stdout);
            QTimer::singleShot(0, then);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    FlvPlayer &player;
    std::function<void()> then;
    bool seen = false;
};

// One start of the program: the window as main.cpp makes it; with a video, the user then presses the
// player button and opens the video with the open-file button.
int Child(QApplication &application, const QString &programFolder, const QString &video)
{
    PrepareProcessForVideo();
    ScriptedDialogs dialogs;
    Main window(programFolder, dialogs);
    auto *swf = window.findChild<FlvPlayer *>(QStringLiteral("swf"));
    swf->SetAudioOutput(QStringLiteral("null"));
    QTimer poll;
    FirstPaint first(*swf, [&] {
        if (video.isEmpty()) {
            application.quit();
            return;
        }
        dialogs.AnswerFileDialog(video);
        emit window.findChild<XpB *>(QStringLiteral("ProButton"))->Click();
        emit window.findChild<XpB *>(QStringLiteral("PlayerOpenFileButton"))->Click();
        poll.start(1);
    });
    QObject::connect(&poll, &QTimer::timeout, &application, [&] {
        if (!swf->HasPicture())
            return;
        poll.stop();
        std::printf("frame\n");
        std::fflush(stdout);
        application.quit();
    });
    window.installEventFilter(&first);
    for (QWidget *widget : window.findChildren<QWidget *>())
        widget->installEventFilter(&first);
    window.show();
    return application.exec();
}

struct Run {
    double paintedMs = 0;
    double frameMs = 0;
    bool engineAtPaint = false;
    bool ok = false;
};

Run StartOnce(const QString &self, const QString &programFolder, const QString &video)
{
    Run run;
    QProcess child;
    QStringList arguments{QStringLiteral("--child"), programFolder};
    if (!video.isEmpty())
        arguments.append(video);
    QElapsedTimer clock;
    clock.start();
    child.start(self, arguments);
    while (child.state() != QProcess::NotRunning || child.canReadLine()) {
        if (!child.canReadLine() && !child.waitForReadyRead(30000))
            break;
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("painted")) {
                run.paintedMs = clock.nsecsElapsed() / 1e6;
                run.engineAtPaint = line.endsWith('1');
            } else if (line == "frame") {
                run.frameMs = clock.nsecsElapsed() / 1e6;
            }
        }
    }
    child.waitForFinished(30000);
    run.ok = child.exitCode() == 0 && run.paintedMs > 0 && (video.isEmpty() || run.frameMs > 0);
    return run;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("--child"))
        return Child(application, args[2], args.value(3));

    int runs = 9;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
    }
    QTemporaryDir work;
    const QString video =
        FlvMaker::MakeFlv(work.path(), QStringLiteral("start.flv"), {FlvMaker::Codecs::H264Aac, 3, {320, 240}, 25});
    if (video.isEmpty()) {
        std::fprintf(stderr, "ffmpeg could not make the test video\n");
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    // The first start warms the page cache with the libraries; it is not counted.
    StartOnce(self, work.path(), video);

    QList<double> menu, playerPaint, frame;
    bool lazy = true, ok = true;
    std::printf("%-4s %14s %14s %16s\n", "run", "window ms", "window ms (*)", "first frame ms (*)");
    for (int i = 1; i <= runs; ++i) {
        const Run plain = StartOnce(self, work.path(), QString());
        const Run played = StartOnce(self, work.path(), video);
        std::printf("%-4d %14.1f %14.1f %16.1f\n", i, plain.paintedMs, played.paintedMs, played.frameMs);
        menu.append(plain.paintedMs);
        playerPaint.append(played.paintedMs);
        frame.append(played.frameMs);
        lazy = lazy && !plain.engineAtPaint && !played.engineAtPaint;
        ok = ok && plain.ok && played.ok;
    }
    std::printf("(*) starts that then enter the player and open a 3 s 320x240 H.264 FLV\n\n");
    std::printf("median start to first painted window: %.1f ms (at most 150: %s); in the starts that go on to the "
                "player %.1f ms\n",
                Median(menu), Median(menu) <= 150 ? "yes" : "NO", Median(playerPaint));
    std::printf("median start to the video's first frame: %.1f ms\n", Median(frame));
    std::printf("video engine not started before the first paint: %s; every run finished: %s\n", lazy ? "yes" : "NO",
                ok ? "yes" : "NO");
    return lazy && ok ? 0 : 1;
}
