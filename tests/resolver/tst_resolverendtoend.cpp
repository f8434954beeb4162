#include "Main.h"
#include "MediaFixtures.h"
#include "RealPeers.h"
#include "ResolverTestSupport.h"
#include "ScriptedDialogs.h"
#include "XpB.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The whole road with nothing scripted but the user: the real window asks the real service, which fetches a
// page from a real web server, and the video it names is downloaded and saved; a video the page only streams
// is remuxed by the service into one file, which the window saves like any other.
class TestResolverEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void pageToSavedVideo();
    void hlsPageToSavedVideo();
    void answersWithoutVideoSayWhy_data();
    void answersWithoutVideoSayWhy();
};

namespace {

void WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The service says it listens once it does, and when yt-dlp is ready.
bool WaitForLine(QProcess &service, const QByteArray &start, int timeoutMilliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMilliseconds) {
        while (service.canReadLine())
            if (service.readLine().startsWith(start))
                return true;
        if (!service.waitForReadyRead(1000) && service.state() == QProcess::NotRunning)
            return false;
    }
    return false;
}

// The service program, ended when the test is, whichever way it ends.
struct ServiceProcess : QProcess {
    ~ServiceProcess() override
    {
        terminate();
        waitForFinished(10000);
    }
};

bool StartService(QProcess &service, quint16 port)
{
    service.start(QStringLiteral(RESOLVER_PROGRAM),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                   QString::number(port)});
    return service.waitForStarted(10000) && WaitForLine(service, "quillon-resolver: listening on", 10000);
}

