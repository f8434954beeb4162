#include "ResolverOptions.h"
#include "Version.h"

#include <QTest>

using namespace ResolverOptionsParser;

class TestResolverOptions : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void readsOptions();
    void refusesBadOptions_data();
    void refusesBadOptions();
    void sharedServiceRefusesInternalAddresses_data();
    void sharedServiceRefusesInternalAddresses();
};

namespace {

Outcome Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("quillon-resolver"));
    return ParseOptions(arguments);
}

}  // namespace

void TestResolverOptions::defaults()
{
    const Outcome outcome = Parse({});
    QVERIFY(std::holds_alternative<ResolverOptions>(outcome));
    const auto &options = std::get<ResolverOptions>(outcome);
    QCOMPARE(options.listenAddress, QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(options.port, quint16(8397));
    QCOMPARE(options.currentVersion, AppVersion());
    QCOMPARE(options.pageLimit, qint64(4 * 1024 * 1024));
    QCOMPARE(options.fetchTimeoutSeconds, 20);
    QVERIFY(!options.RefusesInternalAddresses());
    QCOMPARE(options.engines, (QList<Engine>{Engine::Builtin, Engine::YtDlp}));
    QCOMPARE(options.maxHeight, 1080);
    QCOMPARE(options.workers, 4);
    QVERIFY(options.secret.isEmpty());
    QCOMPARE(options.engineCheckHours, 24);
    QCOMPARE(options.engineSource, QUrl(QStringLiteral("https://github.com/yt-dlp/yt-dlp/releases/latest/download/")));
    QVERIFY(options.UpdatesEngine());
    QVERIFY(!options.updateEngine);
}

void TestResolverOptions::readsOptions()
{
    const Outcome outcome = Parse({"--listen", "::", "--port=9000", "--current-version", "1.8", "--page-limit", "2048",
                                   "--timeout", "5", "--client-timeout", "7", "--allow-private"});
    QVERIFY(std::holds_alternative<ResolverOptions>(outcome));
    const auto &options = std::get<ResolverOptions>(outcome);
    QCOMPARE(options.listenAddress, QHostAddress(QStringLiteral("::")));
    QCOMPARE(options.port, quint16(9000));
    QCOMPARE(options.currentVersion, QStringLiteral("1.8"));
    QCOMPARE(options.pageLimit, qint64(2048));
    QCOMPARE(options.fetchTimeoutSeconds, 5);
    QCOMPARE(options.clientTimeoutSeconds, 7);
    QVERIFY(options.allowPrivate);
    QVERIFY(std::holds_alternative<ShowHelp>(Parse({"--help"})));

    const Outcome engines = Parse({"--engines", "yt-dlp, builtin", "--yt-dlp", "/usr/bin/yt-dlp", "--max-height", "720",
                                   "--workers", "9", "--secret", "shared key"});
    QVERIFY(std::holds_alternative<ResolverOptions>(engines));
    const auto &withEngines = std::get<ResolverOptions>(engines);
    QCOMPARE(withEngines.engines, (QList<Engine>{Engine::YtDlp, Engine::Builtin}));
    QCOMPARE(withEngines.ytDlpPath, QStringLiteral("/usr/bin/yt-dlp"));
    QCOMPARE(withEngines.maxHeight, 720);
    QCOMPARE(withEngines.workers, 9);
    QCOMPARE(withEngines.secret, QByteArray("shared key"));
    QVERIFY(!withEngines.UpdatesEngine());

    const Outcome updates = Parse({"--engine-dir", "/srv/engines", "--engine-check-hours", "0", "--engine-source",
                                   "https://mirror.example/yt-dlp", "--engine-key",
                                   QCoreApplication::applicationFilePath(), "--update-engine"});
    QVERIFY(std::holds_alternative<ResolverOptions>(updates));
    const auto &withUpdates = std::get<ResolverOptions>(updates);
    QCOMPARE(withUpdates.engineFolder, QStringLiteral("/srv/engines"));
    QCOMPARE(withUpdates.engineCheckHours, 0);
    // A folder: its files are named after it.
    QCOMPARE(withUpdates.engineSource, QUrl(QStringLiteral("https://mirror.example/yt-dlp/")));
    QCOMPARE(withUpdates.engineKey, QCoreApplication::applicationFilePath());
    QVERIFY(withUpdates.updateEngine);
    QVERIFY(!withUpdates.UpdatesEngine());
}

void TestResolverOptions::refusesBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--lisen", "1.2.3.4"} << "Unknown option 'lisen'.";
    QTest::newRow("missing value") << QStringList{"--port"} << "Missing value after '--port'.";
    QTest::newRow("port zero") << QStringList{"--port", "0"} << "--port wants a number from 1 to 65535, not '0'.";
    QTest::newRow("port too big") << QStringList{"--port", "65536"}
                                  << "--port wants a number from 1 to 65535, not '65536'.";
    QTest::newRow("port not a number") << QStringList{"--port", "http"}
                                       << "--port wants a number from 1 to 65535, not 'http'.";
    QTest::newRow("listen on a name") << QStringList{"--listen", "example.com"}
                                      << "--listen wants an IP address such as 127.0.0.1 or ::, not 'example.com'.";
    QTest::newRow("tiny page limit") << QStringList{"--page-limit", "10"}
                                     << "--page-limit wants a number of bytes from 1024 to 1073741824, not '10'.";
    QTest::newRow("zero timeout") << QStringList{"--timeout", "0"}
                                  << "--timeout wants a number of seconds from 1 to 600, not '0'.";
    QTest::newRow("empty version") << QStringList{"--current-version", ""}
                                   << "--current-version wants a non-empty text.";
    QTest::newRow("stray argument") << QStringList{"8397"} << "Unexpected argument '8397'.";
    QTest::newRow("unknown engine") << QStringList{"--engines", "builtin,youtube-dl"}
                                    << "--engines wants builtin and yt-dlp, each once, separated by commas, not "
                                       "'builtin,youtube-dl'.";
    QTest::newRow("engine twice") << QStringList{"--engines", "yt-dlp,yt-dlp"}
                                  << "--engines wants builtin and yt-dlp, each once, separated by commas, not "
                                     "'yt-dlp,yt-dlp'.";
    QTest::newRow("no yt-dlp there") << QStringList{"--yt-dlp", "/nonexistent/yt-dlp"}
                                     << "--yt-dlp: /nonexistent/yt-dlp does not exist.";
    QTest::newRow("not a python yt-dlp") << QStringList{"--yt-dlp", "/bin/ls"}
                                         << "--yt-dlp: /bin/ls is a compiled program (yt-dlp's stand-alone build); "
                                            "the service needs the Python one: Debian's package, pip's, or the "
                                            "zipapp of yt-dlp's releases.";
    QTest::newRow("tiny height") << QStringList{"--max-height", "100"}
                                 << "--max-height wants a number from 144 to 4320, not '100'.";
    QTest::newRow("no workers") << QStringList{"--workers", "0"} << "--workers wants a number from 1 to 64, not '0'.";
    QTest::newRow("empty secret") << QStringList{"--secret", ""} << "--secret wants a non-empty text.";
    QTest::newRow("checks too far apart") << QStringList{"--engine-check-hours", "9000"}
                                          << "--engine-check-hours wants a number of hours from 0 to 8760, not "
                                             "'9000'.";
    QTest::newRow("source not on the web") << QStringList{"--engine-source", "file:///srv/yt-dlp/"}
                                           << "--engine-source wants the http:// or https:// address of a folder, "
                                              "not 'file:///srv/yt-dlp/'.";
    QTest::newRow("no key there") << QStringList{"--engine-key", "/nonexistent.asc"}
                                  << "--engine-key: /nonexistent.asc is no file that can be read.";
    QTest::newRow("update of a yt-dlp given") << QStringList{"--yt-dlp", "/usr/bin/yt-dlp", "--update-engine"}
                                              << "--update-engine updates the yt-dlp the service keeps; --yt-dlp "
                                                 "names another.";
}

