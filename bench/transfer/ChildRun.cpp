#include "ChildRun.h"

#include "LoopProbe.h"
#include "ProcessFigures.h"
#include "RawGet.h"

#include "DC.h"
#include "FileReplacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

struct ChildOutcome {
    qint64 DownloadNs = -1;
    qint64 PeakAtDeliveryKiB = -1;
    CpuUsage AtDelivery;
    int Arrivals = 0;
    qint64 BodyBytes = 0;
    QByteArray Body;
    QString Error;
};

// One write() of a whole 1 GiB body costs 4 to 10 times the processor time of the same bytes in 1 MiB pieces
// on the benchmark machine; pieces are also what lets a save flow return to the event loop between them.
bool WriteInPieces(QFileDevice &file, const QByteArray &body, qint64 pieceBytes)
{
    const qint64 piece = pieceBytes > 0 ? pieceBytes : body.size();
    for (qint64 offset = 0; offset < body.size(); offset += piece) {
        const qint64 size = std::min(piece, body.size() - offset);
        if (file.write(body.constData() + offset, size) != size)
            return false;
    }
    return true;
}

// What the save flow does with a finished download: the program's own file replacement writes a temporary
// file in the target folder in pieces, syncs it and only then puts it under its name, so a crash or a full disk
// never leaves a half-written video under the chosen name.
qint64 SaveBodyAtomically(const QByteArray &body, const QString &path, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    if (!ReplaceFileContent(path, body, DefaultNewFileMode(), error))
        return -1;
    return clock.nsecsElapsed();
}

// The same without the sync: a temporary file and a rename. curl -o does not sync either, so this is the write
// to hold against it; the save flow's write is compared with curl followed by a sync of curl's file.
qint64 SaveBodyWithoutSync(const QByteArray &body, const QString &path, qint64 pieceBytes, QString *error)
{
    QElapsedTimer clock;
    clock.start();
    QFile file(path + QStringLiteral(".part"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = file.errorString();
        return -1;
    }
    if (!WriteInPieces(file, body, pieceBytes)) {
        *error = file.errorString();
        file.remove();
        return -1;
    }
    file.close();
    if (std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0) {
        *error = QStringLiteral("cannot rename ") + file.fileName();
        return -1;
    }
    return clock.nsecsElapsed();
}

// "raw-readall", "raw-discard", "raw-stream", or "raw-direct" with any of "-cap" (1 MiB read per arrival) and "-huge"
// (huge pages).
std::optional<RawGet::Options> ParseRawClient(const QString &client)
{
    RawGet::Options options;
    if (client == QLatin1String("raw-readall")) {
        options.Mode = RawGet::Reading::ReadAllAppend;
        return options;
    }
    if (client == QLatin1String("raw-discard") || client == QLatin1String("raw-stream")) {
        options.Mode = client == QLatin1String("raw-stream") ? RawGet::Reading::StreamToFile : RawGet::Reading::Discard;
        options.ReadBufferSize = 1024 * 1024;
        return options;
    }
    if (!client.startsWith(QLatin1String("raw-direct")))
        return std::nullopt;
    const QStringList parts = client.mid(10).split(QLatin1Char('-'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("cap"))
            options.ReadBufferSize = 1024 * 1024;
        else if (part == QLatin1String("huge"))
            options.HugePages = true;
        else
            return std::nullopt;
    }
    return options;
}

// Connects the client's end signals, runs the event loop until one of them, and times the whole transfer.
template <typename Client, typename OkSignal, typename ErrorSignal, typename StartTransfer>
void RunClient(Client *client, OkSignal ok, ErrorSignal failed, StartTransfer start, ChildOutcome *outcome)
{
    LoopProbe probe;
    QElapsedTimer clock;
    QObject::connect(client, ok, client, [&](const QByteArray &body) {
        outcome->DownloadNs = clock.nsecsElapsed();
        probe.Stop();
        outcome->AtDelivery = ReadOwnCpuUsage();
        // A shared reference, not a copy: the same bytes the client handed over.
        outcome->Body = body;
        outcome->PeakAtDeliveryKiB = ReadPeakResidentKiB();
        QCoreApplication::quit();
    });
    QObject::connect(client, failed, client, [&](const QString &text) {
        outcome->DownloadNs = clock.nsecsElapsed();
        probe.Stop();
        outcome->Error = text;
        QCoreApplication::quit();
    });
    probe.Start();
    clock.start();
    start();
    QCoreApplication::exec();
    std::fputs(QStringLiteral("largest_gap_ns=%1\nlargest_busy_ns=%2\nticks=%3\nlongest_gaps=%4\n")
                   .arg(probe.LargestGapNs())
                   .arg(probe.LargestBusyNs())
                   .arg(probe.Ticks())
                   .arg(probe.LongestGaps())
                   .toUtf8()
                   .constData(),
               stdout);
}

}  // namespace

