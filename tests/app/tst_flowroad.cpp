#include "Parametr.h"
#include "PartialFiles.h"
#include "RoadFixture.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

// options.ini with the hosts of the peers and a proxy on loopback that asks for a login, the password
// scrambled as the Options dialog saves it.
void SaveProxySettings(RoadFixture &road, quint16 port, const QString &password)
{
    road.WriteOptions();
    INI ini;
    ini.FileName(road.program.filePath(QStringLiteral("options.ini")));
    Settings settings;
    settings.Network.UseProxy = true;
    settings.Network.ProxyName = QStringLiteral("127.0.0.1");
    settings.Network.ProxyPort = port;
    settings.Network.ProxyAuth = true;
    settings.Network.ProxyLogin = QStringLiteral("quillon");
    settings.Network.ProxyPass = password;
    QVERIFY(SaveSettings(ini, settings).Written);
}

// A tmpfs of 1 MiB mounted over a folder while it lives: a disk that fills.
struct SmallDisk {
    explicit SmallDisk(const QString &folder) : folder(folder)
    {
        mounted = QProcess::execute(QStringLiteral("mount"),
                                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                     QStringLiteral("size=1m"), QStringLiteral("tmpfs"), folder})
            == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), folder});
    }
    QString folder;
    bool mounted = false;
};

}  // namespace

// The download flow on its own over real peers on loopback: the resolution, the video, the proxy and the
// save, each way a run can end.
class TestFlowRoad : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void throughProxyWithLogin();
    void proxyRefusesLogin();
    void redirectToTheVideo();
    void escapedLinkIsFetchedAsMeant();
    void cancelSavesUnderDefaultName();
    void replaceTwiceSameFile();
    void savedWithoutDialog();
    void unwritableThenDiscarded();
    void downloadFolderUnwritable();
    void diskCannotHoldTheVideo_data();
    void diskCannotHoldTheVideo();
    void leftPartialsGoAtStart();
    void answerWithoutVideo_data();
    void answerWithoutVideo();
    void oversizedResolutionAnswer();
    void resolverUnreachable();
    void videoMissing();

private:
    std::unique_ptr<RoadFixture> road;
};

void TestFlowRoad::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(), qPrintable(road->Error()));
}

void TestFlowRoad::cleanup()
{
    QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestFlowRoad::throughProxyWithLogin()
{
    Tinyproxy proxy;
    QVERIFY2(proxy.Start(QStringLiteral("quillon"), QStringLiteral("quillon-pass")), qPrintable(proxy.Error()));
    // The settings as the Options dialog would save them, the password scrambled.
    SaveProxySettings(*road, proxy.Port(), QStringLiteral("quillon-pass"));
    road->OpenFlow();
    road->Flow().Transfer().setLoopbackThroughProxy(true);
    QCOMPARE(road->Flow().Network().ProxyPass, QStringLiteral("quillon-pass"));
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/proxied.flv"));
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(ReadAll(target), road->served);
}

void TestFlowRoad::proxyRefusesLogin()
{
    Tinyproxy proxy;
    QVERIFY2(proxy.Start(QStringLiteral("quillon"), QStringLiteral("quillon-pass")), qPrintable(proxy.Error()));
    SaveProxySettings(*road, proxy.Port(), QStringLiteral("wrong-pass"));
    road->OpenFlow();
    road->Flow().Transfer().setLoopbackThroughProxy(true);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Ошибка авторизации на прокси-сервере"));
    QCOMPARE(road->resolver.Connections(), 0);
    QVERIFY(road->dialogs.History().isEmpty());
}

void TestFlowRoad::redirectToTheVideo()
{
    road->WriteOptions();
    road->OpenFlow();
    ScriptedServer mover;
    QVERIFY(mover.Listen());
    mover.AddScript(
        {ScriptedServer::Send("HTTP/1.0 302 Found\r\nLocation: " + road->VideoAddress().toLatin1() + "\r\n\r\n"),
         ScriptedServer::Close()});
    road->ResolverAnswers(RoadFixture::HttpOk(
        RoadFixture::AnswerWithLink(QStringLiteral("http://") + mover.HostAndPort() + QStringLiteral("/moved.flv"))));
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/moved.flv"));
    road->dialogs.AnswerFileDialog(target);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(ReadAll(target), road->served);
    // The redirect is fetched as the video.
    QCOMPARE(road->Flow().Stage(), DownloadStage::VideoDownload);
    QVERIFY(mover.Requests().value(0).startsWith("GET /moved.flv HTTP/1.0\r\n"));
}

void TestFlowRoad::escapedLinkIsFetchedAsMeant()
{
    road->WriteOptions();
    road->OpenFlow();
    ScriptedServer host;
    QVERIFY(host.Listen());
    host.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("FLV tiny", "video/x-flv")), ScriptedServer::Close()});
    // Mended: the service writes "&" as "&amp;" in its HTML.
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(
        QStringLiteral("http://") + host.HostAndPort() + QStringLiteral("/get?id=7&amp;fmt=flv&#38;q=1"))));
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/tiny.flv"));
    road->dialogs.AnswerFileDialog(target);

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY2(host.Requests().value(0).startsWith("GET /get?id=7&fmt=flv&q=1 HTTP/1.0\r\n"),
             host.Requests().value(0).constData());
    QCOMPARE(ReadAll(target), QByteArray("FLV tiny"));
}

