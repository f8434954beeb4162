#include "EngineFolder.h"
#include "ResolverTestSupport.h"
#include "ScriptedServer.h"
#include "YtDlpProgram.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QProcess>
#include <QTcpSocket>
#include <QTest>

using namespace ResolverTestSupport;

// The service keeps its yt-dlp current: releases of our own (made from Debian's yt-dlp, signed with a key made
// for the test) served by a real nginx on 127.0.0.1, checked, refused or installed by the real program and the
// service, and pages resolved through the release installed.
class TestResolverEngines : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void updatesOnce_data();
    void updatesOnce();
    void switchesWhilePagesAreUnderWay();
    void sharedServiceShowsNoPaths_data();
    void sharedServiceShowsNoPaths();

private:
    struct Run {
        int exitCode = -1;
        QString line;
    };
    Run UpdateOnce(const QString &source, const QString &folder);
    QString Release(const QString &name) const { return site.Address(QStringLiteral("releases/%1/").arg(name)); }
    QByteArray Resolve(const ResolverService &service, const QString &page);

    NginxServer site;
    QString key;
    QString systemVersion;
};

namespace {

QByteArray PlayerPage(const QByteArray &video)
{
    return "<!DOCTYPE html><html><head><title>Player</title></head><body><div id=\"player\"></div><script>"
           "jwplayer(\"player\").setup({file: \""
        + video + "\", title: \"A clip\"});</script></body></html>";
}

QByteArray HttpAnswer(const QByteArray &body, qint64 length = -1)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: close\r\nContent-Length: "
        + QByteArray::number(length < 0 ? body.size() : length) + "\r\n\r\n" + body;
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WaitForBridge(const ResolverService &service, const QString &version)
{
    return QTest::qWaitFor(
        [&] {
            return service.YtDlp() && service.YtDlp()->CurrentState() == YtDlpBridge::State::Ready
                && service.YtDlp()->Version() == version;
        },
        180000);
}

}  // namespace

void TestResolverEngines::initTestCase()
{
    // The releases are made with the Python of Debian's yt-dlp, which imports it.
    const auto system = YtDlpProgram::Inspect(YtDlpProgram::FindOnPath());
    QVERIFY2(std::holds_alternative<YtDlpLaunch>(system), "Debian's yt-dlp is needed");
    const YtDlpLaunch launch = std::get<YtDlpLaunch>(system);
    const QString folder = site.FilePath(QStringLiteral("releases"));
    QProcess maker;
    maker.start(launch.interpreter,
                launch.interpreterArguments + QStringList{QStringLiteral(ENGINE_RELEASE_MAKER), folder});
    QVERIFY(maker.waitForFinished(300000));
    QVERIFY2(maker.exitCode() == 0, maker.readAllStandardError().constData());
    key = folder + QStringLiteral("/key.asc");
    site.WritePage("player.html", PlayerPage("clip.mp4"));
    QString error;
    QVERIFY2(site.Start(&error), qPrintable(error));
    QProcess version;
    version.start(launch.path, {QStringLiteral("--version")});
    QVERIFY(version.waitForFinished(60000));
    systemVersion = QString::fromUtf8(version.readAllStandardOutput().trimmed());
}

TestResolverEngines::Run TestResolverEngines::UpdateOnce(const QString &source, const QString &folder)
{
    QProcess program;
    program.start(QStringLiteral(RESOLVER_PROGRAM),
                  {"--update-engine", "--engine-source", source, "--engine-dir", folder, "--engine-key", key});
    // The loop runs meanwhile: a scripted source is in this process.
    if (!QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 120000))
        return {};
    const QList<QByteArray> lines = program.readAllStandardOutput().trimmed().split('\n');
    return {program.exitCode(), lines.size() == 1 ? QString::fromUtf8(lines.first()) : QString()};
}

