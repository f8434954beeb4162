#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>

// How yt-dlp is run here: not as its own program once per page (starting Python and importing yt-dlp costs
// about a second), but through our bridge (ytdlp_bridge.py), run by the Python the yt-dlp program names on its
// first line, so that it imports the same yt-dlp: Debian's, one installed with pip, or the zipapp of yt-dlp's
// releases (which the bridge imports from the file itself).
struct YtDlpLaunch {
    QString path;  // the yt-dlp program
    QString interpreter;  // its Python, or /usr/bin/env
    QStringList interpreterArguments;  // "python3" after /usr/bin/env
};

namespace YtDlpProgram {

// "yt-dlp" on PATH, or empty.
QString FindOnPath();

// How to run the bridge for the yt-dlp at path, or why it cannot be (in English, for the operator).
std::variant<YtDlpLaunch, QString> Inspect(const QString &path);

// The bridge's command line after the interpreter; config is the JSON object the bridge reads.
QStringList BridgeArguments(const YtDlpLaunch &launch, const QByteArray &config);

// Arguments after the interpreter that print the version of that yt-dlp without importing it (which takes a
// second): read from the zipapp's yt_dlp/version.py, or from that of the yt_dlp its Python would import.
QStringList VersionProbeArguments(const YtDlpLaunch &launch);

// Arguments after the interpreter that run the program itself with --version: its trial.
QStringList TrialArguments(const YtDlpLaunch &launch);

// The bridge itself, ytdlp_bridge.py, built into the service.
extern const char *const kBridgeScript;

}  // namespace YtDlpProgram
