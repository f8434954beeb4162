#include "Hosts.h"
#include "INI.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestHosts : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void noFile();
    void overrides_data();
    void overrides();
    void hostText_data();
    void hostText();
    void addresses();
};

void TestHosts::defaults()
{
    const Hosts hosts = DefaultHosts();
    QCOMPARE(hosts.Resolver, QStringLiteral("localhost:8397"));
    QCOMPARE(hosts.Update, QStringLiteral("localhost:8397"));
    QVERIFY(IsHostText(hosts.WebSite));
    QVERIFY(IsHostText(hosts.ProgramPage));
}

void TestHosts::noFile()
{
    QTemporaryDir folder;
    INI ini;
    ini.FileName(folder.filePath(QStringLiteral("options.ini")));
    const Hosts hosts = ReadHosts(ini);
    const Hosts defaults = DefaultHosts();
    QCOMPARE(hosts.Resolver, defaults.Resolver);
    QCOMPARE(hosts.Update, defaults.Update);
    QCOMPARE(hosts.WebSite, defaults.WebSite);
    QCOMPARE(hosts.ProgramPage, defaults.ProgramPage);
}

void TestHosts::overrides_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("expected");
    const Hosts d = DefaultHosts();
    QTest::newRow("all four") << QByteArray("[Hosts]\nResolver=127.0.0.1:9000\nUpdate=up.test\n"
                                            "WebSite=site.test:8080\nProgramPage=prog.test\n")
                              << QStringList{"127.0.0.1:9000", "up.test", "site.test:8080", "prog.test"};
    QTest::newRow("one of them") << QByteArray("[Network]\nUseProxy=0\n[Hosts]\nUpdate=up.test\n")
                                 << QStringList{d.Resolver, "up.test", d.WebSite, d.ProgramPage};
    QTest::newRow("names in any case, blanks around") << QByteArray("[hosts]\nresolver =  r.test:81  \n")
                                                      << QStringList{"r.test:81", d.Update, d.WebSite, d.ProgramPage};
    QTest::newRow("unusable values keep the defaults")
        << QByteArray("[Hosts]\nResolver=http://r.test/\nUpdate=a b\nWebSite=\nProgramPage=user@p.test\n")
        << QStringList{d.Resolver, d.Update, d.WebSite, d.ProgramPage};
    QTest::newRow("another section's keys")
        << QByteArray("[Other]\nResolver=r.test\n") << QStringList{d.Resolver, d.Update, d.WebSite, d.ProgramPage};
}

void TestHosts::overrides()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, expected);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("options.ini"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    INI ini;
    ini.FileName(path);
    const Hosts hosts = ReadHosts(ini);
    QCOMPARE((QStringList{hosts.Resolver, hosts.Update, hosts.WebSite, hosts.ProgramPage}), expected);
}

void TestHosts::hostText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("usable");
    QTest::newRow("name") << "example.org" << true;
    QTest::newRow("name and port") << "example.org:8080" << true;
    QTest::newRow("address") << "127.0.0.1" << true;
    QTest::newRow("single label") << "localhost" << true;
    QTest::newRow("bracketed v6") << "[::1]:8397" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("scheme") << "http://example.org" << false;
    QTest::newRow("path") << "example.org/x" << false;
    QTest::newRow("blank") << "exa mple.org" << false;
    QTest::newRow("port too long") << "example.org:123456" << false;
    QTest::newRow("empty port") << "example.org:" << false;
    QTest::newRow("leading dot") << ".example.org" << false;
    QTest::newRow("login") << "a@example.org" << false;
}

void TestHosts::hostText()
{
    QFETCH(QString, text);
    QFETCH(bool, usable);
    QCOMPARE(IsHostText(text), usable);
}

void TestHosts::addresses()
{
    const Hosts hosts{QStringLiteral("r.test:81"), QStringLiteral("u.test"), QStringLiteral("w.test"),
                      QStringLiteral("p.test")};
    QCOMPARE(ResolverAddress(hosts), QStringLiteral("http://r.test:81/"));
    QCOMPARE(UpdateAddress(hosts), QStringLiteral("http://u.test/version.info"));
    QCOMPARE(WebSiteAddress(hosts), QStringLiteral("http://w.test"));
}

QTEST_GUILESS_MAIN(TestHosts)
#include "tst_hosts.moc"
