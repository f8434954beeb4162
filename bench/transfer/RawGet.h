#pragma once

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTcpSocket>
#include <QUrl>

// A bare HTTP/1.0 GET over QTcpSocket on the GUI thread, without any of DC's events or checks: what a Qt
// client of the same shape reaches on this machine, so DC's own costs can be told apart from the socket's.
class RawGet : public QObject {
    Q_OBJECT
public:
    enum class Reading {
        ReadAllAppend,  // readAll() on every arrival, appended to a buffer reserved once the length is known
        ReadIntoBody,  // read() straight into the reserved body, no intermediate array
        Discard,  // read() into one small reused buffer: the cost of receiving alone, keeping nothing
        StreamToFile,  // the same, each piece written to the file as it arrives, as curl -o does
    };

    struct Options {
        Reading Mode = Reading::ReadIntoBody;
        // Most the socket takes from the kernel per arrival; 0: all there is (Qt's default).
        qint64 ReadBufferSize = 0;
        // Ask the kernel for 2 MiB pages for the body: 512 times fewer page faults while it fills.
        bool HugePages = false;
        // StreamToFile: the file, written as PATH.part and renamed to PATH once the answer has ended.
        QString StreamPath;
    };

    explicit RawGet(const Options &options, QObject *parent = nullptr);

    void Start(const QUrl &url);
    int Arrivals() const { return arrivalCount; }
    qint64 BodyBytes() const { return KeepsBody() ? received.size() : passedBytes; }

signals:
    void Finished(const QByteArray &body);
    void Failed(const QString &text);

private:
    void SendRequest();
    void TakeArrival();
    void FindHeaderEnd();
    void FinishAnswer();
    bool KeepsBody() const { return options.Mode != Reading::Discard && options.Mode != Reading::StreamToFile; }
    bool PassOn(const char *data, qint64 size);

    Options options;
    QUrl address;
    QTcpSocket socket;
    QByteArray received;
    qsizetype bodyStart = -1;
    qint64 declaredLength = -1;
    int arrivalCount = 0;
    QByteArray scratch;
    qint64 passedBytes = 0;
    QFile stream;
    bool done = false;
};
