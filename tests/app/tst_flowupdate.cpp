#include "DefaultVideoName.h"
#include "INI.h"
#include "RealPeers.h"
#include "RoadFixture.h"
#include "TestFiles.h"
#include "Version.h"

#include <QFile>
#include <QTest>

namespace {

QByteArray Yesterday()
{
    return ShortDateText(QDate::currentDate().addDays(-1)).toUtf8();
}

QByteArray Today()
{
    return ShortDateText().toUtf8();
}

}  // namespace

// The daily update check of the download flow, against a scripted update server on loopback.
class TestFlowUpdate : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sameVersion_data();
    void sameVersion();
    void newVersionDeclined();
    void newVersionAccepted();
    void longerVersionMarksTheDay();
    void errorPageOffersNothing();
    void unreachable();
    void serverErrorGoesOnSilently();
    void redirectIsFollowedForTheCheck_data();
    void redirectIsFollowedForTheCheck();
    void notDue_data();
    void notDue();

private:
    void Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade = "1");
    // The resolution answers with the video, the user saves it under name.
    QString ExpectVideo(const QString &name = QStringLiteral("v.flv"));

    std::unique_ptr<RoadFixture> road;
};

void TestFlowUpdate::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(200000), qPrintable(road->Error()));
}

void TestFlowUpdate::cleanup()
{
    QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestFlowUpdate::Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade)
{
    road->WriteOptions("[Version]\r\nCheckUpgrade=" + checkUpgrade + "\r\nLastCheck=" + lastCheck + "\r\n");
    road->OpenFlow();
}

QString TestFlowUpdate::ExpectVideo(const QString &name)
{
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/") + name);
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);
    return target;
}

void TestFlowUpdate::sameVersion_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("bare") << AppVersion().toUtf8();
    // Mended: a line break after the number is the same version.
    QTest::newRow("line break") << AppVersion().toUtf8() + "\r\n";
}

void TestFlowUpdate::sameVersion()
{
    QFETCH(QByteArray, answer);
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk(answer, "text/plain")), ScriptedServer::Close()});
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->update.Requests().value(0).startsWith("GET /version.info HTTP/1.0\r\n"));
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Today());
    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestFlowUpdate::newVersionDeclined()
{
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("1.8")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(MessageButton::No, [this] {
        // The day is marked before the question is asked.
        QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Today());
    });
    const QString first = ExpectVideo(QStringLiteral("first.flv"));

    road->Download();
    QVERIFY(road->WaitIdle());

    const ScriptedDialogs::Asked offer = road->dialogs.Messages().value(0);
    QCOMPARE(offer.title, QStringLiteral("Обнаружена новая версия"));
    QCOMPARE(offer.text,
             QStringLiteral("Обнаружена новая версия программы.\r\n\r\nВаша версия: ") + AppVersion()
                 + QStringLiteral(
                     ", версия на сайте разработчика: 1.8\r\n\r\nПерейти на страницу с описанием новой версии?"));
    QCOMPARE(offer.buttons, MessageButton::Yes | MessageButton::No);
    QCOMPARE(offer.icon, MessageIcon::Question);
    QCOMPARE(ReadAll(first), road->served);

    // The same day: no second question to the update server.
    const QString second = ExpectVideo(QStringLiteral("second.flv"));
    road->Download();
    QVERIFY(road->WaitIdle());
    QCOMPARE(road->update.Connections(), 1);
    QCOMPARE(ReadAll(second), road->served);
    QVERIFY(road->dialogs.OpenedAddresses().isEmpty());
}

void TestFlowUpdate::newVersionAccepted()
{
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("2.0")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(MessageButton::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->dialogs.OpenedAddresses(), QStringList{QStringLiteral("http://site.test:8080")});
    QCOMPARE(road->Label1(), QStringLiteral("Загрузка остановлена"));
    QCOMPARE(road->resolver.Connections(), 0);
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Today());
}

