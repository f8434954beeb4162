#include "INI.h"
#include "Parametr.h"
#include "ProgramValues.h"
#include "RoadFixture.h"
#include "TransferTexts.h"
#include "WindowProbe.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

QByteArray ReadAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

class TestMainRoad : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wholeRoad();
    void throughProxyWithLogin();
    void proxyRefusesLogin();
    void redirectToTheVideo();
    void escapedLinkIsFetchedAsMeant();
    void cancelSavesUnderDefaultName();
    void replaceTwiceSameFile();
    void unwritableThenDiscarded();
    void answerWithoutVideo_data();
    void answerWithoutVideo();
    void resolverUnreachable();
    void videoMissing();

private:
    std::unique_ptr<RoadFixture> road;
};

void TestMainRoad::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(), qPrintable(road->Error()));
}

void TestMainRoad::cleanup()
{
    if (road->window)
        QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestMainRoad::wholeRoad()
{
    road->WriteOptions();
    road->Open();
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/saved.flv"));
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target, [&] { Screenshot(*road->window, QStringLiteral("road-saving")); });

    road->Download(QStringLiteral("http://videos.example/watch?v=a b&c=д"));
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->window->LastVideoFile, target);
    QCOMPARE(road->window->VideoLink, road->VideoAddress());
    QVERIFY(Seen(*road->window, "XpB3"));
    QCOMPARE(Program().SavePath, road->program.path() + QStringLiteral("/DownloadVideo/"));
    QCOMPARE(QString::fromUtf8(road->window->Settings().RINI("Save", "SavePath")), Program().SavePath);
    // The page address went to the service as a form, in the wire's code page.
    const QByteArray request = road->resolver.Requests().value(0);
    QVERIFY2(request.startsWith("POST /xurl/ HTTP/1.0\r\n"), request.constData());
    QVERIFY2(request.contains("\r\n\r\nurl=http%3A%2F%2Fvideos%2Eexample%2Fwatch%3Fv%3Da+b%26c%3D%E4"),
             request.constData());
    // The save dialog proposed the download folder and a date-and-time name.
    const ScriptedDialogs::Asked asked = road->dialogs.FileDialogs().value(0);
    QCOMPARE(asked.folder, road->program.path() + QStringLiteral("/DownloadVideo/"));
    QVERIFY2(
        QRegularExpression(QStringLiteral(R"(/DownloadVideo/[^/]+\([^/]+\)\.flv$)")).match(asked.fileName).hasMatch(),
        qPrintable(asked.fileName));

    // What the window showed on the way.
    const QString video = QStringLiteral("127.0.0.1:%1").arg(road->video.Port());
    QStringList statuses;
    for (const Shown &s : road->shown)
        if (s.event == QLatin1String("Msg") && (statuses.isEmpty() || statuses.last() != s.label1)
            && !s.label1.startsWith(QStringLiteral("Загрузка данных")))
            statuses.append(s.label1);
    QCOMPARE(statuses,
             (QStringList{QStringLiteral("Подключение к ") + road->resolver.HostAndPort() + "...",
                          "Отправлен запрос...", "Завершено", "Подключение к " + video + "...", "Отправлен запрос...",
                          "Завершено"}));
    bool serverShown = false;
    bool sizeShown = false;
    int lastPercent = 0;
    for (const Shown &s : road->shown) {
        if (s.event == QLatin1String("ServerLine"))
            serverShown = serverShown || s.label4 == QStringLiteral("Сервер: ") + video;
        // The resolution's answer has a size of its own; the video's comes after its server line.
        if (serverShown && s.event.startsWith(QStringLiteral("FLVsize")) && s.event != QLatin1String("FLVsize 0")) {
            QCOMPARE(s.labelSize, QStringLiteral("Размер файла: %1 Кб").arg(road->served.size() / 1024));
            QVERIFY(s.picture1);
            sizeShown = true;
        }
        if (serverShown && s.event.startsWith(QStringLiteral("PercentOfLoad"))) {
            const int perc = s.event.section(' ', 1).toInt();
            if (perc >= 1 && perc <= 100) {
                QCOMPARE(s.percLabel, QString::number(perc) + QLatin1Char('%'));
                QVERIFY(s.imagPr);
                QCOMPARE(s.barTwips, perc * 4455 / 100);
                QVERIFY(perc >= lastPercent);
                lastPercent = perc;
            } else {
                QCOMPARE(s.percLabel, QString());
                QVERIFY(!s.imagPr);
            }
        }
    }
    QVERIFY(serverShown);
    QVERIFY(sizeShown);
    QVERIFY2(lastPercent >= 99, qPrintable(QString::number(lastPercent)));
    // Idle again: size, percentage, bar and server line cleared.
    QCOMPARE(LabelText(*road->window, "LabelSize"), QString());
    QCOMPARE(LabelText(*road->window, "PercLabel"), QString());
    QCOMPARE(road->Label4(), QString());
    QVERIFY(!Seen(*road->window, "Picture1"));
    Screenshot(*road->window, QStringLiteral("road-saved"));
}

