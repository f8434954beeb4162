#include "EngineUpdate.h"

#include "EngineFolder.h"
#include "EngineVersion.h"
#include "ReleaseSums.h"
#include "YtDlpProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QUuid>

namespace {

const QString kProgram = QStringLiteral("yt-dlp");
const QString kSums = QStringLiteral("SHA2-256SUMS");
const QString kSignature = QStringLiteral("SHA2-256SUMS.sig");
constexpr qint64 kSumsLimit = 1024 * 1024;
constexpr qint64 kSignatureLimit = 64 * 1024;
// The zipapp is a few MiB.
constexpr qint64 kProgramLimit = 256 * 1024 * 1024;

// The last line a child said: its conclusion.
QString LastLine(const QByteArray &text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromUtf8(lines.isEmpty() ? QByteArray() : lines.constLast().trimmed()).left(300);
}

}  // namespace

EngineUpdate::EngineUpdate(QNetworkAccessManager *network, const Settings &settings, const QString &inUseVersion,
                           const QString &inUsePath, QHash<QByteArray, QString> *verified, QObject *parent)
    : QObject(parent)
    , network(network)
    , settings(settings)
    , inUseVersion(inUseVersion)
    , inUsePath(inUsePath)
    , verified(verified)
{
}

EngineUpdate::~EngineUpdate()
{
    download.reset();
    program.reset();
    if (!workFolder.isEmpty())
        QDir(workFolder).removeRecursively();
}

QString EngineUpdate::WorkPath(const QString &name) const
{
    return workFolder + QLatin1Char('/') + name;
}

void EngineUpdate::Start()
{
    clock.start();
    if (settings.verifier.isEmpty()) {
        Refuse(QStringLiteral("sqv, which verifies the release's signature, is not installed"));
        return;
    }
    if (settings.keyFile.isEmpty()) {
        Refuse(QStringLiteral("yt-dlp's release key is not installed (--engine-key names one)"));
        return;
    }
    if (!QDir().mkpath(settings.folder)) {
        Refuse(QStringLiteral("the folder %1 cannot be made").arg(settings.folder));
        return;
    }
    // Hidden, and named so that no release is ever taken for it.
    workFolder =
        QDir(settings.folder).filePath(QStringLiteral(".download-") + QUuid::createUuid().toString(QUuid::Id128));
    if (!QDir().mkdir(workFolder)) {
        workFolder.clear();
        Refuse(QStringLiteral("cannot write in %1").arg(settings.folder));
        return;
    }
    Fetch(kSums, kSumsLimit, nullptr, [this](const QByteArray &body) { OnSums(body); });
}

void EngineUpdate::Fetch(const QString &name, qint64 limit, QFile *target,
                         const std::function<void(const QByteArray &)> &next)
{
    download = std::make_unique<ReleaseDownload>(network, settings.source.resolved(QUrl(name)), limit, target);
    connect(download.get(), &ReleaseDownload::Finished, this, [this, name, next](ReleaseDownload::Outcome outcome) {
        // Still telling us: it goes when it is done.
        ReleaseDownload *finished = download.release();
        finished->deleteLater();
        const QString problem = finished->Problem();
        switch (outcome) {
        case ReleaseDownload::Outcome::Done:
            next(finished->Body());
            return;
        case ReleaseDownload::Outcome::Missing:
            // Without its list there is no release; a release without its signature is refused.
            if (name == kSums)
                End(Outcome::Kind::Unreachable, QStringLiteral("yt-dlp not checked: %1").arg(problem));
            else
                Refuse(QStringLiteral("the release has no %1 (%2)").arg(name, problem));
            return;
        case ReleaseDownload::Outcome::Unreachable:
            End(Outcome::Kind::Unreachable,
                name == kProgram ? QStringLiteral("yt-dlp not updated: its download broke off (%1)").arg(problem)
                                 : QStringLiteral("yt-dlp not checked: %1").arg(problem));
            return;
        case ReleaseDownload::Outcome::TooLarge:
        case ReleaseDownload::Outcome::WriteFailed:
            Refuse(problem);
            return;
        }
    });
    download->Start();
}

void EngineUpdate::OnSums(const QByteArray &body)
{
    sums = body;
    Fetch(kSignature, kSignatureLimit, nullptr, [this](const QByteArray &signature) { OnSignature(signature); });
}

void EngineUpdate::OnSignature(const QByteArray &signature)
{
    QFile sumsFile(WorkPath(kSums));
    QFile signatureFile(WorkPath(kSignature));
    if (!sumsFile.open(QIODevice::WriteOnly) || sumsFile.write(sums) != sums.size()
        || !signatureFile.open(QIODevice::WriteOnly) || signatureFile.write(signature) != signature.size()) {
        Refuse(QStringLiteral("cannot write in %1").arg(settings.folder));
        return;
    }
    sumsFile.close();
    signatureFile.close();
    ChildRun::Command command{settings.verifier,
                              {QStringLiteral("--keyring"), settings.keyFile, signatureFile.fileName(),
                               sumsFile.fileName()},
                              {},
                              30000};
    ChildRun::Start(command, this, [this](const ChildRun::Result &result) { OnVerified(result); });
}

