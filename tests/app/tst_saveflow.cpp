#include "FileReplacement.h"
#include "INI.h"
#include "SaveFlow.h"
#include "ScriptedDialogs.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A video of the given kind by its first bytes: FLV, or MP4's file type box, or bytes of no kind.
QByteArray Video(int size, QByteArray head = QByteArray("FLV\x01\x05", 5))
{
    QByteArray bytes = head;
    for (int i = bytes.size(); i < size; ++i)
        bytes.append(static_cast<char>((unsigned(i) * 7919u) % 256u));
    return bytes;
}

// Files the writer may have left behind under another name.
QStringList Leftovers(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".quillon-save-*")}, QDir::Files | QDir::Hidden);
}

}  // namespace

class TestSaveFlow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstSaveInDefaultFolder();
    void otherFolderBecomesProposal();
    void typedNameGetsTheVideosExtension_data();
    void typedNameGetsTheVideosExtension();
    void typedNameAsksBeforeReplacingUnderItsExtension();
    void replaceNoReopensYesReplaces();
    void cancelWritesDefaultNameAndTells();
    void cancelReplacesWithoutQuestion();
    void failedWriteTellsAndAsksAgain();
    void replacingADirectoryFails();
    void cancelThenUnwritableAsksToDiscard_data();
    void cancelThenUnwritableAsksToDiscard();
    void missingRememberedFolderFallsBack();
    void fullDiskKeepsOldFile();
    void permissions();
    void videoIsMovedIntoPlace_data();
    void videoIsMovedIntoPlace();
    void freeNameInTheFolder_data();
    void freeNameInTheFolder();
    void withoutDialogNeverReplaces();
    void withoutDialogFailureAsksWhere();

private:
    SaveContext Context();
    // The downloaded video as the flow hands it over: a file of its own beside the program.
    QString Partial(const QByteArray &video);

    QTemporaryDir program;
    INI ini;
    SaveFolder saveFolder{ini, DefaultSaveFolder(program.path())};
    ScriptedDialogs dialogs;
    QWidget owner;
};

SaveContext TestSaveFlow::Context()
{
    return SaveContext{dialogs, &owner, saveFolder};
}

QString TestSaveFlow::Partial(const QByteArray &video)
{
    const QString path = program.filePath(QStringLiteral("video.part"));
    WriteBytes(path, video);
    return path;
}

void TestSaveFlow::init()
{
    saveFolder.setRemembered(QString());
    dialogs.Clear();
    QVERIFY(program.isValid());
    QDir(program.path()).removeRecursively();
    QVERIFY(QDir().mkpath(program.filePath(QStringLiteral("DownloadVideo"))));
    ini.FileName(program.filePath(QStringLiteral("options.ini")));
}

void TestSaveFlow::firstSaveInDefaultFolder()
{
    const QString folder = program.path() + QStringLiteral("/DownloadVideo/");
    const QString chosen = folder + QStringLiteral("first.flv");
    const QByteArray video = Video(70000);
    dialogs.AnswerFileDialog(chosen);

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("06.12.2026(10-31-07).flv"), Partial(video));

    QVERIFY(saved.Saved);
    QCOMPARE(saved.Path, chosen);
    QCOMPARE(ReadAll(chosen), video);
    QCOMPARE(dialogs.History().size(), 1);
    const ScriptedDialogs::Asked asked = dialogs.FileDialogs().first();
    QCOMPARE(asked.owner, &owner);
    QCOMPARE(asked.mode, qint16(2));
    // The video's own kind first, then every video, then every file.
    QVERIFY2(asked.filter.startsWith(QStringLiteral("Видео FLV|*.flv|Все видеофайлы|*.flv;")),
             qPrintable(asked.filter));
    QVERIFY2(asked.filter.endsWith(QStringLiteral(";*.nut|Все файлы|*")), qPrintable(asked.filter));
    QCOMPARE(asked.folder, folder);
    QCOMPARE(asked.title, QStringLiteral("Сохранение видеофайла"));
    QCOMPARE(asked.flags, quint32(0));
    QCOMPARE(asked.fileName, folder + QStringLiteral("06.12.2026(10-31-07).flv"));
    QCOMPARE(saveFolder.Remembered(), folder);
    QCOMPARE(ini.RINI("Save", "SavePath"), folder.toUtf8());
    QVERIFY(Leftovers(folder).isEmpty());
}

