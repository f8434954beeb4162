#include "MediaStream.h"

#include "AnswerPages.h"
#include "ChildProcess.h"
#include "HttpConnection.h"
#include "WorkerSlots.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// ffmpeg writes 32 KiB at a time; a pipe that holds a MiB lets it go on while we send, and wake us less often.
constexpr int kPipeSize = 1024 * 1024;
// What may wait for the client at once; ffmpeg waits on its pipe meanwhile.
constexpr qsizetype kClientBuffer = 1024 * 1024;
constexpr qsizetype kErrorOutputLimit = 4096;
// What ffmpeg holds before it reads anything (its libraries' data and a stack for each of its threads): about
// 60 MiB here, with room for other builds.
constexpr qint64 kFfmpegOwnMemory = 128 * 1024 * 1024;

}  // namespace

MediaStream::MediaStream(HttpConnection *connection, const StreamPlan &plan, WorkerSlots *workers,
                         const Settings &settings)
    : QObject(connection)
    , connection(connection)
    , plan(plan)
    , workers(workers)
    , settings(settings)
{
    silence.setSingleShot(true);
    connect(&silence, &QTimer::timeout, this, [this] {
        // Asked before Stop gives the place back: a request still waiting is busy, a silent source late.
        const bool ran = ticket && ticket->IsGranted();
        Stop();
        if (sent > 0)
            this->connection->AbortStream();
        else if (!ran)
            this->connection->Answer(AnswerPages::BusyResponse());
        else
            Fail(504, QStringLiteral("Видео не пришло за %1 с.").arg(this->settings.timeoutSeconds));
    });
    connect(connection, &HttpConnection::Drained, this, [this] {
        if (output && !outputEnded) {
            output->setEnabled(true);
            ReadOutput();
        }
    });
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    connect(&process, &QProcess::readyReadStandardError, this, &MediaStream::ReadErrorOutput);
    connect(&process, &QProcess::finished, this, &MediaStream::OnProcessEnded);
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            errorOutput = process.errorString().toUtf8();
            outputEnded = true;
            OnProcessEnded(-1, QProcess::CrashExit);
        }
    });
}

MediaStream::~MediaStream()
{
    Stop();
}

bool MediaStream::Start()
{
    ticket = workers ? workers->Request(connection->PeerAddress(), this) : nullptr;
    if (!ticket)
        return false;
    connect(ticket, &WorkerTicket::Granted, this,
            [this] { Run(plan.flvFits ? RemuxCommand::Container::Flv : RemuxCommand::Container::Matroska); });
    silence.start(settings.timeoutSeconds * 1000);
    return true;
}

void MediaStream::Run(RemuxCommand::Container chosen)
{
    container = chosen;
    errorOutput.clear();
    outputEnded = processEnded = sourceBroken = false;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0) {
        Fail(500, QStringLiteral("Служба не может запустить ffmpeg."));
        return;
    }
    ::fcntl(pipe[0], F_SETFL, O_NONBLOCK);
    ::fcntl(pipe[0], F_SETPIPE_SZ, kPipeSize);  // where the system allows less, the pipe stays as it is
    ChildProcess::PrepareChild(process,
                               {pipe[1], settings.network,
                                settings.memoryLimit > 0 ? settings.memoryLimit + kFfmpegOwnMemory : 0});
    if (!settings.proxy.isEmpty()) {
        QProcessEnvironment environment = process.processEnvironment();
        environment.insert(QStringLiteral("http_proxy"), settings.proxy);
        process.setProcessEnvironment(environment);
    }
    process.start(settings.ffmpeg,
                  RemuxCommand::ComposeArguments(plan, container, settings.timeoutSeconds, !settings.proxy.isEmpty()));
    ::close(pipe[1]);
    outputDescriptor = pipe[0];
    output = new QSocketNotifier(outputDescriptor, QSocketNotifier::Read, this);
    connect(output, &QSocketNotifier::activated, this, &MediaStream::ReadOutput);
    silence.start(settings.timeoutSeconds * 1000);
}

void MediaStream::ReadOutput()
{
    while (!outputEnded) {
        const qint64 moved = sent > 0 && connection->UnsentBytes() == 0 ? SpliceOutput() : CopyOutput();
        if (moved < 0)
            return;
        if (moved == 0) {
            outputEnded = true;
            output->setEnabled(false);
            Finish();
            return;
        }
        sent += moved;
        silence.start(settings.timeoutSeconds * 1000);
    }
}

