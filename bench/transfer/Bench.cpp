#include "Bench.h"

#include "BenchOutput.h"
#include "ProcessFigures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <unistd.h>

namespace {

using Figures = QMap<QString, QString>;

constexpr double kBytesPerMB = 1e6;
constexpr double kRatioTarget = 0.9;
constexpr double kGapLimitMs = 50.0;

// Writes of the previous step still on their way to the disk would be charged to the next one. The pause
// also lets a virtual machine hand memory freed by the previous step back to its host (free page reporting
// waits about two seconds): then every step starts from the same state, paying for first touches of memory,
// instead of some steps reusing pages still warm from the step before.
void Settle()
{
    ::sync();
    QThread::msleep(3000);
}

Figures ParseFigures(const QByteArray &output)
{
    Figures figures;
    for (const QByteArray &line : output.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            figures.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return figures;
}

bool SameBytes(const QString &a, const QString &b)
{
    return QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), a, b}) == 0;
}

// curl's own total time runs from the start of its request to the last byte, the same span DC is timed over.
double RunCurl(const BenchOptions &options, const QString &output, QString *error, CpuUsage *cpu)
{
    const CpuUsage before = ReadChildrenCpuUsage();
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("--http1.0"),
                QStringLiteral("--output"), output, QStringLiteral("--write-out"),
                QStringLiteral("%{time_total} %{size_download}"), options.Url.toString()});
    const bool finished = curl.waitForFinished(-1);
    *cpu = ReadChildrenCpuUsage() - before;
    if (!finished || curl.exitCode() != 0) {
        *error = QStringLiteral("curl: ") + QString::fromUtf8(curl.readAllStandardError()).trimmed();
        return -1;
    }
    const QStringList fields = QString::fromLatin1(curl.readAllStandardOutput()).split(QLatin1Char(' '));
    if (fields.value(1).toLongLong() != QFileInfo(options.Source).size()) {
        *error = QStringLiteral("curl received %1 bytes").arg(fields.value(1));
        return -1;
    }
    return fields.value(0).toDouble();
}

// What it costs to make curl's file as durable as the save flow makes its own.
double SyncFile(const QString &path, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || ::fdatasync(file.handle()) != 0) {
        *error = QStringLiteral("cannot sync ") + path;
        return -1;
    }
    return clock.nsecsElapsed() / 1e9;
}

// save: "atomic", "plain" or "none", as the child takes it.
Figures RunChild(const BenchOptions &options, const QString &client, const QString &save, QString *error)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), client, QStringLiteral("--url"), options.Url.toString(),
                 QStringLiteral("--target-dir"), options.TargetDir, QStringLiteral("--save"), save,
                 QStringLiteral("--write-piece"), options.WritePiece});
    child.waitForFinished(-1);
    Figures figures = ParseFigures(child.readAllStandardOutput());
    const QString saved = QDir(options.TargetDir).filePath(QStringLiteral("saved-%1.flv").arg(client));
    if (child.exitStatus() != QProcess::NormalExit)
        *error = QStringLiteral("%1 crashed").arg(client);
    else if (figures.contains(QStringLiteral("error")))
        *error = client + QStringLiteral(": ") + figures.value(QStringLiteral("error"));
    else if (figures.value(QStringLiteral("body_bytes")).toLongLong() != QFileInfo(options.Source).size())
        *error = client + QStringLiteral(": the body has %1 bytes").arg(figures.value(QStringLiteral("body_bytes")));
    else if ((save != QLatin1String("none") || QFile::exists(saved)) && !SameBytes(saved, options.Source))
        *error = client + QStringLiteral(": the saved file differs from the served one");
    QFile::remove(saved);
    return figures;
}

double Median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Seconds(const Figures &figures, const QString &name)
{
    return figures.value(name).toDouble() / 1e9;
}

struct Series {
    QString Name;
    QList<double> SecondsPerRun;
};

// Processor time of the client alone (nginx's is the same for all), and its page faults.
struct CpuSeries {
    QString Name;
    QList<double> Seconds;
    QList<double> Faults;

