#pragma once

#include "ChildProcess.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <functional>

// One short child of the service: a yt-dlp trial, a version probe, the signature check. It is confined like
// every yt-dlp child (ChildProcess), ended with its group at its time limit, and keeps only the first 64 KiB of
// what it says.
class ChildRun : public QObject {
    Q_OBJECT

public:
    struct Result {
        bool exited = false;  // ended by itself, within its time
        int exitCode = -1;
        QByteArray output;
        QByteArray errors;
        QString problem;  // in English, when it did not end by itself
    };
    using Done = std::function<void(const Result &)>;

    struct Command {
        QString program;
        QStringList arguments;
        ChildProcess::Confinement confinement;
        int timeoutMilliseconds = 30000;
    };

    // done is called once, later, unless context goes first (the child is then killed).
    static void Start(const Command &command, QObject *context, const Done &done);
    // The same, waiting for it: for what must be known before the service starts.
    static Result RunNow(const Command &command);

    ~ChildRun() override;

private:
    explicit ChildRun(const Command &command, QObject *parent);
    void Take(QProcess::ProcessChannel channel);
    void Finish(const QString &problem);

    QProcess process;
    QTimer deadline;
    Result result;
    Done done;
    bool finished = false;
};
