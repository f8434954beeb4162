#include "DC.h"
#include "DCRecorder.h"
#include "DCTestSupport.h"
#include "NginxTls.h"
#include "RealPeers.h"
#include "Requests.h"
#include "TransferTexts.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using Site = NginxTls::Site;
Q_DECLARE_METATYPE(NginxTls::Site)

namespace {

constexpr int kWait = 60000;
const QString kLogin = u"quillon"_s;
const QString kPassword = u"s3cret"_s;

}  // namespace

// DC over TLS against a real nginx with certificates of a test authority, directly and through a real
// tinyproxy's CONNECT tunnel with Basic authorisation.
class TestDCHttps : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void download();
    void redirects_data();
    void redirects();
    void redirectLimitHolds();
    void certificateRefused_data();
    void certificateRefused();
    void handshakeWithAPlainServerFails();
    void resolutionRequest_data();
    void resolutionRequest();
    void throughTinyproxy_data();
    void throughTinyproxy();
    void redirectToHttpsThroughTinyproxy();
    void certificateIsCheckedForTheServerNotTheProxy();

private:
    // What the transfers of a test are given; direct unless the test says otherwise. The servers on loopback
    // stand in for remote ones: the control is told to reach them through the proxy all the same.
    ConnectionSettings connection;
    QString Url(Site site, const QString &path) const;
    void UseTinyproxy(const QString &proxyAuth, const QString &password);
    QStringList Sequence(const QString &serverName) const;

    QTemporaryDir folder;
    QByteArray video;
    NginxTls web;
    Tinyproxy proxy;
};

void TestDCHttps::initTestCase()
{
    QVERIFY(folder.isValid());
    video = DCTest::WriteTestVideo(folder.filePath(u"video.flv"_s), 3 * 1024 * 1024 + 29, 20261207);
    QVERIFY(!video.isEmpty());
    QVERIFY2(web.Start(folder.path()), qPrintable(web.Error()));
    // Tunnels to the secure site only: a tunnel anywhere else is what a proxy refuses.
    QVERIFY2(proxy.Start(kLogin, kPassword, {web.Port(Site::Secure), web.Port(Site::NameOnly)}),
             qPrintable(proxy.Error()));
}

void TestDCHttps::init()
{
    connection = {};
}

QString TestDCHttps::Url(Site site, const QString &path) const
{
    return (site == Site::Plain ? u"http://"_s : u"https://"_s) + web.HostAndPort(site) + path;
}

void TestDCHttps::UseTinyproxy(const QString &proxyAuth, const QString &password)
{
    connection = DCTest::LoopbackProxy(proxy.Port(), proxyAuth == u"1", kLogin, password);
}

// The events of a whole download, with the arrivals left out: the same as over plain HTTP.
QStringList TestDCHttps::Sequence(const QString &serverName) const
{
    return {u"Percent:0"_s,
            u"Size:0"_s,
            u"Msg:"_s + TransferTexts::Connecting(serverName),
            u"Server:"_s + TransferTexts::ServerLine(serverName),
            u"Msg:"_s + TransferTexts::RequestSent(),
            u"Size:"_s + QString::number(video.size()),
            u"Percent:100"_s,
            u"Msg:"_s + TransferTexts::Finished(),
            QStringLiteral("OK:<%1 bytes>").arg(video.size())};
}

QStringList WithoutArrivals(const QStringList &events)
{
    QStringList kept;
    for (const QString &event : events) {
        const bool arrival = event.startsWith(u"Msg:Загрузка данных:")
            || (event.startsWith(u"Percent:") && event != u"Percent:0" && event != u"Percent:100");
        if (!arrival)
            kept << event;
    }
    kept.removeDuplicates();
    return kept;
}