    void Add(const CpuUsage &usage)
    {
        Seconds << (usage.UserNs + usage.SystemNs) / 1e9;
        Faults << double(usage.MinorFaults);
    }
    void Add(const Figures &figures, bool withWrite)
    {
        CpuUsage usage{figures.value(QStringLiteral("download_user_ns")).toLongLong(),
                       figures.value(QStringLiteral("download_system_ns")).toLongLong(),
                       figures.value(QStringLiteral("download_faults")).toLongLong()};
        if (withWrite) {
            usage.UserNs += figures.value(QStringLiteral("write_user_ns")).toLongLong();
            usage.SystemNs += figures.value(QStringLiteral("write_system_ns")).toLongLong();
            usage.MinorFaults += figures.value(QStringLiteral("write_faults")).toLongLong();
        }
        Add(usage);
    }
};

QString FormatRow(const Series &series, double bytes)
{
    QString row = series.Name.leftJustified(44);
    for (double seconds : series.SecondsPerRun)
        row += QStringLiteral("%1").arg(seconds, 7, 'f', 3);
    const double median = Median(series.SecondsPerRun);
    row += QStringLiteral("  | %1 s %2 MB/s").arg(median, 6, 'f', 3).arg(bytes / median / kBytesPerMB, 6, 'f', 0);
    return row;
}

QString FormatCpuRow(const CpuSeries &series)
{
    return QStringLiteral("%1 %2 s  %3 faults")
        .arg(series.Name.leftJustified(44))
        .arg(Median(series.Seconds), 6, 'f', 3)
        .arg(Median(series.Faults), 8, 'f', 0);
}

QString FormatRatio(const QString &name, const Series &ours, const Series &theirs, bool targeted)
{
    const double ratio = Median(theirs.SecondsPerRun) / Median(ours.SecondsPerRun);
    QString text = QStringLiteral("%1 %2").arg(name.leftJustified(52)).arg(ratio, 0, 'f', 2);
    if (targeted)
        text += QStringLiteral("  (at least %1: %2)")
                    .arg(kRatioTarget, 0, 'f', 2)
                    .arg(ratio >= kRatioTarget ? QStringLiteral("met") : QStringLiteral("MISSED"));
    return text;
}

}  // namespace

