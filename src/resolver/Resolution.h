#pragma once

#include "MediaFormats.h"
#include "PageFetch.h"
#include "ResolverOptions.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

class FetchProxy;
class ParseJob;
class ParserPool;
class WorkerSlots;
class WorkerTicket;
class YtDlpBridge;
class YtDlpJob;

// What every resolution of one service shares.
struct ResolutionContext {
    ParserPool *parsers = nullptr;
    YtDlpBridge *ytDlp = nullptr;  // nothing: yt-dlp is not there
    WorkerSlots *workers = nullptr;
    FetchLimits limits;
    QList<Engine> engines;
    int maxHeight = 1080;
    QByteArray tokenKey;  // signs /media/ links
    bool canRemux = false;  // ffmpeg is there
};

// One page address turned into an answer page by the engines in their order. The built-in one fetches the
// page and has it parsed in a parser process (ParserPool): the HTML5 tree builder takes time that grows
// with the square of the nesting depth and cannot be interrupted, so only a process can be stopped, and it is,
// at the time limit or when the resolution is deleted (its client left). yt-dlp runs in a child of its bridge
// (YtDlpBridge), in one of the service's worker places. The first engine that finds the video answers; a
// page that only streams it is answered with a /media/ link of the service (MediaToken). A page that one of
// yt-dlp's site extractors claims goes to yt-dlp first.
// Exactly one of Answered() and Busy() comes, once.
class Resolution : public QObject {
    Q_OBJECT

public:
    // mediaBase: "http://host:port" of the service as the client reached it, for /media/ links.
    Resolution(const ResolutionContext *context, QNetworkAccessManager *network, const QHostAddress &client,
               const QString &mediaBase, QObject *parent = nullptr);
    ~Resolution() override;

    void Start(const QString &address);

    // The Russian reason an answer without video gives for a failed fetch.
    static QString DescribeFailure(const FetchResult &result);

signals:
    void Answered(const QByteArray &page);
    // Every parser or worker is taken and too many pages wait: the client should come back in a moment.
    void Busy();

private:
    void RunNext();
    void RunBuiltin();
    void OnFetched(const FetchResult &result);
    void OnParsed(const QByteArray &found);
    void RunYtDlp();
    void OnExtracted(const QJsonObject &info);
    void OnYtDlpFailed(const QString &error, const QStringList &exceptions);
    void DropWork();
    void EndEngine(const QString &reason);
    // The service's own link that remuxes the stream into one file.
    QUrl MediaLink(const StreamPlan &plan) const;
    void AnswerOnce(const QByteArray &page);
    void GiveUpBusy();

    const ResolutionContext *context;
    QNetworkAccessManager *network;
    QHostAddress client;
    QString mediaBase;
    QUrl url;
    QList<Engine> pending;
    QStringList reasons;
    QList<QUrl> streamsOnPage;  // what the built-in engine found that only a remux makes a file of
    QString pageTitle;  // the title the built-in engine found, for an answer of yt-dlp's that has none
    PageFetch *fetch = nullptr;
    QPointer<ParseJob> parse;
    WorkerTicket *ticket = nullptr;
    YtDlpJob *job = nullptr;
    QElapsedTimer clock;
    QTimer deadline;
    bool answered = false;
};
