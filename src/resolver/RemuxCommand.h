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

// What ffmpeg may open: network addresses only. A playlist that names "file:" or other local resources as
// its segments gets nothing from this machine.
inline const QString kProtocols = QStringLiteral("http,https,tls,tcp,crypto,httpproxy");

// timeoutSeconds bounds each network read and connection of ffmpeg's.
QStringList ComposeArguments(const StreamPlan &plan, Container container, int timeoutSeconds);

QByteArray ContentTypeOf(Container container);

// ffmpeg's words when the container refused the streams' codecs (before any byte of output).
bool IsContainerRefusal(const QByteArray &errorOutput);

// ffmpeg's words when a piece of the stream could not be fetched. It goes on without it and ends as if all
// were well, with a video that lacks those seconds.
bool IsSourceBroken(const QByteArray &errorOutput);

}  // namespace RemuxCommand
