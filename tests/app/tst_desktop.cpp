#include "DesktopListeners.h"
#include "DownloadNotices.h"
#include "RoadFixture.h"
#include "Version.h"
#include "WindowProbe.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

// What the desktop would have opened, in place of a browser or a file manager's window.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl &url) { urls.append(url); }
};

}  // namespace

// The main window on the desktop: its notifications of downloads that end while the user looks elsewhere, the file
// manager showing a saved video, and the title while a video arrives. The desktop's services are listeners on the
// private session bus the test runs under.
class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void savedUnseenIsTold();
    void failureIsToldOnlyWhenUnseen();
    void panelShowsTheFile();
    void withoutFileManagerTheFolderOpens();

private:
    void OpenWindow(const QByteArray &options = {});
    void LookAway();
    void LookAt();
    // A failed run: the service answers without a video, or with a link to none.
    void FailedRun(bool missingVideo);
    // The window after a save of a file of its own, its "Показать в папке" clicked.
    QString SavedAndShown();

    std::unique_ptr<NotificationListener> notifications;
    std::unique_ptr<FileManagerListener> fileManager;
    std::unique_ptr<DownloadNotices> notices;
    std::unique_ptr<RoadFixture> road;
    std::unique_ptr<QWidget> elsewhere;
    OpenedUrls opened;
};

void TestDesktop::init()
{
    notifications = std::make_unique<NotificationListener>();
    QVERIFY(notifications->Start());
    notices = std::make_unique<DownloadNotices>();
    road = std::make_unique<RoadFixture>();
    QVERIFY2(road->Start(), qPrintable(road->Error()));
    elsewhere = std::make_unique<QWidget>();
    elsewhere->resize(100, 100);
    opened.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "Open");
}

void TestDesktop::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(road->dialogs.Unexpected(), 0);
    road.reset();
    elsewhere.reset();
    notices.reset();
    fileManager.reset();
    notifications.reset();
}

void TestDesktop::OpenWindow(const QByteArray &options)
{
    road->WriteOptions(options);
    road->Open();
    road->window->setNotices(notices.get());
}

void TestDesktop::LookAway()
{
    elsewhere->show();
    elsewhere->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(elsewhere.get()));
    QVERIFY(!road->window->isActiveWindow());
}

void TestDesktop::LookAt()
{
    road->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(road->window.get()));
}

void TestDesktop::FailedRun(bool missingVideo)
{
    road->ResolverAnswers(RoadFixture::HttpOk(missingVideo ? RoadFixture::AnswerWithLink(road->VideoAddress("none.flv"))
                                                           : QByteArray("<html>no video here</html>")));
    road->Download();
    QVERIFY(road->WaitIdle());
}

void TestDesktop::savedUnseenIsTold()
{
    fileManager = std::make_unique<FileManagerListener>();
    QVERIFY(fileManager->Start());
    OpenWindow("[Save]\r\nDirectly=1\r\n");
    LookAway();
    road->ResolverAnswers(RoadFixture::HttpOk(RoadFixture::AnswerWithLink(road->VideoAddress())));
    road->Download();
    QVERIFY(road->WaitIdle());

    const QString saved = road->SavedVideo();
    QVERIFY(road->dialogs.History().isEmpty());
    QTRY_COMPARE(notifications->Notices().size(), 1);
    const NotificationListener::Notice notice = notifications->Notices().first();
    QCOMPARE(notice.AppName, QStringLiteral("Quillon"));
    QCOMPARE(notice.Summary, QStringLiteral("Видео сохранено"));
    QCOMPARE(notice.Body, QFileInfo(saved).fileName());
    QCOMPARE(notice.Actions, QStringList({"default", "Quillon", "open", "Открыть", "folder", "Показать в папке"}));
    QCOMPARE(notice.Hints.value(QStringLiteral("category")).toString(), QStringLiteral("transfer.complete"));

    // While the video arrived the title said how far it had got; it is the program's own again.
    static const QRegularExpression share(QStringLiteral("^\\d{1,3} % — Quillon ") + AppVersion() + QLatin1Char('$'));
    QVERIFY(std::any_of(road->shown.cbegin(), road->shown.cend(),
                        [](const Shown &shown) { return share.match(shown.title).hasMatch(); }));
    QCOMPARE(road->window->windowTitle(), QStringLiteral("Quillon ") + AppVersion());

    notifications->Click(notice.Id, QStringLiteral("folder"));
    QTRY_COMPARE(fileManager->Shown(), QList<QStringList>{{QUrl::fromLocalFile(saved).toString()}});
    notifications->Click(notice.Id, QStringLiteral("open"));
    QTRY_COMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(saved)});
    notifications->Click(notice.Id, QStringLiteral("default"));
    QTRY_VERIFY(road->window->isActiveWindow());
}

void TestDesktop::failureIsToldOnlyWhenUnseen()
{
    OpenWindow();
    LookAt();
    FailedRun(false);
    LookAway();
    FailedRun(true);

    // Notices arrive in the order they were sent: once the second is there, the first would be too.
    QTRY_VERIFY(!notifications->Notices().isEmpty());
    QCOMPARE(notifications->Notices().size(), 1);
    const NotificationListener::Notice notice = notifications->Notices().first();
    QCOMPARE(notice.Summary, QStringLiteral("Видео не загружено"));
    QVERIFY2(notice.Body.contains(QStringLiteral("404")), qPrintable(notice.Body));
    QCOMPARE(notice.Actions, QStringList({"default", "Quillon"}));
    QCOMPARE(notice.Hints.value(QStringLiteral("category")).toString(), QStringLiteral("transfer.error"));
}

QString TestDesktop::SavedAndShown()
{
    OpenWindow();
    const QString saved = road->program.filePath(QStringLiteral("DownloadVideo/видео & звук.flv"));
    emit road->window->Flow().VideoSaved(saved);
    Click(*road->window, "XpB5");
    return saved;
}

void TestDesktop::panelShowsTheFile()
{
    fileManager = std::make_unique<FileManagerListener>();
    QVERIFY(fileManager->Start());
    const QString saved = SavedAndShown();
    QTRY_COMPARE(fileManager->Shown(), QList<QStringList>{{QUrl::fromLocalFile(saved).toString()}});
    QVERIFY(opened.urls.isEmpty());
}

void TestDesktop::withoutFileManagerTheFolderOpens()
{
    const QString saved = SavedAndShown();
    QTRY_COMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(saved).absolutePath())});
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
