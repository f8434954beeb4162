#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "INI.h"
#include "OpenFile.h"
#include "PlayerHarness.h"
#include "ProcessSetup.h"
#include "ScriptedDialogs.h"
#include "WindowProbe.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

using PlayerHarness::kPatience;

// The player side of the main window: what a drop onto the blank picture, the open-file button (or a click on
// the blank picture), the play button and the clear button do to the player's movie, LastVideoFile and the
// messages; where the open dialog starts; the player's window size and the keyboard.
class TestMainPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void onlyTheBlankPictureTakesDrops();
    void drop_data();
    void drop();
    void openFileButton_data();
    void openFileButton();
    void playsEachKindEachWay_data();
    void playsEachKindEachWay();
    void openDialogStartsWhereTheLastVideoWas();
    void clickOnBlankPictureOpens();
    void openedVideoHasTheKeyboard();
    void playerGrowsWithTheWindow();
    void maximisedPlayerIsRemembered();
    void openedFileLeavesThePlayButtonsVideo();
    void droppedFileIsWhatThePlayButtonPlays();
    void clearAfterPlaying();

private:
    QString Media(const QString &name) const { return media.filePath(name); }
    QString Bare() const
    {
        return QStringLiteral("file://localhost") + program->path() + QStringLiteral("/flv_video.swf");
    }
    QString Playing(const QString &path) const
    {
        return Bare() + QStringLiteral("?file=") + path + QStringLiteral("&autoStart=true");
    }
    FlvPlayer *Swf() { return Control<FlvPlayer>(*window, "swf"); }
    // Drags the data over the blank picture and drops it, as the desktop does; true when every step was taken.
    bool DropOnBlankPlayer(QMimeData &data);
    void CheckMessage(const QString &text);
    // A new window over the same program folder, as after a restart, in player mode.
    void Restart();
    // Frames are drawn and the picture changes.
    void CheckMoving();
    QString Options() const { return program->filePath(QStringLiteral("options.ini")); }

    QTemporaryDir media;
    QString realFlv;
    QString mp4;
    std::unique_ptr<QTemporaryDir> program;
    ScriptedDialogs dialogs;
    std::unique_ptr<Main> window;
    // What the play button would play before the test touches the player.
    const QString saved = QStringLiteral("/earlier/saved video.flv");
};

void TestMainPlayer::initTestCase()
{
    PrepareProcessForVideo();
    QVERIFY(media.isValid());
    const QByteArray header("FLV\x01\x05\x00\x00\x00\x09", 9);
    for (const char *name : {"one.flv", "two.flv", "three.flv", "a b&c#ё.flv"})
        QVERIFY(!FlvMaker::WriteFile(media.path(), QString::fromUtf8(name), header).isEmpty());
    QVERIFY(!FlvMaker::WriteFile(media.path(), QStringLiteral("lower.flv"), QByteArray("flv\x01\x05", 5)).isEmpty());
    QVERIFY(!FlvMaker::WriteFile(media.path(), QStringLiteral("short.flv"), QByteArray("FL")).isEmpty());
    QVERIFY(!FlvMaker::WriteFile(media.path(), QStringLiteral("empty.flv"), QByteArray()).isEmpty());
    QVERIFY(!FlvMaker::WriteFile(media.path(), QStringLiteral("clip.avi"), header).isEmpty());
    QVERIFY(
        !FlvMaker::WriteFile(media.path(), QStringLiteral("movie.avi"), QByteArray("RIFF\0\0\0\0AVI ", 12)).isEmpty());
    QVERIFY(!FlvMaker::WriteFile(media.path(), QStringLiteral("notes.flv"), "Это не видео\n").isEmpty());
    // Named without their kinds: the content decides.
    mp4 = FlvMaker::MakeMedia(media.path(), QStringLiteral("mp4 clip"), FlvMaker::Format::Mp4, 3);
    QVERIFY(!mp4.isEmpty());
    QVERIFY(!FlvMaker::MakeMedia(media.path(), QStringLiteral("webm clip"), FlvMaker::Format::WebM, 3).isEmpty());
    QVERIFY(!FlvMaker::MakeMedia(media.path(), QStringLiteral("mkv clip"), FlvMaker::Format::Matroska, 3).isEmpty());
    QVERIFY(QDir(media.path()).mkdir(QStringLiteral("folder.flv")));
    realFlv = FlvMaker::MakeFlv(media.path(), QStringLiteral("real.flv"), {FlvMaker::Codecs::SorensonMp3, 1});
    QVERIFY(!realFlv.isEmpty());
}

