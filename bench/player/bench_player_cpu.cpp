// What playing a 720p H.264 FLV costs: CPU seconds of the whole process per second of video, in the
// player's first area (320 x 240), at the video's own size (1280 x 720), and in the main window, at its first
// size and maximised on its screen (1920 x 1080 on the virtual display of run.sh).
#include "BenchKit.h"
#include "FlvPlayer.h"
#include "Main.h"
#include "MovieAddress.h"
#include "ProcessSetup.h"
#include "ScriptedDialogs.h"
#include "XpB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {
constexpr int kClipSeconds = 30;
constexpr double kBudget = 0.25;

struct Counter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Plays the clip in the shown player from its second second to its end and reports CPU seconds per second of
// video.
bool Measure(FlvPlayer &player, const std::function<void()> &startClip, const char *where, double &cost)
{
    Counter counter;
    QWidget *surface = player.findChild<QWidget *>(QStringLiteral("VideoSurface"));
    surface->installEventFilter(&counter);
    const QSize area = player.size();

    startClip();
    // The first second pays for starting mpv and the decoder; what is measured is steady playing.
    if (!BenchKit::WaitUntil([&] { return player.HasPicture() && player.Position() > 1.0; }, 60000)) {
        std::printf("  %s: the clip did not start\n", where);
        return false;
    }
    const double cpuStart = BenchKit::ProcessCpuSeconds();
    const double videoStart = player.Position();
    const int paintsStart = counter.paints;
    QElapsedTimer wall;
    wall.start();
    BenchKit::WaitUntil([&] { return player.IsAtEnd(); }, (kClipSeconds + 60) * 1000);
    const double video = (player.IsAtEnd() ? player.Duration() : player.Position()) - videoStart;
    const double cpu = BenchKit::ProcessCpuSeconds() - cpuStart;
    const double seconds = wall.elapsed() / 1000.0;
    cost = cpu / video;
    std::printf("  %-16s %4dx%-4d  %5.1f s of video in %5.1f s  CPU %5.2f s  = %.3f CPU s per video s (%.0f %% of a "
                "core)  %.1f frames painted per second, %lld dropped\n",
                where, area.width(), area.height(), video, seconds, cpu, cost, cost * 100,
                (counter.paints - paintsStart) / seconds, static_cast<long long>(player.DroppedFrames()));
    return true;
}

bool MeasureAlone(const QString &clip, QSize area, double &cost)
{
    FlvPlayer player;
    player.SetAudioOutput(QStringLiteral("null"));
    player.resize(area);
    player.show();
    return Measure(
        player, [&] { player.SetMovie(PlayerMovieAddress(QCoreApplication::applicationDirPath(), clip)); },
        "player alone", cost);
}

// The main window in player mode, its player given the clip; maximised, or at its first size. area: the
// player's size.
bool MeasureInWindow(const QString &clip, bool maximised, double &cost, QSize &area)
{
    QTemporaryDir program;
    ScriptedDialogs dialogs;
    Main window(program.path(), dialogs);
    auto *player = window.findChild<FlvPlayer *>(QStringLiteral("swf"));
    player->SetAudioOutput(QStringLiteral("null"));
    window.show();
    emit window.findChild<XpB *>(QStringLiteral("ProButton"))->Click();
    if (maximised) {
        window.showMaximized();
        // A virtual display without a window manager leaves maximising to the program.
        if (!BenchKit::WaitUntil([&] { return window.isMaximized() && window.width() > 326; }, 2000))
            window.setGeometry(window.screen()->availableGeometry());
        BenchKit::WaitUntil([] { return false; }, 300);
    }
    // As the user opens it: the open-file button, its dialog answered with the clip.
    const auto open = [&] {
        dialogs.AnswerFileDialog(clip);
        emit window.findChild<XpB *>(QStringLiteral("PlayerOpenFileButton"))->Click();
    };
    area = player->size();
    return Measure(*player, open, maximised ? "window maximised" : "window", cost);
}

// The peer: ffplay on the same display, the same clip in a window of the same size, its sound left out. Its
// whole run counts, start-up included, over the clip's length.
bool MeasurePeer(const QString &clip, QSize area, double &cost)
{
    const QString ffplay = QStandardPaths::findExecutable(QStringLiteral("ffplay"));
    const QString time = QStandardPaths::findExecutable(QStringLiteral("time"));
    if (ffplay.isEmpty() || time.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::printf("  ffplay            %4dx%-4d  not measured (needs ffplay, time and an X display)\n", area.width(),
                    area.height());
        return false;
    }
    QProcess run;
    run.start(time,
              {QStringLiteral("-f"), QStringLiteral("%U %S"), ffplay, QStringLiteral("-hide_banner"),
               QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-autoexit"), QStringLiteral("-an"),
               QStringLiteral("-x"), QString::number(area.width()), QStringLiteral("-y"),
               QString::number(area.height()), clip});
    if (!run.waitForFinished((kClipSeconds + 60) * 1000) || run.exitCode() != 0)
        return false;
    const QStringList times = QString::fromLatin1(run.readAllStandardError()).trimmed().split(QLatin1Char('\n'));
    const QStringList userSystem = times.last().split(QLatin1Char(' '));
    const double cpu = userSystem.value(0).toDouble() + userSystem.value(1).toDouble();
    cost = cpu / kClipSeconds;
    std::printf("  %-16s %4dx%-4d  %5d s of video, whole run  CPU %5.2f s  = %.3f CPU s per video s (%.0f %% of a "
                "core)\n",
                "ffplay", area.width(), area.height(), kClipSeconds, cpu, cost, cost * 100);
    return true;
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PrepareProcessForVideo();

    const QString clip = BenchKit::Clip720p(kClipSeconds);
    if (clip.isEmpty()) {
        std::printf("could not make the 720p clip\n");
        return 2;
    }
    std::printf("Player CPU: %d s 1280x720 25 fps H.264 + AAC FLV, sound to ao=null, %s\n", kClipSeconds,
                qPrintable(BenchKit::DisplayAndLoad()));
    bool withinBudget = true;
    for (QSize area : {QSize(320, 240), QSize(1280, 720)}) {
        double cost = 0;
        if (!MeasureAlone(clip, area, cost))
            return 2;
        if (area == QSize(320, 240) && cost > kBudget)
            withinBudget = false;
    }
    for (bool maximised : {false, true}) {
        double cost = 0;
        double peer = 0;
        QSize area;
        if (!MeasureInWindow(clip, maximised, cost, area))
            return 2;
        if (MeasurePeer(clip, area, peer))
            std::printf("  window / ffplay at %dx%d: %.2f\n", area.width(), area.height(), cost / peer);
    }
    std::printf("  budget at 320x240: at most %.2f CPU s per video s: %s\n", kBudget, withinBudget ? "met" : "NOT met");
    std::printf("  after: %s\n", qPrintable(BenchKit::DisplayAndLoad()));
    return withinBudget ? 0 : 1;
}
