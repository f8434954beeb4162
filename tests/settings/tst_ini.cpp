#include "INI.h"
#include "Windows1251.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

// The store against real files that the test writes and reads itself.
class TestIni : public QObject {
    Q_OBJECT

private slots:
    void init();
    void readsFiles_data();
    void readsFiles();
    void readingAbsentFileCreatesNothing();
    void withoutFileNameReadsEmptyAndWritesFail();
    void writesAndReadsBack_data();
    void writesAndReadsBack();
    void followsWindowsRules_data();
    void followsWindowsRules();
    void emptyValueLeavesTheKey();
    void typedReads_data();
    void typedReads();
    void integerOverflowReachesTheCaller();
    void typedWrites();
    void newFileIsOwnerOnly();
    void existingFileKeepsPermissions_data();
    void existingFileKeepsPermissions();
    void writeFailsWhereNoFileCanBe_data();
    void writeFailsWhereNoFileCanBe();
    void failedWriteLeavesOldFileIntact();
    void refusedEntryLeavesFileUntouched();
    void linkStaysALink();
    void onlyAPlainFileOfSettingsIsUsed_data();
    void onlyAPlainFileOfSettingsIsUsed();
    void writeMakesTheUsersFolder();
    void programsWritingAtOnceKeepEachOthersValues();

private:
    QString WriteFile(const QByteArray &content);
    QByteArray FileContent() const;
    QStringList FolderEntries() const;

    std::unique_ptr<QTemporaryDir> folder;
    QString path;
};

void TestIni::init()
{
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    path = folder->filePath(QStringLiteral("options.ini"));
}

QString TestIni::WriteFile(const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return {};
    return path;
}

QByteArray TestIni::FileContent() const
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QStringList TestIni::FolderEntries() const
{
    return QDir(folder->path()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

void TestIni::readsFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    const QByteArray lf = "; options\n[Network]\nUseProxy=1\nProxyPort=3128\nProxyName=  \"proxy.lan\"  \n"
                          "ProxyPort=9999\n\n[Version]\nCheckUpgrade=0\n";
    const QByteArray crlf = QByteArray(lf).replace("\n", "\r\n");
    for (const auto &[name, content] : {std::pair{"lf", lf}, std::pair{"crlf", crlf}}) {
        QTest::addRow("%s plain", name) << content << QByteArray("Network") << QByteArray("UseProxy")
                                        << QByteArray("1");
        QTest::addRow("%s other spelling, first duplicate", name)
            << content << QByteArray("Network") << QByteArray("Proxyport") << QByteArray("3128");
        QTest::addRow("%s quoted with blanks", name)
            << content << QByteArray("network") << QByteArray("ProxyName") << QByteArray("proxy.lan");
        QTest::addRow("%s last line", name)
            << content << QByteArray("Version") << QByteArray("CheckUpgrade") << QByteArray("0");
        QTest::addRow("%s absent key", name)
            << content << QByteArray("Version") << QByteArray("LastCheck") << QByteArray();
    }
    QTest::newRow("key outside any section")
        << QByteArray("UseProxy=1\n[Network]\n") << QByteArray("Network") << QByteArray("UseProxy") << QByteArray();
    QTest::newRow("300 characters") << ("[S]\r\nk=" + QByteArray(300, 'w') + "\r\n") << QByteArray("S")
                                    << QByteArray("k") << QByteArray(254, 'w');
    QTest::newRow("windows-1251") << QByteArray("[S]\r\nk=\xcf\xe0\xf0\xee\xeb\xfc\x22\r\n") << QByteArray("S")
                                  << QByteArray("k") << QByteArray("\xcf\xe0\xf0\xee\xeb\xfc\x22");
}

void TestIni::readsFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    INI ini;
    ini.FileName(WriteFile(content));
    QCOMPARE(ini.FileName(), path);
    QCOMPARE(ini.RINI(section, key), value);
}

void TestIni::readingAbsentFileCreatesNothing()
{
    INI ini;
    ini.FileName(path);
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray());
    QCOMPARE(ini.RINIb("Network", "UseProxy"), false);
    QCOMPARE(ini.RINIi("Network", "UseProxy"), qint16(0));
    QVERIFY(!QFileInfo::exists(path));
}

void TestIni::withoutFileNameReadsEmptyAndWritesFail()
{
    INI ini;
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray());
    QVERIFY(!ini.WInI("Network", "UseProxy", "1"));
    QVERIFY(!ini.WriteError().isEmpty());
}