void TestSaveFlow::otherFolderBecomesProposal()
{
    QTemporaryDir other;
    const QString otherFolder = other.path() + QStringLiteral("/Видео с дачи/");
    QVERIFY(QDir().mkpath(otherFolder));
    dialogs.AnswerFileDialog(otherFolder + QStringLiteral("a.flv"));
    dialogs.AnswerFileDialog(otherFolder + QStringLiteral("b"));
    QVERIFY(SaveVideo(Context(), QStringLiteral("one.flv"), Partial(Video(10))).Saved);
    QVERIFY(SaveVideo(Context(), QStringLiteral("two.flv"), Partial(Video(20))).Saved);

    const QList<ScriptedDialogs::Asked> asked = dialogs.FileDialogs();
    QCOMPARE(asked.size(), 2);
    QCOMPARE(asked[1].folder, otherFolder);
    QCOMPARE(asked[1].fileName, otherFolder + QStringLiteral("two.flv"));
    QCOMPARE(ReadAll(otherFolder + QStringLiteral("b.flv")), Video(20));
    QCOMPARE(QString::fromUtf8(ini.RINI("Save", "SavePath")), otherFolder);
}

void TestSaveFlow::typedNameGetsTheVideosExtension_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("filter");
    const QByteArray mp4("\0\0\0\x18"
                         "ftypisom\0\0\x02\0isomiso2",
                         24);
    const QByteArray webm("\x1a\x45\xdf\xa3\x87\x42\x82\x84webm", 12);
    const QByteArray text("Just text, no video");
    QTest::newRow("MP4, no extension") << mp4 << "clip"
                                       << "clip.mp4"
                                       << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, its own extension") << mp4 << "clip.mp4"
                                            << "clip.mp4"
                                            << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, another extension is the user's") << mp4 << "clip.MOV"
                                                          << "clip.MOV"
                                                          << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, ending in a point") << mp4 << "clip."
                                            << "clip.mp4"
                                            << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, the suggestion without its extension") << mp4 << "06.12.2026(10-31-07)"
                                                               << "06.12.2026(10-31-07).mp4"
                                                               << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, numbers after a point") << mp4 << "take.2"
                                                << "take.2.mp4"
                                                << "Видео MP4|*.mp4|";
    QTest::newRow("MP4, a point in the folder only") << mp4 << "v.d/clip"
                                                     << "v.d/clip.mp4"
                                                     << "Видео MP4|*.mp4|";
    QTest::newRow("WebM") << webm << "clip"
                          << "clip.webm"
                          << "Видео WebM|*.webm|";
    QTest::newRow("no kind known: FLV as before") << text << "clip"
                                                  << "clip.flv"
                                                  << "Видео FLV|*.flv|";
}

void TestSaveFlow::typedNameGetsTheVideosExtension()
{
    QFETCH(QByteArray, head);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, filter);
    const QString folder = program.path() + QStringLiteral("/DownloadVideo/");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("v.d")));
    const QByteArray video = Video(300, head);
    dialogs.AnswerFileDialog(folder + typed);

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("suggested"), Partial(video));

    QCOMPARE(saved.Path, folder + written);
    QCOMPARE(ReadAll(folder + written), video);
    QVERIFY2(dialogs.FileDialogs()[0].filter.startsWith(filter), qPrintable(dialogs.FileDialogs()[0].filter));
    QCOMPARE(dialogs.History().size(), 1);
}

void TestSaveFlow::typedNameAsksBeforeReplacingUnderItsExtension()
{
    const QString folder = program.path() + QStringLiteral("/DownloadVideo/");
    WriteBytes(folder + QStringLiteral("clip.flv"), "older");
    dialogs.AnswerFileDialog(folder + QStringLiteral("clip"));
    dialogs.AnswerMessage(MessageButton::No);
    dialogs.AnswerFileDialog(folder + QStringLiteral("other"));

    QCOMPARE(SaveVideo(Context(), QStringLiteral("s.flv"), Partial(Video(40))).Path,
             folder + QStringLiteral("other.flv"));

    QCOMPARE(dialogs.Messages().value(0).text, QStringLiteral("Файл с таким именем уже существует. Заменить?"));
    QCOMPARE(ReadAll(folder + QStringLiteral("clip.flv")), QByteArray("older"));
    QVERIFY(!QFile::exists(folder + QStringLiteral("clip")));
}