void TestDCHttps::download()
{
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(Site::Secure, u"/video.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(WithoutArrivals(recorder.events), Sequence(web.HostAndPort(Site::Secure)));
    QVERIFY(recorder.body == video);
    // The count covers what came out of the TLS channel: the answer's header and the body.
    const QString lastCount = recorder.events.filter(u"Msg:Загрузка данных:"_s).last().section(u' ', 3, 3);
    QVERIFY2(lastCount.toLongLong() > video.size(), qPrintable(lastCount));
    QCOMPARE(dc.ServerName(), web.HostAndPort(Site::Secure));
    QCOMPARE(dc.PageName(), u"/video.flv"_s);
}

void TestDCHttps::redirects_data()
{
    QTest::addColumn<Site>("site");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("location");  // what DownOK hands over for the redirect; SECURE and PLAIN: the sites
    QTest::addColumn<Site>("finalSite");
    QTest::newRow("http to https") << Site::Plain << u"/to-secure/video.flv"_s << u"https://SECURE/video.flv"_s
                                   << Site::Secure;
    QTest::newRow("https to http") << Site::Secure << u"/to-plain/video.flv"_s << u"http://PLAIN/video.flv"_s
                                   << Site::Plain;
    QTest::newRow("https to a bare path stays https")
        << Site::Secure << u"/to-path/video.flv"_s << u"/video.flv"_s << Site::Secure;
}

void TestDCHttps::redirects()
{
    QFETCH(Site, site);
    QFETCH(QString, path);
    QFETCH(QString, location);
    QFETCH(Site, finalSite);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(site, path));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    const QString expected = QString(location)
                                 .replace(u"SECURE"_s, web.HostAndPort(Site::Secure))
                                 .replace(u"PLAIN"_s, web.HostAndPort(Site::Plain));
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s), QStringList{u"OK:redirect "_s + expected});
    QCOMPARE(recorder.events.last(), QStringLiteral("OK:<%1 bytes>").arg(video.size()));
    QVERIFY(recorder.body == video);
    QCOMPARE(dc.ServerName(), web.HostAndPort(finalSite));
}

void TestDCHttps::redirectLimitHolds()
{
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(Site::Secure, u"/loop"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.filter(u"OK:redirect /loop"_s).size(), DC::kMaxRedirectsInRow);
    QCOMPARE(recorder.events.last(), u"Error:"_s + TransferTexts::TooManyRedirects(DC::kMaxRedirectsInRow));
}

void TestDCHttps::certificateRefused_data()
{
    QTest::addColumn<Site>("site");
    QTest::addColumn<bool>("trustTestAuthority");
    QTest::addColumn<QString>("reason");
    QTest::newRow("untrusted authority") << Site::Secure << false << u"он не заверен доверенным центром сертификации"_s;
    QTest::newRow("wrong host name") << Site::WrongName << true << u"он выдан для другого имени сервера"_s;
    QTest::newRow("expired") << Site::Expired << true << u"срок его действия истёк"_s;
}

