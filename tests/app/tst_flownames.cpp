#include "DefaultVideoName.h"
#include "FlvMaker.h"
#include "ResolutionAnswer.h"
#include "RoadFixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

// The downloaded video is named after what it is: the suggested name keeps its date and time and takes the
// extension of the video's kind, and the save dialog offers that kind first.
class TestFlowNames : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void namedByContent_data();
    void namedByContent();
    void namedAtTheSave();
    void namedByTitle_data();
    void namedByTitle();

private:
    std::unique_ptr<RoadFixture> road;
};

void TestFlowNames::init()
{
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(), qPrintable(road->Error()));
}

void TestFlowNames::cleanup()
{
    QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
}

void TestFlowNames::namedByContent_data()
{
    // format: what the video server serves; an empty one is the fixture's own FLV.
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("kind");
    QTest::newRow("FLV") << -1 << "flv"
                         << "Видео FLV";
    QTest::newRow("MP4") << int(FlvMaker::Format::Mp4) << "mp4"
                         << "Видео MP4";
    QTest::newRow("WebM") << int(FlvMaker::Format::WebM) << "webm"
                          << "Видео WebM";
    QTest::newRow("Matroska") << int(FlvMaker::Format::Matroska) << "mkv"
                              << "Видео Matroska";
    QTest::newRow("MPEG-TS") << int(FlvMaker::Format::MpegTs) << "ts"
                             << "Видео MPEG-TS";
    QTest::newRow("no video known") << -2 << "flv"
                                    << "Видео FLV";
}

void TestFlowNames::namedByContent()
{
    QFETCH(int, format);
    QFETCH(QString, extension);
    QFETCH(QString, kind);
    // Served under a name that says nothing of the kind, as services do.
    QString served = QStringLiteral("video.flv");
    if (format >= 0) {
        served = QStringLiteral("get");
        QVERIFY(!FlvMaker::MakeMedia(road->site.path(), served, FlvMaker::Format(format), 0.5).isEmpty());
    } else if (format == -2) {
        served = QStringLiteral("page");
        QVERIFY(!FlvMaker::WriteFile(road->site.path(), served, "<html>not a video</html>").isEmpty());
    }
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress(served))));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(MessageButton::Ok);

    road->Download();
    QVERIFY(road->WaitIdle());

    const ScriptedDialogs::Asked asked = road->dialogs.FileDialogs().value(0);
    const QRegularExpression name(QStringLiteral(R"(/DownloadVideo/[^/]+\([^/]+\)\.)") + extension + u'$');
    QVERIFY2(name.match(asked.fileName).hasMatch(), qPrintable(asked.fileName));
    QVERIFY2(asked.filter.startsWith(kind + QStringLiteral("|*.") + extension + u'|'), qPrintable(asked.filter));
    QFile source(road->site.filePath(served));
    QVERIFY(source.open(QIODevice::ReadOnly));
    QCOMPARE(road->SavedVideo(), asked.fileName);
    QFile saved(asked.fileName);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), source.readAll());
}

// The suggested name holds the time of the save, however long the video took to arrive.
void TestFlowNames::namedAtTheSave()
{
    constexpr int kArrivalMs = 1500;
    ScriptedServer host;
    QVERIFY(host.Listen());
    const QByteArray body("FLV\x01 slow video");
    host.AddScript({ScriptedServer::Send("HTTP/1.0 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                                         + "\r\n\r\n" + body.left(4)),
                    ScriptedServer::Pause(kArrivalMs), ScriptedServer::Send(body.mid(4)), ScriptedServer::Close()});
    road->WriteOptions();
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(
        RoadFixture::AnswerWithLink(QStringLiteral("http://") + host.HostAndPort() + QStringLiteral("/v"))));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(MessageButton::Ok);
    const QDateTime begun = QDateTime::currentDateTime();

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString suggested = road->dialogs.FileDialogs().value(0).fileName;
    QStringList names;
    const QDateTime arrived = begun.addMSecs(kArrivalMs);
    for (QDateTime second = arrived.addMSecs(-arrived.time().msec()); second <= QDateTime::currentDateTime();
         second = second.addSecs(1))
        names.append(DefaultVideoName(second));
    QVERIFY2(names.contains(suggested.mid(suggested.lastIndexOf(u'/') + 1)), qPrintable(suggested));
}

void TestFlowNames::namedByTitle_data()
{
    QTest::addColumn<QByteArray>("options");
    QTest::addColumn<QString>("name");
    QTest::newRow("by its title") << QByteArray() << QStringLiteral("^Закат - над гаванью\\.flv$");
    QTest::newRow("by date and time, as asked")
        << QByteArray("[Save]\r\nDateTimeNames=1\r\n") << QStringLiteral("\\(.+\\)\\.flv$");
}

// The service's title names the video, made safe; the date-and-time name of a video without a title is
// namedByContent's.
void TestFlowNames::namedByTitle()
{
    QFETCH(QByteArray, options);
    QFETCH(QString, name);
    road->WriteOptions(options);
    road->OpenFlow();
    road->ResolverAnswers(RoadFixture::HttpOk(ResolutionAnswer::Marker().toByteArray() + " <a href=\""
                                              + road->VideoAddress().toUtf8()
                                              + "\" data-title=\"Закат: над гаванью?\">video</a>"));
    road->dialogs.AnswerFileDialog(QString());
    road->dialogs.AnswerMessage(MessageButton::Ok);

    road->Download();
    QVERIFY(road->WaitIdle());

    const QString suggested = road->dialogs.FileDialogs().value(0).fileName;
    QVERIFY2(QRegularExpression(name).match(suggested.mid(suggested.lastIndexOf(u'/') + 1)).hasMatch(),
             qPrintable(suggested));
    QCOMPARE(road->SavedVideo(), suggested);
}

QTEST_MAIN(TestFlowNames)
#include "tst_flownames.moc"