void TestFlowRoad::cancelSavesUnderDefaultName()
{
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(MessageButton::Ok);

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString suggested = road->dialogs.FileDialogs().value(0).fileName;
    QCOMPARE(ReadAll(suggested), road->served);
    const ScriptedDialogs::Asked notice = road->dialogs.Messages().value(0);
    QCOMPARE(notice.title, QStringLiteral("Внимание!"));
    QVERIFY(notice.text.endsWith(QStringLiteral("\r\n\r\n") + suggested));
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(road->SavedVideo(), suggested);
}

void TestFlowRoad::replaceTwiceSameFile()
{
    road->WriteOptions();
    road->OpenFlow();
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/same.flv"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(road->served.size() + 5000, 'o'));
    old.close();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);
    road->dialogs.AnswerMessage(MessageButton::No);
    road->dialogs.AnswerFileDialog(target);
    road->dialogs.AnswerMessage(MessageButton::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->dialogs.FileDialogs().size(), 2);
    QCOMPARE(road->dialogs.FileDialogs()[1].fileName, road->dialogs.FileDialogs()[0].fileName);
    QCOMPARE(road->dialogs.Messages()[0].text, QStringLiteral("Файл с таким именем уже существует. Заменить?"));
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestFlowRoad::savedWithoutDialog()
{
    const QString folder = road->site.filePath(QStringLiteral("Сразу/"));
    road->WriteOptions("[Save]\r\nDirectly=1\r\nDirectFolder=" + folder.toUtf8() + "\r\n");
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(road->dialogs.History().isEmpty());
    const QString saved = road->SavedVideo();
    QCOMPARE(QFileInfo(saved).absolutePath() + QLatin1Char('/'), folder);
    QVERIFY2(saved.endsWith(QStringLiteral(").flv")), qPrintable(saved));
    QCOMPARE(ReadAll(saved), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен: ") + QFileInfo(saved).fileName());
    // Written there while it arrived: nothing else is left in the folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(saved).fileName()});
}

void TestFlowRoad::unwritableThenDiscarded()
{
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    // While the dialog is open the download folder, the video in it, gives way to a file: nothing can be saved.
    road->dialogs.AnswerFileDialog(QString(), [this] {
        QVERIFY(QDir(road->program.filePath(QStringLiteral("DownloadVideo"))).removeRecursively());
        QFile blocker(road->program.filePath(QStringLiteral("DownloadVideo")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    });
    road->dialogs.AnswerMessage(MessageButton::Ok);
    road->dialogs.AnswerMessage(MessageButton::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    // Mended: no claim of a save that did not happen.
    QCOMPARE(road->dialogs.Messages()[0].title, QStringLiteral("Ошибка сохранения"));
    QCOMPARE(road->dialogs.Messages()[1].title, QStringLiteral("Предупреждение"));
    QCOMPARE(road->Label1(), QStringLiteral("Файл не сохранен"));
    QVERIFY(road->SavedVideo().isEmpty());
    QCOMPARE(road->Flow().Store().RINI("Save", "SavePath"), QByteArray());
}

void TestFlowRoad::downloadFolderUnwritable()
{
    road->WriteOptions();
    road->OpenFlow();
    // Where the partial file goes there is a file: the body would have nowhere to go.
    const QString folder = road->program.filePath(QStringLiteral("DownloadVideo"));
    QVERIFY(QDir(folder).removeRecursively());
    QFile blocker(folder);
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString status = road->Label1();
    QVERIFY2(status.startsWith(QStringLiteral("Не удалось записать видеофайл ") + folder + u'/'), qPrintable(status));
    QVERIFY(road->dialogs.History().isEmpty());
    QVERIFY(road->SavedVideo().isEmpty());
}

void TestFlowRoad::diskCannotHoldTheVideo_data()
{
    QTest::addColumn<bool>("declared");
    QTest::newRow("declared length: refused before a byte is written") << true;
    QTest::newRow("no declared length: the disk fills") << false;
}

void TestFlowRoad::diskCannotHoldTheVideo()
{
    QFETCH(bool, declared);
    road->WriteOptions();
    road->OpenFlow();
    const QString folder = road->program.filePath(QStringLiteral("DownloadVideo"));
    SmallDisk disk(folder);
    if (!disk.mounted)
        QSKIP("a small tmpfs cannot be mounted here (needs root)");
    ScriptedServer host;
    QVERIFY(host.Listen());
    const QByteArray big(3 * 1024 * 1024, 'v');
    const QByteArray head = declared
        ? "HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(big.size()) + "\r\n\r\n"
        : QByteArray("HTTP/1.0 200 OK\r\n\r\n");
    host.AddScript({ScriptedServer::Send(head + big), ScriptedServer::Close()});
    host.AddScript({ScriptedServer::Send(RoadFixture::HttpOk("FLV small", "video/x-flv")), ScriptedServer::Close()});
    const QString address = QStringLiteral("http://") + host.HostAndPort() + QStringLiteral("/v.flv");
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(address)));

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString expected = declared ? QStringLiteral("Недостаточно места на диске для видеофайла: нужно 3,0 МБ")
                                      : QStringLiteral("на диске не осталось свободного места");
    QVERIFY2(road->Label1().contains(expected), qPrintable(road->Label1()));
    QVERIFY(road->dialogs.History().isEmpty());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());

    // The program goes on: a video that fits is saved.
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(address)));
    road->dialogs.AnswerFileDialog(folder + QStringLiteral("/small.flv"));
    road->Download();
    QVERIFY(road->WaitIdle());
    QCOMPARE(ReadAll(folder + QStringLiteral("/small.flv")), QByteArray("FLV small"));
}

