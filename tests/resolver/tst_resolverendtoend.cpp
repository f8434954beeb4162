#include "Main.h"
#include "RealPeers.h"
#include "ResolverTestSupport.h"
#include "ScriptedDialogs.h"
#include "XpB.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The whole road with nothing scripted but the user: the real window asks the real service, which fetches a
// page from a real web server, and the video it names is downloaded and saved.
class TestResolverEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void pageToSavedVideo();
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

bool StartService(QProcess &service, quint16 port)
{
    service.start(QStringLiteral(RESOLVER_PROGRAM),
                  {QStringLiteral("--listen"), QStringLiteral("127.0.0.1"), QStringLiteral("--port"),
                   QString::number(port)});
    if (!service.waitForStarted(10000))
        return false;
    // The program says it listens once it does.
    while (!service.canReadLine()) {
        if (!service.waitForReadyRead(10000))
            return false;
    }
    return service.readLine().startsWith("quillon-resolver: listening on");
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

    QProcess service;
    const quint16 servicePort = ResolverTestSupport::FindFreePort();
    QVERIFY(StartService(service, servicePort));
    const QByteArray serviceHost = "127.0.0.1:" + QByteArray::number(servicePort);

    // The service answers the daily version check too: the same version, so the download goes on.
    QTemporaryDir program;
    WriteFile(program.filePath(QStringLiteral("options.ini")),
              "[Network]\r\nUseProxy=0\r\n[Version]\r\nCheckUpgrade=1\r\n[Hosts]\r\nResolver=" + serviceHost
                  + "\r\nUpdate=" + serviceHost + "\r\n");
    ScriptedDialogs dialogs;
    const QString target = program.filePath(QStringLiteral("DownloadVideo/clip.flv"));
    dialogs.AnswerFileDialog(target);
    Main window(program.path(), dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    XpB *downloadPanel = window.findChild<XpB *>(QStringLiteral("ZagButton"));
    QTest::mouseClick(downloadPanel, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    const QString page = QStringLiteral("http://127.0.0.1:%1/watch.html").arg(web.Port());
    window.findChild<QLineEdit *>(QStringLiteral("URLtext"))->setText(page);
    XpB *down = window.findChild<XpB *>(QStringLiteral("DownButton"));
    QVERIFY(down->isVisible());
    QTest::mouseClick(down, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(!down->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(down->isVisible(), 60000);

    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Файл сохранен"));
    QCOMPARE(ReadFile(target), video);
    QCOMPARE(window.LastVideoFile, target);
    QCOMPARE(dialogs.Unexpected(), 0);
    QCOMPARE(dialogs.Unused(), 0);
    service.terminate();
    service.waitForFinished(10000);
}

QTEST_MAIN(TestResolverEndToEnd)
#include "tst_resolverendtoend.moc"
