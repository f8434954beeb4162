#include "DefaultVideoName.h"
#include "INI.h"
#include "ProgramValues.h"
#include "RealPeers.h"
#include "RoadFixture.h"
#include "WindowProbe.h"

#include <QFile>

namespace {

QByteArray Yesterday()
{
    return ShortDateText(QDate::currentDate().addDays(-1)).toUtf8();
}

QByteArray Today()
{
    return ShortDateText().toUtf8();
}

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

class TestMainUpdate : public QObject {
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
    void notDue_data();
    void notDue();
    void stopInEachStage_data();
    void stopInEachStage();

private:
    void Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade = "1");
    // The resolution answers with the video, the user saves it under name.
    QString ExpectVideo(const QString &name = QStringLiteral("v.flv"));

    std::unique_ptr<RoadFixture> road;
};

void TestMainUpdate::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(200000), qPrintable(road->Error()));
}

void TestMainUpdate::cleanup()
{
    if (road->window)
        QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestMainUpdate::Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade)
{
    road->WriteOptions("[Version]\r\nCheckUpgrade=" + checkUpgrade + "\r\nLastCheck=" + lastCheck + "\r\n");
    road->Open();
}

QString TestMainUpdate::ExpectVideo(const QString &name)
{
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/") + name);
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);
    return target;
}

void TestMainUpdate::sameVersion_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("bare") << QByteArray("1.7");
    // Mended: a line break after the number is the same version.
    QTest::newRow("line break") << QByteArray("1.7\r\n");
}

void TestMainUpdate::sameVersion()
{
    QFETCH(QByteArray, answer);
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk(answer, "text/plain")), ScriptedServer::Close()});
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->update.Requests().value(0).startsWith("GET /version.info HTTP/1.0\r\n"));
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Today());
    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestMainUpdate::newVersionDeclined()
{
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("1.8")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(QMessageBox::No, [this] {
        // The day is marked before the question is asked.
        QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Today());
    });
    const QString first = ExpectVideo(QStringLiteral("first.flv"));

    road->Download();
    QVERIFY(road->WaitIdle());

    const ScriptedDialogs::Asked offer = road->dialogs.Messages().value(0);
    QCOMPARE(offer.title, QStringLiteral("Обнаружена новая версия"));
    QCOMPARE(offer.text,
             QStringLiteral("Обнаружена новая версия программы.\r\n\r\nВаша версия: 1.7, версия на сайте "
                            "разработчика: 1.8\r\n\r\nПерейти на страницу с описанием новой версии?"));
    QCOMPARE(offer.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(offer.icon, QMessageBox::Question);
    QCOMPARE(offer.owner, road->window.get());
    QCOMPARE(ReadAll(first), road->served);

    // The same day: no second question to the update server.
    const QString second = ExpectVideo(QStringLiteral("second.flv"));
    road->Download();
    QVERIFY(road->WaitIdle());
    QCOMPARE(road->update.Connections(), 1);
    QCOMPARE(ReadAll(second), road->served);
    QVERIFY(road->dialogs.OpenedAddresses().isEmpty());
}

void TestMainUpdate::newVersionAccepted()
{
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("2.0")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(QMessageBox::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->dialogs.OpenedAddresses(), QStringList{QStringLiteral("http://site.test:8080")});
    QCOMPARE(road->Label1(), QStringLiteral("Загрузка остановлена"));
    QCOMPARE(road->resolver.Connections(), 0);
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Today());
    QVERIFY(!Seen(*road->window, "StopButton"));
    QVERIFY(Control(*road->window, "URLtext")->isEnabled());
}

void TestMainUpdate::longerVersionMarksTheDay()
{
    // Mended: "1.10" is a version like any other and is asked once a day.
    Check(Yesterday());
    road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("1.10\n")), ScriptedServer::Close()});
    road->dialogs.AnswerMessage(QMessageBox::No);
    ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().value(0).text.contains(QStringLiteral("разработчика: 1.10\r\n")));
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Today());
}

void TestMainUpdate::errorPageOffersNothing()
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
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Yesterday());
}

void TestMainUpdate::unreachable()
{
    road->WriteOptions("[Version]\r\nCheckUpgrade=1\r\n");
    {
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        QVERIFY(ini.WInI("Hosts", "Update", "127.0.0.1:" + QByteArray::number(FreeLoopbackPort())));
    }
    road->Open();
    const QString target = ExpectVideo();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.Messages().isEmpty());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), QByteArray());
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestMainUpdate::serverErrorGoesOnSilently()
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
    QCOMPARE(road->window->Settings().RINI("Version", "LastCheck"), Yesterday());
}

void TestMainUpdate::notDue_data()
{
    QTest::addColumn<QByteArray>("lastCheck");
    QTest::addColumn<QByteArray>("checkUpgrade");
    QTest::newRow("checked today") << Today() << QByteArray("1");
    QTest::newRow("not allowed") << Yesterday() << QByteArray("0");
    QTest::newRow("never set") << QByteArray() << QByteArray();
}

void TestMainUpdate::notDue()
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

void TestMainUpdate::stopInEachStage_data()
{
    QTest::addColumn<int>("stage");
    QTest::newRow("update check") << 0;
    QTest::newRow("resolution") << 1;
    QTest::newRow("video") << 3;
}

void TestMainUpdate::stopInEachStage()
{
    QFETCH(int, stage);
    ScriptedServer slowVideo;
    QVERIFY(slowVideo.Listen());
    if (stage == 0) {
        Check(Yesterday());
        road->update.AddScript({ScriptedServer::Hold(), ScriptedServer::Close()});
    } else {
        Check(Today());
    }
    if (stage == 1)
        road->resolver.AddScript({ScriptedServer::Hold(), ScriptedServer::Close()});
    if (stage == 3) {
        road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(
            QStringLiteral("http://") + slowVideo.HostAndPort() + QStringLiteral("/slow.flv"))));
        slowVideo.AddScript(
            {ScriptedServer::Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\nFLV" + QByteArray(30000, 'x')),
             ScriptedServer::Hold(), ScriptedServer::Close()});
    }
    ScriptedServer &held = stage == 0 ? road->update : stage == 1 ? road->resolver : slowVideo;

    road->Download();
    QTRY_COMPARE_WITH_TIMEOUT(held.Waiting(), 1, 20000);
    if (stage == 3) {
        QTRY_VERIFY(Seen(*road->window, "ImagPr"));
        Screenshot(*road->window, QStringLiteral("road-downloading"));
    }
    Click(*road->window, "StopButton");

    QCOMPARE(road->Label1(), QStringLiteral("Загрузка остановлена"));
    QCOMPARE(Program().DownloadStage, qint16(stage));
    QVERIFY(Seen(*road->window, "DownButton"));
    QVERIFY(!Seen(*road->window, "StopButton"));
    QVERIFY(!Seen(*road->window, "Picture1"));
    QCOMPARE(LabelText(*road->window, "LabelSize"), QString());
    QCOMPARE(LabelText(*road->window, "PercLabel"), QString());
    QVERIFY(road->dialogs.History().isEmpty());
    // The stopped peer goes on; nothing of it may reach the window.
    held.Release();

    // A new click starts over and goes the whole way; the stopped check is due again.
    if (stage == 0)
        road->update.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("1.7")), ScriptedServer::Close()});
    const QString target = ExpectVideo();
    road->Download();
    QVERIFY(road->WaitIdle());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    for (const Shown &s : road->shown)
        QVERIFY(s.event != QLatin1String("DownError"));
}

QTEST_MAIN(TestMainUpdate)
#include "tst_mainupdate.moc"
