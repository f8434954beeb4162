#pragma once

#include <QString>
#include <QtGlobal>

// How the transfer control reaches servers: directly, or through an HTTP proxy with or without its Basic
// authorisation. The settings file fills it; the control reads it afresh whenever a transfer starts.
struct ConnectionSettings {
    bool UseProxy = false;
    QString ProxyName;
    quint16 ProxyPort = 0;
    bool ProxyAuth = false;
    QString ProxyLogin;
    // Plain text in memory.
    QString ProxyPass;
    // Why the settings cannot be used as they stand, in the user's words, or "" when they can: a transfer
    // started with unusable settings ends at once with this text instead of reaching anyone.
    QString Fault;

    friend bool operator==(const ConnectionSettings &, const ConnectionSettings &) = default;
};

// The most connections a video is fetched over at once unless options.ini says otherwise (Network/MaxConnections);
// a download manager's usual ceiling.
inline constexpr int kDefaultMaxConnections = 16;
