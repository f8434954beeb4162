#include "ParserPool.h"

#include "FoundVideos.h"
#include "ParsedPage.h"

#include <QProcess>
#include <QtEndian>

#include <cstdio>
#include <malloc.h>

namespace {

void AppendPiece(QByteArray &frame, const QByteArray &piece)
{
    const quint32 length = qToLittleEndian(quint32(piece.size()));
    frame.append(reinterpret_cast<const char *>(&length), sizeof length);
    frame.append(piece);
}

bool ReadExactly(std::FILE *input, char *into, size_t size)
{
    return size == 0 || std::fread(into, 1, size, input) == size;
}

std::optional<QByteArray> ReadPiece(std::FILE *input)
{
    quint32 length = 0;
    if (!ReadExactly(input, reinterpret_cast<char *>(&length), sizeof length))
        return std::nullopt;
    QByteArray piece(qsizetype(qFromLittleEndian(length)), Qt::Uninitialized);
    if (!ReadExactly(input, piece.data(), size_t(piece.size())))
        return std::nullopt;
    return piece;
}

}  // namespace

ParseJob::ParseJob(ParserPool *pool, const QHostAddress &client, QByteArray frame, QObject *parent)
    : QObject(parent)
    , pool(pool)
    , client(client)
    , frame(std::move(frame))
{
}

ParseJob::~ParseJob()
{
    if (pool)
        pool->Cancel(this);
}

ParserPool::ParserPool(const Settings &settings, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , workers(size_t(std::max(settings.processes, 1)))
{
}

ParserPool::~ParserPool()
{
    for (QProcess *process : findChildren<QProcess *>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(5000);
    }
}

int ParserPool::RunningProcesses() const
{
    return int(std::count_if(workers.begin(), workers.end(), [](const Worker &worker) { return worker.process; }));
}

ParseJob *ParserPool::Submit(const QHostAddress &client, const QByteArray &body, const QByteArray &contentType,
                             const QUrl &url, QObject *owner)
{
    if (waiting.size() >= settings.queueLimit)
        return nullptr;
    QByteArray frame;
    frame.reserve(body.size() + 1024);
    AppendPiece(frame, url.toEncoded());
    AppendPiece(frame, contentType);
    AppendPiece(frame, body);
    auto *job = new ParseJob(this, client, std::move(frame), owner);
    waiting.append(job);
    // Later, not here: the caller connects to the job first.
    QMetaObject::invokeMethod(this, &ParserPool::Dispatch, Qt::QueuedConnection);
    return job;
}

void ParserPool::Cancel(ParseJob *job)
{
    waiting.removeOne(job);
    for (Worker &worker : workers) {
        if (worker.job == job) {
            worker.job = nullptr;
            DropProcess(worker);
            QMetaObject::invokeMethod(this, &ParserPool::Dispatch, Qt::QueuedConnection);
        }
    }
}

int ParserPool::RunningFor(const QHostAddress &client) const
{
    return int(std::count_if(workers.begin(), workers.end(),
                             [&](const Worker &worker) { return worker.job && worker.job->client == client; }));
}

ParseJob *ParserPool::NextJobFor() const
{
    const int share = settings.shareByClient ? std::max(int(workers.size()) - 1, 1) : int(workers.size());
    for (ParseJob *job : waiting)
        if (RunningFor(job->client) < share)
            return job;
    return nullptr;
}

void ParserPool::Dispatch()
{
    for (Worker &worker : workers) {
        if (worker.job)
            continue;
        ParseJob *job = NextJobFor();
        if (!job)
            return;
        waiting.removeOne(job);
        StartJob(worker, job);
    }
}

void ParserPool::StartJob(Worker &worker, ParseJob *job)
{
    if (!worker.process) {
        auto *process = new QProcess(this);
        process->setProcessChannelMode(QProcess::SeparateChannels);
        process->setStandardErrorFile(QProcess::nullDevice());
        connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
            for (Worker &candidate : workers)
                if (candidate.process == process)
                    OnOutput(candidate);
        });
        connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
            OnProcessEnded(process, exitCode, status == QProcess::CrashExit);
        });
        connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                OnProcessEnded(process, -1, true);
        });
        worker.process = process;
        process->start(settings.program, {QStringLiteral("--parse-pages"), QString::number(settings.memoryLimit)});
    }
    worker.job = job;
    worker.received.clear();
    job->running = true;
    worker.process->write(job->frame);
    job->frame.clear();
}

void ParserPool::OnOutput(Worker &worker)
{
    worker.received += worker.process->readAllStandardOutput();
    if (worker.received.size() < qsizetype(sizeof(quint32)))
        return;
    const qsizetype length = qFromLittleEndian<quint32>(worker.received.constData());
    if (worker.received.size() < qsizetype(sizeof(quint32)) + length)
        return;
    const QByteArray answer = worker.received.mid(sizeof(quint32), length);
    worker.received.clear();
    ParseJob *job = worker.job;
    worker.job = nullptr;
    if (job) {
        job->pool = nullptr;
        emit job->Parsed(answer);
    }
    Dispatch();
}

void ParserPool::OnProcessEnded(QProcess *process, int exitCode, bool crashed)
{
    for (Worker &worker : workers) {
        if (worker.process != process)
            continue;
        ParseJob *job = worker.job;
        worker.job = nullptr;
        DropProcess(worker);
        if (job) {
            job->pool = nullptr;
            if (!crashed && exitCode == ParsedPage::kMemoryExceededExit)
                emit job->Failed(QStringLiteral("Страница слишком сложна: для её разбора нужно больше %1 МиБ памяти.")
                                     .arg(settings.memoryLimit / (1024 * 1024)));
            else
                emit job->Failed(QStringLiteral("Страницу не удалось разобрать."));
        }
    }
    QMetaObject::invokeMethod(this, &ParserPool::Dispatch, Qt::QueuedConnection);
}

void ParserPool::DropProcess(Worker &worker)
{
    if (!worker.process)
        return;
    QProcess *process = worker.process;
    worker.process = nullptr;
    worker.received.clear();
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->kill();
}

int ParserPool::RunParserProcess(qint64 memoryLimit)
{
    ParsedPage::LimitProcessMemory(memoryLimit);
    for (;;) {
        const std::optional<QByteArray> url = ReadPiece(stdin);
        const std::optional<QByteArray> contentType = url ? ReadPiece(stdin) : std::nullopt;
        const std::optional<QByteArray> body = contentType ? ReadPiece(stdin) : std::nullopt;
        if (!body)
            return 0;
        QByteArray frame;
        AppendPiece(frame,
                    FoundVideosReader::EncodeVideos(
                        FoundVideosReader::FindVideos(*body, *contentType, QUrl::fromEncoded(*url))));
        if (std::fwrite(frame.constData(), 1, size_t(frame.size()), stdout) != size_t(frame.size())
            || std::fflush(stdout) != 0)
            return 1;
        // The next page starts from a small process, not from the peak of the last one.
        malloc_trim(0);
    }
}
