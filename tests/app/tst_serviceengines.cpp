#include "ScriptedServer.h"
#include "ServiceEngines.h"

#include <QSignalSpy>
#include <QTest>

// What the About window shows of the link-resolution service's engines: read from its GET /engines.
class TestServiceEngines : public QObject {
    Q_OBJECT

private slots:
    void readsEngines_data();
    void readsEngines();
    void asksTheService_data();
    void asksTheService();
};

void TestServiceEngines::readsEngines_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the yt-dlp in use first, one not in use left out")
        << QByteArray(R"({"engines":[{"name":"builtin","version":"1.7","origin":"quillon-resolver"},)"
                      R"({"name":"yt-dlp","version":"2026.08.19","origin":"downloaded","in_use":true},)"
                      R"({"name":"yt-dlp","version":"2023.03.04","origin":"system","in_use":false}]})")
        << "yt-dlp 2026.08.19, builtin 1.7";
    QTest::newRow("built-in alone") << QByteArray(R"({"engines":[{"name":"builtin","version":"1.7"}]})")
                                    << "builtin 1.7";
    QTest::newRow("no engines") << QByteArray(R"({"engines":[]})") << "";
    QTest::newRow("not JSON: an older service's page") << QByteArray("<html>Здесь ничего нет.</html>") << "";
    QTest::newRow("a name far too long") << QByteArray(R"({"engines":[{"name":")" + QByteArray(100, 'x') + "\"}]}")
                                         << "";
}

void TestServiceEngines::readsEngines()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, shown);
    QCOMPARE(ServiceEngines::ReadEngines(answer), shown);
}

void TestServiceEngines::asksTheService_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("shown");  // empty: nothing is said
    QTest::newRow("engines") << QByteArray("HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n"
                                           R"({"engines":[{"name":"builtin","version":"1.7"}]})")
                             << "builtin 1.7";
    QTest::newRow("an older service") << QByteArray("HTTP/1.0 404 Not Found\r\n\r\n<html>Здесь ничего нет.</html>")
                                      << "";
}

void TestServiceEngines::asksTheService()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, shown);
    ScriptedServer service;
    QVERIFY(service.Listen());
    service.AddScript({ScriptedServer::Send(answer), ScriptedServer::Close()});
    ServiceEngines engines;
    QSignalSpy answered(&engines, &ServiceEngines::Answered);
    engines.Ask(service.HostAndPort());
    QVERIFY(QTest::qWaitFor([&] { return service.Waiting() == 1; }, 10000));
    // A service that says nothing of engines gets a moment to say them all the same.
    (void)QTest::qWaitFor([&] { return !answered.isEmpty(); }, shown.isEmpty() ? 300 : 10000);
    QVERIFY(service.Requests().value(0).startsWith("GET /engines HTTP/1.0\r\n"));
    QCOMPARE(answered.size(), shown.isEmpty() ? 0 : 1);
    if (!shown.isEmpty())
        QCOMPARE(answered.first().first().toString(), shown);
}

QTEST_GUILESS_MAIN(TestServiceEngines)
#include "tst_serviceengines.moc"
