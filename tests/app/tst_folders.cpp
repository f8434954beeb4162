#include "Folders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Where the settings file and the default download folder go, for folders the test makes and a fresh HOME.
class TestFolders : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void chooses_data();
    void chooses();
    void userFoldersOfTheDesktop_data();
    void userFoldersOfTheDesktop();

private:
    std::unique_ptr<QTemporaryDir> root;
    QByteArray savedHome;
    QByteArray savedConfigHome;
};

void TestFolders::init()
{
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(root->isValid());
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("home")));
    QVERIFY(QDir(root->path()).mkpath(QStringLiteral("program")));
    savedHome = qgetenv("HOME");
    savedConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QFile::encodeName(root->filePath(QStringLiteral("home"))));
    qunsetenv("XDG_CONFIG_HOME");
}

void TestFolders::cleanup()
{
    qputenv("HOME", savedHome);
    if (savedConfigHome.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
}

// Folders are given relative to the test's root; "" is none.
void TestFolders::chooses_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("installed");
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("settingsFile");
    QTest::addColumn<QString>("downloadFolder");
    QTest::addColumn<bool>("besideProgram");

    QTest::newRow("a copy in a folder of the user's: beside it") << "program"
                                                                 << ""
                                                                 << "cfg"
                                                                 << "program/options.ini"
                                                                 << "program/DownloadVideo/" << true;
    QTest::newRow("the folder the package installs into: the user's folders") << "program"
                                                                              << "program"
                                                                              << "cfg"
                                                                              << "cfg/quillon/options.ini"
                                                                              << "Videos/Quillon/" << false;
    QTest::newRow("a folder that cannot be written: the user's folders") << "gone"
                                                                         << ""
                                                                         << "cfg"
                                                                         << "cfg/quillon/options.ini"
                                                                         << "Videos/Quillon/" << false;
    QTest::newRow("trailing slashes of the user's folders") << "gone"
                                                            << ""
                                                            << "cfg//"
                                                            << "cfg/quillon/options.ini"
                                                            << "Videos/Quillon/" << false;
}

void TestFolders::chooses()
{
    QFETCH(QString, program);
    QFETCH(QString, installed);
    QFETCH(QString, configHome);
    QFETCH(QString, settingsFile);
    QFETCH(QString, downloadFolder);
    QFETCH(bool, besideProgram);

    const auto at = [this](const QString &relative) {
        return relative.isEmpty() ? QString() : root->path() + QLatin1Char('/') + relative;
    };
    const UserFolders user{at(configHome), at(QStringLiteral("Videos/"))};
    const Folders folders = ChooseFolders(at(program), user, {at(QStringLiteral("elsewhere")), at(installed)});
    QCOMPARE(folders.SettingsFile, at(settingsFile));
    QCOMPARE(folders.DownloadFolder, at(downloadFolder));
    QCOMPARE(folders.BesideProgram, besideProgram);
    // Choosing makes nothing.
    QCOMPARE(QDir(root->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             (QStringList{QStringLiteral("home"), QStringLiteral("program")}));
}

void TestFolders::userFoldersOfTheDesktop_data()
{
    QTest::addColumn<QByteArray>("configHome");  // XDG_CONFIG_HOME, relative to the test's root when not empty
    QTest::addColumn<QByteArray>("userDirs");  // user-dirs.dirs in the configuration folder
    QTest::addColumn<QString>("expectedConfig");
    QTest::addColumn<QString>("expectedVideos");

    QTest::newRow("nothing set") << QByteArray() << QByteArray() << "home/.config"
                                 << "home/Videos";
    QTest::newRow("XDG_CONFIG_HOME") << QByteArray("cfg") << QByteArray() << "cfg"
                                     << "home/Videos";
    QTest::newRow("a relative XDG_CONFIG_HOME is ignored") << QByteArray("relative") << QByteArray() << "home/.config"
                                                           << "home/Videos";
    QTest::newRow("the videos folder of user-dirs.dirs")
        << QByteArray() << QByteArray("XDG_VIDEOS_DIR=\"$HOME/Видео\"\n") << "home/.config"
        << "home/Видео";
    QTest::newRow("user-dirs.dirs under XDG_CONFIG_HOME")
        << QByteArray("cfg") << QByteArray("XDG_MUSIC_DIR=\"$HOME/M\"\nXDG_VIDEOS_DIR=\"$HOME/Filme\"\n") << "cfg"
        << "home/Filme";
}

void TestFolders::userFoldersOfTheDesktop()
{
    QFETCH(QByteArray, configHome);
    QFETCH(QByteArray, userDirs);
    QFETCH(QString, expectedConfig);
    QFETCH(QString, expectedVideos);

    QString configFolder = root->filePath(QStringLiteral("home/.config"));
    if (configHome == "relative") {
        qputenv("XDG_CONFIG_HOME", configHome);
    } else if (!configHome.isEmpty()) {
        configFolder = root->filePath(QString::fromUtf8(configHome));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder));
    }
    if (!userDirs.isEmpty()) {
        QVERIFY(QDir().mkpath(configFolder));
        QFile file(configFolder + QStringLiteral("/user-dirs.dirs"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(userDirs);
    }
    const UserFolders user = DesktopUserFolders();
    QCOMPARE(user.ConfigHome, root->filePath(expectedConfig));
    QCOMPARE(user.Videos, root->filePath(expectedVideos));
}

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