void TestIni::writesAndReadsBack_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("no file") << QByteArray() << QByteArray("[Network]\nProxyPort=8080\n");
    QTest::newRow("crlf in place") << QByteArray("; mine\r\n[Network]\r\nProxyport=1\r\nUseProxy=1\r\n")
                                   << QByteArray("; mine\r\n[Network]\r\nProxyport=8080\r\nUseProxy=1\r\n");
    QTest::newRow("lf new key") << QByteArray("[Network]\nUseProxy=1\n\n[Save]\nSavePath=/tmp/\n")
                                << QByteArray("[Network]\nUseProxy=1\nProxyPort=8080\n\n[Save]\nSavePath=/tmp/\n");
}

void TestIni::writesAndReadsBack()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        QVERIFY(!WriteFile(before).isEmpty());
    INI ini;
    ini.FileName(path);
    QVERIFY2(ini.WInI("Network", "ProxyPort", "8080"), qPrintable(ini.WriteError()));
    QCOMPARE(FileContent(), after);
    QCOMPARE(ini.RINI("Network", "Proxyport"), QByteArray("8080"));
    QCOMPARE(FolderEntries(), QStringList{QStringLiteral("options.ini")});
}

namespace {

QByteArray Utf16Le(const QString &text)
{
    QByteArray bytes("\xff\xfe");
    for (QChar unit : text)
        bytes.append(char(unit.unicode() & 0xFF)).append(char(unit.unicode() >> 8));
    return bytes;
}

void AddRead(const char *name, const QByteArray &before, const QByteArray &section, const QByteArray &key,
             const QByteArray &read)
{
    QTest::newRow(name) << before << section << key << false << QByteArray() << before << read;
}

void AddWrite(const char *name, const QByteArray &before, const QByteArray &section, const QByteArray &key,
              const QByteArray &value, const QByteArray &after)
{
    QTest::newRow(name) << before << section << key << true << value << after << value;
}

}  // namespace

// Files as Quillon reads and writes them, by the rules of the Windows INI functions: written by Quillon,
// edited by hand, or copied from another system.
void TestIni::followsWindowsRules_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<bool>("write");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QByteArray>("read");

    // Blanks around names.
    AddRead("blanks in header and around key", "  [ Network ]  \n  UseProxy  =1\n", "Network", "UseProxy", "1");
    AddRead("tab in header", "[\tOptions ]\r\nk=v\r\n", "Options", "k", "v");
    AddRead("names asked with blanks", "[s]\nk=v\n", " s ", "\tk ", "v");
    AddWrite("names written with blanks update the key", "[ s ]\nk=old\n", " s ", " k ", "v", "[ s ]\nk=v\n");
    AddWrite("names written with blanks into a new file", "", " s ", " k\t", "v", "[s]\nk=v\n");

    // Line ends.
    AddRead("cr alone", "[S]\rk=v\rj=w\r", "S", "j", "w");
    AddRead("cr, lf and crlf mixed", "[S]\na=1\rb=2\r\nc=3\n", "S", "b", "2");
    AddRead("bare cr ends the value", "[S]\nk=a\rb\n", "S", "k", "a");
    AddWrite("new key in a cr file", "[S]\rk=v\r", "S", "n", "x", "[S]\rk=v\rn=x\r");
    AddWrite("value ended by a bare cr replaced", "[S]\nk=a\rb\n", "S", "k", "c", "[S]\nk=c\rb\n");

    // Byte-order marks.
    AddRead("utf-8 mark", "\xef\xbb\xbf[Network]\r\nUseProxy=1\r\n", "Network", "UseProxy", "1");
    AddWrite("utf-8 mark kept", "\xef\xbb\xbf[Network]\r\nUseProxy=1\r\n", "Network", "UseProxy", "0",
             "\xef\xbb\xbf[Network]\r\nUseProxy=0\r\n");
    AddRead("utf-16le", Utf16Le(QStringLiteral("[Network]\r\nProxyName = proxy.lan\r\n")), "network", "ProxyName",
            "proxy.lan");
    AddRead("utf-16le in windows-1251", Utf16Le(QStringLiteral("[Save]\r\nSavePath=/home/u/Видео/\r\n")), "Save",
            "SavePath", Windows1251::Encode(QStringLiteral("/home/u/Видео/")).value());
    AddRead("utf-16le beyond windows-1251 in utf-8", Utf16Le(QStringLiteral("[Save]\r\nSavePath=/home/u/日本/\r\n")),
            "Save", "SavePath", QStringLiteral("/home/u/日本/").toUtf8());
    AddWrite("utf-16le stays utf-16le", Utf16Le(QStringLiteral("[Network]\r\nUseProxy=0\r\n")), "Network", "UseProxy",
             "1", Utf16Le(QStringLiteral("[Network]\r\nUseProxy=1\r\n")));
    const QByteArray scrambled = "\xe9\x98\xff\x22\x1a";
    AddWrite("utf-16le keeps any bytes", Utf16Le(QStringLiteral("[Network]\r\n")), "Network", "ProxyPass", scrambled,
             Utf16Le(QStringLiteral("[Network]\r\nProxyPass=") + Windows1251::Decode(scrambled)
                     + QStringLiteral("\r\n")));
    AddWrite("utf-16le mark alone", Utf16Le({}), "Network", "UseProxy", "1",
             Utf16Le(QStringLiteral("[Network]\nUseProxy=1\n")));

    // Control bytes.
    AddRead("ctrl-z around the value", "[S]\nk=\x1a v \x1a\x1a\n", "S", "k", "v");
    AddRead("ctrl-z ending the file", "[S]\r\nk=v\x1a", "S", "k", "v");
    AddRead("ctrl-z ending a password, as the program writes it",
            "[Network]\r\nProxyPass=\xe9\xf0\x1a\r\nProxyAuth=1\r\n", "Network", "ProxyPass", "\xe9\xf0\x1a");
    AddWrite("ctrl-z ending a value in the last line gets its line end", "[Network]\nProxyPass=old", "Network",
             "ProxyPass", "\xe9\xf0\x1a", "[Network]\nProxyPass=\xe9\xf0\x1a\n");
    AddRead("nul ends the value", QByteArray("[S]\nk=ab\0cd\n", 12), "S", "k", "ab");
    AddRead("blanks before a nul", QByteArray("[S]\nk= ab \0cd\n", 14), "S", "k", "ab");

    // Key lines without "=".
    AddRead("key without equals is empty, first one wins", "[S]\nk\nk=v\n", "S", "k", "");
    AddWrite("key without equals replaced", "[S]\n  k  \r\nk=v\r\n", "S", "K", "x", "[S]\nk=x\r\nk=v\r\n");

    // "]" in section names.
    AddRead("section name up to the last bracket", "[a]b]\nk=v\n", "a]b", "k", "v");
    AddWrite("section name with a bracket", "", "a]b", "k", "v", "[a]b]\nk=v\n");
}

