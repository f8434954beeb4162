#include "NameLookup.h"

#include <ares.h>

#include <QSocketNotifier>

#include <mutex>
#include <netinet/in.h>

namespace {

// Each server is asked twice, two seconds each time; the fetch's own time limit still bounds the whole.
constexpr int kQueryTimeoutMilliseconds = 2000;
constexpr int kQueryTries = 2;

void InitializeLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
}

}  // namespace

NameLookup::NameLookup(const QString &nameServers, QObject *parent) : QObject(parent), nameServers(nameServers)
{
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, this, [this] { Process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
}

NameLookup::~NameLookup()
{
    finished = true;  // ares_destroy calls back every query it drops
    for (auto *notifiers : {&readNotifiers, &writeNotifiers})
        for (auto &[socket, notifier] : *notifiers)
            notifier->setEnabled(false);
    if (channel)
        ares_destroy(channel);
}

void NameLookup::Start(const QString &host)
{
    const QHostAddress literal(host);
    if (!literal.isNull()) {
        QMetaObject::invokeMethod(
            this, [this, literal] { Finish({literal}); }, Qt::QueuedConnection);
        return;
    }
    InitializeLibrary();
    ares_options options{};
    options.sock_state_cb = &NameLookup::OnSocketState;
    options.sock_state_cb_data = this;
    options.timeout = kQueryTimeoutMilliseconds;
    options.tries = kQueryTries;
    const int mask = ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES;
    if (ares_init_options(&channel, &options, mask) != ARES_SUCCESS) {
        channel = nullptr;
        QMetaObject::invokeMethod(
            this, [this] { Finish({}); }, Qt::QueuedConnection);
        return;
    }
    if (!nameServers.isEmpty())
        ares_set_servers_ports_csv(channel, nameServers.toLatin1().constData());
    ares_addrinfo_hints hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    ares_getaddrinfo(channel, host.toUtf8().constData(), nullptr, &hints, &NameLookup::OnAnswer, this);
    ScheduleTimeout();
}

void NameLookup::OnSocketState(void *data, int socket, int readable, int writable)
{
    auto *lookup = static_cast<NameLookup *>(data);
    auto watch = [lookup, socket](std::map<int, QSocketNotifier *> &notifiers, bool wanted,
                                  QSocketNotifier::Type type) {
        const auto found = notifiers.find(socket);
        if (!wanted) {
            if (found != notifiers.end()) {
                // We may be inside this very notifier's signal.
                found->second->setEnabled(false);
                found->second->deleteLater();
                notifiers.erase(found);
            }
            return;
        }
        if (found != notifiers.end())
            return;
        auto *notifier = new QSocketNotifier(socket, type, lookup);
        notifiers[socket] = notifier;
        const bool reading = type == QSocketNotifier::Read;
        QObject::connect(notifier, &QSocketNotifier::activated, lookup, [lookup, socket, reading] {
            lookup->Process(reading ? socket : ARES_SOCKET_BAD, reading ? ARES_SOCKET_BAD : socket);
        });
    };
    watch(lookup->readNotifiers, readable != 0, QSocketNotifier::Read);
    watch(lookup->writeNotifiers, writable != 0, QSocketNotifier::Write);
}

void NameLookup::Process(int readSocket, int writeSocket)
{
    if (!channel)
        return;
    ares_process_fd(channel, readSocket, writeSocket);
    ScheduleTimeout();
}

void NameLookup::ScheduleTimeout()
{
    if (!channel || finished)
        return;
    timeval wait{};
    if (ares_timeout(channel, nullptr, &wait))
        timeout.start(int(wait.tv_sec * 1000 + wait.tv_usec / 1000) + 1);
    else
        timeout.stop();
}

void NameLookup::OnAnswer(void *arg, int status, int, ares_addrinfo *result)
{
    auto *lookup = static_cast<NameLookup *>(arg);
    QList<QHostAddress> addresses;
    if (status == ARES_SUCCESS && result) {
        for (const ares_addrinfo_node *node = result->nodes; node; node = node->ai_next) {
            const QHostAddress address(node->ai_addr);
            if (!address.isNull() && !addresses.contains(address))
                addresses.append(address);
        }
    }
    if (result)
        ares_freeaddrinfo(result);
    if (lookup->finished)
        return;
    // Out of c-ares's own call: whoever hears Finished may delete us and our channel.
    QMetaObject::invokeMethod(
        lookup, [lookup, addresses] { lookup->Finish(addresses); }, Qt::QueuedConnection);
}

void NameLookup::Finish(const QList<QHostAddress> &addresses)
{
    if (finished)
        return;
    finished = true;
    timeout.stop();
    emit Finished(addresses);
}
