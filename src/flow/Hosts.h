#pragma once

#include <QString>

class INI;

// The servers the program talks to and the pages it opens. Each is a host, optionally with ":port".
struct Hosts {
    QString Resolver;
    QString Update;
    QString WebSite;
    QString ProgramPage;
};

// The built-in hosts, the only place they are written down.
Hosts DefaultHosts();

// The built-in hosts, each replaced by its key of section "Hosts" in the settings file when that holds a
// usable host ("Resolver", "Update", "WebSite", "ProgramPage").
Hosts ReadHosts(const INI &ini);

// A host name or address with an optional ":port" and nothing else: no scheme, path, blank or login.
bool IsHostText(const QString &text);

// "http://" + host + path: the addresses made of the hosts.
QString ResolverAddress(const Hosts &hosts);
QString UpdateAddress(const Hosts &hosts);
QString WebSiteAddress(const Hosts &hosts);