int RunTransferChild(const QString &client, const QUrl &url, const QString &targetDir, Saving saving, qint64 pieceBytes)
{
    ChildOutcome outcome;
    const qint64 residentBefore = ReadResidentKiB();
    const CpuUsage atStart = ReadOwnCpuUsage();

    if (client == QLatin1String("dc")) {
        DC dc;
        // Every arrival raises one progress event: counting them gives the size of a read.
        QObject::connect(&dc, &DC::PercentOfLoad, &dc, [&outcome](int) { ++outcome.Arrivals; });
        dc.setURLmode(true);
        RunClient(
            &dc, &DC::DownOK, &DC::DownError, [&] { dc.setURL(url.toString()); }, &outcome);
        outcome.BodyBytes = outcome.Body.size();
    } else if (std::optional<RawGet::Options> options = ParseRawClient(client)) {
        options->StreamPath = QDir(targetDir).filePath(QStringLiteral("saved-%1.flv").arg(client));
        RawGet raw(*options);
        RunClient(
            &raw, &RawGet::Finished, &RawGet::Failed, [&] { raw.Start(url); }, &outcome);
        outcome.Arrivals = raw.Arrivals();
        outcome.BodyBytes = raw.BodyBytes();
    } else {
        outcome.Error = QStringLiteral("unknown client ") + client;
    }

    qint64 writeNs = -1;
    if (outcome.Error.isEmpty() && saving != Saving::None) {
        const QString path = QDir(targetDir).filePath(QStringLiteral("saved-%1.flv").arg(client));
        writeNs = saving == Saving::Atomically ? SaveBodyAtomically(outcome.Body, path, &outcome.Error)
                                               : SaveBodyWithoutSync(outcome.Body, path, pieceBytes, &outcome.Error);
    }

    const CpuUsage download = outcome.AtDelivery - atStart;
    const CpuUsage write = ReadOwnCpuUsage() - outcome.AtDelivery;

    QString report;
    QTextStream out(&report);
    out << "download_ns=" << outcome.DownloadNs << '\n'
        << "write_ns=" << writeNs << '\n'
        << "body_bytes=" << outcome.BodyBytes << '\n'
        << "arrivals=" << outcome.Arrivals << '\n'
        << "resident_before_kib=" << residentBefore << '\n'
        << "peak_at_delivery_kib=" << outcome.PeakAtDeliveryKiB << '\n'
        << "peak_kib=" << ReadPeakResidentKiB() << '\n'
        << "download_user_ns=" << download.UserNs << '\n'
        << "download_system_ns=" << download.SystemNs << '\n'
        << "download_faults=" << download.MinorFaults << '\n'
        << "write_user_ns=" << write.UserNs << '\n'
        << "write_system_ns=" << write.SystemNs << '\n'
        << "write_faults=" << write.MinorFaults << '\n';
    if (!outcome.Error.isEmpty())
        out << "error=" << outcome.Error << '\n';
    out.flush();
    std::fputs(report.toUtf8().constData(), stdout);
    return outcome.Error.isEmpty() ? 0 : 1;
}