void TestResolverOptions::refusesBadOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Outcome outcome = Parse(arguments);
    QVERIFY(std::holds_alternative<BadOption>(outcome));
    QCOMPARE(std::get<BadOption>(outcome).message, message);
}

void TestResolverOptions::sharedServiceRefusesInternalAddresses_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("refuses");
    QTest::newRow("default loopback") << QStringList{} << false;
    QTest::newRow("localhost") << QStringList{"--listen", "localhost"} << false;
    QTest::newRow("ipv6 loopback") << QStringList{"--listen", "::1"} << false;
    QTest::newRow("all ipv4") << QStringList{"--listen", "0.0.0.0"} << true;
    QTest::newRow("all ipv6") << QStringList{"--listen", "::"} << true;
    QTest::newRow("a private address") << QStringList{"--listen", "192.168.1.5"} << true;
    QTest::newRow("shared but allowed") << QStringList{"--listen", "0.0.0.0", "--allow-private"} << false;
}

void TestResolverOptions::sharedServiceRefusesInternalAddresses()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, refuses);
    const Outcome outcome = Parse(arguments);
    QVERIFY(std::holds_alternative<ResolverOptions>(outcome));
    QCOMPARE(std::get<ResolverOptions>(outcome).RefusesInternalAddresses(), refuses);
}

QTEST_GUILESS_MAIN(TestResolverOptions)
#include "tst_resolveroptions.moc"
