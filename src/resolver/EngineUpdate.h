#pragma once

#include "ChildProcess.h"
#include "ChildRun.h"
#include "ReleaseDownload.h"
#include "YtDlpProgram.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;

// One check of yt-dlp's release folder, and the install of a newer release. Nothing the folder sends runs, or
// even takes a name in the engine folder, before it is verified: the detached OpenPGP signature of
// SHA2-256SUMS against the release key (by sqv, Sequoia's verifier), then the SHA-256 of the program against
// its line there. A release is installed only when it is newer than the engine in use, and only after its trial
// (its own --version must name the version it claims): written beside the others under a temporary name, made
// durable, tried, then renamed to its own name (EngineFolder). Whatever fails, the file is deleted and the
// engine in use stays. Finished() comes once, unless the check is deleted first.
class EngineUpdate : public QObject {
    Q_OBJECT

public:
    struct Settings {
        QUrl source;  // the release folder, ending in "/"
        QString folder;  // the engine folder
        QString keyFile;  // the release key, armoured
        QString verifier;  // sqv, or empty when there is none
        ChildProcess::Confinement confinement;  // of the trial, as of every yt-dlp child
        int trialTimeoutSeconds = 60;
    };

    struct Outcome {
        enum class Kind {
            Installed,
            Current,  // the engine in use is the newest that could be verified
            Refused,  // a release was there and failed a check, or could not be installed
            Unreachable,  // the source could not be reached, or did not have the release
        };
        Kind kind = Kind::Unreachable;
        QString version;  // installed or in use
        QString path;  // what was installed
        QString line;  // what happened, in one line for the log
        qint64 milliseconds = 0;  // the check took
    };

    // inUseVersion: of the engine in use; inUsePath: its file when it is a downloaded one. verified: what earlier
    // checks learnt, the versions of releases by their SHA-256, so that a release already judged is not
    // downloaded again.
    EngineUpdate(QNetworkAccessManager *network, const Settings &settings, const QString &inUseVersion,
                 const QString &inUsePath, QHash<QByteArray, QString> *verified, QObject *parent = nullptr);
    ~EngineUpdate() override;

    void Start();

signals:
    void Finished(const EngineUpdate::Outcome &outcome);

private:
    void Fetch(const QString &name, qint64 limit, QFile *target, const std::function<void(const QByteArray &)> &next);
    void OnSums(const QByteArray &sums);
    void OnSignature(const QByteArray &signature);
    void OnVerified(const ChildRun::Result &result);
    void DownloadProgram();
    void OnProgram();
    void OnClaim(const ChildRun::Result &result);
    void OnTrial(const ChildRun::Result &result);
    void Install();
    void Judge(const QString &version);
    void Refuse(const QString &why);
    void End(Outcome::Kind kind, const QString &line, const QString &version = QString());
    QString WorkPath(const QString &name) const;

    QNetworkAccessManager *network;
    Settings settings;
    QString inUseVersion;
    QString inUsePath;
    QHash<QByteArray, QString> *verified;
    std::unique_ptr<ReleaseDownload> download;
    QByteArray sums;
    QByteArray digest;
    QString workFolder;  // beside the releases, for what is not verified yet
    std::unique_ptr<QFile> program;
    YtDlpLaunch launch;
    QString claimed;
    QElapsedTimer clock;
    bool ended = false;
};