// The user's road: the download panel, the page's address, the download button, until the panel is idle
// again; the save dialog answers target, in the program's download folder.
void DownloadThroughWindow(const QTemporaryDir &program, const QByteArray &serviceHost, const QString &page,
                           const QString &target)
{
    // The service answers the daily version check too: the same version, so the download goes on.
    WriteFile(program.filePath(QStringLiteral("options.ini")),
              "[Network]\r\nUseProxy=0\r\n[Version]\r\nCheckUpgrade=1\r\n[Hosts]\r\nResolver=" + serviceHost
                  + "\r\nUpdate=" + serviceHost + "\r\n");
    ScriptedDialogs dialogs;
    dialogs.AnswerFileDialog(target);
    Main window(program.path(), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    XpB *downloadPanel = window.findChild<XpB *>(QStringLiteral("ZagButton"));
    QTest::mouseClick(downloadPanel, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    window.findChild<QLineEdit *>(QStringLiteral("URLtext"))->setText(page);
    XpB *down = window.findChild<XpB *>(QStringLiteral("DownButton"));
    QVERIFY(down->isVisible());
    QTest::mouseClick(down, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(!down->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(down->isVisible(), 120000);

    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Файл сохранен"));
    QCOMPARE(window.LastVideoFile(), target);
    QCOMPARE(dialogs.Unexpected(), 0);
    QCOMPARE(dialogs.Unused(), 0);
}

// Opens the download panel, types the page address and presses the download button; true once the run has
// ended and the panel is idle again.
bool DownloadPage(Main &window, const QString &page)
{
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QTest::mouseClick(window.findChild<XpB *>(QStringLiteral("ZagButton")), Qt::LeftButton, Qt::NoModifier,
                      QPoint(10, 10));
    window.findChild<QLineEdit *>(QStringLiteral("URLtext"))->setText(page);
    XpB *down = window.findChild<XpB *>(QStringLiteral("DownButton"));
    if (!down->isVisible())
        return false;
    QTest::mouseClick(down, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    if (down->isVisible())
        return false;
    return QTest::qWaitFor([down] { return down->isVisible(); }, 60000);
}

QString LabelText(Main &window, const char *name)
{
    return window.findChild<QLabel *>(QLatin1String(name))->text();
}

}  // namespace

void TestResolverEndToEnd::pageToSavedVideo()
{
    QTemporaryDir site;
    QByteArray video("FLV\x01\x05");
    for (int i = 0; video.size() < 2 * 1024 * 1024 + 3; ++i)
        video.append(char(i * 7 + i / 251));
    WriteFile(site.filePath(QStringLiteral("clip.flv")), video);
    WriteFile(site.filePath(QStringLiteral("watch.html")),
              "<!doctype html><html><head><title>A clip</title>"
              "<meta property=\"og:video\" content=\"clip.flv\"></head>"
              "<body><p>Our clip</p></body></html>");
    PythonHttpServer web;
    QVERIFY2(web.Start(site.path()), qPrintable(web.Error()));

    ServiceProcess service;
    const quint16 servicePort = ResolverTestSupport::FindFreePort();
    QVERIFY(StartService(service, servicePort));
    QTemporaryDir program;
    const QString target = program.filePath(QStringLiteral("DownloadVideo/clip.flv"));
    DownloadThroughWindow(program, "127.0.0.1:" + QByteArray::number(servicePort),
                          QStringLiteral("http://127.0.0.1:%1/watch.html").arg(web.Port()), target);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(ReadFile(target), video);
}

void TestResolverEndToEnd::hlsPageToSavedVideo()
{
    constexpr int kSeconds = 6;
    ResolverTestSupport::NginxServer site;
    QString error;
    QVERIFY2(MediaFixtures::MakeHls(site.FilePath(QString()), kSeconds, &error), qPrintable(error));
    site.WritePage(QStringLiteral("watch.html"),
                   "<!DOCTYPE html><html><head><title>A stream</title></head><body><video controls>"
                   "<source src=\"hls/master.m3u8\" type=\"application/x-mpegURL\"></video></body></html>");
    QVERIFY2(site.Start(&error), qPrintable(error));

    ServiceProcess service;
    const quint16 servicePort = ResolverTestSupport::FindFreePort();
    QVERIFY(StartService(service, servicePort));
    QVERIFY(WaitForLine(service, "quillon-resolver: yt-dlp", 180000));
    QTemporaryDir program;
    const QString target = program.filePath(QStringLiteral("DownloadVideo/stream.flv"));
    DownloadThroughWindow(program, "127.0.0.1:" + QByteArray::number(servicePort),
                          site.Address(QStringLiteral("watch.html")), target);
    if (QTest::currentTestFailed())
        return;
    const MediaFixtures::Probe probe = MediaFixtures::ProbeFile(target);
    QCOMPARE(probe.streams, (QStringList{"video", "audio"}));
    QVERIFY2(qAbs(probe.duration - kSeconds) <= 0.5, qPrintable(QString::number(probe.duration)));
}

void TestResolverEndToEnd::answersWithoutVideoSayWhy_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("reason");
    QTest::newRow("page without video") << "/plain.html"
                                        << "На странице нет ссылок на видео.";
    QTest::newRow("unknown host") << "http://no-such-host.invalid/watch"
                                  << "Сервер no-such-host.invalid не найден.";
    QTest::newRow("refused connection")
        << QStringLiteral("http://127.0.0.1:%1/watch").arg(ResolverTestSupport::FindFreePort())
        << "Сервер страницы не отвечает: соединение отклонено.";
    QTest::newRow("ftp page") << "ftp://127.0.0.1/watch"
                              << "Адрес страницы не понят: нужен адрес, который начинается с "
                                 "http:// или https://.";
}

void TestResolverEndToEnd::answersWithoutVideoSayWhy()
{
    QFETCH(QString, page);
    QFETCH(QString, reason);
    QTemporaryDir site;
    WriteFile(site.filePath(QStringLiteral("plain.html")), "<html><body><p>Just words</p></body></html>");
    PythonHttpServer web;
    QVERIFY2(web.Start(site.path()), qPrintable(web.Error()));
    if (page.startsWith(QLatin1Char('/')))
        page = QStringLiteral("http://127.0.0.1:%1").arg(web.Port()) + page;
    ServiceProcess service;
    const quint16 servicePort = ResolverTestSupport::FindFreePort();
    QVERIFY(StartService(service, servicePort));
    QTemporaryDir program;
    WriteFile(program.filePath(QStringLiteral("options.ini")),
              "[Hosts]\r\nResolver=127.0.0.1:" + QByteArray::number(servicePort) + "\r\n");
    ScriptedDialogs dialogs;
    Main window(program.path(), dialogs);

    QVERIFY(DownloadPage(window, page));

    QCOMPARE(LabelText(window, "Label4"), QStringLiteral("Ошибка! Не удалось найти видеопоток"));
    // The service may add what its second engine found; its first reason comes first.
    QVERIFY2(LabelText(window, "Label1").startsWith(reason), qPrintable(LabelText(window, "Label1")));
    // Whole in the panel too, below the server line.
    QVERIFY(LabelText(window, "reasonLabel").startsWith(reason));
    QCOMPARE(dialogs.Unexpected(), 0);
}

QTEST_MAIN(TestResolverEndToEnd)
#include "tst_resolverendtoend.moc"
