#pragma once

#include "YtDlpProgram.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <functional>

class YtDlpBridge;

// One page in yt-dlp, in a child of the bridge. Deleting the job kills that child with everything it started.
// Exactly one of Extracted() and Failed() comes, unless the job is deleted first.
class YtDlpJob : public QObject {
    Q_OBJECT

public:
    ~YtDlpJob() override;

signals:
    void Extracted(const QJsonObject &info);
    // yt-dlp's own words, in English, and the class names of its exception and of those behind it, outermost
    // first (none when the bridge itself failed).
    void Failed(const QString &reason, const QStringList &exceptions);

private:
    friend class YtDlpBridge;
    YtDlpJob(YtDlpBridge *bridge, qint64 id, QObject *parent);

    QPointer<YtDlpBridge> bridge;
    qint64 id;
};

// The warm yt-dlp process (ytdlp_bridge.py, see there) and the conversation with it. Started once; when it
// ends it is started again, unless it cannot even start, and then yt-dlp counts as unusable.
class YtDlpBridge : public QObject {
    Q_OBJECT

public:
    struct Settings {
        YtDlpLaunch launch;
        QString proxy;  // the address every fetch of yt-dlp goes through, or empty for none
        int timeoutSeconds = 20;  // the time of one page; yt-dlp waits for a silent site three quarters of it
        qint64 memoryLimit = 512 * 1024 * 1024;  // what one page's child may take beyond the bridge's own
        QJsonObject jsRuntimes;  // yt-dlp's js_runtimes, or empty
    };

    enum class State {
        Starting,
        Ready,
        Unusable,  // Problem() says why
    };

    explicit YtDlpBridge(const Settings &settings, QObject *parent = nullptr);
    ~YtDlpBridge() override;

    void Start();
    State CurrentState() const { return state; }
    QString Version() const { return version; }
    QString Problem() const { return problem; }
    qint64 ProcessId() const { return process.processId(); }

    // The key of the site's own extractor that claims the address, or empty: none does, or the bridge is
    // not ready yet (a page is not kept waiting for it). The answer comes later, to context.
    void AskClaim(const QUrl &url, QObject *context, const std::function<void(const QString &)> &answer);

    // A job, a child of owner; it is queued in the bridge if that is still starting.
    YtDlpJob *Extract(const QUrl &url, QObject *owner);

    // Pages or claims it still has to answer.
    bool Busy() const { return !jobs.isEmpty() || !claims.isEmpty(); }

    // Pages given to yt-dlp since the start.
    int ExtractionsStarted() const { return extractionsStarted; }

signals:
    void Ready();
    void BecameUnusable();

private:
    friend class YtDlpJob;
    struct Claim {
        QPointer<QObject> context;
        std::function<void(const QString &)> answer;
    };

    void OnOutput();
    void HandleMessage(const QJsonObject &message);
    void OnEnded();
    void Send(const QJsonObject &message);
    void Cancel(qint64 id);
    void GiveUp(const QString &reason);
    void FailAll(const QString &reason);

    Settings settings;
    QProcess process;
    State state = State::Starting;
    QString version;
    QString problem;
    QByteArray received;
    qint64 nextId = 1;
    QHash<qint64, QPointer<YtDlpJob>> jobs;
    QHash<qint64, Claim> claims;
    QElapsedTimer sinceStart;
    QTimer readyDeadline;
    int extractionsStarted = 0;
};