void EngineUpdate::OnVerified(const ChildRun::Result &result)
{
    if (!result.exited || result.exitCode != 0) {
        Refuse(QStringLiteral("the signature of %1 does not verify with the key %2 (sqv: %3)")
                   .arg(kSums, QFileInfo(settings.keyFile).fileName(),
                        result.problem.isEmpty() ? LastLine(result.errors) : result.problem));
        return;
    }
    const std::optional<QByteArray> found = ReleaseSums::DigestFor(sums, kProgram);
    if (!found) {
        Refuse(QStringLiteral("%1 has no one line for %2").arg(kSums, kProgram));
        return;
    }
    digest = *found;
    if (!inUsePath.isEmpty() && EngineFolder::Sha256Of(inUsePath) == digest) {
        End(Outcome::Kind::Current, QStringLiteral("yt-dlp %1 is current").arg(inUseVersion), inUseVersion);
        return;
    }
    if (verified->contains(digest) && !EngineVersion::IsNewer(verified->value(digest), inUseVersion)) {
        Judge(verified->value(digest));
        return;
    }
    DownloadProgram();
}

void EngineUpdate::DownloadProgram()
{
    program = std::make_unique<QFile>(WorkPath(kProgram));
    if (!program->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        Refuse(QStringLiteral("cannot write %1: %2").arg(program->fileName(), program->errorString()));
        return;
    }
    Fetch(kProgram, kProgramLimit, program.get(), [this](const QByteArray &) { OnProgram(); });
}

void EngineUpdate::OnProgram()
{
    const bool written = program->flush() && EngineFolder::SyncPath(program->fileName());
    program->close();
    if (!written) {
        Refuse(QStringLiteral("cannot write %1: %2").arg(program->fileName(), program->errorString()));
        return;
    }
    if (EngineFolder::Sha256Of(program->fileName()) != digest) {
        Refuse(QStringLiteral("the SHA-256 of the downloaded %1 is not the one in %2").arg(kProgram, kSums));
        return;
    }
    program->setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                            | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                            | QFileDevice::ExeOther);
    const auto inspected = YtDlpProgram::Inspect(program->fileName());
    if (const QString *problem = std::get_if<QString>(&inspected)) {
        Refuse(*problem);
        return;
    }
    launch = std::get<YtDlpLaunch>(inspected);
    ChildRun::Command command{launch.interpreter, YtDlpProgram::VersionProbeArguments(launch), settings.confinement,
                              settings.trialTimeoutSeconds * 1000};
    ChildRun::Start(command, this, [this](const ChildRun::Result &result) { OnClaim(result); });
}

void EngineUpdate::OnClaim(const ChildRun::Result &result)
{
    claimed = QString::fromUtf8(result.output.trimmed());
    if (!result.exited || result.exitCode != 0 || !EngineVersion::ParseVersion(claimed)) {
        Refuse(QStringLiteral("the downloaded %1 names no version of the form YYYY.MM.DD").arg(kProgram));
        return;
    }
    verified->insert(digest, claimed);
    if (!EngineVersion::IsNewer(claimed, inUseVersion)) {
        Judge(claimed);
        return;
    }
    ChildRun::Command command{launch.interpreter, YtDlpProgram::TrialArguments(launch), settings.confinement,
                              settings.trialTimeoutSeconds * 1000};
    ChildRun::Start(command, this, [this](const ChildRun::Result &result) { OnTrial(result); });
}

void EngineUpdate::OnTrial(const ChildRun::Result &result)
{
    const QString said = LastLine(result.output);
    // A release of another channel than the stable one names it first: "nightly@2026.08.19.232850".
    const bool named = said == claimed || said.endsWith(QLatin1Char('@') + claimed);
    if (!result.exited || result.exitCode != 0 || !named) {
        verified->remove(digest);
        const QString how = !result.problem.isEmpty() ? result.problem
            : result.exitCode != 0
            ? QStringLiteral("it ended with %1: %2").arg(result.exitCode).arg(LastLine(result.errors))
            : QStringLiteral("it said '%1'").arg(said);
        Refuse(QStringLiteral("yt-dlp %1 failed its trial run (--version): %2").arg(claimed, how));
        return;
    }
    Install();
}

void EngineUpdate::Install()
{
    const QString target = EngineFolder::InstalledPath(settings.folder, claimed);
    // A release of that version already there was verified as this one was: the same name, the same contents.
    QFile::remove(target);
    if (!QFile::rename(program->fileName(), target) || !EngineFolder::SyncPath(settings.folder)) {
        Refuse(QStringLiteral("cannot install %1 in %2").arg(kProgram, settings.folder));
        return;
    }
    EngineFolder::Prune(settings.folder);
    Outcome outcome{Outcome::Kind::Installed, claimed, target, QStringLiteral("yt-dlp %1 installed").arg(claimed),
                    clock.elapsed()};
    ended = true;
    emit Finished(outcome);
}

void EngineUpdate::Judge(const QString &version)
{
    if (version == inUseVersion) {
        End(Outcome::Kind::Current, QStringLiteral("yt-dlp %1 is current").arg(inUseVersion), inUseVersion);
        return;
    }
    End(Outcome::Kind::Current,
        QStringLiteral("yt-dlp %1 is current; the source offers %2, which is not newer: left alone")
            .arg(inUseVersion, version),
        inUseVersion);
}

void EngineUpdate::Refuse(const QString &why)
{
    End(Outcome::Kind::Refused, QStringLiteral("yt-dlp not updated: %1").arg(why), inUseVersion);
}

void EngineUpdate::End(Outcome::Kind kind, const QString &line, const QString &version)
{
    if (ended)
        return;
    ended = true;
    download.reset();
    if (program)
        program->close();
    if (!workFolder.isEmpty())
        QDir(workFolder).removeRecursively();
    workFolder.clear();
    emit Finished({kind, version.isEmpty() ? inUseVersion : version, QString(), line, clock.elapsed()});
}
