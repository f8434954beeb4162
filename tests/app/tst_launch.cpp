#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "InstanceChannel.h"
#include "LaunchRequest.h"
#include "ProcessSetup.h"
#include "ScriptedDialogs.h"
#include "WindowProbe.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// What the command line asks for: `quillon FILE` plays the video, `quillon URL` puts the address in the download
// panel, and a later start with either hands it to the first window, a real program started beside the test's own
// window.
class TestLaunch : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void readsTheArguments_data();
    void readsTheArguments();
    void refusedRequests_data();
    void refusedRequests();
    void laterStartsReachTheFirstWindow();

private:
    QString PlayingAddress(const QString &path) const;
    // The program started as the user would, in folder; its exit code, or -1 when it did not end by itself.
    int StartProgram(const QStringList &arguments, const QString &folder);

    QTemporaryDir media;
    QTemporaryDir runtime;
    QString video;
    std::unique_ptr<QTemporaryDir> program;
    ScriptedDialogs dialogs;
    std::unique_ptr<Main> window;
};

void TestLaunch::initTestCase()
{
    PrepareProcessForVideo();
    // The channel's socket lies in a runtime folder of the test's own, which the programs it starts share.
    QVERIFY(runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    video = FlvMaker::WriteFile(media.path(), QStringLiteral("клип один.flv"), QByteArray("FLV\x01\x05\0\0\0\x09", 9));
    QVERIFY(!video.isEmpty());
}

void TestLaunch::init()
{
    dialogs.Clear();
    program = std::make_unique<QTemporaryDir>();
    window = std::make_unique<Main>(program->path(), dialogs);
    Control<FlvPlayer>(*window, "swf")->SetAudioOutput(QStringLiteral("null"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void TestLaunch::cleanup()
{
    window.reset();
    QCOMPARE(dialogs.Unexpected(), 0);
}

QString TestLaunch::PlayingAddress(const QString &path) const
{
    return QStringLiteral("file://localhost") + program->path() + QStringLiteral("/flv_video.swf?file=") + path
        + QStringLiteral("&autoStart=true");
}

void TestLaunch::readsTheArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("value");
    const int file = int(LaunchRequest::Kind::File);
    const int address = int(LaunchRequest::Kind::Address);
    QTest::newRow("none") << QStringList() << int(LaunchRequest::Kind::None) << QString();
    QTest::newRow("a name in the current folder") << QStringList{"film.webm"} << file << "/home/u/Видео/film.webm";
    QTest::newRow("a path above") << QStringList{"../a b.mkv"} << file << "/home/u/a b.mkv";
    QTest::newRow("a full path") << QStringList{"/tmp/x.flv"} << file << "/tmp/x.flv";
    QTest::newRow("a file address") << QStringList{"file:///tmp/a%20b.mp4"} << file << "/tmp/a b.mp4";
    QTest::newRow("a page address") << QStringList{"https://video.example/watch?v=1"} << address
                                    << "https://video.example/watch?v=1";
    QTest::newRow("a scheme in capitals")
        << QStringList{"HTTP://video.example/x"} << address << "HTTP://video.example/x";
    QTest::newRow("the first of two") << QStringList{"one.flv", "two.flv"} << file << "/home/u/Видео/one.flv";
}

void TestLaunch::readsTheArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, kind);
    QFETCH(QString, value);
    const LaunchRequest request = ReadLaunchRequest(arguments, QStringLiteral("/home/u/Видео"));
    QCOMPARE(int(request.What), kind);
    QCOMPARE(request.Value, value);
    QCOMPARE(RequestOfBytes(RequestBytes(request)), kind == 0 ? LaunchRequest() : request);
}

void TestLaunch::refusedRequests_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("message");
    QTest::newRow("no such file") << "нет.flv" << false << "Файл не найден:\r\n\r\n";
    QTest::newRow("not a video") << "notes.flv" << false << "Это не FLV-видео файл!";
    QTest::newRow("a download under way") << "клип один.flv" << true << "Идёт загрузка видео.";
}

void TestLaunch::refusedRequests()
{
    QFETCH(QString, file);
    QFETCH(bool, busy);
    QFETCH(QString, message);
    FlvMaker::WriteFile(media.path(), QStringLiteral("notes.flv"), "Это не видео\n");
    if (busy) {
        window->ShowDownloadMode();
        window->SetBusyState();
    }
    const QString movieBefore = Control<FlvPlayer>(*window, "swf")->Movie();
    dialogs.AnswerMessage(MessageButton::Ok);

    window->OpenRequest(ReadLaunchRequest({file}, media.path()));

    QCOMPARE(dialogs.Messages().size(), 1);
    QCOMPARE(dialogs.Messages()[0].title, QStringLiteral("Внимание"));
    QVERIFY2(dialogs.Messages()[0].text.startsWith(message), qPrintable(dialogs.Messages()[0].text));
    QCOMPARE(Control<FlvPlayer>(*window, "swf")->Movie(), movieBefore);
    QCOMPARE(Seen(*window, "StopButton"), busy);
}

int TestLaunch::StartProgram(const QStringList &arguments, const QString &folder)
{
    QProcess start;
    start.setProgram(QStringLiteral(QUILLON_PROGRAM));
    start.setArguments(arguments);
    start.setWorkingDirectory(folder);
    start.setProcessChannelMode(QProcess::ForwardedChannels);
    start.start();
    // The test's window answers while the program waits for it.
    if (!QTest::qWaitFor([&start] { return start.state() == QProcess::NotRunning; }, 30000)) {
        start.kill();
        start.waitForFinished();
        return -1;
    }
    return start.exitStatus() == QProcess::NormalExit ? start.exitCode() : -1;
}

void TestLaunch::laterStartsReachTheFirstWindow()
{
    // The first start, as the program's main makes it: `quillon FILE` with no window running yet.
    InstanceChannel channel(InstanceChannel::SessionSocketPath());
    const LaunchRequest first = ReadLaunchRequest({QFileInfo(video).fileName()}, media.path());
    QVERIFY(!channel.HandOver(first));
    QVERIFY(channel.Listening());
    connect(&channel, &InstanceChannel::Received, window.get(), &Main::OpenLaterRequest);
    window->OpenRequest(first);
    QVERIFY(Seen(*window, "swf"));
    QCOMPARE(Control<FlvPlayer>(*window, "swf")->Movie(), PlayingAddress(video));

    const QString page = QStringLiteral("http://video.example/watch?v=quillon");
    QCOMPARE(StartProgram({page}, media.path()), 0);
    QCOMPARE(Control<QLineEdit>(*window, "URLtext")->text(), page);
    QVERIFY(Seen(*window, "DownButton"));
    QVERIFY(!Seen(*window, "StopButton"));

    const QString second = FlvMaker::WriteFile(media.path(), QStringLiteral("два.flv"), QByteArray("FLV\x01\x05", 5));
    QCOMPARE(StartProgram({QStringLiteral("два.flv")}, media.path()), 0);
    QCOMPARE(Control<FlvPlayer>(*window, "swf")->Movie(), PlayingAddress(second));
    QVERIFY(dialogs.History().isEmpty());
}

QTEST_MAIN(TestLaunch)
#include "tst_launch.moc"
