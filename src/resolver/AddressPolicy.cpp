#include "AddressPolicy.h"

#include <QNetworkInterface>

#include <array>

namespace AddressPolicy {

namespace {

struct Range4 {
    quint32 first;
    int prefixLength;
    AddressKind kind;
};

constexpr quint32 Address4(int a, int b, int c, int d)
{
    return (quint32(a) << 24) | (quint32(b) << 16) | (quint32(c) << 8) | quint32(d);
}

// The special-purpose ranges; anything else is a public address.
constexpr std::array kRanges4{
    Range4{Address4(0, 0, 0, 0), 32, AddressKind::Unspecified},
    Range4{Address4(0, 0, 0, 0), 8, AddressKind::Reserved},  // "this network"
    Range4{Address4(10, 0, 0, 0), 8, AddressKind::Private},
    Range4{Address4(100, 64, 0, 0), 10, AddressKind::Private},  // carrier-grade NAT
    Range4{Address4(127, 0, 0, 0), 8, AddressKind::Loopback},
    Range4{Address4(169, 254, 0, 0), 16, AddressKind::LinkLocal},
    Range4{Address4(172, 16, 0, 0), 12, AddressKind::Private},
    Range4{Address4(192, 0, 0, 0), 24, AddressKind::Reserved},  // protocol assignments
    Range4{Address4(192, 0, 2, 0), 24, AddressKind::Reserved},  // documentation
    Range4{Address4(192, 88, 99, 0), 24, AddressKind::Reserved},  // old 6to4 relays
    Range4{Address4(192, 168, 0, 0), 16, AddressKind::Private},
    Range4{Address4(198, 18, 0, 0), 15, AddressKind::Reserved},  // benchmarking
    Range4{Address4(198, 51, 100, 0), 24, AddressKind::Reserved},  // documentation
    Range4{Address4(203, 0, 113, 0), 24, AddressKind::Reserved},  // documentation
    Range4{Address4(224, 0, 0, 0), 4, AddressKind::Multicast},
    Range4{Address4(240, 0, 0, 0), 4, AddressKind::Reserved},  // includes the broadcast address
};

AddressKind ClassifyIPv4(quint32 address)
{
    for (const Range4 &range : kRanges4) {
        const quint32 mask = range.prefixLength == 0 ? 0 : ~quint32(0) << (32 - range.prefixLength);
        if ((address & mask) == range.first)
            return range.kind;
    }
    return AddressKind::Public;
}

quint32 IPv4At(const Q_IPV6ADDR &bytes, int offset)
{
    return (quint32(bytes[offset]) << 24) | (quint32(bytes[offset + 1]) << 16) | (quint32(bytes[offset + 2]) << 8)
        | quint32(bytes[offset + 3]);
}

bool StartsWith(const Q_IPV6ADDR &bytes, std::initializer_list<quint8> prefix)
{
    int i = 0;
    for (quint8 byte : prefix)
        if (bytes[i++] != byte)
            return false;
    return true;
}

// A local NAT64 prefix may be anything from /48 to /96 inside 64:ff9b:1::/48, and each length puts the IPv4
// address elsewhere (skipping bits 64 to 71). We cannot know the network's choice, so the address is public
// only if every place holds a public one (the most used lengths are looked at first).
AddressKind ClassifyLocalNat64(const Q_IPV6ADDR &bytes)
{
    const std::array<std::array<int, 4>, 4> places{{{12, 13, 14, 15}, {9, 10, 11, 12}, {7, 9, 10, 11}, {6, 7, 9, 10}}};
    for (const auto &place : places) {
        const quint32 address = (quint32(bytes[place[0]]) << 24) | (quint32(bytes[place[1]]) << 16)
            | (quint32(bytes[place[2]]) << 8) | quint32(bytes[place[3]]);
        const AddressKind kind = ClassifyIPv4(address);
        if (kind != AddressKind::Public)
            return kind;
    }
    return AddressKind::Public;
}

AddressKind ClassifyIPv6(const Q_IPV6ADDR &bytes)
{
    bool allZero = true;
    for (int i = 0; i < 15; ++i)
        allZero = allZero && bytes[i] == 0;
    if (allZero && bytes[15] == 0)
        return AddressKind::Unspecified;
    if (allZero && bytes[15] == 1)
        return AddressKind::Loopback;
    // Addresses that carry an IPv4 address inside reach that address: judge the address they carry.
    if (StartsWith(bytes, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}))  // ::ffff:a.b.c.d
        return ClassifyIPv4(IPv4At(bytes, 12));
    if (StartsWith(bytes, {0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0}))  // IPv4-translated ::ffff:0:a.b.c.d
        return ClassifyIPv4(IPv4At(bytes, 12));
    if (StartsWith(bytes, {0, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0}))  // NAT64 64:ff9b::/96
        return ClassifyIPv4(IPv4At(bytes, 12));
    if (StartsWith(bytes, {0, 0x64, 0xFF, 0x9B, 0, 1}))  // local NAT64 64:ff9b:1::/48
        return ClassifyLocalNat64(bytes);
    if (StartsWith(bytes, {0x20, 0x02}))  // 6to4 2002::/16
        return ClassifyIPv4(IPv4At(bytes, 2));
    if (StartsWith(bytes, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}))  // deprecated ::a.b.c.d
        return AddressKind::Reserved;
    if ((bytes[0] & 0xFE) == 0xFC)
        return AddressKind::Private;  // unique local fc00::/7
    if (bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80)
        return AddressKind::LinkLocal;  // fe80::/10
    if (bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0xC0)
        return AddressKind::Private;  // old site-local fec0::/10
    if (bytes[0] == 0xFF)
        return AddressKind::Multicast;
    if (StartsWith(bytes, {0x20, 0x01, 0x0D, 0xB8}))
        return AddressKind::Reserved;  // documentation 2001:db8::/32
    if (StartsWith(bytes, {0x01, 0, 0, 0, 0, 0, 0, 0}))
        return AddressKind::Reserved;  // discard-only 100::/64
    return AddressKind::Public;
}

}  // namespace