void TestMainPlayer::init()
{
    dialogs.Clear();
    program = std::make_unique<QTemporaryDir>();
    window = std::make_unique<Main>(program->path(), dialogs);
    Swf()->SetAudioOutput(QStringLiteral("null"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->setLastVideoFile(saved);
    Click(*window, "ProButton");
    QVERIFY(Seen(*window, "BlankPlayer"));
    QCOMPARE(Swf()->Movie(), Bare());
}

void TestMainPlayer::cleanup()
{
    window.reset();
    QCOMPARE(dialogs.Unexpected(), 0);
    QCOMPARE(dialogs.Unused(), 0);
}

bool TestMainPlayer::DropOnBlankPlayer(QMimeData &data)
{
    QWidget *blank = Control(*window, "BlankPlayer");
    const QPoint middle = blank->rect().center();
    QDragEnterEvent enter(middle, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(blank, &enter);
    QDragMoveEvent move(middle, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(blank, &move);
    QDropEvent drop(middle, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(blank, &drop);
    // The window looks at the drop once the drop has returned to the desktop.
    QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall);
    return enter.isAccepted() && move.isAccepted() && drop.isAccepted() && drop.dropAction() == drop.proposedAction();
}

void TestMainPlayer::CheckMessage(const QString &text)
{
    const QList<ScriptedDialogs::Asked> messages = dialogs.Messages();
    if (text.isEmpty()) {
        QCOMPARE(messages.size(), 0);
        return;
    }
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, text);
    QCOMPARE(messages[0].title, QStringLiteral("Внимание"));
    QCOMPARE(messages[0].icon, MessageIcon::Information);
    QCOMPARE(messages[0].buttons, MessageButtons(MessageButton::Ok));
    QCOMPARE(messages[0].owner, window.get());
}

void TestMainPlayer::onlyTheBlankPictureTakesDrops()
{
    QVERIFY(Control(*window, "BlankPlayer")->acceptDrops());
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *widget : all + QList<QWidget *>{window.get()}) {
        if (widget->objectName() != QLatin1String("BlankPlayer"))
            QVERIFY2(!widget->acceptDrops(), qPrintable(widget->objectName()));
    }
}

void TestMainPlayer::drop_data()
{
    // files: names in the media folder, or web addresses; text: dropped as plain text.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    // LastVideoFile afterwards: a media name, or "" when it keeps the saved video.
    QTest::addColumn<QString>("last");
    // The media file the player plays afterwards, or "" when it stays empty.
    QTest::addColumn<QString>("played");
    const QString notFile = QStringLiteral("Вы перетащили не файл!");
    const QString notFlv = QStringLiteral("Это не FLV-видео файл!");
    QTest::newRow("one file") << QStringList{"one.flv"} << QString() << QString() << "one.flv"
                              << "one.flv";
    QTest::newRow("three files play the first")
        << QStringList{"two.flv", "one.flv", "three.flv"} << QString() << QString() << "two.flv"
        << "two.flv";
    QTest::newRow("blanks, & and # and a Cyrillic letter")
        << QStringList{"a b&c#ё.flv"} << QString() << QString() << "a b&c#ё.flv"
        << "a b&c#ё.flv";
    QTest::newRow("avi name, FLV inside") << QStringList{"clip.avi"} << QString() << QString() << "clip.avi"
                                          << "clip.avi";
    QTest::newRow("real video") << QStringList{"real.flv"} << QString() << QString() << "real.flv"
                                << "real.flv";
    QTest::newRow("folder") << QStringList{"folder.flv"} << QString() << notFile << "folder.flv" << QString();
    QTest::newRow("vanished file") << QStringList{"gone.flv"} << QString() << notFile << "gone.flv" << QString();
    QTest::newRow("folder first, video second")
        << QStringList{"folder.flv", "one.flv"} << QString() << notFile << "folder.flv" << QString();
    QTest::newRow("plain text") << QStringList() << QStringLiteral("one.flv") << notFile << QString() << QString();
    QTest::newRow("web link") << QStringList{"http://example.com/one.flv"} << QString() << notFile << QString()
                              << QString();
    QTest::newRow("two bytes") << QStringList{"short.flv"} << QString() << notFlv << "short.flv" << QString();
    QTest::newRow("empty file") << QStringList{"empty.flv"} << QString() << notFlv << "empty.flv" << QString();
    QTest::newRow("flv in lower case") << QStringList{"lower.flv"} << QString() << notFlv << "lower.flv" << QString();
    QTest::newRow("AVI by its content") << QStringList{"movie.avi"} << QString() << QString() << "movie.avi"
                                        << "movie.avi";
    QTest::newRow("text") << QStringList{"notes.flv"} << QString() << notFlv << "notes.flv" << QString();
}

void TestMainPlayer::drop()
{
    QFETCH(QStringList, files);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, last);
    QFETCH(QString, played);

    QMimeData data;
    QList<QUrl> urls;
    for (const QString &name : files)
        urls.append(name.startsWith(QLatin1String("http")) ? QUrl(name) : QUrl::fromLocalFile(Media(name)));
    if (!urls.isEmpty())
        data.setUrls(urls);
    if (!text.isEmpty())
        data.setText(Media(text));
    if (!message.isEmpty())
        dialogs.AnswerMessage(MessageButton::Ok);

    QVERIFY(DropOnBlankPlayer(data));

    CheckMessage(message);
    QCOMPARE(window->LastVideoFile(), last.isEmpty() ? saved : Media(last));
    QCOMPARE(Swf()->Movie(), played.isEmpty() ? Bare() : Playing(Media(played)));
    QCOMPARE(Seen(*window, "BlankPlayer"), played.isEmpty());
    QVERIFY(Seen(*window, "swf"));
    QVERIFY(Seen(*window, "PlayerOpenFileButton"));
    QVERIFY(dialogs.FileDialogs().isEmpty());
}

void TestMainPlayer::openFileButton_data()
{
    // answer: the dialog's answer, a media name ("" for cancel).
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("plays");
    const QString notFlv = QStringLiteral("Это не FLV-видео файл!");
    QTest::newRow("cancel") << QString() << QString() << false;
    QTest::newRow("typed name of no file") << QStringLiteral("gone.flv") << QString() << false;
    QTest::newRow("folder") << QStringLiteral("folder.flv") << QString() << false;
    QTest::newRow("flv in lower case") << QStringLiteral("lower.flv") << notFlv << false;
    QTest::newRow("two bytes") << QStringLiteral("short.flv") << notFlv << false;
    QTest::newRow("text") << QStringLiteral("notes.flv") << notFlv << false;
    QTest::newRow("AVI by its content") << QStringLiteral("movie.avi") << QString() << true;
    QTest::newRow("avi name, FLV inside") << QStringLiteral("clip.avi") << QString() << true;
    QTest::newRow("blanks, & and #") << QStringLiteral("a b&c#ё.flv") << QString() << true;
    QTest::newRow("real video") << QStringLiteral("real.flv") << QString() << true;
}

void TestMainPlayer::openFileButton()
{
    QFETCH(QString, answer);
    QFETCH(QString, message);
    QFETCH(bool, plays);
    const QString path = answer.isEmpty() ? QString() : Media(answer);
    dialogs.AnswerFileDialog(path);
    if (!message.isEmpty())
        dialogs.AnswerMessage(MessageButton::Ok);

    Click(*window, "PlayerOpenFileButton");

    const QList<ScriptedDialogs::Asked> asked = dialogs.FileDialogs();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].owner, window.get());
    QCOMPARE(asked[0].mode, qint16(1));
    // Every video, then every file.
    const QStringList filters = OpenFile::NameFilters(asked[0].filter);
    QCOMPARE(filters.size(), 2);
    for (const char *pattern : {"*.flv", "*.mp4", "*.webm", "*.mkv", "*.ts", "*.avi", "*.mov"})
        QVERIFY2(filters[0].startsWith(QStringLiteral("Все видеофайлы (")) && filters[0].contains(pattern), pattern);
    QCOMPARE(filters[1], QStringLiteral("Все файлы (*)"));
    // Nothing saved or opened yet.
    QCOMPARE(asked[0].folder, program->path());
    QCOMPARE(asked[0].title, QStringLiteral("Открыть видеофайл"));
    QCOMPARE(asked[0].flags, 0u);
    QCOMPARE(asked[0].fileName, QString());
    CheckMessage(message);
    QCOMPARE(Swf()->Movie(), plays ? Playing(path) : Bare());
    QCOMPARE(Seen(*window, "BlankPlayer"), !plays);
    QVERIFY(Seen(*window, "swf"));
    QVERIFY(Seen(*window, "PlayerOpenFileButton"));
    QCOMPARE(window->LastVideoFile(), saved);
}

