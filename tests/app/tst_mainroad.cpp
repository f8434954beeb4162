#include "DefaultVideoName.h"
#include "RoadFixture.h"
#include "TestFiles.h"
#include "TransferTexts.h"
#include "Version.h"
#include "WindowProbe.h"

#include <QFile>
#include <QRegularExpression>

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

// The real window on the road, offscreen: what it shows while the download flow runs and when it is stopped.
class TestMainRoad : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void wholeRoad();
    void stopInEachStage_data();
    void stopInEachStage();
    void closingAsksWhileVideoArrives_data();
    void closingAsksWhileVideoArrives();

private:
    void Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade = "1");
    // The resolution answers with the video, the user saves it under name.
    QString ExpectVideo(const QString &name = QStringLiteral("v.flv"));

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

void TestMainRoad::Check(const QByteArray &lastCheck, const QByteArray &checkUpgrade)
{
    road->WriteOptions("[Version]\r\nCheckUpgrade=" + checkUpgrade + "\r\nLastCheck=" + lastCheck + "\r\n");
    road->Open();
}

QString TestMainRoad::ExpectVideo(const QString &name)
{
    const QString target = road->program.filePath(QStringLiteral("DownloadVideo/") + name);
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->dialogs.AnswerFileDialog(target);
    return target;
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
    QCOMPARE(road->window->LastVideoFile(), target);
    QCOMPARE(road->window->Flow().VideoLink(), road->VideoAddress());
    QVERIFY(Seen(*road->window, "XpB3"));
    const QString savePath = road->window->Flow().SavePath();
    QCOMPARE(savePath, road->program.path() + QStringLiteral("/DownloadVideo/"));
    QCOMPARE(QString::fromUtf8(road->window->Flow().Store().RINI("Save", "SavePath")), savePath);
    // The page address went to the service as a form, in its ASCII form.
    const QByteArray request = road->resolver.Requests().value(0);
    QVERIFY2(request.startsWith("POST /xurl/ HTTP/1.0\r\n"), request.constData());
    QVERIFY2(request.contains("\r\n\r\nurl=http%3A%2F%2Fvideos%2Eexample%2Fwatch%3Fv%3Da+b%26c%3D%25D0%25B4"),
             request.constData());
    // The save dialog proposed the download folder and a date-and-time name.
    const ScriptedDialogs::Asked asked = road->dialogs.FileDialogs().value(0);
    QCOMPARE(asked.owner, road->window.get());
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

void TestMainRoad::stopInEachStage_data()
{
    QTest::addColumn<int>("stage");
    QTest::newRow("update check") << 0;
    QTest::newRow("resolution") << 1;
    QTest::newRow("video") << 3;
}

void TestMainRoad::stopInEachStage()
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
    const QString partial = road->window->Flow().PartialPath();
    if (stage == 3) {
        QTRY_VERIFY(Seen(*road->window, "ImagPr"));
        Screenshot(*road->window, QStringLiteral("road-downloading"));
        QVERIFY(QFile::exists(partial));
    }
    Click(*road->window, "StopButton");
    QVERIFY(partial.isEmpty() || !QFile::exists(partial));

    QCOMPARE(road->Label1(), QStringLiteral("Загрузка остановлена"));
    QCOMPARE(int(road->window->Flow().Stage()), stage);
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
        road->update.AddScript(
            {ScriptedServer::Send(RoadFixture::HttpOk(AppVersion().toUtf8())), ScriptedServer::Close()});
    const QString target = ExpectVideo();
    road->Download();
    QVERIFY(road->WaitIdle());
    QCOMPARE(ReadAll(target), road->served);
    QCOMPARE(road->Label1(), QStringLiteral("Файл сохранен"));
    for (const Shown &s : road->shown)
        QVERIFY(s.event != QLatin1String("DownError"));
}

void TestMainRoad::closingAsksWhileVideoArrives_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("no: the download goes on") << false;
    QTest::newRow("yes: stopped, nothing left") << true;
}

void TestMainRoad::closingAsksWhileVideoArrives()
{
    QFETCH(bool, stop);
    ScriptedServer slowVideo;
    QVERIFY(slowVideo.Listen());
    Check(Today());
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(
        QStringLiteral("http://") + slowVideo.HostAndPort() + QStringLiteral("/slow.flv"))));
    // No declared length: the bar runs as a busy bar.
    slowVideo.AddScript({ScriptedServer::Send("HTTP/1.0 200 OK\r\n\r\nFLV" + QByteArray(30000, 'x')),
                         ScriptedServer::Hold(), ScriptedServer::Close()});
    road->Download();
    QTRY_COMPARE_WITH_TIMEOUT(slowVideo.Waiting(), 1, 20000);
    const QString partial = road->window->Flow().PartialPath();
    QVERIFY(QFile::exists(partial));
    QTRY_VERIFY(Seen(*road->window, "ImagPr"));
    road->dialogs.AnswerMessage(stop ? MessageButton::Yes : MessageButton::No);

    QCOMPARE(road->window->close(), stop);

    const ScriptedDialogs::Asked asked = road->dialogs.Messages().value(0);
    QCOMPARE(asked.text, Main::CloseQuestionText());
    QCOMPARE(asked.buttons, MessageButton::Yes | MessageButton::No);
    // Enter pressed by habit keeps the download.
    QCOMPARE(EnterButton(asked.buttons, asked.icon), MessageButton::No);
    QCOMPARE(QFile::exists(partial), !stop);
    QCOMPARE(road->window->Flow().VideoUnderWay(), !stop);
    if (!stop)
        Click(*road->window, "StopButton");
}

QTEST_MAIN(TestMainRoad)
#include "tst_mainroad.moc"