void TestMainRoad::throughProxyWithLogin()
{
    Tinyproxy proxy;
    QVERIFY2(proxy.Start(QStringLiteral("quillon"), QStringLiteral("quillon-pass")), qPrintable(proxy.Error()));
    // The settings as the Options dialog would save them, the password scrambled.
    {
        road->WriteOptions();
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        Program().UseProxy = QStringLiteral("1");
        Program().ProxyName = QStringLiteral("127.0.0.1");
        Program().ProxyPort = QString::number(proxy.Port());
        Program().ProxyAuth = QStringLiteral("1");
        Program().ProxyLogin = QStringLiteral("quillon");
        Program().ProxyPass = QStringLiteral("quillon-pass");
        Program().CheckUpgrade = QStringLiteral("0");
        QVERIFY(SaveSettings(ini).Written);
        ResetProgramValues();
    }
    road->Open();
    QCOMPARE(Program().ProxyPass, QStringLiteral("quillon-pass"));
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/proxied.flv"));
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(ReadAll(target), road->served);
}

void TestMainRoad::proxyRefusesLogin()
{
    Tinyproxy proxy;
    QVERIFY2(proxy.Start(QStringLiteral("quillon"), QStringLiteral("quillon-pass")), qPrintable(proxy.Error()));
    {
        road->WriteOptions();
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        Program().UseProxy = QStringLiteral("1");
        Program().ProxyName = QStringLiteral("127.0.0.1");
        Program().ProxyPort = QString::number(proxy.Port());
        Program().ProxyAuth = QStringLiteral("1");
        Program().ProxyLogin = QStringLiteral("quillon");
        Program().ProxyPass = QStringLiteral("wrong-pass");
        QVERIFY(SaveSettings(ini).Written);
        ResetProgramValues();
    }
    road->Open();

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Ошибка авторизации на прокси-сервере"));
    QCOMPARE(road->resolver.Connections(), 0);
    QVERIFY(road->dialogs.History().isEmpty());
}

void TestMainRoad::redirectToTheVideo()
{
    road->WriteOptions();
    road->Open();
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
    QStringList stages;
    for (const Shown &s : road->shown)
        if (s.event.startsWith(QStringLiteral("DownOK")))
            stages.append(s.event);
    // The redirect is reported with stage 2 and is fetched as stage 3.
    QCOMPARE(stages, (QStringList{"DownOK 3", "DownOK 3", "DownOK 3"}));
    QVERIFY(mover.Requests().value(0).startsWith("GET /moved.flv HTTP/1.0\r\n"));
}

void TestMainRoad::escapedLinkIsFetchedAsMeant()
{
    road->WriteOptions();
    road->Open();
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

void TestMainRoad::cancelSavesUnderDefaultName()
{
    road->WriteOptions();
    road->Open();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(QMessageBox::Ok);

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString suggested = road->dialogs.FileDialogs().value(0).fileName;
    QCOMPARE(ReadAll(suggested), road->served);
    const ScriptedDialogs::Asked notice = road->dialogs.Messages().value(0);
    QCOMPARE(notice.title, QStringLiteral("Внимание!"));
    QVERIFY(notice.text.endsWith(QStringLiteral("\r\n\r\n") + suggested));
    QCOMPARE(notice.owner, road->window.get());
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    QCOMPARE(road->window->LastVideoFile, suggested);
}

void TestMainRoad::replaceTwiceSameFile()
{
    road->WriteOptions();
    road->Open();
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/same.flv"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(road->served.size() + 5000, 'o'));
    old.close();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);
    road->dialogs.AnswerMessage(QMessageBox::No);
    road->dialogs.AnswerFileDialog(target);
    road->dialogs.AnswerMessage(QMessageBox::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->dialogs.FileDialogs().size(), 2);
    QCOMPARE(road->dialogs.FileDialogs()[1].fileName, road->dialogs.FileDialogs()[0].fileName);
    QCOMPARE(road->dialogs.Messages()[0].text, QStringLiteral("Файл с таким именем уже существует. Заменить?"));
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
}