void TestResolverEngines::updatesOnce_data()
{
    QTest::addColumn<QString>("before");  // a release installed first
    QTest::addColumn<QString>("source");  // a release, or "nowhere", "cut"
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QStringList>("installed");

    const QStringList none;
    QTest::newRow("installed") << ""
                               << "new" << 0 << "yt-dlp 2026.08.19 installed" << QStringList{"2026.08.19"};
    QTest::newRow("already current") << "new"
                                     << "new" << 0 << "yt-dlp 2026.08.19 is current" << QStringList{"2026.08.19"};
    QTest::newRow("newer, the previous kept")
        << "new"
        << "newer" << 0 << "yt-dlp 2026.09.02.1 installed" << QStringList{"2026.09.02.1", "2026.08.19"};
    QTest::newRow("older release") << "new"
                                   << "older" << 0
                                   << "yt-dlp 2026.08.19 is current; the source offers 2022.11.11, which is not newer"
                                   << QStringList{"2026.08.19"};
    QTest::newRow("tampered file") << ""
                                   << "tampered" << 1 << "SHA-256 of the downloaded yt-dlp is not the one" << none;
    QTest::newRow("wrong signature") << ""
                                     << "badsig" << 1 << "signature of SHA2-256SUMS does not verify" << none;
    QTest::newRow("signed by another key") << ""
                                           << "otherkey" << 1 << "signature of SHA2-256SUMS does not verify" << none;
    QTest::newRow("no signature") << ""
                                  << "nosig" << 1 << "the release has no SHA2-256SUMS.sig" << none;
    QTest::newRow("fails its trial") << ""
                                     << "trialfails" << 1 << "yt-dlp 2026.08.24 failed its trial run (--version)"
                                     << none;
    QTest::newRow("source answers 404") << ""
                                        << "gone" << 2 << "answered 404" << none;
    QTest::newRow("source unreachable") << "new"
                                        << "nowhere" << 2 << "yt-dlp not checked" << QStringList{"2026.08.19"};
    QTest::newRow("download cut in the middle") << ""
                                                << "cut" << 2 << "its download broke off" << none;
}

void TestResolverEngines::updatesOnce()
{
    QFETCH(QString, before);
    QFETCH(QString, source);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QStringList, installed);

    QTemporaryDir folder;
    if (!before.isEmpty())
        QCOMPARE(UpdateOnce(Release(before), folder.path()).exitCode, 0);
    ScriptedServer cut;
    QString address = Release(source);
    if (source == QLatin1String("nowhere")) {
        address = QStringLiteral("http://127.0.0.1:%1/").arg(FindFreePort());
    } else if (source == QLatin1String("cut")) {
        const QString release = site.FilePath(QStringLiteral("releases/new/"));
        const QByteArray program = ReadFile(release + "yt-dlp");
        QVERIFY(cut.Listen());
        cut.AddScript({ScriptedServer::Send(HttpAnswer(ReadFile(release + "SHA2-256SUMS"))), ScriptedServer::Close()});
        cut.AddScript(
            {ScriptedServer::Send(HttpAnswer(ReadFile(release + "SHA2-256SUMS.sig"))), ScriptedServer::Close()});
        cut.AddScript({ScriptedServer::Send(HttpAnswer(program.left(program.size() / 2), program.size())),
                       ScriptedServer::Close()});
        address = QStringLiteral("http://%1/").arg(cut.HostAndPort());
    }
    const Run run = UpdateOnce(address, folder.path());
    QVERIFY2(run.line.contains(said), qPrintable(run.line));
    QCOMPARE(run.exitCode, exitCode);
    QStringList versions;
    for (const EngineFolder::Downloaded &release : EngineFolder::ScanFolder(folder.path()))
        versions.append(release.version);
    QCOMPARE(versions, installed);
    // Nothing of a refused release is left, not even under a temporary name.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
             installed.size());
}

QByteArray TestResolverEngines::Resolve(const ResolverService &service, const QString &page)
{
    const QByteArray host = "127.0.0.1:" + QByteArray::number(service.ServerPort());
    return ExchangeRaw(service.ServerPort(), ComposeResolutionRequest(EncodeAsProgram(page), host));
}

