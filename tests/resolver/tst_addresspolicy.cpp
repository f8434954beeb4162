#include "AddressPolicy.h"

#include <QTest>

using AddressPolicy::AddressKind;

class TestAddressPolicy : public QObject {
    Q_OBJECT

private slots:
    void classifiesAddresses_data();
    void classifiesAddresses();
    void knowsItsOwnAddresses();
};

void TestAddressPolicy::classifiesAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<AddressKind>("kind");

    QTest::newRow("public v4") << "93.184.216.34" << AddressKind::Public;
    QTest::newRow("public v4 next to private") << "172.32.0.1" << AddressKind::Public;
    QTest::newRow("loopback") << "127.0.0.1" << AddressKind::Loopback;
    QTest::newRow("loopback range") << "127.255.1.2" << AddressKind::Loopback;
    QTest::newRow("10/8") << "10.1.2.3" << AddressKind::Private;
    QTest::newRow("172.16/12 low") << "172.16.0.1" << AddressKind::Private;
    QTest::newRow("172.16/12 high") << "172.31.255.255" << AddressKind::Private;
    QTest::newRow("192.168/16") << "192.168.1.1" << AddressKind::Private;
    QTest::newRow("carrier-grade NAT") << "100.64.0.1" << AddressKind::Private;
    QTest::newRow("link-local v4") << "169.254.169.254" << AddressKind::LinkLocal;
    QTest::newRow("multicast v4") << "224.0.0.1" << AddressKind::Multicast;
    QTest::newRow("unspecified v4") << "0.0.0.0" << AddressKind::Unspecified;
    QTest::newRow("this network") << "0.1.2.3" << AddressKind::Reserved;
    QTest::newRow("broadcast") << "255.255.255.255" << AddressKind::Reserved;
    QTest::newRow("documentation v4") << "192.0.2.5" << AddressKind::Reserved;
    QTest::newRow("benchmarking") << "198.19.0.1" << AddressKind::Reserved;
    QTest::newRow("public v6") << "2a00:1450:4001::1" << AddressKind::Public;
    QTest::newRow("loopback v6") << "::1" << AddressKind::Loopback;
    QTest::newRow("unspecified v6") << "::" << AddressKind::Unspecified;
    QTest::newRow("unique local") << "fd12:3456::1" << AddressKind::Private;
    QTest::newRow("link-local v6") << "fe80::1" << AddressKind::LinkLocal;
    QTest::newRow("multicast v6") << "ff02::1" << AddressKind::Multicast;
    QTest::newRow("documentation v6") << "2001:db8::1" << AddressKind::Reserved;
    QTest::newRow("v4-mapped loopback") << "::ffff:127.0.0.1" << AddressKind::Loopback;
    QTest::newRow("v4-mapped private") << "::ffff:10.0.0.1" << AddressKind::Private;
    QTest::newRow("v4-mapped public") << "::ffff:93.184.216.34" << AddressKind::Public;
    QTest::newRow("NAT64 of private") << "64:ff9b::192.168.0.1" << AddressKind::Private;
    QTest::newRow("6to4 of loopback") << "2002:7f00:1::1" << AddressKind::Loopback;
    QTest::newRow("NAT64 of public") << "64:ff9b::93.184.216.34" << AddressKind::Public;
    QTest::newRow("IPv4-translated loopback") << "::ffff:0:127.0.0.1" << AddressKind::Loopback;
    QTest::newRow("IPv4-translated private") << "::ffff:0:10.1.2.3" << AddressKind::Private;
    QTest::newRow("local NAT64 /96 of private") << "64:ff9b:1::192.168.0.1" << AddressKind::Private;
    // Public where the other prefix lengths would put the address.
    QTest::newRow("local NAT64 /64 of private") << "64:ff9b:1:0:a:102:35d:b8d8" << AddressKind::Private;
    QTest::newRow("local NAT64 /48 of loopback") << "64:ff9b:1:7f05:6:101:5db8:d822" << AddressKind::Loopback;
}

void TestAddressPolicy::classifiesAddresses()
{
    QFETCH(QString, address);
    QFETCH(AddressKind, kind);
    const QHostAddress parsed(address);
    QVERIFY(!parsed.isNull());
    QCOMPARE(AddressPolicy::ClassifyAddress(parsed), kind);
    QCOMPARE(AddressPolicy::IsPublic(parsed), kind == AddressKind::Public);
}

void TestAddressPolicy::knowsItsOwnAddresses()
{
    const QList<QHostAddress> own{QHostAddress("203.0.113.7"), QHostAddress("2001:db8::7")};
    QVERIFY(AddressPolicy::IsOwnAddress(QHostAddress("203.0.113.7"), own));
    QVERIFY(AddressPolicy::IsOwnAddress(QHostAddress("::ffff:203.0.113.7"), own));
    QVERIFY(AddressPolicy::IsOwnAddress(QHostAddress("2001:db8::7"), own));
    QVERIFY(!AddressPolicy::IsOwnAddress(QHostAddress("203.0.113.8"), own));
}

QTEST_GUILESS_MAIN(TestAddressPolicy)
#include "tst_addresspolicy.moc"
