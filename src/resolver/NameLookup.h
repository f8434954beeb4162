#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <map>

class QSocketNotifier;
struct ares_channeldata;

// One host name looked up without blocking (c-ares, on this thread's event loop), with a time limit of its
// own. Deleting the lookup cancels it at once: nothing of it runs on. An IP address is its own answer and
// asks no name server. Finished() comes once, later than Start().
class NameLookup : public QObject {
    Q_OBJECT

public:
    // nameServers: "address:port,..." to ask instead of the system's (tests, or a service's own resolver).
    explicit NameLookup(const QString &nameServers = QString(), QObject *parent = nullptr);
    ~NameLookup() override;

    void Start(const QString &host);

signals:
    // Empty when the name has no address or no server answered in time.
    void Finished(const QList<QHostAddress> &addresses);

private:
    static void OnSocketState(void *data, int socket, int readable, int writable);
    static void OnAnswer(void *arg, int status, int timeouts, struct ares_addrinfo *result);
    void Process(int readSocket, int writeSocket);
    void ScheduleTimeout();
    void Finish(const QList<QHostAddress> &addresses);

    QString nameServers;
    ares_channeldata *channel = nullptr;
    std::map<int, QSocketNotifier *> readNotifiers;  // children of ours
    std::map<int, QSocketNotifier *> writeNotifiers;
    QTimer timeout;
    bool finished = false;
};