qint64 MediaStream::SpliceOutput()
{
    // The file goes from ffmpeg's pipe into the client's socket without passing through us.
    switch (const HttpConnection::Splice result = connection->SpliceFrom(outputDescriptor)) {
    case HttpConnection::Splice::PipeEmpty:
        return -1;
    case HttpConnection::Splice::SocketFull:
        output->setEnabled(false);  // until the client has taken what waits (Drained)
        return -1;
    case HttpConnection::Splice::PipeEnded:
        return 0;
    default:
        return qint64(result);
    }
}

qint64 MediaStream::CopyOutput()
{
    if (connection->UnsentBytes() >= kClientBuffer) {
        output->setEnabled(false);
        return -1;
    }
    if (piece.isEmpty())
        piece.resize(kPipeSize);
    ssize_t received;
    do
        received = ::read(outputDescriptor, piece.data(), size_t(piece.size()));
    while (received < 0 && errno == EINTR);
    if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return -1;
    if (received <= 0)
        return 0;
    // The header goes with the first bytes: until then a failure can still be told in a page.
    if (sent == 0)
        connection->StartStream(200, RemuxCommand::ContentTypeOf(container));
    connection->SendPiece(QByteArrayView(piece).first(received));
    return received;
}

void MediaStream::ReadErrorOutput()
{
    errorOutput = (errorOutput + process.readAllStandardError()).right(kErrorOutputLimit);
    sourceBroken = sourceBroken || RemuxCommand::IsSourceBroken(errorOutput);
}

void MediaStream::OnProcessEnded(int code, QProcess::ExitStatus status)
{
    processEnded = true;
    exitCode = code;
    crashed = status == QProcess::CrashExit;
    ReadErrorOutput();
    Finish();
}

void MediaStream::Finish()
{
    if (!outputEnded || !processEnded)
        return;
    silence.stop();
    delete output;
    output = nullptr;
    ::close(outputDescriptor);
    outputDescriptor = -1;
    if (sent > 0) {
        if (!crashed && exitCode == 0 && !sourceBroken) {
            connection->EndStream();
        } else {
            LogFfmpeg();
            connection->AbortStream();
        }
    } else if (container == RemuxCommand::Container::Flv && RemuxCommand::IsContainerRefusal(errorOutput)) {
        Run(RemuxCommand::Container::Matroska);
        return;
    } else if (settings.proxyRefused && settings.proxyRefused()) {
        Fail(403, AnswerPages::RefusalText(QStringLiteral("видео")));
    } else {
        FailAsFfmpegSays();
    }
    delete ticket;
    ticket = nullptr;
}

void MediaStream::FailAsFfmpegSays()
{
    LogFfmpeg();
    const RemuxCommand::Failure failure = RemuxCommand::ReadFailure(errorOutput);
    switch (failure.kind) {
    case RemuxCommand::Failure::Kind::OutOfMemory:
        Fail(502,
             QStringLiteral("Видео слишком сложно: для его сборки нужно больше %1 МиБ памяти.")
                 .arg(settings.memoryLimit / (1024 * 1024)));
        break;
    case RemuxCommand::Failure::Kind::HttpStatus:
        Fail(502, QStringLiteral("Не удалось получить видео: сервер ответил кодом %1.").arg(failure.httpStatus));
        break;
    case RemuxCommand::Failure::Kind::Unknown:
        Fail(502, QStringLiteral("Не удалось получить видео."));
        break;
    }
}

void MediaStream::LogFfmpeg() const
{
    QByteArray how = "exit code " + QByteArray::number(exitCode);
    if (crashed)
        how = "ended by a signal";
    else if (exitCode == ChildProcess::kNotConfinedExit && errorOutput.isEmpty())
        how = "not confined to its network and memory";
    QByteArray lines = errorOutput.trimmed();
    std::fprintf(stderr, "quillon-resolver: ffmpeg (%s) for %s:\n%s\n", how.constData(),
                 plan.inputs.isEmpty() ? "" : plan.inputs.first().url.toEncoded().constData(),
                 lines.replace('\n', "\n  ").prepend("  ").constData());
    std::fflush(stderr);
}

void MediaStream::Fail(int status, const QString &reason)
{
    connection->Answer(AnswerPages::HtmlResponse(status, AnswerPages::ComposeFailurePage(reason)));
}

void MediaStream::Stop()
{
    silence.stop();
    if (process.state() != QProcess::NotRunning) {
        process.disconnect(this);
        ChildProcess::KillGroup(process);
        process.waitForFinished(5000);
    }
    delete output;
    output = nullptr;
    if (outputDescriptor >= 0)
        ::close(outputDescriptor);
    outputDescriptor = -1;
    delete ticket;
    ticket = nullptr;
}
