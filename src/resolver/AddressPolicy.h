#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

// Which addresses a page may live at. A service open to everyone must not become a way into the network it
// stands in (its own loopback, the private ranges, routers' link-local addresses), so it checks every address a
// page or a redirect resolves to before connecting.
namespace AddressPolicy {

enum class AddressKind {
    Public,
    Loopback,
    Private,
    LinkLocal,
    Multicast,
    Unspecified,
    Reserved,
};

AddressKind ClassifyAddress(const QHostAddress &address);

// A text for logs and answers: "loopback", "private", ...
QString DescribeKind(AddressKind kind);

bool IsPublic(const QHostAddress &address);

// True when the address (or the IPv4 address it maps) is one of ownAddresses.
bool IsOwnAddress(const QHostAddress &address, const QList<QHostAddress> &ownAddresses);

// True when a service that refuses internal addresses may connect to this one: a public address that is
// none of this machine's own (a service listening on all its addresses is reachable at its public one too).
bool MayConnectTo(const QHostAddress &address);

}  // namespace AddressPolicy
