#pragma once

#include "YtDlpProgram.h"

#include <QList>
#include <QString>

// The yt-dlps the service can run, and which of them it runs: the one --yt-dlp names, or else the newest of the
// release it downloaded (EngineFolder) and the system's (yt-dlp on PATH: Debian's, pip's).
struct EngineCandidate {
    enum class Origin {
        Given,  // --yt-dlp
        Downloaded,
        System,
    };
    Origin origin = Origin::System;
    YtDlpLaunch launch;
    QString version;  // empty when it could not be read
};

namespace EngineChoice {

// Newest first: the one to run. Those that cannot be run are left out, and why goes to *problems.
QList<EngineCandidate> FindCandidates(const QString &given, const QString &folder, QStringList *problems);

// The version of a yt-dlp as its files say (without importing it), or empty.
QString ReadVersion(const YtDlpLaunch &launch);

// "downloaded", "system", "given".
QString NameOf(EngineCandidate::Origin origin);

// "yt-dlp 2026.08.19 (downloaded, PATH)", the path only when asked.
QString Describe(const EngineCandidate &candidate, bool withPath);

}  // namespace EngineChoice
