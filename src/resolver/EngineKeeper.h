#pragma once

#include "EngineChoice.h"
#include "EngineUpdate.h"
#include "JsRuntime.h"
#include "ResolverOptions.h"
#include "YtDlpBridge.h"

#include <QDateTime>
#include <QHash>
#include <QJsonArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

// Which yt-dlp the service runs, and keeping it current. It runs the newest of the release it downloaded and the
// system's (EngineChoice), or the one --yt-dlp names, in a warm bridge. Unless --yt-dlp or
// --engine-check-hours 0 turn that off, it checks yt-dlp's release folder soon after start and then every
// --engine-check-hours (EngineUpdate). A release installed starts a new bridge; once that is ready, new pages go
// to it, while pages under way finish in the old one, which goes when they are done. Whatever fails, the engine
// in use stays, one line says why, and the next check tries again.
class EngineKeeper : public QObject {
    Q_OBJECT

public:
    explicit EngineKeeper(const ResolverOptions &options, QObject *parent = nullptr);
    ~EngineKeeper() override;

    // Whether there is a yt-dlp to run, and why not.
    bool HasEngine() const { return !candidates.empty(); }
    QString Problem() const { return problems.join(QStringLiteral("; ")); }

    // Starts the bridge (its settings without the program) and the checks; trial: how a release's trial
    // run is confined, as every yt-dlp child is.
    void Start(const YtDlpBridge::Settings &bridgeSettings, const ChildProcess::Confinement &trial);
    // The bridge that new pages go to; nothing before Start or without yt-dlp.
    YtDlpBridge *Bridge() const { return current.get(); }

    // One check of the release folder now, unless one is under way. Before Start (--update-engine) it only
    // installs what it finds.
    void CheckNow();

    // For the start-up line and --help: the engine in use, the JavaScript runtime, what is off.
    QString Describe(bool withPaths) const;
    // The yt-dlps of GET /engines: each version, where it came from, whether it is in use, when the source was
    // last checked; paths only when asked.
    QJsonArray EnginesJson(bool withPaths) const;
    const JsRuntime &Runtime() const { return runtime; }

signals:
    // The bridge that new pages go to from now on.
    void BridgeChanged(YtDlpBridge *bridge);
    // A line for the log.
    void Said(const QString &line);
    void CheckFinished(const EngineUpdate::Outcome &outcome);

private:
    std::unique_ptr<YtDlpBridge> MakeBridge(const EngineCandidate &candidate);
    void OnChecked(const EngineUpdate::Outcome &outcome);
    void SwitchTo(const EngineCandidate &candidate);
    void Promote();
    void DropIdleBridges();
    void WarnIfOld();
    std::optional<EngineCandidate> NewerDownload() const;

    ResolverOptions options;
    QString folder;
    std::vector<EngineCandidate> candidates;  // the first is in use
    QStringList problems;
    JsRuntime runtime;
    YtDlpBridge::Settings bridgeSettings;
    EngineUpdate::Settings updateSettings;
    std::unique_ptr<YtDlpBridge> current;
    std::unique_ptr<YtDlpBridge> starting;
    std::optional<EngineCandidate> startingCandidate;
    std::vector<std::unique_ptr<YtDlpBridge>> retiring;
    bool started = false;
    QTimer retireTimer;
    QTimer checkTimer;
    QNetworkAccessManager network;
    EngineUpdate *update = nullptr;
    QHash<QByteArray, QString> verified;
    QDateTime lastChecked;
    QDateTime nextCheck;
    EngineUpdate::Outcome lastOutcome;
};
