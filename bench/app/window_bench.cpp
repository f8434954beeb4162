// The whole main window, offscreen, downloading one large video from a loopback nginx, against curl in the
// same run: download throughput and how often the progress labels and bar were painted while data arrived.
//   quillon_window_bench [--mib N] [--runs N] [--dir FOLDER]
#include "DC.h"
#include "Main.h"
#include "Nginx.h"
#include "PaintClock.h"
#include "PictureBox.h"
#include "ResolutionAnswer.h"
#include "ScriptedDialogs.h"
#include "ScriptedServer.h"
#include "XpB.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

struct WindowRun {
    double downloadSeconds = 0;
    double saveSeconds = 0;
    double worstBarGapMs = 0;
    double worstPercentGapMs = 0;
    double barPaintsPerSecond = 0;
    bool same = false;
};

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// The longest wait between paints inside [from, to], the edges counting as paints.
double WorstGapMs(const QList<qint64> &paints, qint64 from, qint64 to)
{
    qint64 previous = from;
    qint64 worst = 0;
    for (qint64 at : paints) {
        if (at < from || at > to)
            continue;
        worst = std::max(worst, at - previous);
        previous = at;
    }
    return std::max(worst, to - previous) / 1e6;
}

bool WriteVideo(const QString &path, int mib)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < mib; ++i) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        if (i == 0)
            block.replace(0, 3, "FLV");
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

// curl into target: /dev/null streams through a small buffer; a file puts the whole video into fresh memory
// (the page cache), as the window does with its buffer.
double CurlSeconds(const QString &url, const QString &target = QStringLiteral("/dev/null"))
{
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("--http1.0"), QStringLiteral("-s"), QStringLiteral("-o"), target, QStringLiteral("-w"),
                QStringLiteral("%{time_total}"), url});
    curl.waitForFinished(-1);
    if (target != QLatin1String("/dev/null"))
        QFile::remove(target);
    return curl.readAllStandardOutput().trimmed().toDouble();
}

// The transfer control alone, in this same process: what the window adds is the difference.
double BareTransferSeconds(const QString &url)
{
    DC dc;
    bool done = false;
    QElapsedTimer clock;
    QObject::connect(&dc, &DC::DownOK, [&] { done = true; });
    QObject::connect(&dc, &DC::DownError, [&] { done = true; });
    clock.start();
    dc.setURLmode(true);
    dc.setURL(url);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    return clock.nsecsElapsed() / 1e9;
}

bool SameFiles(const QString &a, const QString &b)
{
    return QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), a, b}) == 0;
}

