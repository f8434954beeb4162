#pragma once

#include "PageFetch.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QString>

class QNetworkAccessManager;
class QThreadPool;

// One page address turned into an answer page: fetch, then (away from the event loop, since a big page
// takes a while) decode, parse and collect the candidates. Answered() comes once.
class Resolution : public QObject {
    Q_OBJECT

public:
    Resolution(QNetworkAccessManager *network, QThreadPool *parsers, const FetchLimits &limits,
               QObject *parent = nullptr);

    void Start(const QString &address);

    // The Russian reason an answer without video gives for a failed fetch.
    static QString DescribeFailure(const FetchResult &result);

signals:
    void Answered(const QByteArray &page);

private:
    void OnFetched(const FetchResult &result);
    void AnswerOnce(const QByteArray &page);

    QThreadPool *parsers_;
    int timeoutMilliseconds_;
    PageFetch fetch_;
    QElapsedTimer clock_;
    QTimer parseDeadline_;
    bool answered_ = false;
};