void TestSaveFlow::replaceNoReopensYesReplaces()
{
    const QString target = program.filePath(QStringLiteral("DownloadVideo/old.flv"));
    WriteBytes(target, QByteArray(100000, 'o'));
    const QByteArray video = Video(4000);
    dialogs.AnswerFileDialog(target);
    dialogs.AnswerMessage(MessageButton::No);
    dialogs.AnswerFileDialog(target);
    dialogs.AnswerMessage(MessageButton::Yes, [&] {
        // Nothing is written before the answer.
        QCOMPARE(ReadAll(target), QByteArray(100000, 'o'));
    });

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("n.flv"), Partial(video));

    QVERIFY(saved.Saved);
    QCOMPARE(QFileInfo(target).size(), qint64(video.size()));
    QCOMPARE(ReadAll(target), video);
    const QList<ScriptedDialogs::Asked> files = dialogs.FileDialogs();
    QCOMPARE(files.size(), 2);
    QCOMPARE(files[1].folder, files[0].folder);
    QCOMPARE(files[1].fileName, files[0].fileName);
    const QList<ScriptedDialogs::Asked> messages = dialogs.Messages();
    QCOMPARE(messages.size(), 2);
    for (const ScriptedDialogs::Asked &question : messages) {
        QCOMPARE(question.title, QStringLiteral("Предупреждение"));
        QCOMPARE(question.text, QStringLiteral("Файл с таким именем уже существует. Заменить?"));
        QCOMPARE(question.buttons, MessageButton::Yes | MessageButton::No);
        QCOMPARE(question.icon, MessageIcon::Question);
        QCOMPARE(question.owner, &owner);
    }
    QCOMPARE(dialogs.Unexpected(), 0);
}

void TestSaveFlow::cancelWritesDefaultNameAndTells()
{
    const QString suggested = program.path() + QStringLiteral("/DownloadVideo/06.12.2026(10-31-07).flv");
    const QByteArray video = Video(3000);
    dialogs.AnswerFileDialog(QString());
    dialogs.AnswerMessage(MessageButton::Ok, [&] {
        // The notice comes only once the bytes are on disk.
        QCOMPARE(ReadAll(suggested), video);
    });

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("06.12.2026(10-31-07).flv"), Partial(video));

    QVERIFY(saved.Saved);
    QCOMPARE(saved.Path, suggested);
    const QList<ScriptedDialogs::Asked> messages = dialogs.Messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Внимание!"));
    QCOMPARE(messages[0].text,
             QStringLiteral("Вы не выбрали имя файла. Файл был сохранен с именем по умолчанию."
                            "\r\n\r\n")
                 + suggested);
    QCOMPARE(messages[0].buttons, MessageButtons(MessageButton::Ok));
    QCOMPARE(messages[0].icon, MessageIcon::Information);
    QCOMPARE(dialogs.Unexpected(), 0);
}

void TestSaveFlow::cancelReplacesWithoutQuestion()
{
    const QString suggested = program.filePath(QStringLiteral("DownloadVideo/same.flv"));
    WriteBytes(suggested, QByteArray(9000, 'x'));
    dialogs.AnswerFileDialog(QString());
    dialogs.AnswerMessage(MessageButton::Ok);
    QVERIFY(SaveVideo(Context(), QStringLiteral("same.flv"), Partial(Video(10))).Saved);
    QCOMPARE(ReadAll(suggested), Video(10));
    QCOMPARE(dialogs.Messages().size(), 1);
    QCOMPARE(dialogs.Messages()[0].title, QStringLiteral("Внимание!"));
}