void TestMainPlayer::Restart()
{
    window.reset();
    window = std::make_unique<Main>(program->path(), dialogs);
    Swf()->SetAudioOutput(QStringLiteral("null"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), QSize(326, 269));
    Click(*window, "ProButton");
}

void TestMainPlayer::CheckMoving()
{
    FlvPlayer &player = *Swf();
    QTRY_VERIFY_WITH_TIMEOUT(player.HasPicture() && PlayerHarness::ColourCount(PlayerHarness::Picture(player)) > 30,
                             kPatience);
    const QImage first = PlayerHarness::Picture(player);
    QTRY_VERIFY_WITH_TIMEOUT(PlayerHarness::Picture(player) != first, kPatience);
    QVERIFY(!player.IsShowingMessage());
}

void TestMainPlayer::playsEachKindEachWay_data()
{
    QTest::addColumn<QString>("way");
    QTest::addColumn<QString>("name");
    for (const char *way : {"drop", "open", "play after save"}) {
        for (const char *name : {"mp4 clip", "webm clip", "mkv clip"})
            QTest::addRow("%s, %s", name, way) << QString::fromLatin1(way) << QString::fromLatin1(name);
    }
}

void TestMainPlayer::playsEachKindEachWay()
{
    QFETCH(QString, way);
    QFETCH(QString, name);
    const QString path = Media(name);
    if (way == u"drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QVERIFY(DropOnBlankPlayer(data));
    } else if (way == u"open") {
        dialogs.AnswerFileDialog(path);
        Click(*window, "PlayerOpenFileButton");
    } else {
        Click(*window, "PlayerBackButton");
        Click(*window, "ZagButton");
        emit window->Flow().VideoSaved(path);
        Click(*window, "XpB3");
    }
    QCOMPARE(Swf()->Movie(), Playing(path));
    QVERIFY(!Seen(*window, "BlankPlayer"));
    CheckMoving();
}