WindowRun RunWindow(const QString &work, const QString &videoUrl, const QString &source)
{
    WindowRun result;
    QTemporaryDir program(work + QStringLiteral("/program-XXXXXX"));
    ScriptedServer resolver;
    resolver.Listen();
    {
        QFile options(program.filePath(QStringLiteral("options.ini")));
        options.open(QIODevice::WriteOnly);
        options.write("[Network]\nUseProxy=0\n[Hosts]\nResolver=" + resolver.HostAndPort().toLatin1() + "\n");
    }
    const QByteArray answer =
        "<p>" + ResolutionAnswer::Marker().toByteArray() + "</p><a href=\"" + videoUrl.toLatin1() + "\">v</a>";
    resolver.AddScript({ScriptedServer::Send("HTTP/1.0 200 OK\r\n\r\n" + answer), ScriptedServer::Close()});

    ScriptedDialogs dialogs;
    Main window(program.path(), dialogs);
    window.show();
    QElapsedTimer clock;
    clock.start();
    PaintClock bar(clock);
    PaintClock percent(clock);
    window.findChild<ProgressBar *>(QStringLiteral("ImagPr"))->installEventFilter(&bar);
    window.findChild<QLabel *>(QStringLiteral("PercLabel"))->installEventFilter(&percent);

    qint64 started = 0;
    qint64 arrived = 0;
    QObject::connect(&window.Flow().Transfer(), &DC::ServerLine, &window, [&] { started = clock.nsecsElapsed(); });
    const QString target = program.filePath(QStringLiteral("DownloadVideo/bench.flv"));
    dialogs.AnswerFileDialog(target, [&] { arrived = clock.nsecsElapsed(); });

    emit window.findChild<XpB *>(QStringLiteral("ZagButton"))->Click();
    window.findChild<QLineEdit *>(QStringLiteral("URLtext"))
        ->setText(QStringLiteral("http://videos.example/watch?v=bench"));
    emit window.findChild<XpB *>(QStringLiteral("DownButton"))->Click();
    auto *status = window.findChild<QLabel *>(QStringLiteral("Label1"));
    auto *down = window.findChild<XpB *>(QStringLiteral("DownButton"));
    while (!down->isVisible())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const qint64 saved = clock.nsecsElapsed();
    if (status->text() != QStringLiteral("Файл сохранен") || arrived == 0) {
        std::fprintf(stderr, "the run ended with: %s\n", qPrintable(status->text()));
        return result;
    }

    result.downloadSeconds = (arrived - started) / 1e9;
    result.saveSeconds = (saved - arrived) / 1e9;
    // Data arrives from the first answer bytes on; the first tenth of a second is the connection itself.
    result.worstBarGapMs = WorstGapMs(bar.paints, started + 100'000'000, arrived);
    result.worstPercentGapMs = WorstGapMs(percent.paints, started + 100'000'000, arrived);
    qsizetype inside =
        std::count_if(bar.paints.begin(), bar.paints.end(), [&](qint64 at) { return at >= started && at <= arrived; });
    result.barPaintsPerSecond = inside / std::max(result.downloadSeconds, 1e-9);
    result.same = SameFiles(target, source);
    return result;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int mib = 1024;
    int runs = 3;
    QString folder = QStringLiteral("/tmp");
    const QStringList args = application.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--mib"))
            mib = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--runs"))
            runs = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--dir"))
            folder = args[i + 1];
    }

    QTemporaryDir work(folder + QStringLiteral("/quillon-window-bench-XXXXXX"));
    const QString source = work.filePath(QStringLiteral("video.flv"));
    std::printf("Writing a %d MiB video...\n", mib);
    if (!WriteVideo(source, mib)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    Nginx nginx;
    if (!nginx.ServeFolder(work.path())) {
        std::fprintf(stderr, "%s\n", qPrintable(nginx.Error()));
        return 1;
    }
    const QString url = QStringLiteral("http://127.0.0.1:%1/video.flv").arg(nginx.Port());
    CurlSeconds(url);  // into the page cache

    QList<double> curl, curlFile, window, save, bare;
    double worstBar = 0, worstPercent = 0, slowestPaints = 1e9;
    bool allSame = true;
    std::printf("%-4s %10s %10s %10s %10s %12s %12s %10s %5s\n", "run", "curl s", "DC s", "window s", "save s",
                "bar gap ms", "perc gap ms", "bar fps", "same");
    for (int run = 1; run <= runs; ++run) {
        const double curlSeconds = CurlSeconds(url);
        curlFile.append(CurlSeconds(url, work.filePath(QStringLiteral("curl.flv"))));
        const double bareSeconds = BareTransferSeconds(url);
        const WindowRun w = RunWindow(work.path(), url, source);
        std::printf("%-4d %10.3f %10.3f %10.3f %10.3f %12.1f %12.1f %10.1f %5s\n", run, curlSeconds, bareSeconds,
                    w.downloadSeconds, w.saveSeconds, w.worstBarGapMs, w.worstPercentGapMs, w.barPaintsPerSecond,
                    w.same ? "yes" : "NO");
        curl.append(curlSeconds);
        bare.append(bareSeconds);
        window.append(w.downloadSeconds);
        save.append(w.saveSeconds);
        worstBar = std::max(worstBar, w.worstBarGapMs);
        worstPercent = std::max(worstPercent, w.worstPercentGapMs);
        slowestPaints = std::min(slowestPaints, w.barPaintsPerSecond);
        allSame = allSame && w.same;
    }
    const double bytes = double(mib) * 1024 * 1024;
    const double ratio = Median(curl) / std::max(Median(window), 1e-9);
    std::printf("\nmedian: curl %.3f s (%.0f MB/s), window %.3f s (%.0f MB/s), save %.3f s\n", Median(curl),
                bytes / Median(curl) / 1e6, Median(window), bytes / Median(window) / 1e6, Median(save));
    const double fileRatio = Median(curlFile) / std::max(Median(window), 1e-9);
    std::printf("throughput window/curl -o /dev/null: %.2f (at least 0.8: %s); the transfer control alone/curl: "
                "%.2f\n",
                ratio, ratio >= 0.8 ? "yes" : "NO", Median(curl) / std::max(Median(bare), 1e-9));
    std::printf("throughput window/curl -o FILE (%.3f s, both fill fresh memory): %.2f (at least 0.8: %s)\n",
                Median(curlFile), fileRatio, fileRatio >= 0.8 ? "yes" : "NO");
    std::printf("longest wait between paints while data arrived: bar %.1f ms, percentage %.1f ms (at most 100: %s)\n",
                worstBar, worstPercent, std::max(worstBar, worstPercent) <= 100 ? "yes" : "NO");
    std::printf("fewest bar paints per second in a run: %.1f; saved copies equal the served file: %s\n", slowestPaints,
                allSame ? "yes" : "NO");
    return allSame ? 0 : 1;
}