void TestSaveFlow::failedWriteTellsAndAsksAgain()
{
    const QString missing = program.path() + QStringLiteral("/no such folder/v.flv");
    const QString good = program.filePath(QStringLiteral("DownloadVideo/v.flv"));
    dialogs.AnswerFileDialog(missing);
    dialogs.AnswerMessage(MessageButton::Ok);
    dialogs.AnswerFileDialog(good);

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("d.flv"), Partial(Video(500)));

    QVERIFY(saved.Saved);
    QCOMPARE(saved.Path, good);
    QCOMPARE(ReadAll(good), Video(500));
    const QList<ScriptedDialogs::Asked> messages = dialogs.Messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, QStringLiteral("Ошибка сохранения"));
    QCOMPARE(messages[0].icon, MessageIcon::Critical);
    QVERIFY2(messages[0].text.contains(missing), qPrintable(messages[0].text));
    QVERIFY2(messages[0].text.contains(QString::fromLocal8Bit(strerror(ENOENT))), qPrintable(messages[0].text));
    QCOMPARE(dialogs.FileDialogs().size(), 2);
    QCOMPARE(dialogs.FileDialogs()[1].fileName, dialogs.FileDialogs()[0].fileName);
    // Only the folder written to is remembered.
    QCOMPARE(saveFolder.Remembered(), program.path() + QStringLiteral("/DownloadVideo/"));
}

void TestSaveFlow::replacingADirectoryFails()
{
    const QString directory = program.filePath(QStringLiteral("DownloadVideo/folder.flv"));
    QVERIFY(QDir().mkpath(directory + QStringLiteral("/inside")));
    dialogs.AnswerFileDialog(directory);
    dialogs.AnswerMessage(MessageButton::Yes);
    dialogs.AnswerMessage(MessageButton::Ok);
    dialogs.AnswerFileDialog(directory + QStringLiteral("/inside/v.flv"));

    QVERIFY(SaveVideo(Context(), QStringLiteral("d.flv"), Partial(Video(50))).Saved);

    QVERIFY(QFileInfo(directory + QStringLiteral("/inside")).isDir());
    QCOMPARE(ReadAll(directory + QStringLiteral("/inside/v.flv")), Video(50));
    QCOMPARE(dialogs.Messages()[1].title, QStringLiteral("Ошибка сохранения"));
    QVERIFY(Leftovers(program.filePath(QStringLiteral("DownloadVideo"))).isEmpty());
}

void TestSaveFlow::cancelThenUnwritableAsksToDiscard_data()
{
    QTest::addColumn<bool>("discard");
    QTest::newRow("discard") << true;
    QTest::newRow("choose again") << false;
}

void TestSaveFlow::cancelThenUnwritableAsksToDiscard()
{
    QFETCH(bool, discard);
    // The default folder is taken by a file: nothing can be written under the suggested name.
    QDir(program.filePath(QStringLiteral("DownloadVideo"))).removeRecursively();
    WriteBytes(program.filePath(QStringLiteral("DownloadVideo")), "not a folder");
    QTemporaryDir elsewhere;
    dialogs.AnswerFileDialog(QString());
    dialogs.AnswerMessage(MessageButton::Ok);
    dialogs.AnswerMessage(discard ? MessageButton::Yes : MessageButton::No);
    if (!discard)
        dialogs.AnswerFileDialog(elsewhere.filePath(QStringLiteral("kept.flv")));

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("d.flv"), Partial(Video(50)));

    const QList<ScriptedDialogs::Asked> messages = dialogs.Messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].title, QStringLiteral("Ошибка сохранения"));
    QCOMPARE(messages[1].title, QStringLiteral("Предупреждение"));
    QCOMPARE(messages[1].icon, MessageIcon::Warning);
    QCOMPARE(messages[1].buttons, MessageButton::Yes | MessageButton::No);
    QVERIFY(messages[1].text.startsWith(QStringLiteral("Видеофайл не сохранен. Отказаться от него?")));
    QCOMPARE(saved.Saved, !discard);
    if (discard) {
        QCOMPARE(ini.RINI("Save", "SavePath"), QByteArray());
        QCOMPARE(dialogs.FileDialogs().size(), 1);
    } else {
        QCOMPARE(ReadAll(elsewhere.filePath(QStringLiteral("kept.flv"))), Video(50));
        QCOMPARE(QString::fromUtf8(ini.RINI("Save", "SavePath")), elsewhere.path() + QLatin1Char('/'));
    }
    QCOMPARE(dialogs.Unexpected(), 0);
}

void TestSaveFlow::missingRememberedFolderFallsBack()
{
    saveFolder.setRemembered(program.path() + QStringLiteral("/gone/"));
    QDir(program.filePath(QStringLiteral("DownloadVideo"))).removeRecursively();
    dialogs.AnswerFileDialog(QString());
    dialogs.AnswerMessage(MessageButton::Ok);

    const SavedVideo saved = SaveVideo(Context(), QStringLiteral("f.flv"), Partial(Video(64)));

    const QString folder = program.path() + QStringLiteral("/DownloadVideo/");
    QCOMPARE(dialogs.FileDialogs()[0].folder, folder);
    QCOMPARE(saved.Path, folder + QStringLiteral("f.flv"));
    QCOMPARE(ReadAll(saved.Path), Video(64));
}

