#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>

class WorkerSlots;

// A place for one yt-dlp or ffmpeg process, granted now or when one is free. Deleting the ticket gives the
// place back, or leaves the queue.
class WorkerTicket : public QObject {
    Q_OBJECT

public:
    ~WorkerTicket() override;
    bool IsGranted() const { return granted; }

signals:
    void Granted();

private:
    friend class WorkerSlots;
    WorkerTicket(WorkerSlots *pool, const QHostAddress &client, QObject *parent);

    QPointer<WorkerSlots> pool;
    QHostAddress client;
    bool granted = false;
};

// The engine and ffmpeg processes that may run at once (--workers). One client address holds at most all
// places but one, so that someone else's request always finds one within a process's time limit; waiting
// requests are served in turn, and past a bound a new one is turned away at once. One address also waits in
// at most all places of the queue but one: it never fills the queue while a place it may not take is idle.
class WorkerSlots : public QObject {
    Q_OBJECT

public:
    struct Settings {
        int places = 4;
        int queueLimit = 16;
        bool shareByClient = true;  // false: one client (a reverse proxy) may have every place
    };

    explicit WorkerSlots(const Settings &settings, QObject *parent = nullptr);

    // A ticket, a child of owner, whose Granted() comes later (never from inside this call); nothing when
    // the queue is full.
    WorkerTicket *Request(const QHostAddress &client, QObject *owner);

    int Taken() const { return int(holders.size()); }
    int Places() const { return settings.places; }

private:
    friend class WorkerTicket;
    void Leave(WorkerTicket *ticket);
    void Dispatch();
    // What one address may have of a whole: all of it for a lone place or a reverse proxy, else all but one.
    int ShareOf(int whole) const;
    static int CountOf(const QList<WorkerTicket *> &tickets, const QHostAddress &client);

    Settings settings;
    QList<WorkerTicket *> holders;
    QList<WorkerTicket *> waiting;
};
