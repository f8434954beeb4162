#include "WorkerSlots.h"

#include <algorithm>

WorkerTicket::WorkerTicket(WorkerSlots *pool, const QHostAddress &client, QObject *parent)
    : QObject(parent)
    , pool(pool)
    , client(client)
{
}

WorkerTicket::~WorkerTicket()
{
    if (pool)
        pool->Leave(this);
}

WorkerSlots::WorkerSlots(const Settings &settings, QObject *parent) : QObject(parent), settings(settings)
{
    this->settings.places = std::max(settings.places, 1);
}

WorkerTicket *WorkerSlots::Request(const QHostAddress &client, QObject *owner)
{
    if (waiting.size() >= settings.queueLimit || CountOf(waiting, client) >= ShareOf(settings.queueLimit))
        return nullptr;
    auto *ticket = new WorkerTicket(this, client, owner);
    waiting.append(ticket);
    QMetaObject::invokeMethod(this, &WorkerSlots::Dispatch, Qt::QueuedConnection);
    return ticket;
}

void WorkerSlots::Leave(WorkerTicket *ticket)
{
    waiting.removeOne(ticket);
    if (holders.removeOne(ticket))
        QMetaObject::invokeMethod(this, &WorkerSlots::Dispatch, Qt::QueuedConnection);
}

int WorkerSlots::ShareOf(int whole) const
{
    return settings.shareByClient ? std::max(whole - 1, 1) : whole;
}

int WorkerSlots::CountOf(const QList<WorkerTicket *> &tickets, const QHostAddress &client)
{
    return int(std::count_if(tickets.begin(), tickets.end(),
                             [&](const WorkerTicket *ticket) { return ticket->client == client; }));
}

void WorkerSlots::Dispatch()
{
    const int share = ShareOf(settings.places);
    for (qsizetype i = 0; i < waiting.size() && holders.size() < settings.places;) {
        WorkerTicket *ticket = waiting[i];
        if (CountOf(holders, ticket->client) >= share) {
            ++i;
            continue;
        }
        waiting.removeAt(i);
        holders.append(ticket);
        ticket->granted = true;
        // Its owner may delete it from here: it is off the queue already, and leaving frees the place.
        emit ticket->Granted();
    }
}