namespace {

// What the save flow writes with: "" on success, otherwise the system's reason.
QString WriteVideoFile(const QString &path, QByteArrayView bytes)
{
    QString reason;
    return ReplaceFileContent(path, bytes, DefaultNewFileMode(), &reason) ? QString() : reason;
}

}  // namespace

void TestSaveFlow::fullDiskKeepsOldFile()
{
    // A file size limit makes the write fail part way, as a full disk would.
    const QString target = program.filePath(QStringLiteral("DownloadVideo/old.flv"));
    WriteBytes(target, QByteArray(10, 'o'));
    rlimit before{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString reason = WriteVideoFile(target, Video(100000));
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(reason, QString::fromLocal8Bit(strerror(EFBIG)));
    QCOMPARE(ReadAll(target), QByteArray(10, 'o'));
    QVERIFY(Leftovers(program.filePath(QStringLiteral("DownloadVideo"))).isEmpty());
}

void TestSaveFlow::permissions()
{
    const mode_t mask = umask(022);
    const QString fresh = program.filePath(QStringLiteral("DownloadVideo/new.flv"));
    QCOMPARE(WriteVideoFile(fresh, "FLV"), QString());
    const QString kept = program.filePath(QStringLiteral("DownloadVideo/private.flv"));
    WriteBytes(kept, "old");
    QVERIFY(QFile::setPermissions(kept, QFile::ReadOwner | QFile::WriteOwner));
    QCOMPARE(WriteVideoFile(kept, "FLV"), QString());
    umask(mask);

    struct stat info { };
    QCOMPARE(stat(QFile::encodeName(fresh).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0644));
    QCOMPARE(stat(QFile::encodeName(kept).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, mode_t(0600));
    QCOMPARE(ReadAll(kept), QByteArray("FLV"));
}

void TestSaveFlow::videoIsMovedIntoPlace_data()
{
    QTest::addColumn<bool>("otherFileSystem");
    QTest::newRow("same file system: renamed") << false;
    QTest::newRow("tmpfs to disk: copied") << true;
}

void TestSaveFlow::videoIsMovedIntoPlace()
{
    QFETCH(bool, otherFileSystem);
    QTemporaryDir shm(QStringLiteral("/dev/shm/quillon-XXXXXX"));
    if (otherFileSystem && !shm.isValid())
        QSKIP("no /dev/shm here");
    // More than one piece of the copy, and not a whole number of them.
    const QByteArray video = Video(9 * 1024 * 1024 + 123);
    const QString partial = otherFileSystem ? shm.filePath(QStringLiteral("v.flv.part")) : Partial(video);
    if (otherFileSystem)
        WriteBytes(partial, video);
    struct stat before { };
    QCOMPARE(stat(QFile::encodeName(partial).constData(), &before), 0);
    const QString target = program.filePath(QStringLiteral("DownloadVideo/moved.flv"));
    dialogs.AnswerFileDialog(target);
    QList<qint64> progress;
    SaveContext context = Context();
    context.progress = [&](qint64 done, qint64 total) { progress = {done, total}; };

    QVERIFY(SaveVideo(context, QStringLiteral("d.flv"), partial).Saved);

    struct stat after { };
    QCOMPARE(stat(QFile::encodeName(target).constData(), &after), 0);
    QCOMPARE(after.st_ino == before.st_ino && after.st_dev == before.st_dev, !otherFileSystem);
    QCOMPARE(ReadAll(target), video);
    QVERIFY(!QFile::exists(partial));
    // Only a copy has a progress to show.
    const QList<qint64> expected = otherFileSystem ? QList<qint64>{video.size(), video.size()} : QList<qint64>{};
    QCOMPARE(progress, expected);
}

void TestSaveFlow::freeNameInTheFolder_data()
{
    // What the folder holds: a file, "name/" a folder, "name>" a link to nothing.
    QTest::addColumn<QStringList>("held");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("taken");
    QTest::newRow("free") << QStringList() << "a.mp4"
                          << "a.mp4";
    QTest::newRow("held") << QStringList{"a.mp4"} << "a.mp4"
                          << "a (2).mp4";
    QTest::newRow("held twice") << QStringList{"a.mp4", "a (2).mp4"} << "a.mp4"
                                << "a (3).mp4";
    QTest::newRow("a gap is taken") << QStringList{"a.mp4", "a (3).mp4"} << "a.mp4"
                                    << "a (2).mp4";
    QTest::newRow("the date-and-time name") << QStringList{"06.12.2026(10-31-07).flv"} << "06.12.2026(10-31-07).flv"
                                            << "06.12.2026(10-31-07) (2).flv";
    QTest::newRow("no extension") << QStringList{"clip"} << "clip"
                                  << "clip (2)";
    QTest::newRow("by a folder") << QStringList{"a.mp4/"} << "a.mp4"
                                 << "a (2).mp4";
    QTest::newRow("by a link to nothing") << QStringList{"a.mp4>"} << "a.mp4"
                                          << "a (2).mp4";
}

void TestSaveFlow::freeNameInTheFolder()
{
    QFETCH(QStringList, held);
    QFETCH(QString, name);
    QFETCH(QString, taken);
    const QString folder = program.filePath(QStringLiteral("DownloadVideo/"));
    for (const QString &entry : held) {
        if (entry.endsWith(QLatin1Char('/')))
            QVERIFY(QDir().mkpath(folder + entry));
        else if (entry.endsWith(QLatin1Char('>')))
            QVERIFY(QFile::link(folder + QStringLiteral("missing"), folder + entry.chopped(1)));
        else
            WriteBytes(folder + entry, "theirs");
    }

    QString reason;
    QCOMPARE(TakeFreeName(folder, name, &reason), folder + taken);

    QVERIFY(reason.isEmpty());
    QCOMPARE(ReadAll(folder + taken), QByteArray());
    for (const QString &entry : held) {
        if (!entry.endsWith(QLatin1Char('/')) && !entry.endsWith(QLatin1Char('>')))
            QCOMPARE(ReadAll(folder + entry), QByteArray("theirs"));
    }
}

void TestSaveFlow::withoutDialogNeverReplaces()
{
    const QString folder = program.path() + QStringLiteral("/Сразу сюда/");
    QVERIFY(QDir().mkpath(folder));
    WriteBytes(folder + QStringLiteral("v.flv"), "theirs");

    const SavedVideo saved = SaveVideoInFolder(Context(), folder, QStringLiteral("v.flv"), Partial(Video(900)));

    QVERIFY(saved.Saved);
    QVERIFY(saved.WithoutDialog);
    QCOMPARE(saved.Path, folder + QStringLiteral("v (2).flv"));
    QCOMPARE(ReadAll(saved.Path), Video(900));
    QCOMPARE(ReadAll(folder + QStringLiteral("v.flv")), QByteArray("theirs"));
    QVERIFY(dialogs.History().isEmpty());
    // The dialog's folder stays the dialog's.
    QVERIFY(saveFolder.Remembered().isEmpty());
}

void TestSaveFlow::withoutDialogFailureAsksWhere()
{
    // A folder that cannot be made: a file holds its name.
    const QString blocked = program.filePath(QStringLiteral("blocked"));
    WriteBytes(blocked, "file");
    const QString chosen = program.filePath(QStringLiteral("DownloadVideo/chosen.flv"));
    dialogs.AnswerMessage(MessageButton::Ok);
    dialogs.AnswerFileDialog(chosen);

    const SavedVideo saved =
        SaveVideoInFolder(Context(), blocked + QStringLiteral("/videos/"), QStringLiteral("v.flv"), Partial(Video(70)));

    QVERIFY(saved.Saved);
    QVERIFY(!saved.WithoutDialog);
    QCOMPARE(ReadAll(chosen), Video(70));
    QCOMPARE(dialogs.Messages().size(), 1);
    QCOMPARE(dialogs.Messages()[0].title, QStringLiteral("Ошибка сохранения"));
    QVERIFY2(dialogs.Messages()[0].text.contains(blocked + QStringLiteral("/videos/v.flv")),
             qPrintable(dialogs.Messages()[0].text));
    QCOMPARE(dialogs.FileDialogs().size(), 1);
}

QTEST_MAIN(TestSaveFlow)
#include "tst_saveflow.moc"
