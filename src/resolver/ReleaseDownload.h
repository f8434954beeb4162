#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// One file of a yt-dlp release fetched over HTTP(S), redirects followed (never from HTTPS to HTTP), into memory
// or into a file, up to a size limit and a time limit. Finished() comes once, unless it is deleted first.
class ReleaseDownload : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Done,
        Missing,  // the server answered, without the file (404 and other answers than 200)
        Unreachable,  // no answer: no connection, a broken or silent one, an answer cut short
        TooLarge,
        WriteFailed,  // the file could not be written (a full disk, say)
    };

    // Into memory (Body()), or into target, which must be open for writing.
    ReleaseDownload(QNetworkAccessManager *network, const QUrl &url, qint64 limit, QFile *target = nullptr,
                    QObject *parent = nullptr);
    ~ReleaseDownload() override;

    void Start();
    QByteArray Body() const { return body; }
    // What went wrong, in English, for the log.
    QString Problem() const { return problem; }

signals:
    void Finished(ReleaseDownload::Outcome outcome);

private:
    void OnData();
    void OnFinished();
    void End(Outcome outcome, const QString &why);

    QNetworkAccessManager *network;
    QUrl url;
    qint64 limit;
    QFile *target;
    QPointer<QNetworkReply> reply;
    QByteArray body;
    qint64 received = 0;
    QString problem;
    QTimer silence;
    QTimer whole;
    bool ended = false;
};
