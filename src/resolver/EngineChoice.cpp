#include "EngineChoice.h"

#include "ChildRun.h"
#include "EngineFolder.h"
#include "EngineVersion.h"

#include <algorithm>

namespace EngineChoice {

namespace {

std::optional<EngineCandidate> Inspect(EngineCandidate::Origin origin, const QString &path, const QString &version,
                                       QStringList *problems)
{
    const auto inspected = YtDlpProgram::Inspect(path);
    if (const QString *problem = std::get_if<QString>(&inspected)) {
        problems->append(*problem);
        return std::nullopt;
    }
    EngineCandidate candidate{origin, std::get<YtDlpLaunch>(inspected), version};
    if (candidate.version.isEmpty())
        candidate.version = ReadVersion(candidate.launch);
    return candidate;
}

}  // namespace

QString ReadVersion(const YtDlpLaunch &launch)
{
    const ChildRun::Result result =
        ChildRun::RunNow({launch.interpreter, YtDlpProgram::VersionProbeArguments(launch), {}, 10000});
    return result.exited && result.exitCode == 0 ? QString::fromUtf8(result.output.trimmed()) : QString();
}

QList<EngineCandidate> FindCandidates(const QString &given, const QString &folder, QStringList *problems)
{
    QList<EngineCandidate> found;
    if (!given.isEmpty()) {
        if (const auto candidate = Inspect(EngineCandidate::Origin::Given, given, QString(), problems))
            found.append(*candidate);
        return found;
    }
    // Only the newest release downloaded counts: the one before it is there for a step back by hand.
    const QList<EngineFolder::Downloaded> downloaded = EngineFolder::ScanFolder(folder);
    if (!downloaded.isEmpty())
        if (const auto candidate = Inspect(EngineCandidate::Origin::Downloaded, downloaded.first().path,
                                           downloaded.first().version, problems))
            found.append(*candidate);
    const QString system = YtDlpProgram::FindOnPath();
    if (system.isEmpty())
        problems->append(QStringLiteral("yt-dlp not found on PATH"));
    else if (const auto candidate = Inspect(EngineCandidate::Origin::System, system, QString(), problems))
        found.append(*candidate);
    // The system's first when both are of one version: its own package keeps it.
    std::stable_sort(found.begin(), found.end(), [](const EngineCandidate &a, const EngineCandidate &b) {
        return EngineVersion::IsNewer(a.version, b.version);
    });
    if (found.size() == 2 && found.at(0).version == found.at(1).version)
        std::swap(found[0], found[1]);
    return found;
}

QString NameOf(EngineCandidate::Origin origin)
{
    switch (origin) {
    case EngineCandidate::Origin::Given:
        return QStringLiteral("given");
    case EngineCandidate::Origin::Downloaded:
        return QStringLiteral("downloaded");
    case EngineCandidate::Origin::System:
        break;
    }
    return QStringLiteral("system");
}

QString Describe(const EngineCandidate &candidate, bool withPath)
{
    const QString version = candidate.version.isEmpty() ? QStringLiteral("of unknown version") : candidate.version;
    QString text = QStringLiteral("yt-dlp %1 (%2").arg(version, NameOf(candidate.origin));
    if (withPath)
        text += QStringLiteral(", ") + candidate.launch.path;
    return text + QLatin1Char(')');
}

}  // namespace EngineChoice
