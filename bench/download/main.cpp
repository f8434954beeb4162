// One download as the program makes it, in a process of its own so that its peak memory is its own: the body
// written to a partial file as it arrives, then saved by moving the partial file into place (a rename on the
// same file system, a copy in pieces on a thread of its own otherwise). Or the save step alone (--move).
//   quillon_download_bench --url URL --partial FILE --target FILE
//   quillon_download_bench --move FILE --target FILE
// Prints "name value" lines: seconds of each step, peak resident memory, the longest gap between two ticks of a
// 10 ms timer on the window's thread during the download and during the save.
#include "DC.h"
#include "FileReplacement.h"
#include "LoopProbe.h"
#include "ProcessFigures.h"
#include "VideoDownload.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>

#include <cstdio>
#include <memory>

namespace {

void Print(const char *name, double value)
{
    std::printf("%s %.3f\n", name, value);
    std::fflush(stdout);
}

// Moves source into place on a thread of its own while the loop runs, as the save flow does.
bool MoveWhileLoopRuns(const QString &source, const QString &target, LoopProbe &probe)
{
    bool moved = false;
    QString reason;
    QEventLoop loop;
    std::unique_ptr<QThread> mover(QThread::create([&] {
        moved = MoveFileInto(
            source, target, DefaultNewFileMode(), [](qint64, qint64) {}, &reason);
    }));
    QObject::connect(mover.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    probe.Start();
    mover->start();
    loop.exec();
    probe.Stop();
    mover->wait();
    Print("save_s", clock.nsecsElapsed() / 1e9);
    Print("save_largest_gap_ms", probe.LargestGapNs() / 1e6);
    Print("save_largest_busy_ms", probe.LargestBusyNs() / 1e6);
    if (!moved)
        std::fprintf(stderr, "save failed: %s\n", qPrintable(reason));
    return moved;
}

int Download(const QString &url, const QString &partial, const QString &target)
{
    LoopProbe downloadProbe;
    LoopProbe saveProbe;
    VideoDownload video;
    BodyFile &file = video.File();
    QString error;
    if (!file.Open(partial, &error)) {
        std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(partial), qPrintable(error));
        return 1;
    }
    DC dc;
    dc.setVideo(&video);
    dc.setURLmode(true);
    QElapsedTimer clock;
    int status = 1;
    QObject::connect(&dc, &DC::DownOK, [&] {
        downloadProbe.Stop();
        Print("download_s", clock.nsecsElapsed() / 1e9);
        Print("download_largest_gap_ms", downloadProbe.LargestGapNs() / 1e6);
        Print("download_largest_busy_ms", downloadProbe.LargestBusyNs() / 1e6);
        if (MoveWhileLoopRuns(partial, target, saveProbe))
            status = 0;
        file.Release();
        Print("total_s", clock.nsecsElapsed() / 1e9);
        QCoreApplication::quit();
    });
    QObject::connect(&dc, &DC::DownError, [&](const QString &text) {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(text));
        file.Remove();
        QCoreApplication::quit();
    });
    clock.start();
    downloadProbe.Start();
    dc.setURL(url);
    QCoreApplication::exec();
    return status;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{"url", "address to download", "URL"},
                       {"partial", "partial file", "FILE"},
                       {"move", "save step alone: the file to move", "FILE"},
                       {"target", "where the video is saved", "FILE"}});
    parser.process(application);
    int status = 1;
    if (parser.isSet("move")) {
        LoopProbe probe;
        status = MoveWhileLoopRuns(parser.value("move"), parser.value("target"), probe) ? 0 : 1;
    } else {
        status = Download(parser.value("url"), parser.value("partial"), parser.value("target"));
    }
    Print("peak_rss_mib", ReadPeakResidentKiB() / 1024.0);
    return status;
}
