#include "ResolutionAnswer.h"
#include "RoadFixture.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// An answer offering these links, each with its height.
QByteArray AnswerOffering(const QList<std::pair<QString, int>> &choices)
{
    QByteArray answer = ResolutionAnswer::Marker().toByteArray() + " ";
    for (const auto &[link, height] : choices)
        answer += "<a href=\"" + link.toUtf8() + "\" data-height=\"" + QByteArray::number(height) + "\">v</a>";
    return RoadFixture::HttpOk(answer);
}

QByteArray Contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

// Which of the page's forms of a video the flow downloads: the one the preference takes, or another taken
// while it arrives.
class TestFlowChoices : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void preferenceTakesItsChoice();
    void anotherTakenWhileArriving();

private:
    std::unique_ptr<RoadFixture> road;
};

void TestFlowChoices::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(), qPrintable(road->Error()));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(MessageButton::Ok);
}

void TestFlowChoices::cleanup()
{
    QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestFlowChoices::preferenceTakesItsChoice()
{
    road->WriteOptions("[Save]\r\nQuality=480\r\n");
    road->OpenFlow();
    road->ResolverAnswers(
        AnswerOffering({{road->VideoAddress(QStringLiteral("missing.flv")), 720}, {road->VideoAddress(), 480}}));
    QSignalSpy offered(&road->Flow(), &DownloadFlow::ChoicesOffered);

    road->Download();
    QVERIFY(road->WaitIdle());

    QCOMPARE(offered.count(), 1);
    QCOMPARE(offered[0][0].toStringList(), QStringList({QStringLiteral("720p"), QStringLiteral("480p")}));
    QCOMPARE(offered[0][1].toInt(), 1);
    QCOMPARE(Contents(road->SavedVideo()), Contents(road->site.filePath(QStringLiteral("video.flv"))));
}

// The first choice arrives slowly; the second, taken after its first bytes, is the one saved, and nothing of
// the first is left.
void TestFlowChoices::anotherTakenWhileArriving()
{
    ScriptedServer slow;
    QVERIFY(slow.Listen());
    slow.AddScript({ScriptedServer::Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\nFLV\x01"),
                    ScriptedServer::Pause(20000), ScriptedServer::Close()});
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(AnswerOffering(
        {{QStringLiteral("http://") + slow.HostAndPort() + QStringLiteral("/v"), 720}, {road->VideoAddress(), 480}}));
    DownloadFlow &flow = road->Flow();
    bool taken = false;
    connect(&flow, &DownloadFlow::FLVsize, this, [&](qint64 size) {
        if (size > 0 && !std::exchange(taken, true))
            QMetaObject::invokeMethod(
                this,
                [&flow] {
                    // The choice arriving, chosen again, is no other: nothing starts again.
                    QVERIFY(!flow.TakeChoice(0));
                    QVERIFY(flow.TakeChoice(1));
                },
                Qt::QueuedConnection);
    });

    road->Download();
    QVERIFY(road->WaitIdle());

    QVERIFY(taken);
    QCOMPARE(Contents(road->SavedVideo()), Contents(road->site.filePath(QStringLiteral("video.flv"))));
    const QDir folder(QFileInfo(road->SavedVideo()).absolutePath());
    QCOMPARE(folder.entryList(QDir::Files), QStringList({QFileInfo(road->SavedVideo()).fileName()}));
}

QTEST_MAIN(TestFlowChoices)
#include "tst_flowchoices.moc"