AddressKind ClassifyAddress(const QHostAddress &address)
{
    switch (address.protocol()) {
    case QAbstractSocket::IPv4Protocol:
        return ClassifyIPv4(address.toIPv4Address());
    case QAbstractSocket::IPv6Protocol:
        return ClassifyIPv6(address.toIPv6Address());
    default:
        return AddressKind::Reserved;
    }
}

QString DescribeKind(AddressKind kind)
{
    switch (kind) {
    case AddressKind::Public:
        return QStringLiteral("public");
    case AddressKind::Loopback:
        return QStringLiteral("loopback");
    case AddressKind::Private:
        return QStringLiteral("private");
    case AddressKind::LinkLocal:
        return QStringLiteral("link-local");
    case AddressKind::Multicast:
        return QStringLiteral("multicast");
    case AddressKind::Unspecified:
        return QStringLiteral("unspecified");
    case AddressKind::Reserved:
        return QStringLiteral("reserved");
    }
    return QStringLiteral("reserved");
}

bool IsPublic(const QHostAddress &address)
{
    return ClassifyAddress(address) == AddressKind::Public;
}

bool IsOwnAddress(const QHostAddress &address, const QList<QHostAddress> &ownAddresses)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    const QHostAddress plain = isIPv4 ? QHostAddress(ipv4) : address;
    for (const QHostAddress &own : ownAddresses)
        if (plain.isEqual(own, QHostAddress::TolerantConversion))
            return true;
    return false;
}

bool MayConnectTo(const QHostAddress &address)
{
    // Asked afresh each time: interfaces come and go.
    return IsPublic(address) && !IsOwnAddress(address, QNetworkInterface::allAddresses());
}

}  // namespace AddressPolicy
