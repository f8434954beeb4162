#include "RemuxCommand.h"

#include <QRegularExpression>

namespace RemuxCommand {

namespace {

QString AllowedProtocols(bool throughProxy)
{
    const QString direct = QStringLiteral("http,https,tls,tcp,crypto");
    return throughProxy ? direct + QStringLiteral(",httpproxy") : direct;
}

}  // namespace

QStringList ComposeArguments(const StreamPlan &plan, Container container, int timeoutSeconds, bool throughProxy)
{
    QStringList arguments{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-nostats"),
                          // Warnings: a segment ffmpeg could not fetch is only one (IsSourceBroken).
                          QStringLiteral("-loglevel"), QStringLiteral("warning")};
    for (const StreamInput &input : plan.inputs) {
        arguments << QStringLiteral("-protocol_whitelist") << AllowedProtocols(throughProxy)
                  << QStringLiteral("-rw_timeout") << QString::number(2 * qint64(timeoutSeconds) * 1000000);
        if (!input.headers.isEmpty()) {
            QByteArray headers;
            for (const auto &[name, value] : input.headers)
                headers += name + ": " + value + "\r\n";
            arguments << QStringLiteral("-headers") << QString::fromUtf8(headers);
        }
        arguments << QStringLiteral("-i") << QString::fromLatin1(input.url.toEncoded());
    }
    const bool ownChoice = plan.inputs.size() == 1 && plan.inputs.first().streamNumber < 0;
    for (qsizetype i = 0; i < plan.inputs.size() && !ownChoice; ++i) {
        const int stream = plan.inputs[i].streamNumber;
        const QString which = stream >= 0 ? QString::number(stream) : QLatin1String(i == 0 ? "v:0" : "a:0");
        arguments << QStringLiteral("-map") << QStringLiteral("%1:%2").arg(i).arg(which);
    }
    // Into the pipe in whole buffers of 32 KiB, not one write per packet: a quarter of the writes and wake-ups.
    arguments << QStringLiteral("-c") << QStringLiteral("copy") << QStringLiteral("-flush_packets")
              << QStringLiteral("0");
    if (container == Container::Flv)  // a pipe cannot be rewound to write them at the end
        arguments << QStringLiteral("-f") << QStringLiteral("flv") << QStringLiteral("-flvflags")
                  << QStringLiteral("no_duration_filesize");
    else
        arguments << QStringLiteral("-f") << QStringLiteral("matroska");
    arguments << QStringLiteral("pipe:1");
    return arguments;
}

QByteArray ContentTypeOf(Container container)
{
    return container == Container::Flv ? "video/x-flv" : "video/x-matroska";
}

bool IsSourceBroken(const QByteArray &errorOutput)
{
    for (const char *sign :
         {"Failed to open segment", "Failed to open fragment", "Unable to open key file", "HTTP error"})
        if (errorOutput.contains(sign))
            return true;
    return false;
}

Failure ReadFailure(const QByteArray &errorOutput)
{
    if (errorOutput.contains("Cannot allocate memory"))
        return {Failure::Kind::OutOfMemory, 0};
    static const QRegularExpression status(QStringLiteral("(?:Server returned|HTTP error) ([1-5][0-9][0-9]) "));
    QRegularExpressionMatch last;
    for (const QRegularExpressionMatch &match : status.globalMatch(QString::fromUtf8(errorOutput)))
        last = match;
    if (last.hasMatch())
        return {Failure::Kind::HttpStatus, last.captured(1).toInt()};
    return {};
}

bool IsContainerRefusal(const QByteArray &errorOutput)
{
    return errorOutput.contains("Could not write header") || errorOutput.contains("not compatible with flv");
}

}  // namespace RemuxCommand
