#include "EngineKeeper.h"

#include "EngineFolder.h"
#include "EngineVersion.h"

#include <QJsonObject>
#include <QNetworkProxyFactory>
#include <QStandardPaths>

namespace {

// yt-dlp warns of itself at that age: sites change faster.
constexpr int kOldAfterDays = 90;
// Checks are due by the clock, looked at this often (a timer of hundreds of hours would not fit its int).
constexpr int kCheckTickMilliseconds = 60 * 1000;
constexpr int kRetireTickMilliseconds = 1000;

// Releases come through the proxy the environment names, as other programs' downloads do, except from this
// machine itself.
class EnvironmentProxies : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (QHostAddress(query.peerHostName()).isLoopback() || query.peerHostName() == QLatin1String("localhost"))
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

QString KindName(EngineUpdate::Outcome::Kind kind)
{
    switch (kind) {
    case EngineUpdate::Outcome::Kind::Installed:
        return QStringLiteral("installed");
    case EngineUpdate::Outcome::Kind::Current:
        return QStringLiteral("current");
    case EngineUpdate::Outcome::Kind::Refused:
        return QStringLiteral("refused");
    case EngineUpdate::Outcome::Kind::Unreachable:
        break;
    }
    return QStringLiteral("unreachable");
}

}  // namespace

EngineKeeper::EngineKeeper(const ResolverOptions &options, QObject *parent)
    : QObject(parent)
    , options(options)
    , folder(options.engineFolder.isEmpty() ? EngineFolder::DefaultFolder() : options.engineFolder)
{
    const QList<EngineCandidate> found = EngineChoice::FindCandidates(options.ytDlpPath, folder, &problems);
    candidates.assign(found.begin(), found.end());
    runtime = JsRuntime::Find();
    network.setProxyFactory(new EnvironmentProxies);
    updateSettings.source = options.engineSource;
    updateSettings.folder = folder;
    updateSettings.keyFile =
        options.engineKey.isEmpty() ? ResolverOptionsParser::ShippedEngineKey() : options.engineKey;
    updateSettings.verifier = QStandardPaths::findExecutable(QStringLiteral("sqv"));
    updateSettings.confinement.memoryLimit = options.parseMemoryMiB * 1024 * 1024;
    updateSettings.trialTimeoutSeconds = std::max(60, options.fetchTimeoutSeconds);
    retireTimer.setInterval(kRetireTickMilliseconds);
    connect(&retireTimer, &QTimer::timeout, this, &EngineKeeper::DropIdleBridges);
    checkTimer.setInterval(kCheckTickMilliseconds);
    connect(&checkTimer, &QTimer::timeout, this, [this] {
        if (QDateTime::currentDateTimeUtc() >= nextCheck)
            CheckNow();
    });
}

EngineKeeper::~EngineKeeper() = default;

void EngineKeeper::Start(const YtDlpBridge::Settings &settings, const ChildProcess::Confinement &trial)
{
    started = true;
    bridgeSettings = settings;
    bridgeSettings.jsRuntimes = runtime.ForYtDlp();
    updateSettings.confinement = trial;
    if (!candidates.empty()) {
        current = MakeBridge(candidates.front());
        current->Start();
        emit BridgeChanged(current.get());
    }
    // After the start-up line.
    QTimer::singleShot(0, this, &EngineKeeper::WarnIfOld);
    if (options.UpdatesEngine()) {
        nextCheck = QDateTime::currentDateTimeUtc();
        checkTimer.start();
        // Soon, not now: the service answers its first clients meanwhile.
        QTimer::singleShot(0, this, &EngineKeeper::CheckNow);
    }
}

