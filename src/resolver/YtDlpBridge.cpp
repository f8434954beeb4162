#include "YtDlpBridge.h"

#include "ChildProcess.h"

#include <QJsonDocument>

namespace {

// The bridge caps a child's answer at 16 MiB; its line says the same in JSON, a little longer.
constexpr qsizetype kLineLimit = 40 * 1024 * 1024;
// A bridge that ends sooner than this after starting would only end again.
constexpr qint64 kShortestLifeMilliseconds = 10000;
// Importing yt-dlp and loading its extractors takes a few seconds, several times that on a busy machine.
constexpr int kReadyTimeoutMilliseconds = 120000;

}  // namespace

YtDlpJob::YtDlpJob(YtDlpBridge *bridge, qint64 id, QObject *parent) : QObject(parent), bridge(bridge), id(id)
{
}

YtDlpJob::~YtDlpJob()
{
    if (bridge)
        bridge->Cancel(id);
}

YtDlpBridge::YtDlpBridge(const Settings &settings, QObject *parent) : QObject(parent), settings(settings)
{
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardErrorFile(QProcess::nullDevice());
    ChildProcess::PrepareChild(process);
    connect(&process, &QProcess::readyReadStandardOutput, this, &YtDlpBridge::OnOutput);
    connect(&process, &QProcess::finished, this, &YtDlpBridge::OnEnded);
    readyDeadline.setSingleShot(true);
    connect(&readyDeadline, &QTimer::timeout, this, [this] {
        GiveUp(QStringLiteral("yt-dlp was not ready within %1 s").arg(kReadyTimeoutMilliseconds / 1000));
    });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            GiveUp(
                QStringLiteral("%1 does not start: %2").arg(this->settings.launch.interpreter, process.errorString()));
    });
}

YtDlpBridge::~YtDlpBridge()
{
    process.disconnect(this);
    for (const QPointer<YtDlpJob> &job : std::as_const(jobs))
        if (job)
            job->bridge = nullptr;
    // Its children die with it (they asked the system to).
    ChildProcess::KillGroup(process);
    process.waitForFinished(5000);
}

void YtDlpBridge::Start()
{
    // A silent site ends yt-dlp's wait before the page's time is up, so that the answer can say the site did
    // not answer, rather than that yt-dlp did not.
    const QJsonObject config{{"program", settings.launch.path},
                             {"proxy", settings.proxy},
                             {"socket_timeout", std::max(1, settings.timeoutSeconds * 3 / 4)},
                             {"memory_limit", settings.memoryLimit},
                             {"js_runtimes", settings.jsRuntimes}};
    received.clear();
    sinceStart.start();
    readyDeadline.start(kReadyTimeoutMilliseconds);
    process.start(settings.launch.interpreter,
                  YtDlpProgram::BridgeArguments(settings.launch, QJsonDocument(config).toJson(QJsonDocument::Compact)));
}

void YtDlpBridge::AskClaim(const QUrl &url, QObject *context, const std::function<void(const QString &)> &answer)
{
    if (state != State::Ready) {
        QMetaObject::invokeMethod(
            context, [answer] { answer(QString()); }, Qt::QueuedConnection);
        return;
    }
    const qint64 id = nextId++;
    claims.insert(id, {context, answer});
    Send({{"id", id}, {"claims", QString::fromLatin1(url.toEncoded())}});
}

YtDlpJob *YtDlpBridge::Extract(const QUrl &url, QObject *owner)
{
    const qint64 id = nextId++;
    auto *job = new YtDlpJob(this, id, owner);
    jobs.insert(id, job);
    ++extractionsStarted;
    if (state == State::Unusable) {
        QMetaObject::invokeMethod(
            job, [job, reason = problem] { emit job->Failed(reason, {}); }, Qt::QueuedConnection);
        return job;
    }
    Send({{"id", id}, {"extract", QString::fromLatin1(url.toEncoded())}, {"timeout", settings.timeoutSeconds}});
    return job;
}

void YtDlpBridge::Cancel(qint64 id)
{
    if (jobs.remove(id) > 0 && state != State::Unusable)
        Send({{"id", id}, {"cancel", true}});
}

void YtDlpBridge::Send(const QJsonObject &message)
{
    if (process.state() != QProcess::NotRunning)
        process.write(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
}

void YtDlpBridge::OnOutput()
{
    received += process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end = received.indexOf('\n'); end >= 0; end = received.indexOf('\n', start)) {
        const QByteArray line = received.mid(start, end - start);
        start = end + 1;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (!document.isObject()) {
            // Not our bridge talking: nothing it says can be trusted any more.
            received.clear();
            ChildProcess::KillGroup(process);
            return;
        }
        HandleMessage(document.object());
        if (process.state() == QProcess::NotRunning)
            return;
    }
    received.remove(0, start);
    if (received.size() > kLineLimit) {
        received.clear();
        ChildProcess::KillGroup(process);
    }
}

void YtDlpBridge::HandleMessage(const QJsonObject &message)
{
    if (message.contains(QLatin1String("ready"))) {
        state = State::Ready;
        readyDeadline.stop();
        version = message.value(QLatin1String("version")).toString();
        emit Ready();
        return;
    }
    if (message.contains(QLatin1String("failed"))) {
        GiveUp(message.value(QLatin1String("failed")).toString());
        return;
    }
    const qint64 id = qint64(message.value(QLatin1String("id")).toDouble());
    if (message.contains(QLatin1String("claimed"))) {
        const Claim claim = claims.take(id);
        if (claim.context)
            claim.answer(message.value(QLatin1String("claimed")).toString());
        return;
    }
    if (message.contains(QLatin1String("pid")))
        return;
    const QPointer<YtDlpJob> job = jobs.take(id);
    if (!job)
        return;
    job->bridge = nullptr;
    if (message.value(QLatin1String("info")).isObject())
        emit job->Extracted(message.value(QLatin1String("info")).toObject());
    else
        emit job->Failed(message.value(QLatin1String("error")).toString(QStringLiteral("no answer")),
                         message.value(QLatin1String("exceptions")).toVariant().toStringList());
}

void YtDlpBridge::OnEnded()
{
    FailAll(QStringLiteral("yt-dlp ended unexpectedly"));
    if (state == State::Unusable)
        return;
    if (sinceStart.elapsed() < kShortestLifeMilliseconds) {
        GiveUp(QStringLiteral("yt-dlp ended right after starting"));
        return;
    }
    state = State::Starting;
    Start();
}

void YtDlpBridge::GiveUp(const QString &reason)
{
    if (state == State::Unusable)
        return;
    state = State::Unusable;
    problem = reason;
    readyDeadline.stop();
    FailAll(reason);
    ChildProcess::KillGroup(process);
    emit BecameUnusable();
}

void YtDlpBridge::FailAll(const QString &reason)
{
    for (const Claim &claim : std::exchange(claims, {}))
        if (claim.context)
            claim.answer(QString());
    for (const QPointer<YtDlpJob> &job : std::exchange(jobs, {})) {
        if (!job)
            continue;
        job->bridge = nullptr;
        emit job->Failed(reason, {});
    }
}