void TestIni::followsWindowsRules()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(bool, write);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, after);
    QFETCH(QByteArray, read);
    QVERIFY(!WriteFile(before).isEmpty());
    INI ini;
    ini.FileName(path);
    if (write)
        QVERIFY2(ini.WInI(section, key, value), qPrintable(ini.WriteError()));
    QCOMPARE(FileContent(), after);
    QCOMPARE(ini.RINI(section, key), read);
}

void TestIni::emptyValueLeavesTheKey()
{
    INI ini;
    ini.FileName(path);
    QVERIFY(ini.WInI("Network", "ProxyPass", "secret"));
    QVERIFY(ini.WInI("Network", "ProxyPass", ""));
    QCOMPARE(FileContent(), QByteArray("[Network]\nProxyPass=\n"));
    QCOMPARE(ini.RINI("Network", "ProxyPass"), QByteArray());
}

void TestIni::typedReads_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<bool>("boolean");
    QTest::addColumn<int>("integer");

    QTest::newRow("True") << QByteArray("True") << true << 0;
    QTest::newRow("quoted True") << QByteArray("\"True\"") << true << 0;
    QTest::newRow("true") << QByteArray("true") << false << 0;
    QTest::newRow("1") << QByteArray("1") << false << 1;
    QTest::newRow("-1") << QByteArray("-1") << false << -1;
    QTest::newRow("12abc") << QByteArray("12abc") << false << 12;
    QTest::newRow("2.5") << QByteArray("2.5") << false << 2;
    QTest::newRow("3.5") << QByteArray("3.5") << false << 4;
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("&H7FFF") << QByteArray("&H7FFF") << false << 32767;
}

void TestIni::typedReads()
{
    QFETCH(QByteArray, stored);
    QFETCH(bool, boolean);
    QFETCH(int, integer);
    QVERIFY(!WriteFile("[S]\nk=" + stored + "\n").isEmpty());
    INI ini;
    ini.FileName(path);
    QCOMPARE(ini.RINIb("S", "k"), boolean);
    QCOMPARE(int(ini.RINIi("S", "k")), integer);
}

