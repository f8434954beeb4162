#include "CPassword.h"
#include "INI.h"
#include "Parametr.h"
#include "Windows1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(PlayerWindow)

// LoadSettings and SaveSettings through a real options.ini in a temporary folder.
class TestParametr : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstStartLoadsEmptyAndCreatesNothing();
    void freshFileHasTheKeysInOrder();
    void savedValuesLoadBack_data();
    void savedValuesLoadBack();
    void portKeyIsOneEntry();
    void emptyPasswordIsWrittenEmpty();
    void eachSaveDrawsANewKey();
    void savePathRecordedFirstSurvives();
    void linesOfOthersAreKept();
    void recordedFolderStays();
    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void passwordThatCannotBeKept_data();
    void passwordThatCannotBeKept();
    void fileOfAnEarlierVersionLoads();
    void randomPasswordsComeBack_data();
    void randomPasswordsComeBack();
    void networkTexts_data();
    void networkTexts();
    void flags_data();
    void flags();
    void playerWindowLoads_data();
    void playerWindowLoads();
    void playerWindowIsWrittenAlone();
    void maxConnections_data();
    void maxConnections();

private:
    QByteArray FileContent() const;
    void WriteFile(const QByteArray &content);

    std::unique_ptr<QTemporaryDir> folder;
    INI ini;
};

namespace {

// The file with the scrambled password, which differs from save to save, replaced by a mark.
QByteArray WithoutPassword(QByteArray content)
{
    static const QRegularExpression scrambled(QStringLiteral("ProxyPass=[^\\n]+\\n"));
    return QString::fromLatin1(content).replace(scrambled, QStringLiteral("ProxyPass=<scrambled>\n")).toLatin1();
}

// Settings made of texts as the file holds them, in the order UseProxy, ProxyName, ProxyPort, ProxyAuth,
// ProxyLogin, ProxyPass, CheckUpgrade, SavePath, Directly, DirectFolder.
Settings Make(const QStringList &texts)
{
    Settings settings;
    settings.Network = ParseNetwork(
        NetworkTexts{texts.value(0), texts.value(1), texts.value(2), texts.value(3), texts.value(4), texts.value(5)});
    settings.CheckUpgrade = ReadFlag(texts.value(6));
    settings.SavePath = texts.value(7);
    settings.Direct = DirectSave{ReadFlag(texts.value(8)), texts.value(9)};
    return settings;
}

// The settings as texts, in the order of Make, the flags and the port as the file writes them.
QStringList Texts(const Settings &settings)
{
    const ConnectionSettings &n = settings.Network;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {flag(n.UseProxy),
            n.ProxyName,
            n.ProxyPort == 0 ? QString() : QString::number(n.ProxyPort),
            flag(n.ProxyAuth),
            n.ProxyLogin,
            n.ProxyPass,
            flag(settings.CheckUpgrade),
            settings.SavePath,
            flag(settings.Direct.On),
            settings.Direct.Folder};
}

}  // namespace

void TestParametr::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    ini.FileName(folder->filePath(QStringLiteral("options.ini")));
}

