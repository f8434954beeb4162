#include "IniNumber.h"

#include <QTest>

#include <limits>

// The number RINIi takes from a stored text.
class TestIniNumber : public QObject {
    Q_OBJECT

private slots:
    void readsLeadingNumbers_data();
    void readsLeadingNumbers();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();
    void refusesWhatDoesNotFit_data();
    void refusesWhatDoesNotFit();
};

void TestIniNumber::readsLeadingNumbers_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("number");

    QTest::newRow("digits then letters") << QByteArray("12abc") << 12.0;
    QTest::newRow("fraction") << QByteArray("2.5") << 2.5;
    QTest::newRow("empty") << QByteArray() << 0.0;
    QTest::newRow("letters") << QByteArray("abc") << 0.0;
    QTest::newRow("negative") << QByteArray("-7") << -7.0;
    QTest::newRow("plus sign") << QByteArray("+7") << 7.0;
    QTest::newRow("two signs") << QByteArray("--7") << 0.0;
    QTest::newRow("leading point") << QByteArray(".5") << 0.5;
    QTest::newRow("lone point") << QByteArray(".") << 0.0;
    QTest::newRow("trailing point") << QByteArray("3.") << 3.0;
    QTest::newRow("second point stops") << QByteArray("1.2.3") << 1.2;
    QTest::newRow("blanks tabs and line feeds skipped") << QByteArray(" \t1 2\n3x") << 123.0;
    QTest::newRow("exponent") << QByteArray("1.5e3") << 1500.0;
    QTest::newRow("exponent with D") << QByteArray("2D2") << 200.0;
    QTest::newRow("negative exponent") << QByteArray("25E-1") << 2.5;
    QTest::newRow("exponent without digits") << QByteArray("4e") << 4.0;
    QTest::newRow("exponent sign without digits") << QByteArray("4e+") << 4.0;
    QTest::newRow("hexadecimal") << QByteArray("&H1F") << 31.0;
    QTest::newRow("hexadecimal small letters") << QByteArray("&hff") << 255.0;
    QTest::newRow("hexadecimal stops") << QByteArray("&H1G") << 1.0;
    QTest::newRow("octal") << QByteArray("&O17") << 15.0;
    QTest::newRow("octal stops at 8") << QByteArray("&o78") << 7.0;
    QTest::newRow("ampersand alone") << QByteArray("&") << 0.0;
    QTest::newRow("ampersand other") << QByteArray("&X1") << 0.0;
    QTest::newRow("tiny") << QByteArray("1e-400") << 0.0;
    QTest::newRow("huge") << QByteArray("1e400") << std::numeric_limits<double>::infinity();
    QTest::newRow("huge negative") << QByteArray("-1e400") << -std::numeric_limits<double>::infinity();
}

void TestIniNumber::readsLeadingNumbers()
{
    QFETCH(QByteArray, text);
    QFETCH(double, number);
    QCOMPARE(ReadLeadingNumber(text), number);
}

void TestIniNumber::roundsHalvesToEven_data()
{
    QTest::addColumn<double>("number");
    QTest::addColumn<int>("integer");

    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("2.4") << 2.4 << 2;
    QTest::newRow("2.6") << 2.6 << 3;
    QTest::newRow("highest") << 32767.0 << 32767;
    QTest::newRow("lowest") << -32768.0 << -32768;
    QTest::newRow("lowest minus a half") << -32768.5 << -32768;
    QTest::newRow("highest plus a little") << 32767.4 << 32767;
}

void TestIniNumber::roundsHalvesToEven()
{
    QFETCH(double, number);
    QFETCH(int, integer);
    QCOMPARE(int(RoundToInteger16(number)), integer);
}

void TestIniNumber::refusesWhatDoesNotFit_data()
{
    QTest::addColumn<double>("number");

    QTest::newRow("40000") << 40000.0;
    QTest::newRow("32767.5 rounds up to 32768") << 32767.5;
    QTest::newRow("-32769") << -32769.0;
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
}

void TestIniNumber::refusesWhatDoesNotFit()
{
    QFETCH(double, number);
    QVERIFY_THROWS_EXCEPTION(IniOverflow, RoundToInteger16(number));
}

QTEST_GUILESS_MAIN(TestIniNumber)
#include "tst_ininumber.moc"