void TestIni::integerOverflowReachesTheCaller()
{
    QVERIFY(!WriteFile("[S]\nbig=40000\nsmall=-32769\nhex=&H8000\n").isEmpty());
    INI ini;
    ini.FileName(path);
    QVERIFY_THROWS_EXCEPTION(IniOverflow, ini.RINIi("S", "big"));
    QVERIFY_THROWS_EXCEPTION(IniOverflow, ini.RINIi("S", "small"));
    QVERIFY_THROWS_EXCEPTION(IniOverflow, ini.RINIi("S", "hex"));
}

void TestIni::typedWrites()
{
    INI ini;
    ini.FileName(path);
    QVERIFY(ini.WInIb("S", "yes", true));
    QVERIFY(ini.WInIb("S", "no", false));
    QVERIFY(ini.WInIi("S", "negative", -7));
    QVERIFY(ini.WInIi("S", "lowest", -32768));
    QCOMPARE(FileContent(), QByteArray("[S]\nyes=True\nno=False\nnegative=-7\nlowest=-32768\n"));
    QCOMPARE(ini.RINIb("S", "yes"), true);
    QCOMPARE(ini.RINIb("S", "no"), false);
    QCOMPARE(ini.RINIi("S", "negative"), qint16(-7));
    QCOMPARE(ini.RINIi("S", "lowest"), qint16(-32768));
}

void TestIni::newFileIsOwnerOnly()
{
    INI ini;
    ini.FileName(path);
    QVERIFY(ini.WInI("Network", "ProxyPass", "x"));
    struct stat status { };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));
}

void TestIni::existingFileKeepsPermissions_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("0644") << 0644;
    QTest::newRow("0640") << 0640;
    QTest::newRow("0664") << 0664;
}

void TestIni::existingFileKeepsPermissions()
{
    QFETCH(int, mode);
    QVERIFY(!WriteFile("[Network]\nUseProxy=0\n").isEmpty());
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    INI ini;
    ini.FileName(path);
    QVERIFY(ini.WInI("Network", "UseProxy", "1"));
    struct stat status { };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
    QCOMPARE(int(status.st_mode & 0777), mode);
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray("1"));
}

void TestIni::writeFailsWhereNoFileCanBe_data()
{
    QTest::addColumn<QString>("relativePath");
    QTest::newRow("missing folder") << QStringLiteral("missing/options.ini");
    QTest::newRow("a file in place of the folder") << QStringLiteral("plain/options.ini");
    QTest::newRow("a folder in place of the file") << QStringLiteral("folder");
}

void TestIni::writeFailsWhereNoFileCanBe()
{
    QFETCH(QString, relativePath);
    QFile plain(folder->filePath(QStringLiteral("plain")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("folder")));
    const QStringList before = FolderEntries();

    INI ini;
    ini.FileName(folder->filePath(relativePath));
    QVERIFY(!ini.WInI("Network", "UseProxy", "1"));
    QVERIFY(!ini.WriteError().isEmpty());
    QVERIFY(!ini.WInIb("Network", "UseProxy", true));
    QVERIFY(!ini.WInIi("Network", "UseProxy", 1));
    QCOMPARE(FolderEntries(), before);
    QVERIFY(QDir(folder->filePath(QStringLiteral("folder"))).isEmpty());
}

