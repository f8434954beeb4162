#include "PlayTime.h"

#include <QTest>

#include <limits>

class TestPlayTime : public QObject {
    Q_OBJECT

private slots:
    void formats_data();
    void formats();
};

void TestPlayTime::formats_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << 0.0 << QStringLiteral("0:00");
    QTest::newRow("fraction is cut") << 4.99 << QStringLiteral("0:04");
    QTest::newRow("one minute") << 60.0 << QStringLiteral("1:00");
    QTest::newRow("minutes and seconds") << 754.2 << QStringLiteral("12:34");
    QTest::newRow("last second before an hour") << 3599.9 << QStringLiteral("59:59");
    QTest::newRow("an hour") << 3600.0 << QStringLiteral("1:00:00");
    QTest::newRow("hours") << 37507.0 << QStringLiteral("10:25:07");
    QTest::newRow("negative") << -3.0 << QStringLiteral("0:00");
    QTest::newRow("unknown") << std::numeric_limits<double>::quiet_NaN() << QStringLiteral("0:00");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << QStringLiteral("0:00");
}

void TestPlayTime::formats()
{
    QFETCH(double, seconds);
    QFETCH(QString, text);
    QCOMPARE(FormatPlayTime(seconds), text);
}

QTEST_APPLESS_MAIN(TestPlayTime)
#include "tst_playtime.moc"