std::unique_ptr<YtDlpBridge> EngineKeeper::MakeBridge(const EngineCandidate &candidate)
{
    YtDlpBridge::Settings settings = bridgeSettings;
    settings.launch = candidate.launch;
    auto bridge = std::make_unique<YtDlpBridge>(settings);
    YtDlpBridge *raw = bridge.get();
    connect(raw, &YtDlpBridge::Ready, this, [this, raw] {
        if (raw == current.get())
            emit Said(QStringLiteral("yt-dlp %1 ready").arg(raw->Version()));
    });
    connect(raw, &YtDlpBridge::BecameUnusable, this, [this, raw] {
        if (raw == current.get())
            emit Said(
                QStringLiteral("yt-dlp cannot be used (%1); the built-in engine works alone").arg(raw->Problem()));
    });
    return bridge;
}

void EngineKeeper::WarnIfOld()
{
    if (candidates.empty() || options.UpdatesEngine())
        return;
    const QDate released = EngineVersion::DateOf(candidates.front().version);
    const qint64 days = released.isValid() ? released.daysTo(QDate::currentDate()) : 0;
    if (days > kOldAfterDays)
        emit Said(QStringLiteral("%1 is %2 days old and is not updated (%3): sites change faster, and it may find "
                                 "little on them")
                      .arg(EngineChoice::Describe(candidates.front(), true))
                      .arg(days)
                      .arg(options.ytDlpPath.isEmpty() ? QStringLiteral("--engine-check-hours 0")
                                                       : QStringLiteral("--yt-dlp")));
}

void EngineKeeper::CheckNow()
{
    if (update || !options.ytDlpPath.isEmpty())
        return;
    nextCheck = QDateTime::currentDateTimeUtc().addSecs(qint64(std::max(1, options.engineCheckHours)) * 3600);
    // A release that another run of the program installed (--update-engine).
    if (const std::optional<EngineCandidate> newer = started ? NewerDownload() : std::nullopt)
        SwitchTo(*newer);
    // A release on its way in is judged as in use already.
    const EngineCandidate *judged = startingCandidate ? &*startingCandidate
        : candidates.empty()                          ? nullptr
                                                      : &candidates.front();
    const bool downloaded = judged && judged->origin == EngineCandidate::Origin::Downloaded;
    update = new EngineUpdate(&network, updateSettings, judged ? judged->version : QString(),
                              downloaded ? judged->launch.path : QString(), &verified, this);
    connect(update, &EngineUpdate::Finished, this, &EngineKeeper::OnChecked);
    update->Start();
}

std::optional<EngineCandidate> EngineKeeper::NewerDownload() const
{
    const QList<EngineFolder::Downloaded> downloaded = EngineFolder::ScanFolder(folder);
    const QString inUse = startingCandidate ? startingCandidate->version
        : candidates.empty()                ? QString()
                                            : candidates.front().version;
    if (downloaded.isEmpty() || !EngineVersion::IsNewer(downloaded.first().version, inUse))
        return std::nullopt;
    const auto inspected = YtDlpProgram::Inspect(downloaded.first().path);
    if (!std::holds_alternative<YtDlpLaunch>(inspected))
        return std::nullopt;
    return EngineCandidate{EngineCandidate::Origin::Downloaded, std::get<YtDlpLaunch>(inspected),
                           downloaded.first().version};
}

void EngineKeeper::OnChecked(const EngineUpdate::Outcome &outcome)
{
    update->deleteLater();
    update = nullptr;
    lastChecked = QDateTime::currentDateTimeUtc();
    lastOutcome = outcome;
    emit Said(QStringLiteral("%1 (%2 s)").arg(outcome.line).arg(double(outcome.milliseconds) / 1000, 0, 'f', 2));
    if (started && outcome.kind == EngineUpdate::Outcome::Kind::Installed) {
        const auto inspected = YtDlpProgram::Inspect(outcome.path);
        if (std::holds_alternative<YtDlpLaunch>(inspected))
            SwitchTo({EngineCandidate::Origin::Downloaded, std::get<YtDlpLaunch>(inspected), outcome.version});
    }
    emit CheckFinished(outcome);
}

