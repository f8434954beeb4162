#include "Bench.h"
#include "ChildRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>

// quillon_transfer_bench --url URL --source FILE --target-dir DIR [--runs N] [--reference CLIENT]...
//                        [--write-piece BYTES]
//   compares DC with curl; run.sh beside this file sets up the server and the files.
// quillon_transfer_bench --child CLIENT --url URL --target-dir DIR [--save atomic|plain|none] [--write-piece BYTES]
//   one timed download in a fresh process (the parent starts these itself).
int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption url(QStringLiteral("url"), QStringLiteral("Address of the body."), QStringLiteral("url"));
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("The served file."),
                                    QStringLiteral("file"));
    const QCommandLineOption targetDir(QStringLiteral("target-dir"), QStringLiteral("Folder to save into."),
                                       QStringLiteral("dir"));
    const QCommandLineOption runs(QStringLiteral("runs"), QStringLiteral("Runs of each measure."), QStringLiteral("n"),
                                  QStringLiteral("5"));
    const QCommandLineOption subject(QStringLiteral("subject"),
                                     QStringLiteral("Client compared with curl: dc, raw-readall or raw-direct."),
                                     QStringLiteral("client"), QStringLiteral("dc"));
    const QCommandLineOption reference(QStringLiteral("reference"),
                                       QStringLiteral("Bare-socket client timed beside it: raw-readall or raw-direct."),
                                       QStringLiteral("client"));
    const QCommandLineOption child(QStringLiteral("child"), QStringLiteral("One download in this process."),
                                   QStringLiteral("client"));
    const QCommandLineOption save(QStringLiteral("save"),
                                  QStringLiteral("How the child saves the body: atomic, plain or none."),
                                  QStringLiteral("how"), QStringLiteral("atomic"));
    const QCommandLineOption writePiece(QStringLiteral("write-piece"),
                                        QStringLiteral("Bytes per write() when saving the body; 0: one write."),
                                        QStringLiteral("bytes"), QStringLiteral("1048576"));
    parser.addOptions({url, source, targetDir, runs, subject, reference, child, save, writePiece});
    parser.process(application);

    if (!parser.isSet(url) || !parser.isSet(targetDir))
        parser.showHelp(2);
    if (parser.isSet(child)) {
        const QString how = parser.value(save);
        const Saving saving = how == QLatin1String("none") ? Saving::None
            : how == QLatin1String("plain")                ? Saving::WithoutSync
                                                           : Saving::Atomically;
        return RunTransferChild(parser.value(child), QUrl(parser.value(url)), parser.value(targetDir), saving,
                                parser.value(writePiece).toLongLong());
    }
    if (!parser.isSet(source))
        parser.showHelp(2);

    BenchOptions options;
    options.Url = QUrl(parser.value(url));
    options.Source = parser.value(source);
    options.TargetDir = parser.value(targetDir);
    options.Runs = std::max(1, parser.value(runs).toInt());
    options.Subject = parser.value(subject);
    options.References = parser.values(reference);
    options.WritePiece = parser.value(writePiece);
    return RunBench(options);
}
