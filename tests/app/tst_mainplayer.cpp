#include "FlvMaker.h"
#include "FlvPlayer.h"
#include "ProcessSetup.h"
#include "ScriptedDialogs.h"
#include "WindowProbe.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

// The player side of the main window: what a drop onto the blank picture, the open-file button, the play
// button and the clear button do to the player's movie, LastVideoFile and the messages.
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

    QTemporaryDir media;
    QString realFlv;
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
    window->LastVideoFile = saved;
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
    QCOMPARE(messages[0].icon, QMessageBox::Information);
    QCOMPARE(messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
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
    QTest::newRow("real avi") << QStringList{"movie.avi"} << QString() << notFlv << "movie.avi" << QString();
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
        dialogs.AnswerMessage(QMessageBox::Ok);

    QVERIFY(DropOnBlankPlayer(data));

    CheckMessage(message);
    QCOMPARE(window->LastVideoFile, last.isEmpty() ? saved : Media(last));
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
    QTest::newRow("real avi") << QStringLiteral("movie.avi") << notFlv << false;
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
        dialogs.AnswerMessage(QMessageBox::Ok);

    Click(*window, "PlayerOpenFileButton");

    const QList<ScriptedDialogs::Asked> asked = dialogs.FileDialogs();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].owner, window.get());
    QCOMPARE(asked[0].mode, qint16(1));
    QCOMPARE(asked[0].filter, QStringLiteral("*.flv") + QChar(0) + QStringLiteral("*.flv"));
    QCOMPARE(asked[0].folder, program->path());
    QCOMPARE(asked[0].title, QStringLiteral("Открыть видеофайл"));
    QCOMPARE(asked[0].flags, 0u);
    QCOMPARE(asked[0].fileName, QString());
    CheckMessage(message);
    QCOMPARE(Swf()->Movie(), plays ? Playing(path) : Bare());
    QCOMPARE(Seen(*window, "BlankPlayer"), !plays);
    QVERIFY(Seen(*window, "swf"));
    QVERIFY(Seen(*window, "PlayerOpenFileButton"));
    QCOMPARE(window->LastVideoFile, saved);
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
    QCOMPARE(window->LastVideoFile, saved);
    // The blank picture lies over the player again, so a drop lands on it.
    QCOMPARE(window->childAt(QPoint(100, 100)), Control(*window, "BlankPlayer"));
}

QTEST_MAIN(TestMainPlayer)
#include "tst_mainplayer.moc"