void TestMainPlayer::openDialogStartsWhereTheLastVideoWas()
{
    QTemporaryDir saves;
    const auto folderAsked = [&] {
        dialogs.AnswerFileDialog(QString());
        Click(*window, "PlayerOpenFileButton");
        return dialogs.FileDialogs().last().folder;
    };
    QCOMPARE(folderAsked(), program->path());

    // Opened.
    dialogs.AnswerFileDialog(realFlv);
    Click(*window, "PlayerOpenFileButton");
    QCOMPARE(folderAsked(), media.path());

    // Saved by a download.
    const QString saved = FlvMaker::WriteFile(saves.path(), QStringLiteral("saved.flv"), "FLV\x01");
    emit window->Flow().VideoSaved(saved);
    QCOMPARE(folderAsked(), saves.path());

    // Dropped.
    Click(*window, "PlayerClear");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Media(QStringLiteral("one.flv")))});
    QVERIFY(DropOnBlankPlayer(data));
    QCOMPARE(folderAsked(), media.path());

    // After a restart, the folder the last download was saved to; one that has gone since counts for nothing.
    INI ini;
    ini.FileName(Options());
    QVERIFY(ini.WInI("Save", "SavePath", (saves.path() + QLatin1Char('/')).toUtf8()));
    Restart();
    QCOMPARE(folderAsked(), saves.path() + QLatin1Char('/'));
    QVERIFY(ini.WInI("Save", "SavePath", (saves.path() + QStringLiteral("/gone/")).toUtf8()));
    Restart();
    QCOMPARE(folderAsked(), program->path());
}

