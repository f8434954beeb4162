// One download as the program makes it, in a process of its own so that its peak memory is its own: the body
// written to a partial file as it arrives, then saved by moving the partial file into place (a rename on the
// same file system, a copy in pieces on a thread of its own otherwise). Or the save step alone (--move). Or a
// download stopped part-way (--stop-at-mib), as the stop button does it.
//   quillon_download_bench --url URL --partial FILE --target FILE [--max-connections N]
//   quillon_download_bench --move FILE --target FILE
//   quillon_download_bench --url URL --partial FILE --stop-at-mib MIB
// Prints "name value" lines: seconds of each step, peak resident memory, the longest gap between two ticks of a
// 10 ms timer on the window's thread during the download and during the save; of a stop, how long the window's
// thread took to stop the transfer and delete the partial file.
#include "BodyFile.h"
#include "DC.h"
#include "FileReplacement.h"
#include "LoopProbe.h"
#include "ProcessFigures.h"
#include "VideoDownload.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
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

bool OpenPartial(BodyFile &file, const QString &partial)
{
    QString error;
    if (file.Open(partial, &error))
        return true;
    std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(partial), qPrintable(error));
    return false;
}

int Download(const QString &url, const QString &partial, const QString &target, int maxConnections)
{
    LoopProbe downloadProbe;
    LoopProbe saveProbe;
    VideoDownload video;
    BodyFile &file = video.File();
    if (!OpenPartial(file, partial))
        return 1;
    DC dc;
    dc.setVideo(&video);
    dc.setURLmode(true);
    dc.setMaxConnections(maxConnections);
    // The most connections that brought the video at once, and how many brought it at the end.
    int most = 0;
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&] { most = std::max(most, dc.Connections()); });
    counter.start(10);
    QElapsedTimer clock;
    int status = 1;
    QObject::connect(&dc, &DC::DownOK, [&] {
        downloadProbe.Stop();
        counter.stop();
        Print("download_s", clock.nsecsElapsed() / 1e9);
        Print("connections_most", most);
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

// Stops the download once mib MiB are in the file, as the stop button does (the transfer stopped, the partial file
// deleted), and times that on the window's thread: a stop is to end at once, whatever the disk still has to do.
int DownloadAndStop(const QString &url, const QString &partial, qint64 mib)
{
    VideoDownload video;
    BodyFile &file = video.File();
    if (!OpenPartial(file, partial))
        return 1;
    DC dc;
    dc.setVideo(&video);
    dc.setURLmode(true);
    int status = 1;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (file.Size() < (mib << 20))
            return;
        watch.stop();
        Print("stopped_at_mib", file.Size() / 1048576.0);
        QElapsedTimer clock;
        clock.start();
        dc.Stopped();
        file.Remove();
        Print("stop_ms", clock.nsecsElapsed() / 1e6);
        status = QFile::exists(partial) ? 1 : 0;
        QCoreApplication::quit();
    });
    QObject::connect(&dc, &DC::DownOK, [&] {
        std::fprintf(stderr, "the download ended before %lld MiB\n", static_cast<long long>(mib));
        QCoreApplication::quit();
    });
    QObject::connect(&dc, &DC::DownError, [&](const QString &text) {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(text));
        QCoreApplication::quit();
    });
    watch.start(1);
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
                       {"target", "where the video is saved", "FILE"},
                       {"stop-at-mib", "stop the download once this much is in the file", "MIB"},
                       {"max-connections", "the most connections at once (1: one)", "N", "16"}});
    parser.process(application);
    int status = 1;
    if (parser.isSet("move")) {
        LoopProbe probe;
        status = MoveWhileLoopRuns(parser.value("move"), parser.value("target"), probe) ? 0 : 1;
    } else if (parser.isSet("stop-at-mib")) {
        status =
            DownloadAndStop(parser.value("url"), parser.value("partial"), parser.value("stop-at-mib").toLongLong());
    } else {
        status = Download(parser.value("url"), parser.value("partial"), parser.value("target"),
                          parser.value("max-connections").toInt());
    }
    Print("peak_rss_mib", ReadPeakResidentKiB() / 1024.0);
    return status;
}