void TestResolverEngines::switchesWhilePagesAreUnderWay()
{
    // The source the service checks: the release "new" now, "newer" later.
    const QString live = site.FilePath(QStringLiteral("releases/live/"));
    QVERIFY(QDir().mkpath(live));
    for (const QString name : {"yt-dlp", "SHA2-256SUMS", "SHA2-256SUMS.sig"})
        QVERIFY(QFile::copy(site.FilePath(QStringLiteral("releases/new/") + name), live + name));
    QTemporaryDir folder;
    ResolverOptions options;
    options.engines = {Engine::YtDlp};
    options.engineSource = QUrl(Release(QStringLiteral("live")));
    options.engineFolder = folder.path();
    options.engineKey = key;
    options.fetchTimeoutSeconds = 120;
    const std::unique_ptr<ResolverService> service = StartLocalService(options);

    // Checked at start: installed, and the next page goes through it.
    QVERIFY(WaitForBridge(*service, QStringLiteral("2026.08.19")));
    const QString page = site.Address(QStringLiteral("player.html"));
    QCOMPARE(ReadVideoLink(Resolve(*service, page)), site.Address(QStringLiteral("clip.mp4")));
    QCOMPARE(service->YtDlp()->ExtractionsStarted(), 1);
    const QJsonArray engines =
        QJsonDocument::fromJson(BodyOf(ExchangeRaw(service->ServerPort(), "GET /engines HTTP/1.0\r\n\r\n")))
            .object()
            .value(QLatin1String("engines"))
            .toArray();
    QCOMPARE(engines.size(), 2);
    QCOMPARE(engines.at(0)["version"].toString(), QStringLiteral("2026.08.19"));
    QCOMPARE(engines.at(0)["origin"].toString(), QStringLiteral("downloaded"));
    QVERIFY(engines.at(0)["in_use"].toBool());
    QCOMPARE(engines.at(0)["check"].toString(), QStringLiteral("installed"));
    QCOMPARE(engines.at(1)["version"].toString(), systemVersion);
    QCOMPARE(engines.at(1)["origin"].toString(), QStringLiteral("system"));

    // A page whose server answers only when told, under way while a newer release comes in.
    ScriptedServer slow;
    QVERIFY(slow.Listen());
    slow.AddScript(
        {ScriptedServer::Hold(), ScriptedServer::Send(HttpAnswer(PlayerPage("slow.mp4"))), ScriptedServer::Close()});
    QPointer<YtDlpBridge> first = service->YtDlp();
    // Asked without waiting for the answer: the test goes on meanwhile.
    QTcpSocket client;
    QByteArray slowAnswer;
    bool answered = false;
    connect(&client, &QTcpSocket::readyRead, this, [&] { slowAnswer += client.readAll(); });
    connect(&client, &QTcpSocket::disconnected, this, [&] { answered = true; });
    client.connectToHost(QHostAddress::LocalHost, service->ServerPort());
    client.write(
        ComposeResolutionRequest(EncodeAsProgram(QStringLiteral("http://%1/slow.html").arg(slow.HostAndPort())),
                                 "127.0.0.1:" + QByteArray::number(service->ServerPort())));
    QVERIFY(QTest::qWaitFor([&] { return slow.Waiting() == 1; }, 60000));
    for (const QString name : {"yt-dlp", "SHA2-256SUMS", "SHA2-256SUMS.sig"}) {
        QFile::remove(live + name);
        QVERIFY(QFile::copy(site.FilePath(QStringLiteral("releases/newer/") + name), live + name));
    }
    service->Engines()->CheckNow();
    QVERIFY(WaitForBridge(*service, QStringLiteral("2026.09.02.1")));
    QVERIFY(first);  // still finishing its page
    slow.Release();
    QVERIFY(QTest::qWaitFor([&] { return answered; }, 120000));
    QVERIFY2(ReadVideoLink(slowAnswer).endsWith(QLatin1String("/slow.mp4")), slowAnswer.constData());
    QCOMPARE(ReadVideoLink(Resolve(*service, page)), site.Address(QStringLiteral("clip.mp4")));
    QCOMPARE(service->YtDlp()->ExtractionsStarted(), 1);
    QVERIFY(QTest::qWaitFor([&] { return first.isNull(); }, 10000));
}

void TestResolverEngines::sharedServiceShowsNoPaths_data()
{
    QTest::addColumn<QString>("listen");
    QTest::addColumn<bool>("paths");
    QTest::newRow("loopback") << "127.0.0.1" << true;
    QTest::newRow("for everyone") << "0.0.0.0" << false;
}

void TestResolverEngines::sharedServiceShowsNoPaths()
{
    QFETCH(QString, listen);
    QFETCH(bool, paths);
    QTemporaryDir folder;
    QVERIFY(QFile::copy(site.FilePath(QStringLiteral("releases/new/yt-dlp")), folder.filePath("yt-dlp-2026.08.19")));
    ResolverOptions options;
    options.listenAddress = QHostAddress(listen);
    options.engineFolder = folder.path();
    options.engineCheckHours = 0;
    const ResolverService service(options);
    const QJsonArray engines =
        QJsonDocument::fromJson(service.ComposeEnginesAnswer()).object().value(QLatin1String("engines")).toArray();
    QCOMPARE(engines.size(), 3);
    QCOMPARE(engines.at(1)["version"].toString(), QStringLiteral("2026.08.19"));
    QVERIFY(engines.at(1)["in_use"].toBool());
    for (const QJsonValue &engine : engines)
        QCOMPARE(engine.toObject().contains(QLatin1String("path")), paths && engine["name"] == QLatin1String("yt-dlp"));
}

QTEST_GUILESS_MAIN(TestResolverEngines)
#include "tst_resolverengines.moc"
