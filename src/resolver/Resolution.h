#pragma once

#include "PageFetch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QThreadPool;

// One page address turned into an answer page: fetch, then decode, parse and collect the candidates away
// from the event loop. The HTML5 tree builder takes time that grows with the square of the nesting depth
// (tens of seconds for a megabyte of nested elements, and no way to interrupt it), so a small page is parsed
// on a thread of the pool, where its worst case is a few seconds, and a bigger one by a child process
// (parserProgram --parse-page), which is killed at the time limit. Answered() comes once.
class Resolution : public QObject {
    Q_OBJECT

public:
    // Without a parserProgram every page is parsed on the pool.
    Resolution(QNetworkAccessManager *network, QThreadPool *parsers, const QString &parserProgram,
               const FetchLimits &limits, QObject *parent = nullptr);

    void Start(const QString &address);

    // The Russian reason an answer without video gives for a failed fetch.
    static QString DescribeFailure(const FetchResult &result);

    // The answer page for a fetched page: what the pool thread and the child process run.
    static QByteArray ComposeAnswerForPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url);

    // Pages up to this size are parsed on the pool.
    static constexpr qsizetype kThreadParseLimit = 256 * 1024;

signals:
    void Answered(const QByteArray &page);

private:
    void OnFetched(const FetchResult &result);
    void ParseOnPool(const FetchResult &result);
    void ParseInChildProcess(const FetchResult &result);
    void AnswerOnce(const QByteArray &page);

    QThreadPool *parsers;
    QString parserProgram;
    int timeoutMilliseconds;
    PageFetch fetch;
    QElapsedTimer clock;
    QTimer parseDeadline;
    bool answered = false;
};
