// The HTTPS benchmark: DC against curl, both over TLS from the same nginx on 127.0.0.1.
//   quillon_https_bench --body FILE [--runs N] [--target-dir DIR]
// run.sh beside this file writes the body and starts it. nginx and its certificates (a test authority
// that both clients are told to trust) come from the test fixture NginxTls.
#include "BenchOutput.h"
#include "DC.h"
#include "NginxTls.h"
#include "ProcessFigures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr double kBytesPerMB = 1e6;
constexpr double kRatioTarget = 0.8;

// Writes of one step still on their way to the disk would be charged to the next, and this virtual machine
// hands freed memory back to its host after about two seconds: every step starts from the same state.
void Settle()
{
    ::sync();
    QThread::msleep(3000);
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Setup {
    QString url;
    QString authorityFile;
    QString body;
    qint64 bodySize = 0;
    QString targetDir;
};

// curl's own total, from the start of its connection to the last byte: the span DC is timed over.
double RunCurl(const Setup &setup, const QString &output, QString *cipher)
{
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {QStringLiteral("--silent"), QStringLiteral("--show-error"), QStringLiteral("-v"),
                QStringLiteral("--http1.0"), QStringLiteral("--cacert"), setup.authorityFile,
                QStringLiteral("--output"), output, QStringLiteral("--write-out"),
                QStringLiteral("%{time_total} %{size_download}"), setup.url});
    if (!curl.waitForFinished(-1) || curl.exitCode() != 0) {
        Print(QStringLiteral("curl failed: ") + QString::fromUtf8(curl.readAllStandardError()).trimmed());
        return -1;
    }
    for (const QByteArray &line : curl.readAllStandardError().split('\n')) {
        if (line.contains("SSL connection using"))
            *cipher = QString::fromLatin1(line.mid(line.indexOf("using") + 6).trimmed());
    }
    const QStringList fields = QString::fromLatin1(curl.readAllStandardOutput()).split(u' ');
    if (fields.value(1).toLongLong() != setup.bodySize) {
        Print(QStringLiteral("curl received %1 bytes").arg(fields.value(1)));
        return -1;
    }
    return fields.value(0).toDouble();
}

struct DCRun {
    double seconds = -1;
    double writeSeconds = 0;
    double largestGapMs = 0;
};

// One download as the program does it: setURL, then DownOK with the body in memory; then, when asked,
// the body written to a file in one write, without a sync (the save flow writes 1 MiB pieces and syncs).
DCRun RunDC(const Setup &setup, const QList<QSslCertificate> &authority, const QString &saveAs)
{
    DCRun run;
    DC dc;
    dc.setExtraCaCertificates(authority);
    QByteArray body;
    QString error;
    QEventLoop loop;
    QObject::connect(&dc, &DC::DownOK, &loop, [&](const QByteArray &data) {
        body = data;
        loop.quit();
    });
    QObject::connect(&dc, &DC::DownError, &loop, [&](const QString &text) {
        error = text;
        loop.quit();
    });
    // A 10 ms timer on the same thread: its largest gap shows how long the loop was kept from it.
    QElapsedTimer sinceTick;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        run.largestGapMs = std::max(run.largestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start(10);
    dc.setURLmode(true);
    dc.setURL(setup.url);
    loop.exec();
    run.seconds = clock.nsecsElapsed() / 1e9;
    ticker.stop();
    run.largestGapMs = std::max(run.largestGapMs, sinceTick.nsecsElapsed() / 1e6);
    if (!error.isEmpty() || body.size() != setup.bodySize) {
        Print(QStringLiteral("DC failed: %1 (%2 bytes)").arg(error).arg(body.size()));
        run.seconds = -1;
        return run;
    }
    if (!saveAs.isEmpty()) {
        QElapsedTimer writing;
        writing.start();
        QFile file(saveAs);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(body) != body.size()) {
            Print(QStringLiteral("cannot write ") + saveAs);
            run.seconds = -1;
            return run;
        }
        file.close();
        run.writeSeconds = writing.nsecsElapsed() / 1e9;
    }
    return run;
}

bool SameBytes(const QString &a, const QString &b)
{
    return QProcess::execute(QStringLiteral("cmp"), {QStringLiteral("-s"), a, b}) == 0;
}

