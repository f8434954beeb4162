#include "NameLookup.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

// Name lookups against a name server on loopback that never answers.
class TestNameLookup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void answersAnAddressWithoutAsking_data();
    void answersAnAddressWithoutAsking();
    void stopsAskingWhenDeleted();
    void givesUpOnASilentServer();

private:
    QString Servers() const { return QStringLiteral("127.0.0.1:%1").arg(silent.localPort()); }
    int Queries();

    QUdpSocket silent;
};

void TestNameLookup::initTestCase()
{
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
}

int TestNameLookup::Queries()
{
    int queries = 0;
    while (silent.hasPendingDatagrams()) {
        silent.receiveDatagram();
        ++queries;
    }
    return queries;
}

void TestNameLookup::answersAnAddressWithoutAsking_data()
{
    QTest::addColumn<QString>("host");
    QTest::newRow("IPv4") << "93.184.216.34";
    QTest::newRow("IPv6") << "2a00:1450:4001::1";
}

void TestNameLookup::answersAnAddressWithoutAsking()
{
    QFETCH(QString, host);
    Queries();
    NameLookup lookup(Servers());
    QSignalSpy finished(&lookup, &NameLookup::Finished);
    lookup.Start(host);
    QVERIFY(finished.wait(5000));
    QCOMPARE(finished.first().first().value<QList<QHostAddress>>(), QList<QHostAddress>{QHostAddress(host)});
    QTest::qWait(100);
    QCOMPARE(Queries(), 0);  // no lookup, forward or reverse
}

void TestNameLookup::stopsAskingWhenDeleted()
{
    Queries();
    {
        NameLookup lookup(Servers());
        lookup.Start(QStringLiteral("never.example"));
        QTRY_VERIFY(silent.hasPendingDatagrams());
    }
    Queries();
    // The lookup would ask again after its two seconds; a deleted one asks nobody anything.
    QTest::qWait(3000);
    QCOMPARE(Queries(), 0);
}

void TestNameLookup::givesUpOnASilentServer()
{
    NameLookup lookup(Servers());
    QSignalSpy finished(&lookup, &NameLookup::Finished);
    lookup.Start(QStringLiteral("never.example"));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
    QVERIFY(finished.first().first().value<QList<QHostAddress>>().isEmpty());
}

QTEST_GUILESS_MAIN(TestNameLookup)
#include "tst_namelookup.moc"
