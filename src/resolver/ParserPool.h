#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <vector>

class QProcess;
class ParserPool;

// One page waiting for, or in, a parser process. Deleting the job cancels it: a waiting job leaves the
// queue, a running one has its process killed, so a parse nobody waits for any more costs nothing more.
class ParseJob : public QObject {
    Q_OBJECT

public:
    ~ParseJob() override;

signals:
    void Parsed(const QByteArray &foundVideos);  // FoundVideosReader::EncodeVideos
    void Failed(const QString &reason);

private:
    friend class ParserPool;
    ParseJob(ParserPool *pool, const QHostAddress &client, QByteArray frame, QObject *parent);

    QPointer<ParserPool> pool;
    QHostAddress client;
    QByteArray frame;  // the page as the parser process reads it
    bool running = false;
};

// The processes that parse pages (the service's own program, run with --parse-pages): a few at a time, each
// with a memory limit, started when first needed and kept for the next page. One client's pages take at most
// all processes but one, so that someone else's page always finds one within a parse's time; waiting pages
// are served in turn, and past a bound a new page is turned away at once.
class ParserPool : public QObject {
    Q_OBJECT

public:
    struct Settings {
        QString program;
        int processes = 2;
        qint64 memoryLimit = 512 * 1024 * 1024;
        int queueLimit = 8;  // pages waiting for a process
        bool shareByClient = true;  // false: one client may have every process
    };

    explicit ParserPool(const Settings &settings, QObject *parent = nullptr);
    ~ParserPool() override;

    // The job, a child of owner; nothing when the queue is full.
    ParseJob *Submit(const QHostAddress &client, const QByteArray &body, const QByteArray &contentType, const QUrl &url,
                     QObject *owner);

    // Reads pages from standard input and writes what it finds on them (FoundVideosReader::EncodeVideos) to
    // standard output until the input ends: what the program runs as a parser process.
    static int RunParserProcess(qint64 memoryLimit);

    int RunningProcesses() const;

private:
    friend class ParseJob;
    struct Worker {
        QProcess *process = nullptr;
        ParseJob *job = nullptr;
        QByteArray received;
    };

    void Cancel(ParseJob *job);
    void Dispatch();
    ParseJob *NextJobFor() const;
    void StartJob(Worker &worker, ParseJob *job);
    void OnOutput(Worker &worker);
    void OnProcessEnded(QProcess *process, int exitCode, bool crashed);
    void DropProcess(Worker &worker);
    int RunningFor(const QHostAddress &client) const;

    Settings settings;
    std::vector<Worker> workers;
    QList<ParseJob *> waiting;
};
