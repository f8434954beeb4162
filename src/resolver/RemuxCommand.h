#pragma once

#include "MediaFormats.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The ffmpeg command line that copies a stream plan's inputs, without re-encoding, into one file on its
// standard output.
namespace RemuxCommand {

enum class Container {
    Flv,
    Matroska,
};

// timeoutSeconds is the service's limit of silence on ffmpeg's output; ffmpeg's own limit of each network read
// and connection is twice that, so that a source that sends nothing is the service's to tell, whichever of
// ffmpeg's reads it stalls.
// ffmpeg may open network protocols only, so that a playlist that names "file:" or other local resources gets
// nothing from this machine. That is no bound on where it connects: its HLS and DASH readers take any protocol
// whose name begins with "http" for a segment, a key or a base address, and a variant playlist any protocol
// allowed at all, tcp and tls among them. Through the fetch proxy (throughProxy) ffmpeg needs "httpproxy" too,
// its tunnel for HTTPS, which connects wherever a playlist says: it runs in a SealedNetwork then, where the
// proxy is all there is to reach.
QStringList ComposeArguments(const StreamPlan &plan, Container container, int timeoutSeconds, bool throughProxy);

QByteArray ContentTypeOf(Container container);

// ffmpeg's words when the container refused the streams' codecs (before any byte of output).
bool IsContainerRefusal(const QByteArray &errorOutput);

// What ffmpeg's words say went wrong, for a short reason of the service's own: the words themselves name the
// source and the addresses of ffmpeg's objects in memory, and are for the service's log.
struct Failure {
    enum class Kind {
        Unknown,
        OutOfMemory,
        HttpStatus,  // the source answered httpStatus
    };
    Kind kind = Kind::Unknown;
    int httpStatus = 0;
};

Failure ReadFailure(const QByteArray &errorOutput);

// ffmpeg's words when a piece of the stream could not be fetched. It goes on without it and ends as if all
// were well, with a video that lacks those seconds.
bool IsSourceBroken(const QByteArray &errorOutput);

}  // namespace RemuxCommand