int RunBench(const BenchOptions &options)
{
    const double bytes = double(QFileInfo(options.Source).size());
    Print(QStringLiteral("Body %1 bytes from %2, saved to %3 in pieces of %4 bytes (0: one write), %5 runs")
              .arg(qint64(bytes))
              .arg(options.Url.toString(), options.TargetDir, options.WritePiece)
              .arg(options.Runs));
    Print(QStringLiteral("Load average before: ") + LoadAverage());
    // Two processes (the server and the client) already fill a two-core machine.
    if (LoadAverage().section(QLatin1Char(' '), 0, 0).toDouble() > 1.0)
        Print(QStringLiteral(
            "The machine is busy: the figures will be noisy and gaps longer than the work behind them."));

    const QString who = options.Subject == QLatin1String("dc") ? QStringLiteral("DC") : options.Subject;
    Series curlNull{QStringLiteral("curl -o /dev/null"), {}};
    // Both children of a run: the download is the same whatever is done with the body afterwards.
    Series inMemory{who + QStringLiteral(" in memory"), {}};
    Series curlFile{QStringLiteral("curl -o FILE"), {}};
    Series curlSynced{QStringLiteral("curl -o FILE, then fdatasync"), {}};
    Series plainWrite{who + QStringLiteral(" + write, rename (no sync)"), {}};
    Series savedWrite{who + QStringLiteral(" + save flow (pieces, sync, rename)"), {}};
    CpuSeries curlNullCpu{curlNull.Name, {}, {}};
    CpuSeries inMemoryCpu{inMemory.Name, {}, {}};
    CpuSeries curlFileCpu{curlFile.Name, {}, {}};
    CpuSeries plainWriteCpu{plainWrite.Name, {}, {}};
    CpuSeries savedWriteCpu{savedWrite.Name, {}, {}};
    QMap<QString, Series> references;
    QMap<QString, CpuSeries> referencesCpu;
    QList<double> peaksMiB, gapsMs, busyMs, arrivalSizes;
    const QString curlOutput = QDir(options.TargetDir).filePath(QStringLiteral("curl.flv"));

    for (int run = 1; run <= options.Runs; ++run) {
        QString error;

        double curlSeconds = -1;
        double syncSeconds = -1;
        double curlNullSeconds = -1;
        Figures atomic, plain;
        CpuUsage curlFileUsage, curlNullUsage;
        // Each step in a process of its own, after a pause. What a step leaves behind (a synced file just
        // deleted, whose blocks the disk is still discarding; pages just freed) weighs on the next one, so
        // every other run takes the steps in the opposite order.
        const std::function<void()> steps[] = {
            [&] {
                curlSeconds = RunCurl(options, curlOutput, &error, &curlFileUsage);
                if (error.isEmpty())
                    syncSeconds = SyncFile(curlOutput, &error);
                if (error.isEmpty() && !SameBytes(curlOutput, options.Source))
                    error = QStringLiteral("curl's file differs from the served one");
                QFile::remove(curlOutput);
            },
            [&] { atomic = RunChild(options, options.Subject, QStringLiteral("atomic"), &error); },
            [&] { plain = RunChild(options, options.Subject, QStringLiteral("plain"), &error); },
            [&] { curlNullSeconds = RunCurl(options, QStringLiteral("/dev/null"), &error, &curlNullUsage); },
        };
        const qsizetype stepCount = std::size(steps);
        for (qsizetype i = 0; i < stepCount && error.isEmpty(); ++i) {
            Settle();
            steps[run % 2 ? i : stepCount - 1 - i]();
        }
        if (!error.isEmpty()) {
            Print(QStringLiteral("Run %1 failed: %2").arg(run).arg(error));
            return 1;
        }

        curlFileCpu.Add(curlFileUsage);
        curlNullCpu.Add(curlNullUsage);
        savedWriteCpu.Add(atomic, true);
        plainWriteCpu.Add(plain, true);
        curlFile.SecondsPerRun << curlSeconds;
        curlSynced.SecondsPerRun << curlSeconds + syncSeconds;
        curlNull.SecondsPerRun << curlNullSeconds;
        savedWrite.SecondsPerRun << Seconds(atomic, QStringLiteral("download_ns"))
                + Seconds(atomic, QStringLiteral("write_ns"));
        plainWrite.SecondsPerRun << Seconds(plain, QStringLiteral("download_ns"))
                + Seconds(plain, QStringLiteral("write_ns"));
        Print(QStringLiteral("Run %1: curl -o FILE %2 s + fdatasync %3 s, curl -o /dev/null %4 s; load %5")
                  .arg(run)
                  .arg(curlSeconds, 0, 'f', 3)
                  .arg(syncSeconds, 0, 'f', 3)
                  .arg(curlNullSeconds, 0, 'f', 3)
                  .arg(LoadAverage()));
        for (const Figures *ours : {&atomic, &plain}) {
            inMemory.SecondsPerRun << Seconds(*ours, QStringLiteral("download_ns"));
            inMemoryCpu.Add(*ours, false);
            peaksMiB << ours->value(QStringLiteral("peak_kib")).toDouble() / 1024;
            gapsMs << ours->value(QStringLiteral("largest_gap_ns")).toDouble() / 1e6;
            busyMs << ours->value(QStringLiteral("largest_busy_ns")).toDouble() / 1e6;
            arrivalSizes << bytes / std::max(1.0, ours->value(QStringLiteral("arrivals")).toDouble());
            Print(QStringLiteral("       %1 %2 s, %3 %4 s; peak %5 MiB (%6 MiB at delivery), %7 arrivals, "
                                 "longest gaps %8")
                      .arg(who)
                      .arg(inMemory.SecondsPerRun.last(), 0, 'f', 3)
                      .arg(ours == &atomic ? QStringLiteral("the save flow") : QStringLiteral("write, rename"))
                      .arg(Seconds(*ours, QStringLiteral("write_ns")), 0, 'f', 3)
                      .arg(peaksMiB.last(), 0, 'f', 1)
                      .arg(ours->value(QStringLiteral("peak_at_delivery_kib")).toDouble() / 1024, 0, 'f', 1)
                      .arg(ours->value(QStringLiteral("arrivals")))
                      .arg(ours->value(QStringLiteral("longest_gaps"))));
        }

        for (const QString &client : options.References) {
            Settle();
            const Figures raw = RunChild(options, client, QStringLiteral("none"), &error);
            if (!error.isEmpty()) {
                Print(QStringLiteral("Reference %1 failed: %2").arg(client, error));
                return 1;
            }
            Series &series = references[client];
            const bool streams = client == QLatin1String("raw-stream");
            series.Name = QStringLiteral("reference %1 %2")
                              .arg(client, streams ? QStringLiteral("to file") : QStringLiteral("in memory"));
            series.SecondsPerRun << Seconds(raw, QStringLiteral("download_ns"));
            CpuSeries &cpu = referencesCpu[client];
            cpu.Name = series.Name;
            cpu.Add(raw, false);
            Print(QStringLiteral("       reference %1 %2 s, peak %3 MiB, %4 arrivals, longest gaps %5")
                      .arg(client)
                      .arg(series.SecondsPerRun.last(), 0, 'f', 3)
                      .arg(raw.value(QStringLiteral("peak_kib")).toDouble() / 1024, 0, 'f', 1)
                      .arg(raw.value(QStringLiteral("arrivals")))
                      .arg(raw.value(QStringLiteral("longest_gaps"))));
        }
    }

    const double peakLimitMiB = bytes * 1.1 / (1024 * 1024) + 64;
    const double worstPeak = *std::max_element(peaksMiB.begin(), peaksMiB.end());
    const double worstGap = *std::max_element(gapsMs.begin(), gapsMs.end());
    const double worstBusy = *std::max_element(busyMs.begin(), busyMs.end());
    const auto verdict = [](bool met) { return met ? QStringLiteral("met") : QStringLiteral("MISSED"); };

    Print(QString());
    Print(QStringLiteral("Seconds per run, then median and throughput (1 MB = 10^6 bytes)"));
    for (const Series *series : {&curlNull, &inMemory})
        Print(FormatRow(*series, bytes));
    for (const Series &series : references)
        Print(FormatRow(series, bytes));
    for (const Series *series : {&curlFile, &plainWrite, &curlSynced, &savedWrite})
        Print(FormatRow(*series, bytes));
    Print(QString());
    Print(QStringLiteral("Processor time of the client (user + system) and its minor page faults, medians"));
    for (const CpuSeries *series : {&curlNullCpu, &inMemoryCpu})
        Print(FormatCpuRow(*series));
    for (const CpuSeries &series : referencesCpu)
        Print(FormatCpuRow(series));
    for (const CpuSeries *series : {&curlFileCpu, &plainWriteCpu, &savedWriteCpu})
        Print(FormatCpuRow(*series));
    Print(QString());
    Print(FormatRatio(who + QStringLiteral(" in memory / curl -o /dev/null"), inMemory, curlNull, false));
    Print(FormatRatio(who + QStringLiteral(" + write, rename / curl -o FILE"), plainWrite, curlFile, true));
    Print(
        FormatRatio(who + QStringLiteral(" + save flow / curl -o FILE, then fdatasync"), savedWrite, curlSynced, true));
    Print(FormatRatio(who + QStringLiteral(" + save flow / curl -o FILE"), savedWrite, curlFile, true));
    if (references.contains(QStringLiteral("raw-stream")))
        Print(FormatRatio(QStringLiteral("reference raw-stream to file / curl -o FILE"),
                          references.value(QStringLiteral("raw-stream")), curlFile, false));
    Print(QStringLiteral("Peak resident memory: %1 MiB, worst run (at most %2 MiB: %3)")
              .arg(worstPeak, 0, 'f', 1)
              .arg(peakLimitMiB, 0, 'f', 1)
              .arg(verdict(worstPeak <= peakLimitMiB)));
    Print(QStringLiteral("Largest gap of a 10 ms timer: %1 ms, worst run (at most %2 ms: %3); "
                         "most CPU time of the loop between two ticks %4 ms")
              .arg(worstGap, 0, 'f', 1)
              .arg(kGapLimitMs, 0, 'f', 0)
              .arg(verdict(worstGap <= kGapLimitMs))
              .arg(worstBusy, 0, 'f', 1));
    Print(QStringLiteral("Bytes per arrival, median: %1").arg(Median(arrivalSizes), 0, 'f', 0));
    Print(QStringLiteral("Load average after: ") + LoadAverage());
    return 0;
}