void TestMainRoad::unwritableThenDiscarded()
{
    road->WriteOptions();
    road->Open();
    // The download folder has become a file: nothing can be written under the proposed name.
    QVERIFY(QDir(road->program.filePath(QStringLiteral("DownloadVideo"))).removeRecursively());
    QFile blocker(road->program.filePath(QStringLiteral("DownloadVideo")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(QMessageBox::Ok);
    road->dialogs.AnswerMessage(QMessageBox::Yes);

    road->Download();
    QVERIFY(road->WaitIdle());

    // Mended: no claim of a save that did not happen.
    QCOMPARE(road->dialogs.Messages()[0].title, QStringLiteral("Ошибка сохранения"));
    QCOMPARE(road->dialogs.Messages()[1].title, QStringLiteral("Предупреждение"));
    QCOMPARE(road->Label1(), QStringLiteral("Файл не сохранен"));
    QVERIFY(!Seen(*road->window, "XpB3"));
    QCOMPARE(road->window->LastVideoFile, QString());
    QCOMPARE(road->window->Settings().RINI("Save", "SavePath"), QByteArray());
}

void TestMainRoad::answerWithoutVideo_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("no marker") << RoadFixture::HttpOk("<html>Видео не найдено <a href=\"http://x/y\">x</a></html>");
    // Mended: a marker without a link, or a link that never ends, is an answer without video.
    QTest::newRow("marker without link") << RoadFixture::HttpOk(
        RoadFixture::AnswerWithLink(QString()).replace("href=\"", "data=\""));
    QTest::newRow("link without end") << RoadFixture::HttpOk("<p>" + QStringLiteral("Нажмите, чтобы").toUtf8()
                                                             + " <a href=\"http://127.0.0.1:9/never-ends");
}

void TestMainRoad::answerWithoutVideo()
{
    QFETCH(QByteArray, answer);
    road->WriteOptions();
    road->Open();
    road->ResolverAnswers(answer);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label4(), QStringLiteral("Ошибка! Не удалось найти видеопоток"));
    QCOMPARE(road->Label1(), QStringLiteral("Завершено"));
    QCOMPARE(Program().DownloadStage, qint16(1));
    QVERIFY(road->dialogs.History().isEmpty());
    QVERIFY(!Seen(*road->window, "XpB3"));
}

void TestMainRoad::resolverUnreachable()
{
    road->WriteOptions();
    {
        INI ini;
        ini.FileName(road->program.filePath(QStringLiteral("options.ini")));
        QVERIFY(ini.WInI("Hosts", "Resolver", "127.0.0.1:" + QByteArray::number(FreeLoopbackPort())));
    }
    road->Open();

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(road->Label1(), QStringLiteral("Ошибка подключения #10061"));
    QCOMPARE(road->Label4(), QString());
    QVERIFY(road->dialogs.History().isEmpty());
}

void TestMainRoad::videoMissing()
{
    road->WriteOptions();
    road->Open();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress("missing.flv"))));

    road->Download();
    QVERIFY(road->WaitIdle());

    // The server's refusal ends the run with its message; nothing is saved.
    QVERIFY2(road->Label1().startsWith(QStringLiteral("Ошибка сервера: ")) && road->Label1().contains("404"),
             qPrintable(road->Label1()));
    QVERIFY(road->dialogs.History().isEmpty());
    QVERIFY(!Seen(*road->window, "XpB3"));
}

QTEST_MAIN(TestMainRoad)
#include "tst_mainroad.moc"