void TestMainPlayer::clickOnBlankPictureOpens()
{
    QWidget *blank = Control(*window, "BlankPlayer");
    // Only a left click opens; what the right button does is left to the desktop.
    QTest::mouseClick(blank, Qt::RightButton, Qt::NoModifier, blank->rect().center());
    QVERIFY(dialogs.FileDialogs().isEmpty());
    dialogs.AnswerFileDialog(mp4);
    QTest::mouseClick(blank, Qt::LeftButton, Qt::NoModifier, blank->rect().center());
    QCOMPARE(dialogs.FileDialogs().size(), 1);
    QCOMPARE(dialogs.FileDialogs()[0].title, QStringLiteral("Открыть видеофайл"));
    QCOMPARE(Swf()->Movie(), Playing(mp4));
    QVERIFY(!Seen(*window, "BlankPlayer"));
    QCOMPARE(window->LastVideoFile(), saved);
}

void TestMainPlayer::openedVideoHasTheKeyboard()
{
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    dialogs.AnswerFileDialog(mp4);
    Click(*window, "PlayerOpenFileButton");
    QTRY_VERIFY_WITH_TIMEOUT(Swf()->HasPicture() && Swf()->Position() > 0.2, kPatience);
    QCOMPARE(QApplication::focusWidget(), Swf());
    // Keys typed into the window, as the user types them: Space pauses, the arrows seek.
    QTest::keyClick(window->windowHandle(), Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(Swf()->IsPaused(), kPatience);
    QTest::keyClick(window->windowHandle(), Qt::Key_Left);
    QTRY_VERIFY_WITH_TIMEOUT(Swf()->Position() < 0.05, kPatience);
    QCOMPARE(dialogs.FileDialogs().size(), 1);
}

void TestMainPlayer::playerGrowsWithTheWindow()
{
    dialogs.AnswerFileDialog(mp4);
    Click(*window, "PlayerOpenFileButton");
    CheckMoving();
    Screenshot(*window, QStringLiteral("player-default"));

    // Within the offscreen screen of 800 x 600, so that it is kept as it is.
    window->resize(700, 500);
    const QRect area(4, 4, 694, 471);
    QCOMPARE(Swf()->geometry(), area);
    QCOMPARE(Control(*window, "BlankPlayer")->geometry(), area);
    QCOMPARE(Control(*window, "S")->geometry(), area.adjusted(-1, -1, 1, 1));
    QCOMPARE(Control(*window, "PlayerBackButton")->pos(), QPoint(4, 479));
    QCOMPARE(Control(*window, "PlayerOpenFileButton")->pos(), QPoint(28, 479));
    QCOMPARE(Control(*window, "PlayerClear")->pos(), QPoint(52, 479));
    QCOMPARE(Control(*window, "Label2")->geometry(), QRect(582, 483, 116, 13));
    QCOMPARE(Swf()->findChild<QWidget *>(QStringLiteral("PlayerControls"))->width(), 694);
    CheckMoving();
    Screenshot(*window, QStringLiteral("player-larger"));
    Click(*window, "PlayerClear");
    Screenshot(*window, QStringLiteral("player-larger-empty"));

    // The menu and the download panel keep their size; the player's is kept for the next time.
    Click(*window, "PlayerBackButton");
    QCOMPARE(window->size(), QSize(326, 269));
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QCOMPARE(Control(*window, "Box1")->geometry(), QRect(4, 4, 320, 240));
    INI ini;
    ini.FileName(Options());
    QCOMPARE(ini.RINI("Player", "Width"), QByteArray("700"));
    QCOMPARE(ini.RINI("Player", "Height"), QByteArray("500"));
    QCOMPARE(ini.RINI("Player", "Maximized"), QByteArray("0"));
    Click(*window, "ZagButton");
    QCOMPARE(window->size(), QSize(326, 269));
    QCOMPARE(window->minimumSize(), window->maximumSize());

    Restart();
    QCOMPARE(window->size(), QSize(700, 500));
    QCOMPARE(Swf()->geometry(), area);
    // Never smaller than the designed size.
    window->resize(100, 100);
    QCOMPARE(window->size(), QSize(326, 269));
}

void TestMainPlayer::maximisedPlayerIsRemembered()
{
    window->resize(500, 400);
    window->showMaximized();
    QTRY_VERIFY(window->width() > 500);
    QCOMPARE(Swf()->width(), window->width() - 6);
    // Leaving with the window closed keeps it too.
    window->close();
    INI ini;
    ini.FileName(Options());
    QCOMPARE(ini.RINI("Player", "Width"), QByteArray("500"));
    QCOMPARE(ini.RINI("Player", "Maximized"), QByteArray("1"));

    Restart();
    QTRY_VERIFY(window->isMaximized());
    Click(*window, "PlayerBackButton");
    QVERIFY(!window->isMaximized());
    QCOMPARE(window->size(), QSize(326, 269));
    Click(*window, "ProButton");
    QTRY_VERIFY(window->isMaximized());
}

void TestMainPlayer::openedFileLeavesThePlayButtonsVideo()
{
    dialogs.AnswerFileDialog(realFlv);
    Click(*window, "PlayerOpenFileButton");
    QCOMPARE(Swf()->Movie(), Playing(realFlv));
    Click(*window, "PlayerBackButton");
    Click(*window, "ZagButton");
    Control(*window, "XpB3")->show();
    Click(*window, "XpB3");
    QCOMPARE(Swf()->Movie(), Playing(saved));
    QVERIFY(!Seen(*window, "BlankPlayer"));
}

void TestMainPlayer::droppedFileIsWhatThePlayButtonPlays()
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Media(QStringLiteral("one.flv")))});
    QVERIFY(DropOnBlankPlayer(data));
    Click(*window, "PlayerBackButton");
    QCOMPARE(Swf()->Movie(), Bare());
    Click(*window, "ZagButton");
    Control(*window, "XpB3")->show();
    Click(*window, "XpB3");
    QCOMPARE(Swf()->Movie(), Playing(Media(QStringLiteral("one.flv"))));
}

void TestMainPlayer::clearAfterPlaying()
{
    dialogs.AnswerFileDialog(realFlv);
    Click(*window, "PlayerOpenFileButton");
    QCOMPARE(Swf()->Movie(), Playing(realFlv));
    Click(*window, "PlayerClear");
    QCOMPARE(Swf()->Movie(), Bare());
    QVERIFY(Seen(*window, "BlankPlayer"));
    QVERIFY(Seen(*window, "PlayerClear"));
    QVERIFY(!Seen(*window, "Box1"));
    QCOMPARE(window->LastVideoFile(), saved);
    // The blank picture lies over the player again, so a drop lands on it.
    QCOMPARE(window->childAt(QPoint(100, 100)), Control(*window, "BlankPlayer"));
}

QTEST_MAIN(TestMainPlayer)
#include "tst_mainplayer.moc"
