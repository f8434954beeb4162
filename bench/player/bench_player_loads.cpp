// 100 loads of a video in a row: resident memory must come back to within 10 MiB of where it was after
// the first load. Two ways of loading: one video straight after the other (the open-file button while a
// video plays), and each through the bare address (every switch of the window's mode).
#include "BenchKit.h"
#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "MovieAddress.h"
#include "ProcessSetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kLoads = 100;
constexpr double kAllowanceMiB = 10;

QString Address(const QString &file = QString())
{
    return PlayerMovieAddress(QCoreApplication::applicationDirPath(), file);
}

// Loads the video and lets it play until a frame of it is drawn and it has moved on from its first moment.
bool LoadAndPlay(FlvPlayer &player, const QString &clip)
{
    player.SetMovie(Address(clip));
    return BenchKit::WaitUntil([&] { return player.HasPicture() && player.Position() > 0.2; }, 60000);
}

// The bare address; returns how long the window's thread was held, in milliseconds.
double Clear(FlvPlayer &player)
{
    QElapsedTimer held;
    held.start();
    player.SetMovie(Address());
    return held.nsecsElapsed() / 1e6;
}

// A second of idle event loop, so that whatever mpv's threads still hand back has arrived.
void Settle()
{
    BenchKit::WaitUntil([] { return false; }, 1000);
}

bool Run(const QString &clip, bool throughBare)
{
    std::printf(" %s\n", throughBare ? "each load through the bare address:" : "one load straight after the other:");
    FlvPlayer player;
    player.SetAudioOutput(QStringLiteral("null"));
    player.resize(320, 240);
    player.show();
    Settle();
    const double beforeEngine = BenchKit::ResidentMiB();
    if (!LoadAndPlay(player, clip))
        return false;
    Clear(player);
    Settle();
    const double start = BenchKit::ResidentMiB();
    std::printf("  resident with the empty player %.1f MiB; after the first load and the bare address %.1f MiB\n",
                beforeEngine, start);

    double peak = start;
    double longestClear = 0;
    for (int load = 1; load <= kLoads; ++load) {
        if (!LoadAndPlay(player, clip)) {
            std::printf("  load %d did not play\n", load);
            return false;
        }
        peak = std::max(peak, BenchKit::ResidentMiB());
        if (throughBare)
            longestClear = std::max(longestClear, Clear(player));
        if (load % 25 == 0)
            std::printf("  after load %3d: %.1f MiB\n", load, BenchKit::ResidentMiB());
    }
    longestClear = std::max(longestClear, Clear(player));
    Settle();
    const double end = BenchKit::ResidentMiB();
    const double growth = end - start;
    std::printf(
        "  after %d loads and the bare address: %.1f MiB (peak %.1f MiB), growth %+.1f MiB: %s (allowance %.0f MiB)\n",
        kLoads, end, peak, growth, growth <= kAllowanceMiB ? "met" : "NOT met", kAllowanceMiB);
    std::printf("  longest time the bare address held the window's thread: %.1f ms\n", longestClear);
    return growth <= kAllowanceMiB;
}
}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PrepareProcessForVideo();

    const QString clip = QDir(BenchKit::DataFolder()).filePath(QStringLiteral("clip-320x240-3s.flv"));
    if (QFileInfo(clip).size() == 0
        && FlvMaker::MakeFlv(BenchKit::DataFolder(), QFileInfo(clip).fileName(), {FlvMaker::Codecs::H264Aac, 3})
               .isEmpty()) {
        std::printf("could not make the clip\n");
        return 2;
    }
    std::printf("Player loads: %d loads of a 3 s 320x240 H.264 + AAC FLV, resident memory from /proc/self/statm, %s\n",
                kLoads, qPrintable(BenchKit::DisplayAndLoad()));
    const bool straight = Run(clip, false);
    const bool throughBare = Run(clip, true);
    std::printf("  after: %s\n", qPrintable(BenchKit::DisplayAndLoad()));
    return straight && throughBare ? 0 : 1;
}