void EngineKeeper::SwitchTo(const EngineCandidate &candidate)
{
    starting = MakeBridge(candidate);
    startingCandidate = candidate;
    YtDlpBridge *raw = starting.get();
    connect(raw, &YtDlpBridge::Ready, this, [this, raw] {
        if (raw == starting.get())
            Promote();
    });
    connect(raw, &YtDlpBridge::BecameUnusable, this, [this, raw] {
        if (raw != starting.get())
            return;
        emit Said(QStringLiteral("%1 cannot be used (%2); %3 stays in use")
                      .arg(EngineChoice::Describe(*startingCandidate, false), raw->Problem(),
                           candidates.empty() ? QStringLiteral("the built-in engine")
                                              : EngineChoice::Describe(candidates.front(), false)));
        // Still telling us: it goes a moment later.
        starting.release()->deleteLater();
        startingCandidate.reset();
    });
    raw->Start();
}

void EngineKeeper::Promote()
{
    if (current)
        retiring.push_back(std::move(current));
    current = std::move(starting);
    const EngineCandidate promoted = *startingCandidate;
    startingCandidate.reset();
    std::erase_if(candidates, [](const EngineCandidate &c) { return c.origin == EngineCandidate::Origin::Downloaded; });
    candidates.insert(candidates.begin(), promoted);
    emit BridgeChanged(current.get());
    emit Said(QStringLiteral("%1 in use").arg(EngineChoice::Describe(promoted, true)));
    retireTimer.start();
}

void EngineKeeper::DropIdleBridges()
{
    // A bridge ends with its children: only once the pages given to it have their answers.
    std::erase_if(retiring, [](const std::unique_ptr<YtDlpBridge> &bridge) { return !bridge->Busy(); });
    if (retiring.empty())
        retireTimer.stop();
}

QString EngineKeeper::Describe(bool withPaths) const
{
    QString updates;
    if (!options.ytDlpPath.isEmpty())
        updates = QStringLiteral("not updated (--yt-dlp)");
    else if (options.engineCheckHours == 0)
        updates = QStringLiteral("not updated (--engine-check-hours 0)");
    else if (updateSettings.verifier.isEmpty())
        updates = QStringLiteral("not updated: sqv, which verifies yt-dlp's releases, is not installed");
    const QString source = options.engineSource.toDisplayString();
    QString text;
    if (!candidates.empty())
        text = EngineChoice::Describe(candidates.front(), withPaths) + QStringLiteral(", ")
            + (updates.isEmpty()
                   ? QStringLiteral("updated every %1 h from %2").arg(options.engineCheckHours).arg(source)
                   : updates);
    else if (updates.isEmpty())
        text = QStringLiteral("no yt-dlp yet: %1; its release comes from %2").arg(Problem(), source);
    else
        text = QStringLiteral("no yt-dlp: %1").arg(Problem());
    return text + QStringLiteral("; ") + runtime.Describe();
}

QJsonArray EngineKeeper::EnginesJson(bool withPaths) const
{
    QJsonArray engines;
    for (const EngineCandidate &candidate : candidates) {
        QJsonObject engine{{"name", "yt-dlp"},
                           {"version", candidate.version},
                           {"origin", EngineChoice::NameOf(candidate.origin)},
                           {"in_use", &candidate == &candidates.front()}};
        if (withPaths)
            engine.insert(QStringLiteral("path"), candidate.launch.path);
        if (candidate.origin == EngineCandidate::Origin::Downloaded)
            engine.insert(QStringLiteral("source"), options.engineSource.toString());
        if (&candidate == &candidates.front() && options.UpdatesEngine()) {
            engine.insert(QStringLiteral("checked"),
                          lastChecked.isValid() ? QJsonValue(lastChecked.toString(Qt::ISODate)) : QJsonValue());
            if (lastChecked.isValid())
                engine.insert(QStringLiteral("check"), KindName(lastOutcome.kind));
        }
        engines.append(engine);
    }
    return engines;
}