QByteArray TestParametr::FileContent() const
{
    QFile file(ini.FileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void TestParametr::WriteFile(const QByteArray &content)
{
    QFile file(ini.FileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

void TestParametr::firstStartLoadsEmptyAndCreatesNothing()
{
    QCOMPARE(LoadSettings(ini), Settings());
    QVERIFY(!QFileInfo::exists(ini.FileName()));
    QVERIFY(QDir(folder->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestParametr::freshFileHasTheKeysInOrder()
{
    const SaveOutcome outcome =
        SaveSettings(ini, Make({"1", "proxy.lan", "3128", "1", "user", "secret", "0", "/home/user/Видео/"}));
    QVERIFY2(outcome.Written, qPrintable(outcome.WriteError));
    QVERIFY(outcome.PasswordKept);
    QVERIFY(outcome.Notice.isEmpty());
    QCOMPARE(WithoutPassword(FileContent()),
             QByteArray("[Network]\nUseProxy=1\nProxyName=proxy.lan\nProxyPort=3128\nProxyAuth=1\nProxyLogin=user\n"
                        "ProxyPass=<scrambled>\n[Version]\nCheckUpgrade=0\n[Save]\nSavePath=/home/user/")
                 + QStringLiteral("Видео").toUtf8() + "/\nDateTimeNames=0\nQuality=1080\nDirectly=0\nDirectFolder=\n");
    QVERIFY(!ini.RINI("Network", "ProxyPass").contains("secret"));
}

void TestParametr::savedValuesLoadBack_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::newRow("all set") << QStringList{"1",     "10.0.0.1", "8080",    "1", "login",
                                            "pa ss", "1",        "/tmp/v/", "1", "/media/stick/"};
    QTest::newRow("all empty") << QStringList{"0", "", "", "0", "", "", "0", "", "0", ""};
    QTest::newRow("cyrillic password and names") << QStringList{"0",
                                                                "прокси.рф",
                                                                "3128",
                                                                "0",
                                                                "Пользователь",
                                                                "Пароль",
                                                                "1",
                                                                "/home/Иван/Видео/",
                                                                "1",
                                                                "/home/Иван/Видео/Quillon/"};
    QTest::newRow("printable ascii password")
        << QStringList{"1", "p", "1", "1", "u", " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", "0", "/", "0", ""};
    QTest::newRow("quotes around the password") << QStringList{"1", "p", "1", "1", "u", "'x'", "0", "/", "0", ""};
    QTest::newRow("not windows-1251 outside the password")
        << QStringList{"1", "例え.jp", "80", "1", "ユーザー", "pass", "1", "/home/é/", "1", "/home/é/v/"};
}

void TestParametr::savedValuesLoadBack()
{
    QFETCH(QStringList, values);
    const SaveOutcome outcome = SaveSettings(ini, Make(values));
    QVERIFY(outcome.Written);
    QVERIFY(outcome.PasswordKept);
    QCOMPARE(Texts(LoadSettings(ini)), values);
}

void TestParametr::portKeyIsOneEntry()
{
    WriteFile("[Network]\r\nProxyport=8080\r\n");
    Settings settings = LoadSettings(ini);
    QCOMPARE(settings.Network.ProxyPort, quint16(8080));
    settings.Network.ProxyPort = 3128;
    QVERIFY(SaveSettings(ini, settings).Written);
    QCOMPARE(FileContent().count("roxyport="), 1);
    QCOMPARE(ini.RINI("Network", "ProxyPort"), QByteArray("3128"));
    QCOMPARE(LoadSettings(ini).Network.ProxyPort, quint16(3128));
}

void TestParametr::emptyPasswordIsWrittenEmpty()
{
    QVERIFY(SaveSettings(ini, Make({"1", "p", "1", "1", "u", "", "0", "/"})).Written);
    QVERIFY(FileContent().contains("\nProxyPass=\n"));
    QCOMPARE(LoadSettings(ini).Network.ProxyPass, QString());
}

void TestParametr::eachSaveDrawsANewKey()
{
    const Settings settings = Make({"1", "p", "1", "1", "u", "same", "0", "/"});
    QSet<QByteArray> stored;
    for (int round = 0; round < 10; ++round) {
        QVERIFY(SaveSettings(ini, settings).Written);
        stored.insert(ini.RINI("Network", "ProxyPass"));
        QCOMPARE(LoadSettings(ini).Network.ProxyPass, QStringLiteral("same"));
    }
    QVERIFY(stored.size() > 1);
}

void TestParametr::savePathRecordedFirstSurvives()
{
    // The save flow records its folder before the Options dialog has ever been confirmed.
    QVERIFY(ini.WInI("Save", "SavePath", "/data/videos/"));
    QVERIFY(SaveSettings(ini, LoadSettings(ini)).Written);
    QCOMPARE(FileContent(),
             QByteArray("[Save]\nSavePath=/data/videos/\nDateTimeNames=0\nQuality=1080\nDirectly=0\nDirectFolder=\n"
                        "[Network]\nUseProxy=0\nProxyName=\nProxyPort=\nProxyAuth=0\nProxyLogin=\nProxyPass=\n"
                        "[Version]\nCheckUpgrade=0\n"));
}

void TestParametr::linesOfOthersAreKept()
{
    WriteFile("; Quillon settings\r\n[Network]\r\nUseProxy=0\r\n; port below\r\nProxyPort = 80\r\n\r\n"
              "[Version]\r\nCheckUpgrade=1\r\nLastCheck=07.12.2026\r\n\r\n[Mine]\r\nx=y\r\n");
    Settings settings = LoadSettings(ini);
    settings.Network.UseProxy = true;
    QVERIFY(SaveSettings(ini, settings).Written);
    QCOMPARE(FileContent(),
             QByteArray("; Quillon settings\r\n[Network]\r\nUseProxy=1\r\n; port below\r\nProxyPort=80\r\n"
                        "ProxyName=\r\nProxyAuth=0\r\nProxyLogin=\r\nProxyPass=\r\n\r\n"
                        "[Version]\r\nCheckUpgrade=1\r\nLastCheck=07.12.2026\r\n\r\n[Mine]\r\nx=y\r\n"
                        "[Save]\r\nSavePath=\r\nDateTimeNames=0\r\nQuality=1080\r\nDirectly=0\r\nDirectFolder=\r\n"));
}

// The save flow records its folder after each save, this copy's or another's, also while an Options dialog
// opened earlier is still open: confirming that dialog never takes the folder back.
void TestParametr::recordedFolderStays()
{
    QVERIFY(SaveSettings(ini, Make({"0", "old.lan", "3128", "0", "u", "pw", "0", "/old/"})).Written);
    Settings opened = LoadSettings(ini);
    QVERIFY(ini.WInI("Save", "SavePath", "/saved/meanwhile/"));
    opened.Network.ProxyName = QStringLiteral("new.lan");
    QVERIFY(SaveSettings(ini, opened).Written);
    QCOMPARE(Texts(LoadSettings(ini)),
             (QStringList{"0", "new.lan", "3128", "0", "u", "pw", "0", "/saved/meanwhile/", "0", ""}));
}

void TestParametr::failedSaveIsReported_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << QStringLiteral("gone/options.ini");
    QTest::newRow("a file in place of the folder") << QStringLiteral("file/options.ini");
}

void TestParametr::failedSaveIsReported()
{
    QFETCH(QString, relativePath);
    QFile file(folder->filePath(QStringLiteral("file")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ini.FileName(folder->filePath(relativePath));
    const SaveOutcome outcome = SaveSettings(ini, Make({"1", "p", "1", "1", "u", "pw", "0", "/"}));
    QVERIFY(!outcome.Written);
    QVERIFY(!outcome.WriteError.isEmpty());
    QVERIFY(outcome.PasswordKept);
    QCOMPARE(QDir(folder->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("file")});
}

void TestParametr::passwordThatCannotBeKept_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("named");
    QTest::newRow("ya") << QStringLiteral("Моя") << QStringLiteral("\"я\"");
    QTest::newRow("not windows-1251") << QStringLiteral("pässwörd€") << QStringLiteral("U+00E4");
}

void TestParametr::passwordThatCannotBeKept()
{
    QFETCH(QString, password);
    QFETCH(QString, named);
    QVERIFY(ini.WInI("Network", "ProxyPass", "stale"));
    const SaveOutcome outcome = SaveSettings(ini, Make({"1", "p", "1", "1", "u", password, "0", "/"}));
    QVERIFY(outcome.Written);
    QVERIFY(!outcome.PasswordKept);
    QVERIFY(outcome.Notice.startsWith(QStringLiteral("Error creating password: ")));
    QVERIFY2(outcome.Notice.contains(named), qPrintable(outcome.Notice));
    QVERIFY(outcome.Notice.contains(QStringLiteral("не сохранён в options.ini")));
    QCOMPARE(ini.RINI("Network", "ProxyPass"), QByteArray());
    QCOMPARE(ini.RINI("Network", "ProxyLogin"), QByteArray("u"));
    QCOMPARE(LoadSettings(ini).Network.ProxyPass, QString());
}

void TestParametr::fileOfAnEarlierVersionLoads()
{
    // Windows line ends, Windows-1251 texts, "Пароль" scrambled with the key 3.
    WriteFile("[Network]\r\nUseProxy=1\r\nProxyName=proxy\r\nProxyport=3128\r\nProxyAuth=1\r\n"
              "ProxyLogin=\xc8\xe2\xe0\xed\r\nProxyPass=\xd2\xe3\xf3\xf1\xee\xff\x03\r\n[Version]\r\n"
              "CheckUpgrade=1\r\nLastCheck=01.02.2009\r\n[Save]\r\nSavePath=C:\\\xc2\xe8\xe4\xe5\xee\\\r\n");
    QCOMPARE(Texts(LoadSettings(ini)),
             (QStringList{"1", "proxy", "3128", "1", "Иван", "Пароль", "1", "C:\\Видео\\", "0", ""}));
}

void TestParametr::randomPasswordsComeBack_data()
{
    QTest::addColumn<QString>("alphabet");
    QString printable;
    for (char16_t code = 32; code <= 126; ++code)
        printable.append(QChar(code));
    QString cyrillic;
    for (int code = 0xC0; code <= 0xFE; ++code)
        cyrillic.append(Windows1251::CharOf(uchar(code)));
    cyrillic.append(QStringLiteral("Ёё"));
    QTest::newRow("printable ascii") << printable;
    QTest::newRow("cyrillic without ya") << cyrillic;
    QTest::newRow("mixed") << printable + cyrillic;
}

// Property: any password of these characters, saved and loaded through the real file, comes back the same.
void TestParametr::randomPasswordsComeBack()
{
    QFETCH(QString, alphabet);
    QRandomGenerator random(20261207);
    for (int round = 0; round < 400; ++round) {
        QString password;
        const int length = random.bounded(0, 64);
        for (int i = 0; i < length; ++i)
            password.append(alphabet[random.bounded(int(alphabet.size()))]);
        const SaveOutcome outcome = SaveSettings(ini, Make({"1", "p", "1", "1", "u", password, "0", "/"}));
        QVERIFY(outcome.Written);
        QVERIFY(outcome.PasswordKept);
        QCOMPARE(LoadSettings(ini).Network.ProxyPass, password);
    }
}

void TestParametr::networkTexts_data()
{
    QTest::addColumn<QStringList>("texts");  // UseProxy, ProxyName, ProxyPort, ProxyAuth
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("useProxy");
    QTest::addColumn<int>("port");
    QTest::newRow("no settings file yet: direct") << QStringList{"", "", "", ""} << QString() << false << 0;
    QTest::newRow("direct") << QStringList{"0", "p", "8080", "0"} << QString() << false << 8080;
    QTest::newRow("proxy") << QStringList{"1", "p", " 3128 ", "1"} << QString() << true << 3128;
    QTest::newRow("a bad port does not matter without the proxy")
        << QStringList{"0", "", "80a", ""} << QString() << false << 0;
    QTest::newRow("UseProxy 2") << QStringList{"2", "p", "8080", "0"}
                                << u"Неверная настройка прокси-сервера (UseProxy = \"2\")"_s << false << 8080;
    QTest::newRow("empty proxy port") << QStringList{"1", "p", "", "0"}
                                      << u"Неверный порт прокси-сервера: \"\" (нужно число от 1 до 65535)"_s << true
                                      << 0;
    QTest::newRow("proxy port not a number")
        << QStringList{"1", "p", "80a", "0"} << SettingsTexts::InvalidProxyPort(u"80a"_s) << true << 0;
    QTest::newRow("proxy port 0") << QStringList{"1", "p", "0", "0"} << SettingsTexts::InvalidProxyPort(u"0"_s) << true
                                  << 0;
    QTest::newRow("proxy port 65536") << QStringList{"1", "p", "65536", "0"}
                                      << SettingsTexts::InvalidProxyPort(u"65536"_s) << true << 0;
    QTest::newRow("no proxy name") << QStringList{"1", " ", "8080", "0"} << u"Не указан адрес прокси-сервера"_s << true
                                   << 8080;
}

void TestParametr::networkTexts()
{
    QFETCH(QStringList, texts);
    QFETCH(QString, fault);
    QFETCH(bool, useProxy);
    QFETCH(int, port);
    const ConnectionSettings network = ParseNetwork(NetworkTexts{texts[0], texts[1], texts[2], texts[3], {}, {}});
    QCOMPARE(network.Fault, fault);
    QCOMPARE(network.UseProxy, useProxy);
    QCOMPARE(int(network.ProxyPort), port);
}

void TestParametr::flags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("on");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("0") << "0" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("2, the greyed state") << "2" << false;
    QTest::newRow("abc") << "abc" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("leading blank") << " 1" << true;
    QTest::newRow("number then letters") << "1abc" << true;
    QTest::newRow("1.4 rounds to 1") << "1.4" << true;
    QTest::newRow("0.6 rounds to 1") << "0.6" << true;
    QTest::newRow("0.5 rounds to 0") << "0.5" << false;
    QTest::newRow("1.5 rounds to 2") << "1.5" << false;
    QTest::newRow("hexadecimal") << "&H1" << true;
    QTest::newRow("too large for a number") << "1e999" << false;
    QTest::newRow("huge integer") << "99999999999999999999" << false;
}

void TestParametr::flags()
{
    QFETCH(QString, text);
    QFETCH(bool, on);
    QCOMPARE(ReadFlag(text), on);
}

void TestParametr::playerWindowLoads_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("maximized");
    QTest::newRow("none yet") << QByteArray("[Save]\nSavePath=/v/\n") << QSize() << false;
    QTest::newRow("kept") << QByteArray("[Player]\nWidth=800\nHeight=600\nMaximized=1\n") << QSize(800, 600) << true;
    QTest::newRow("blanks around") << QByteArray("[player]\nwidth = 1024 \nHEIGHT=\" 700\"\nMaximized=0\n")
                                   << QSize(1024, 700) << false;
    QTest::newRow("a side missing") << QByteArray("[Player]\nWidth=800\nMaximized=1\n") << QSize() << true;
    QTest::newRow("not a number") << QByteArray("[Player]\nWidth=wide\nHeight=600\n") << QSize() << false;
    QTest::newRow("zero") << QByteArray("[Player]\nWidth=0\nHeight=600\n") << QSize() << false;
    QTest::newRow("negative") << QByteArray("[Player]\nWidth=800\nHeight=-600\n") << QSize() << false;
    QTest::newRow("absurd") << QByteArray("[Player]\nWidth=800\nHeight=99999999999\n") << QSize() << false;
    QTest::newRow("fraction") << QByteArray("[Player]\nWidth=800.5\nHeight=600\n") << QSize() << false;
}

void TestParametr::playerWindowLoads()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QFETCH(bool, maximized);
    WriteFile(file);
    QCOMPARE(LoadSettings(ini).Player, (PlayerWindow{size, maximized}));
}

void TestParametr::playerWindowIsWrittenAlone()
{
    const QByteArray others = "; Quillon settings\r\n[Network]\r\nUseProxy=0\r\n[Mine]\r\nx=\x01\x02\r\n\r\n"
                              "[Save]\r\nSavePath=/data/videos/\r\n";
    WriteFile(others);
    QVERIFY(SavePlayerWindow(ini, PlayerWindow{QSize(900, 640), true}));
    QCOMPARE(FileContent(), others + "[Player]\r\nWidth=900\r\nHeight=640\r\nMaximized=1\r\n");
    QCOMPARE(LoadSettings(ini).Player, (PlayerWindow{QSize(900, 640), true}));

    QVERIFY(SavePlayerWindow(ini, PlayerWindow{QSize(700, 500), false}));
    QCOMPARE(FileContent(), others + "[Player]\r\nWidth=700\r\nHeight=500\r\nMaximized=0\r\n");

    // The Options dialog's save leaves the player's window as it is.
    Settings settings = LoadSettings(ini);
    settings.Player = PlayerWindow{QSize(111, 222), true};
    QVERIFY(SaveSettings(ini, settings).Written);
    QCOMPARE(LoadSettings(ini).Player, (PlayerWindow{QSize(700, 500), false}));
}

void TestParametr::maxConnections_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("count");
    QTest::newRow("none: the default") << QByteArray("[Network]\nUseProxy=0\n") << kDefaultMaxConnections;
    QTest::newRow("1: one connection") << QByteArray("[Network]\nMaxConnections=1\n") << 1;
    QTest::newRow("8") << QByteArray("[network]\nmaxconnections= 8\n") << 8;
    QTest::newRow("0: the default") << QByteArray("[Network]\nMaxConnections=0\n") << kDefaultMaxConnections;
    QTest::newRow("no number") << QByteArray("[Network]\nMaxConnections=many\n") << kDefaultMaxConnections;
}

void TestParametr::maxConnections()
{
    QFETCH(QByteArray, file);
    QFETCH(int, count);
    WriteFile(file);
    QCOMPARE(LoadSettings(ini).MaxConnections, count);
}

QTEST_GUILESS_MAIN(TestParametr)
#include "tst_parametr.moc"