QString Throughput(double seconds, qint64 bytes)
{
    return QStringLiteral("%1 s (%2 MB/s)").arg(seconds, 0, 'f', 3).arg(bytes / kBytesPerMB / seconds, 0, 'f', 0);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption bodyOption(QStringLiteral("body"), QStringLiteral("The file to serve."),
                                        QStringLiteral("file"));
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs of each step."),
                                        QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption targetOption(QStringLiteral("target-dir"), QStringLiteral("Folder for the saved copies."),
                                          QStringLiteral("dir"));
    parser.addOptions({bodyOption, runsOption, targetOption});
    parser.process(application);
    if (!parser.isSet(bodyOption))
        parser.showHelp(2);

    Setup setup;
    const QFileInfo body(parser.value(bodyOption));
    setup.body = body.absoluteFilePath();
    setup.bodySize = body.size();
    setup.targetDir = parser.isSet(targetOption) ? parser.value(targetOption) : body.absolutePath();
    const int runs = std::max(1, parser.value(runsOption).toInt());

    NginxTls nginx;
    if (!nginx.Start(body.absolutePath())) {
        Print(QStringLiteral("nginx: ") + nginx.Error());
        return 1;
    }
    setup.url = QStringLiteral("https://%1/%2").arg(nginx.HostAndPort(NginxTls::Site::Secure), body.fileName());
    setup.authorityFile = QDir(setup.targetDir).filePath(QStringLiteral("authority.pem"));
    QFile authorityFile(setup.authorityFile);
    if (!authorityFile.open(QIODevice::WriteOnly) || nginx.Authority().isEmpty()
        || authorityFile.write(nginx.Authority().constFirst().toPem()) < 0) {
        Print(QStringLiteral("cannot write the authority's certificate"));
        return 1;
    }
    authorityFile.close();

    Print(QStringLiteral("HTTPS benchmark: %1 bytes from %2, %3 runs; load average before: %4")
              .arg(setup.bodySize)
              .arg(setup.url)
              .arg(runs)
              .arg(LoadAverage()));
    const QString curlCopy = QDir(setup.targetDir).filePath(QStringLiteral("curl.copy"));
    const QString dcCopy = QDir(setup.targetDir).filePath(QStringLiteral("dc.copy"));
    QString cipher;
    // The first read brings the body into the page cache, so every timed run reads it from memory.
    if (RunCurl(setup, QStringLiteral("/dev/null"), &cipher) < 0)
        return 1;

    QList<double> curlMemory, dcMemory, dcWarm, curlFile, dcFile, gaps;
    for (int run = 1; run <= runs; ++run) {
        Settle();
        const double curlNull = RunCurl(setup, QStringLiteral("/dev/null"), &cipher);
        Settle();
        const DCRun inMemory = RunDC(setup, nginx.Authority(), QString());
        // At once again: the memory the first run just gave back is still backed by the host.
        const DCRun warm = RunDC(setup, nginx.Authority(), QString());
        Settle();
        const double curlSaved = RunCurl(setup, curlCopy, &cipher);
        Settle();
        const DCRun saved = RunDC(setup, nginx.Authority(), dcCopy);
        if (curlNull < 0 || inMemory.seconds < 0 || warm.seconds < 0 || curlSaved < 0 || saved.seconds < 0)
            return 1;
        if (!SameBytes(setup.body, curlCopy) || !SameBytes(setup.body, dcCopy)) {
            Print(QStringLiteral("a saved copy differs from the served body"));
            return 1;
        }
        QFile::remove(curlCopy);
        QFile::remove(dcCopy);
        curlMemory << curlNull;
        dcMemory << inMemory.seconds << saved.seconds;
        dcWarm << warm.seconds;
        curlFile << curlSaved;
        dcFile << saved.seconds + saved.writeSeconds;
        gaps << inMemory.largestGapMs << warm.largestGapMs << saved.largestGapMs;
        Print(QStringLiteral("run %1: curl -o /dev/null %2 s, DC %3 s, DC warm %9 s; curl -o FILE %4 s, "
                             "DC + write %5 s (%6 + %7); load %8")
                  .arg(run)
                  .arg(curlNull, 0, 'f', 3)
                  .arg(inMemory.seconds, 0, 'f', 3)
                  .arg(curlSaved, 0, 'f', 3)
                  .arg(saved.seconds + saved.writeSeconds, 0, 'f', 3)
                  .arg(saved.seconds, 0, 'f', 3)
                  .arg(saved.writeSeconds, 0, 'f', 3)
                  .arg(LoadAverage())
                  .arg(warm.seconds, 0, 'f', 3));
    }
    const double memoryRatio = Median(curlMemory) / Median(dcMemory);
    const double warmRatio = Median(curlMemory) / Median(dcWarm);
    const double fileRatio = Median(curlFile) / Median(dcFile);
    Print(QStringLiteral("TLS: %1").arg(cipher));
    Print(QStringLiteral("median curl -o /dev/null: ") + Throughput(Median(curlMemory), setup.bodySize));
    Print(QStringLiteral("median DC in memory:      ") + Throughput(Median(dcMemory), setup.bodySize));
    Print(QStringLiteral("median DC in memory warm: ") + Throughput(Median(dcWarm), setup.bodySize));
    Print(QStringLiteral("median curl -o FILE:      ") + Throughput(Median(curlFile), setup.bodySize));
    Print(QStringLiteral("median DC + write:        ") + Throughput(Median(dcFile), setup.bodySize));
    Print(QStringLiteral("DC in memory / curl -o /dev/null: %1 (at least %2: %3)")
              .arg(memoryRatio, 0, 'f', 2)
              .arg(kRatioTarget)
              .arg(memoryRatio >= kRatioTarget ? QStringLiteral("met") : QStringLiteral("NOT met")));
    Print(QStringLiteral("DC in memory warm / curl -o /dev/null: %1").arg(warmRatio, 0, 'f', 2));
    Print(QStringLiteral("DC + write / curl -o FILE:        %1 (at least %2: %3)")
              .arg(fileRatio, 0, 'f', 2)
              .arg(kRatioTarget)
              .arg(fileRatio >= kRatioTarget ? QStringLiteral("met") : QStringLiteral("NOT met")));
    Print(QStringLiteral("largest gap of a 10 ms timer during DC: %1 ms; peak resident memory: %2")
              .arg(*std::max_element(gaps.begin(), gaps.end()), 0, 'f', 1)
              .arg(QString::number(ReadPeakResidentKiB()) + QStringLiteral(" kB")));
    Print(QStringLiteral("load average after: ") + LoadAverage());
    QFile::remove(setup.authorityFile);
    return 0;
}