// Which names the clean-up takes and which it leaves is tst_partialfiles' table; here, that the start runs it.
void TestFlowRoad::leftPartialsGoAtStart()
{
    road->WriteOptions();
    const QString folder = road->program.filePath(QStringLiteral("DownloadVideo"));
    QVERIFY(QDir().mkpath(folder));
    const QString users = QStringLiteral("film.mkv.part");
    for (const QString &name : {PartialFileName(QDateTime::currentDateTime()), users}) {
        QFile file(folder + u'/' + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    road->OpenFlow();

    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{users});
}

void TestFlowRoad::answerWithoutVideo_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("status");
    // The service's own reason stands in the status line.
    QTest::newRow("no marker") << RoadFixture::HttpOk("<html>Видео не найдено <a href=\"http://x/y\">x</a></html>")
                               << "Видео не найдено x";
    // Mended: a marker without a link, or a link that never ends, is an answer without video.
    QTest::newRow("marker without link") << RoadFixture::HttpOk(
        RoadFixture::AnswerWithLink(QString()).replace("href=\"", "data=\""))
                                         << "Завершено";
    QTest::newRow("link without end") << RoadFixture::HttpOk("<p>" + QStringLiteral("Нажмите, чтобы").toUtf8()
                                                             + " <a href=\"http://127.0.0.1:9/never-ends")
                                      << "Завершено";
}

void TestFlowRoad::answerWithoutVideo()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, status);
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(answer);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label4(), QStringLiteral("Ошибка! Не удалось найти видеопоток"));
    QCOMPARE(road->Label1(), status);
    QCOMPARE(road->Flow().Stage(), DownloadStage::Resolution);
    QVERIFY(road->dialogs.History().isEmpty());
    QVERIFY(road->SavedVideo().isEmpty());
}

void TestFlowRoad::oversizedResolutionAnswer()
{
    road->WriteOptions();
    road->OpenFlow();
    // A page of links is a few kilobytes; an answer that never ends must not fill the memory.
    QByteArray answer = "HTTP/1.0 200 OK\r\n\r\n" + RoadFixture::AnswerWithLink(road->VideoAddress());
    answer += QByteArray(16 * 1024 * 1024, ' ');
    road->ResolverAnswers(answer);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Ответ сервера без указанной длины слишком велик (более 16 МБ)"));
    QVERIFY(road->dialogs.History().isEmpty());
}

void TestFlowRoad::resolverUnreachable()
{
    road->WriteOptions();
    {
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        QVERIFY(ini.WInI("Hosts", "Resolver", "127.0.0.1:" + QByteArray::number(FreeLoopbackPort())));
    }
    road->OpenFlow();

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY2(road->Label1().startsWith(QStringLiteral("Ошибка подключения #10061: сервер 127.0.0.1:")),
             qPrintable(road->Label1()));
    QCOMPARE(road->Label4(), QString());
    QVERIFY(road->dialogs.History().isEmpty());
}

void TestFlowRoad::videoMissing()
{
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress("missing.flv"))));

    road->Download();
    QVERIFY(road->WaitIdle());

    // The server's refusal ends the run with its message; nothing is saved.
    QVERIFY2(road->Label1().startsWith(QStringLiteral("Ошибка сервера: ")) && road->Label1().contains("404"),
             qPrintable(road->Label1()));
    QVERIFY(road->dialogs.History().isEmpty());
    QVERIFY(road->SavedVideo().isEmpty());
}

QTEST_MAIN(TestFlowRoad)
#include "tst_flowroad.moc"
