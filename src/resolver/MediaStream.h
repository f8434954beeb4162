#pragma once

#include "MediaFormats.h"
#include "RemuxCommand.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>

#include <functional>

class HttpConnection;
class SealedNetwork;
class WorkerSlots;
class WorkerTicket;

// One GET of a /media/ address: ffmpeg copies the plan's inputs into one file on a pipe, and the file goes to
// the client as it comes, never faster than the client takes it. FLV first when the codecs may fit, Matroska
// when FLV refuses them. The answer's header goes out with the first bytes of the file, so a failure before
// them is a clear page; a failure after them, or a piece of the stream that ffmpeg could not fetch and went
// on without, resets the connection, so the client never takes a cut file for a whole one. A child of the connection: a
// client that leaves takes ffmpeg with it.
class MediaStream : public QObject {
    Q_OBJECT

public:
    struct Settings {
        QString ffmpeg;
        QString proxy;  // every fetch of ffmpeg goes through it (FetchProxy), or empty for none
        const SealedNetwork *network = nullptr;  // where ffmpeg runs when it has a proxy: nothing else to reach
        int timeoutSeconds = 20;  // the longest wait for a worker, and the longest silence on ffmpeg's output
        qint64 memoryLimit = 0;  // what ffmpeg may hold beyond what it needs to start; 0: no limit
        // Whether the proxy refused an address of this stream's; the answer then says so.
        std::function<bool()> proxyRefused;
    };

    MediaStream(HttpConnection *connection, const StreamPlan &plan, WorkerSlots *workers, const Settings &settings);
    ~MediaStream() override;

    // False when every worker is taken and too many wait: the caller answers "busy".
    bool Start();

private:
    void Run(RemuxCommand::Container container);
    void ReadOutput();
    // Each: the bytes passed on, 0 at the end of ffmpeg's output, -1 when it has to wait.
    qint64 SpliceOutput();
    qint64 CopyOutput();
    void ReadErrorOutput();
    void OnProcessEnded(int exitCode, QProcess::ExitStatus status);
    void Finish();
    void FailAsFfmpegSays();
    void Fail(int status, const QString &reason);
    void LogFfmpeg() const;
    void Stop();

    HttpConnection *connection;
    StreamPlan plan;
    QPointer<WorkerSlots> workers;
    Settings settings;
    WorkerTicket *ticket = nullptr;
    QProcess process;
    RemuxCommand::Container container = RemuxCommand::Container::Flv;
    int outputDescriptor = -1;
    QSocketNotifier *output = nullptr;
    QTimer silence;
    QByteArray piece;  // what was read from ffmpeg last
    QByteArray errorOutput;
    qint64 sent = 0;
    bool outputEnded = false;
    bool sourceBroken = false;  // a piece of the stream could not be fetched
    bool processEnded = false;
    int exitCode = 0;
    bool crashed = false;
};
