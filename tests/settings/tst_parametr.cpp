#include "CPassword.h"
#include "INI.h"
#include "Parametr.h"
#include "ProgramValues.h"
#include "Windows1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

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
    void failedSaveIsReported_data();
    void failedSaveIsReported();
    void passwordThatCannotBeKept_data();
    void passwordThatCannotBeKept();
    void fileOfAnEarlierVersionLoads();
    void decodesFileTexts_data();
    void decodesFileTexts();
    void randomPasswordsComeBack_data();
    void randomPasswordsComeBack();

private:
    QByteArray FileContent() const;
    void WriteFile(const QByteArray &content);
    void SetValues(const QStringList &values);
    QStringList Values() const;

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

}  // namespace

void TestParametr::init()
{
    ResetProgramValues();
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

// In the order UseProxy, ProxyName, ProxyPort, ProxyAuth, ProxyLogin, ProxyPass, CheckUpgrade, SavePath.
void TestParametr::SetValues(const QStringList &values)
{
    ProgramValues &program = Program();
    program.UseProxy = values.value(0);
    program.ProxyName = values.value(1);
    program.ProxyPort = values.value(2);
    program.ProxyAuth = values.value(3);
    program.ProxyLogin = values.value(4);
    program.ProxyPass = values.value(5);
    program.CheckUpgrade = values.value(6);
    program.SavePath = values.value(7);
}

QStringList TestParametr::Values() const
{
    const ProgramValues &program = Program();
    return {program.UseProxy,   program.ProxyName, program.ProxyPort,    program.ProxyAuth,
            program.ProxyLogin, program.ProxyPass, program.CheckUpgrade, program.SavePath};
}

void TestParametr::firstStartLoadsEmptyAndCreatesNothing()
{
    SetValues({"x", "x", "x", "x", "x", "x", "x", "x"});
    LoadSettings(ini);
    QCOMPARE(Values(), QStringList(8, QString()));
    QVERIFY(!QFileInfo::exists(ini.FileName()));
    QVERIFY(QDir(folder->path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

void TestParametr::freshFileHasTheKeysInOrder()
{
    SetValues({"1", "proxy.lan", "3128", "1", "user", "secret", "0", "/home/user/Видео/"});
    const SaveOutcome outcome = SaveSettings(ini);
    QVERIFY2(outcome.Written, qPrintable(outcome.WriteError));
    QVERIFY(outcome.PasswordKept);
    QVERIFY(outcome.Notice.isEmpty());
    QCOMPARE(WithoutPassword(FileContent()),
             QByteArray("[Network]\nUseProxy=1\nProxyName=proxy.lan\nProxyPort=3128\nProxyAuth=1\nProxyLogin=user\n"
                        "ProxyPass=<scrambled>\n[Version]\nCheckUpgrade=0\n[Save]\nSavePath=/home/user/")
                 + QStringLiteral("Видео").toUtf8() + "/\n");
    QVERIFY(!ini.RINI("Network", "ProxyPass").contains("secret"));
}

void TestParametr::savedValuesLoadBack_data()
{
    QTest::addColumn<QStringList>("values");
    QTest::newRow("all set") << QStringList{"1", "10.0.0.1", "8080", "1", "login", "pa ss", "1", "/tmp/v/"};
    QTest::newRow("all empty") << QStringList(8, QString());
    QTest::newRow("cyrillic password and names")
        << QStringList{"0", "прокси.рф", "3128", "0", "Пользователь", "Пароль", "1", "/home/Иван/Видео/"};
    QTest::newRow("printable ascii password")
        << QStringList{"1", "p", "1", "1", "u", " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", "0", "/"};
    QTest::newRow("quotes around the password") << QStringList{"1", "p", "1", "1", "u", "'x'", "0", "/"};
    QTest::newRow("not windows-1251 outside the password")
        << QStringList{"1", "例え.jp", "80", "1", "ユーザー", "pass", "1", "/home/é/"};
}

void TestParametr::savedValuesLoadBack()
{
    QFETCH(QStringList, values);
    SetValues(values);
    const SaveOutcome outcome = SaveSettings(ini);
    QVERIFY(outcome.Written);
    QVERIFY(outcome.PasswordKept);
    QCOMPARE(Values(), values);
    ResetProgramValues();
    LoadSettings(ini);
    QCOMPARE(Values(), values);
}

void TestParametr::portKeyIsOneEntry()
{
    WriteFile("[Network]\r\nProxyport=8080\r\n");
    LoadSettings(ini);
    QCOMPARE(Program().ProxyPort, QStringLiteral("8080"));
    Program().ProxyPort = QStringLiteral("3128");
    QVERIFY(SaveSettings(ini).Written);
    QCOMPARE(FileContent().count("roxyport="), 1);
    QCOMPARE(ini.RINI("Network", "ProxyPort"), QByteArray("3128"));
    ResetProgramValues();
    LoadSettings(ini);
    QCOMPARE(Program().ProxyPort, QStringLiteral("3128"));
}

void TestParametr::emptyPasswordIsWrittenEmpty()
{
    SetValues({"1", "p", "1", "1", "u", "", "0", "/"});
    QVERIFY(SaveSettings(ini).Written);
    QVERIFY(FileContent().contains("\nProxyPass=\n"));
    Program().ProxyPass = QStringLiteral("leftover");
    LoadSettings(ini);
    QCOMPARE(Program().ProxyPass, QString());
}

void TestParametr::eachSaveDrawsANewKey()
{
    SetValues({"1", "p", "1", "1", "u", "same", "0", "/"});
    QSet<QByteArray> stored;
    for (int round = 0; round < 10; ++round) {
        QVERIFY(SaveSettings(ini).Written);
        stored.insert(ini.RINI("Network", "ProxyPass"));
        Program().ProxyPass.clear();
        LoadSettings(ini);
        QCOMPARE(Program().ProxyPass, QStringLiteral("same"));
    }
    QVERIFY(stored.size() > 1);
}

void TestParametr::savePathRecordedFirstSurvives()
{
    // The save flow records its folder before the Options dialog has ever been confirmed.
    QVERIFY(ini.WInI("Save", "SavePath", "/data/videos/"));
    LoadSettings(ini);
    Program().UseProxy = QStringLiteral("0");
    QVERIFY(SaveSettings(ini).Written);
    QCOMPARE(FileContent(),
             QByteArray("[Save]\nSavePath=/data/videos/\n[Network]\nUseProxy=0\nProxyName=\n"
                        "ProxyPort=\nProxyAuth=\nProxyLogin=\nProxyPass=\n[Version]\nCheckUpgrade=\n"));
}

void TestParametr::linesOfOthersAreKept()
{
    WriteFile("; Quillon settings\r\n[Network]\r\nUseProxy=0\r\n; port below\r\nProxyPort = 80\r\n\r\n"
              "[Version]\r\nCheckUpgrade=1\r\nLastCheck=07.12.2026\r\n\r\n[Mine]\r\nx=y\r\n");
    LoadSettings(ini);
    Program().UseProxy = QStringLiteral("1");
    QVERIFY(SaveSettings(ini).Written);
    QCOMPARE(FileContent(),
             QByteArray("; Quillon settings\r\n[Network]\r\nUseProxy=1\r\n; port below\r\nProxyPort=80\r\n"
                        "ProxyName=\r\nProxyAuth=\r\nProxyLogin=\r\nProxyPass=\r\n\r\n"
                        "[Version]\r\nCheckUpgrade=1\r\nLastCheck=07.12.2026\r\n\r\n[Mine]\r\nx=y\r\n"
                        "[Save]\r\nSavePath=\r\n"));
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
    const QStringList values = {"1", "p", "1", "1", "u", "pw", "0", "/"};
    SetValues(values);
    const SaveOutcome outcome = SaveSettings(ini);
    QVERIFY(!outcome.Written);
    QVERIFY(!outcome.WriteError.isEmpty());
    QVERIFY(outcome.PasswordKept);
    QCOMPARE(Values(), values);
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
    SetValues({"1", "p", "1", "1", "u", password, "0", "/"});
    const SaveOutcome outcome = SaveSettings(ini);
    QVERIFY(outcome.Written);
    QVERIFY(!outcome.PasswordKept);
    QVERIFY(outcome.Notice.startsWith(QStringLiteral("Error creating password: ")));
    QVERIFY2(outcome.Notice.contains(named), qPrintable(outcome.Notice));
    QVERIFY(outcome.Notice.contains(QStringLiteral("не сохранён в options.ini")));
    QCOMPARE(Program().ProxyPass, password);
    QCOMPARE(ini.RINI("Network", "ProxyPass"), QByteArray());
    QCOMPARE(ini.RINI("Network", "ProxyLogin"), QByteArray("u"));
    LoadSettings(ini);
    QCOMPARE(Program().ProxyPass, QString());
}

void TestParametr::fileOfAnEarlierVersionLoads()
{
    // Windows line ends, Windows-1251 texts, "Пароль" scrambled with the key 3.
    WriteFile("[Network]\r\nUseProxy=1\r\nProxyName=proxy\r\nProxyport=3128\r\nProxyAuth=1\r\n"
              "ProxyLogin=\xc8\xe2\xe0\xed\r\nProxyPass=\xd2\xe3\xf3\xf1\xee\xff\x03\r\n[Version]\r\n"
              "CheckUpgrade=1\r\nLastCheck=01.02.2009\r\n[Save]\r\nSavePath=C:\\\xc2\xe8\xe4\xe5\xee\\\r\n");
    LoadSettings(ini);
    QCOMPARE(Values(), (QStringList{"1", "proxy", "3128", "1", "Иван", "Пароль", "1", "C:\\Видео\\"}));
}

void TestParametr::decodesFileTexts_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("utf-8") << QStringLiteral("Видео").toUtf8() << QStringLiteral("Видео");
    QTest::newRow("windows-1251") << QByteArray("\xc2\xe8\xe4\xe5\xee") << QStringLiteral("Видео");
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestParametr::decodesFileTexts()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeFileText(bytes), text);
    if (bytes.isValidUtf8())
        QCOMPARE(EncodeFileText(text), bytes);
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
        SetValues({"1", "p", "1", "1", "u", password, "0", "/"});
        const SaveOutcome outcome = SaveSettings(ini);
        QVERIFY(outcome.Written);
        QVERIFY(outcome.PasswordKept);
        Program().ProxyPass.clear();
        LoadSettings(ini);
        QCOMPARE(Program().ProxyPass, password);
    }
}

QTEST_GUILESS_MAIN(TestParametr)
#include "tst_parametr.moc"
