#pragma once

#include "PageFetch.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class ParseJob;
class ParserPool;

// One page address turned into an answer page: fetch, then decode, parse and collect the candidates in a
// parser process (ParserPool). The HTML5 tree builder takes time that grows with the square of the nesting
// depth, tens of seconds for a megabyte of nested elements, and cannot be interrupted: only a process can be
// stopped, and it is, at the time limit or when the resolution is deleted (its client left).
// Exactly one of Answered() and Busy() comes, once.
class Resolution : public QObject {
    Q_OBJECT

public:
    Resolution(QNetworkAccessManager *network, ParserPool *parsers, const QHostAddress &client,
               const FetchLimits &limits, QObject *parent = nullptr);
    ~Resolution() override;

    void Start(const QString &address);

    // The Russian reason an answer without video gives for a failed fetch.
    static QString DescribeFailure(const FetchResult &result);

    // The answer page for a fetched page: what the parser process runs.
    static QByteArray ComposeAnswerForPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url);

signals:
    void Answered(const QByteArray &page);
    // Every parser is taken and too many pages wait: the client should come back in a moment.
    void Busy();

private:
    void OnFetched(const FetchResult &result);
    void AnswerOnce(const QByteArray &page);

    ParserPool *parsers;
    QHostAddress client;
    int timeoutMilliseconds;
    PageFetch fetch;
    QElapsedTimer clock;
    QTimer parseDeadline;
    QPointer<ParseJob> parse;
    bool answered = false;
};