// The tests run as root, where a read-only folder still takes new files; a file size limit makes the
// writing of the new content itself fail half-way instead.
void TestIni::failedWriteLeavesOldFileIntact()
{
    const QByteArray old = "; kept\r\n[Network]\r\nUseProxy=0\r\n";
    QVERIFY(!WriteFile(old).isEmpty());
    INI ini;
    ini.FileName(path);

    struct rlimit saved { };
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = ini.WInI("Network", "ProxyName", QByteArray(200, 'p'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QVERIFY(!ini.WriteError().isEmpty());
    QCOMPARE(FileContent(), old);
    QCOMPARE(FolderEntries(), QStringList{QStringLiteral("options.ini")});
    QVERIFY(ini.WInI("Network", "ProxyName", QByteArray(200, 'p')));
    QCOMPARE(ini.RINI("Network", "ProxyName"), QByteArray(200, 'p'));
}

void TestIni::refusedEntryLeavesFileUntouched()
{
    const QByteArray old = "[Network]\nUseProxy=0\n";
    QVERIFY(!WriteFile(old).isEmpty());
    INI ini;
    ini.FileName(path);
    const bool written = ini.WriteEntries({
        IniEntry{"Network", "UseProxy", "1"},
        IniEntry{"Network", "ProxyName", "two\nlines"},
    });
    QVERIFY(!written);
    QVERIFY(ini.WriteError().contains(QStringLiteral("ProxyName")));
    QCOMPARE(FileContent(), old);
}

void TestIni::linkStaysALink()
{
    QVERIFY(QDir(folder->path()).mkdir(QStringLiteral("real")));
    const QString real = folder->filePath(QStringLiteral("real/options.ini"));
    QVERIFY(QFile::link(real, path));
    INI ini;
    ini.FileName(path);
    QVERIFY2(ini.WInI("Network", "UseProxy", "1"), qPrintable(ini.WriteError()));
    QVERIFY(QFileInfo(path).isSymLink());
    QVERIFY(ini.WInI("Network", "UseProxy", "0"));
    QVERIFY(QFileInfo(path).isSymLink());
    QFile file(real);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[Network]\nUseProxy=0\n"));
    QCOMPARE(QDir(folder->filePath(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("options.ini")});
}

void TestIni::onlyAPlainFileOfSettingsIsUsed_data()
{
    QTest::addColumn<QString>("kind");
    for (const char *kind : {"FIFO", "link to /dev/zero", "too large", "folder"})
        QTest::newRow(kind) << QString::fromLatin1(kind);
}

// What stands at the settings file's name and is no settings file is neither read (a FIFO would wait for a
// writer for ever, /dev/zero never ends) nor written into, nor replaced.
void TestIni::onlyAPlainFileOfSettingsIsUsed()
{
    QFETCH(QString, kind);
    const QByteArray name = QFile::encodeName(path);
    if (kind == QLatin1String("FIFO")) {
        QCOMPARE(::mkfifo(name.constData(), 0600), 0);
    } else if (kind == QLatin1String("link to /dev/zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkdir(path));
    } else {
        // Settings at its head, then far more than any settings file holds.
        QVERIFY(!WriteFile("[Network]\nUseProxy=1\n" + QByteArray(16 << 20, ';')).isEmpty());
    }
    struct stat before { };
    QCOMPARE(::lstat(name.constData(), &before), 0);

    INI ini;
    ini.FileName(path);
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray());
    QVERIFY(!ini.WInI("Network", "UseProxy", "0"));
    QVERIFY(!ini.WriteError().isEmpty());

    struct stat after { };
    QCOMPARE(::lstat(name.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(after.st_size, before.st_size);
    QCOMPARE(FolderEntries(), QStringList{QStringLiteral("options.ini")});
}

void TestIni::writeMakesTheUsersFolder()
{
    INI ini;
    ini.FileName(folder->filePath(QStringLiteral("config/quillon/options.ini")));
    ini.MakeFolderOnWrite(true);
    QVERIFY2(ini.WInI("Network", "UseProxy", "1"), qPrintable(ini.WriteError()));
    for (const char *made : {"config", "config/quillon", "config/quillon/options.ini"}) {
        struct stat status { };
        QCOMPARE(::stat(QFile::encodeName(folder->filePath(QString::fromLatin1(made))).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, QByteArray(made).endsWith(".ini") ? mode_t(0600) : mode_t(0700));
    }
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray("1"));
}

// Each write re-reads the file and replaces it whole: without the lock, two programs reading the same file
// before either replaced it lose one program's key.
void TestIni::programsWritingAtOnceKeepEachOthersValues()
{
    constexpr int kPrograms = 4;
    constexpr int kKeys = 40;
    std::vector<std::unique_ptr<QProcess>> programs;
    for (int i = 0; i < kPrograms; ++i) {
        programs.push_back(std::make_unique<QProcess>());
        programs.back()->setProcessChannelMode(QProcess::ForwardedChannels);
        programs.back()->start(QStringLiteral(INI_WRITER),
                               {path, QStringLiteral("p%1k").arg(i), QString::number(kKeys)});
    }
    for (const auto &program : programs) {
        QVERIFY(program->waitForFinished(120000));
        QCOMPARE(program->exitCode(), 0);
    }
    INI ini;
    ini.FileName(path);
    QStringList missing;
    for (int i = 0; i < kPrograms; ++i) {
        for (int k = 0; k < kKeys; ++k) {
            const QByteArray key = QStringLiteral("p%1k%2").arg(i).arg(k).toUtf8();
            if (ini.RINI("Keys", key) != key)
                missing.append(QString::fromUtf8(key));
        }
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(u' ')));
    QCOMPARE(FolderEntries(), QStringList{QStringLiteral("options.ini")});
}

QTEST_GUILESS_MAIN(TestIni)
#include "tst_ini.moc"