void TestDCHttps::certificateRefused()
{
    QFETCH(Site, site);
    QFETCH(bool, trustTestAuthority);
    QFETCH(QString, reason);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    if (trustTestAuthority)
        dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(site, u"/video.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    const QString server = web.HostAndPort(site);
    // Nothing is sent to a server that has not proven who it is.
    QCOMPARE(recorder.events,
             QStringList({u"Percent:0"_s, u"Size:0"_s, u"Msg:"_s + TransferTexts::Connecting(server),
                          u"Error:Сертификат сервера "_s + server + u" не прошёл проверку: "_s + reason}));
}

void TestDCHttps::handshakeWithAPlainServerFails()
{
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(u"https://"_s + web.HostAndPort(Site::Plain) + u"/video.flv"_s);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    const QString prefix = u"Error:Не удалось установить защищённое соединение с "_s + web.HostAndPort(Site::Plain);
    // The reason after it is OpenSSL's own.
    QVERIFY2(recorder.events.last().startsWith(prefix + u" (ошибка TLS: "_s), qPrintable(recorder.events.last()));
    QCOMPARE(recorder.events.filter(u"Отправлен запрос"_s), QStringList());
}

void TestDCHttps::resolutionRequest_data()
{
    QTest::addColumn<bool>("viaProxy");
    QTest::newRow("direct") << false;
    QTest::newRow("through the tunnel") << true;
}

void TestDCHttps::resolutionRequest()
{
    QFETCH(bool, viaProxy);
    if (viaProxy)
        UseTinyproxy(u"1"_s, kPassword);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setPageAddress(u"http://video.example/watch?v=1"_s);
    dc.setURLmode(false);
    dc.setURL(Url(Site::Secure, u"/"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    // The server saw the form submission, its body of the announced length.
    QCOMPARE(recorder.events.last(),
             u"OK:POST /xurl/ "_s + QString::number(ResolutionBody(u"http://video.example/watch?v=1"_s).size()));
    QVERIFY(!recorder.events.filter(u"Server:"_s).size());
}

void TestDCHttps::throughTinyproxy_data()
{
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<QString>("password");
    QTest::addColumn<Site>("site");
    QTest::addColumn<QString>("outcome");  // "video" or the error text
    QTest::newRow("right password") << u"1"_s << kPassword << Site::Secure << u"video"_s;
    QTest::newRow("wrong password") << u"1"_s << u"wrong"_s << Site::Secure
                                    << u"Error:"_s + TransferTexts::ProxyLoginRefused();
    QTest::newRow("no login configured") << u"0"_s << kPassword << Site::Secure
                                         << u"Error:"_s + TransferTexts::ProxyWantsLogin();
    QTest::newRow("tunnel to a port the proxy refuses") << u"1"_s << kPassword << Site::Expired
                                                        << u"Error:Прокси-сервер отказал в соединении с %1: "
                                                           u"HTTP/1.0 403 Access violation"_s;
}

void TestDCHttps::throughTinyproxy()
{
    QFETCH(QString, proxyAuth);
    QFETCH(QString, password);
    QFETCH(Site, site);
    QFETCH(QString, outcome);
    UseTinyproxy(proxyAuth, password);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(site, u"/video.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    const QString server = web.HostAndPort(site);
    if (outcome == u"video") {
        // The status texts name the video's server, not the proxy.
        QCOMPARE(WithoutArrivals(recorder.events), Sequence(server));
        QVERIFY(recorder.body == video);
    } else {
        QCOMPARE(recorder.events,
                 QStringList({u"Percent:0"_s, u"Size:0"_s, u"Msg:"_s + TransferTexts::Connecting(server),
                              QString(outcome).replace(u"%1"_s, server)}));
    }
}

// The proxy carries the plain request itself and then opens a tunnel for the secure one.
void TestDCHttps::redirectToHttpsThroughTinyproxy()
{
    UseTinyproxy(u"1"_s, kPassword);
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc, true);
    dc.setURLmode(true);
    dc.setURL(Url(Site::Plain, u"/to-secure/video.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.filter(u"OK:redirect"_s),
             QStringList{u"OK:redirect "_s + Url(Site::Secure, u"/video.flv"_s)});
    QCOMPARE(recorder.events.last(), QStringLiteral("OK:<%1 bytes>").arg(video.size()));
    QVERIFY(recorder.body == video);
}

// Through a tunnel the socket is connected to the proxy; a certificate made out to the proxy's name must
// still not pass for the server.
void TestDCHttps::certificateIsCheckedForTheServerNotTheProxy()
{
    UseTinyproxy(u"1"_s, kPassword);
    connection.ProxyName = u"localhost"_s;
    DC dc;
    dc.setConnectionSettingsProvider([this] { return connection; });
    dc.setLoopbackThroughProxy(true);
    dc.setExtraCaCertificates(web.Authority());
    DCRecorder recorder(dc);
    dc.setURLmode(true);
    dc.setURL(Url(Site::NameOnly, u"/video.flv"_s));
    QTRY_VERIFY_WITH_TIMEOUT(recorder.Ended(), kWait);
    QCOMPARE(recorder.events.last(),
             u"Error:Сертификат сервера "_s + web.HostAndPort(Site::NameOnly)
                 + u" не прошёл проверку: он выдан для другого имени сервера"_s);
}

QTEST_GUILESS_MAIN(TestDCHttps)
#include "tst_dc_https.moc"