void TestFlowUpdate::longerVersionMarksTheDay()
{
    // Mended: "1.10" is a version like any other and is asked once a day.
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("1.10\n")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(MessageButton::No);
    ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().value(0).text.contains(QStringLiteral("разработчика: 1.10\r\n")));
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Today());
}

void TestFlowUpdate::errorPageOffersNothing()
{
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("<html><body>Service unavailable</body></html>")),
                            ScriptedServer::Close()});
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    // Not a version: the check is tried again next time.
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Yesterday());
}

void TestFlowUpdate::unreachable()
{
    road->WriteOptions("[Version]\r\nCheckUpgrade=1\r\n");
    {
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        QVERIFY(ini.WInI("Hosts", "Update", "127.0.0.1:" + QByteArray::number(FreeLoopbackPort())));
    }
    road->OpenFlow();
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), QByteArray());
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestFlowUpdate::serverErrorGoesOnSilently()
{
    Check(Yesterday());
    road->update.AddScript(
        {ScriptedServer::Send("HTTP/1.0 404 Not Found\r\n\r\nno such file"), ScriptedServer::Close()});
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), Yesterday());
}

void TestFlowUpdate::redirectIsFollowedForTheCheck_data()
{
    QTest::addColumn<QString>("location");
    QTest::addColumn<int>("redirects");
    QTest::addColumn<QByteArray>("version");
    QTest::newRow("a path on the same server, same version") << "/v2/version.info" << 1 << AppVersion().toUtf8();
    QTest::newRow("an address, moved twice, new version")
        << "http://{server}/v2/version.info" << 2 << QByteArray("1.8");
    // The transfer's own limit ends it, as any failed check ends: silently, with the download going on.
    QTest::newRow("round and round") << "/version.info" << DC::kMaxRedirectsInRow + 1 << QByteArray();
}

// A moved version file is still the version file: the check follows it, and the video is the one the
// resolution finds.
void TestFlowUpdate::redirectIsFollowedForTheCheck()
{
    QFETCH(QString, location);
    QFETCH(int, redirects);
    QFETCH(QByteArray, version);
    Check(Yesterday());
    const QByteArray moved = "HTTP/1.0 301 Moved Permanently\r\nLocation: "
        + QString(location).replace(QStringLiteral("{server}"), road->update.HostAndPort()).toLatin1()
        + "\r\nContent-Length: 0\r\n\r\n";
    for (int i = 0; i < redirects; ++i)
        road->update.AddScript({ScriptedServer::Send(moved), ScriptedServer::Close()});
    const bool answered = !version.isEmpty();
    if (answered)
        road->update.AddScript(
            {ScriptedServer::Send(RoadFixture::HttpOk(version, "text/plain")), ScriptedServer::Close()});
    const bool offered = answered && version != AppVersion().toUtf8();
    if (offered)
        road->dialogs.AnswerMessage(MessageButton::No);
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->update.Connections(), answered ? redirects + 1 : redirects);
    if (answered)
        QVERIFY(road->update.Requests().constLast().startsWith("GET /v2/version.info HTTP/1.0\r\n"));
    QCOMPARE(road->dialogs.Messages().size(), offered ? 1 : 0);
    QCOMPARE(road->Flow().Store().RINI("Version", "LastCheck"), answered ? Today() : Yesterday());
    QCOMPARE(road->resolver.Connections(), 1);
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestFlowUpdate::notDue_data()
{
    QTest::addColumn<QByteArray>("lastCheck");
    QTest::addColumn<QByteArray>("checkUpgrade");
    QTest::newRow("checked today") << Today() << QByteArray("1");
    QTest::newRow("not allowed") << Yesterday() << QByteArray("0");
    QTest::newRow("never set") << QByteArray() << QByteArray();
}

void TestFlowUpdate::notDue()
{
    QFETCH(QByteArray, lastCheck);
    QFETCH(QByteArray, checkUpgrade);
    Check(lastCheck, checkUpgrade);
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->update.Connections(), 0);
    QCOMPARE(ReadAll(target), road->served);
}

QTEST_MAIN(TestFlowUpdate)
#include "tst_flowupdate.moc"
