#pragma once

#include "MediaFormats.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <optional>

// The last part of a /media/ address: everything a service needs to stream the video (its StreamPlan) and
// when that stops being true, signed with the service's key. Any instance with the same key can serve it, so
// several behind one load balancer need share nothing but the key. It is signed, not secret: it names the
// addresses and headers ffmpeg will use, which the client could have fetched itself.
namespace MediaToken {

// How long a link stays good: the program downloads at once; the video's own addresses expire too.
constexpr qint64 kLifetimeSeconds = 3 * 60 * 60;

QByteArray ComposeToken(const StreamPlan &plan, QByteArrayView key, const QDateTime &now);

enum class Problem {
    None,
    Malformed,  // not one of ours, or changed since it was signed
    Expired,
};

struct Reading {
    Problem problem = Problem::Malformed;
    StreamPlan plan;
};

Reading ReadToken(QByteArrayView token, QByteArrayView key, const QDateTime &now);

// A key drawn from the system's random source, for a service given none.
QByteArray DrawKey();

}  // namespace MediaToken
