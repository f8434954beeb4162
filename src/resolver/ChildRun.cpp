#include "ChildRun.h"

#include <QEventLoop>

namespace {

constexpr qsizetype kKeptBytes = 64 * 1024;

}  // namespace

ChildRun::ChildRun(const Command &command, QObject *parent) : QObject(parent)
{
    ChildProcess::PrepareChild(process, command.confinement);
    process.setProgram(command.program);
    process.setArguments(command.arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    connect(&process, &QProcess::readyReadStandardOutput, this, [this] { Take(QProcess::StandardOutput); });
    connect(&process, &QProcess::readyReadStandardError, this, [this] { Take(QProcess::StandardError); });
    connect(&process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        Take(QProcess::StandardOutput);
        Take(QProcess::StandardError);
        result.exited = status == QProcess::NormalExit;
        result.exitCode = code;
        Finish(result.exited ? QString() : QStringLiteral("it crashed"));
    });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Finish(QStringLiteral("%1 does not start: %2").arg(process.program(), process.errorString()));
    });
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this, seconds = command.timeoutMilliseconds / 1000] {
        ChildProcess::KillGroup(process);
        Finish(QStringLiteral("it did not end within %1 s").arg(seconds));
    });
    deadline.start(command.timeoutMilliseconds);
    process.start();
}

ChildRun::~ChildRun()
{
    process.disconnect(this);
    if (process.state() != QProcess::NotRunning) {
        ChildProcess::KillGroup(process);
        process.waitForFinished(1000);
    }
}

void ChildRun::Start(const Command &command, QObject *context, const Done &done)
{
    auto *run = new ChildRun(command, context);
    run->done = done;
}

ChildRun::Result ChildRun::RunNow(const Command &command)
{
    Result result;
    QEventLoop loop;
    auto *run = new ChildRun(command, &loop);
    // Whatever happens, the answer comes through the event loop.
    run->done = [&](const Result &ended) {
        result = ended;
        loop.quit();
    };
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return result;
}

void ChildRun::Take(QProcess::ProcessChannel channel)
{
    process.setReadChannel(channel);
    QByteArray &kept = channel == QProcess::StandardOutput ? result.output : result.errors;
    const QByteArray piece = process.readAll();
    kept += piece.left(std::max<qsizetype>(0, kKeptBytes - kept.size()));
}

void ChildRun::Finish(const QString &problem)
{
    if (finished)
        return;
    finished = true;
    deadline.stop();
    if (!problem.isEmpty()) {
        result.exited = false;
        result.problem = problem;
    }
    // Told after this call returns: the receiver may delete what owns us.
    QMetaObject::invokeMethod(
        this,
        [this] {
            const Done call = std::move(done);
            deleteLater();
            if (call)
                call(result);
        },
        Qt::QueuedConnection);
}
