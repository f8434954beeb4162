#pragma once

#include <QHostAddress>
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

// True when a service that refuses internal addresses may connect to this one.
bool IsPublic(const QHostAddress &address);

}  // namespace AddressPolicy
