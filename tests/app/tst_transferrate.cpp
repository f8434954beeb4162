#include "TransferRate.h"

#include <QTest>

using namespace Qt::StringLiterals;

// The speed and time left shown beside the download's own texts.
class TestTransferRate : public QObject {
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void averageForgetsOldSamples();
};

void TestTransferRate::texts_data()
{
    QTest::addColumn<QList<qint64>>("samples");  // milliseconds, bytes, ...
    QTest::addColumn<qint64>("total");
    QTest::addColumn<int>("connections");
    QTest::addColumn<QString>("text");
    constexpr qint64 kMiB = 1024 * 1024;
    QTest::newRow("under a second: nothing yet") << QList<qint64>{0, 0, 900, kMiB} << qint64(0) << 1 << QString();
    QTest::newRow("no size: the speed alone")
        << QList<qint64>{0, 0, 2000, 40 * kMiB} << qint64(0) << 1 << u"Скорость: 20 МБ/с"_s;
    QTest::newRow("seconds left") << QList<qint64>{0, 0, 1000, 2 * kMiB} << 100 * kMiB << 1
                                  << u"Скорость: 2,0 МБ/с, осталось 49 с"_s;
    QTest::newRow("minutes left") << QList<qint64>{0, 0, 1000, kMiB} << 200 * kMiB << 1
                                  << u"Скорость: 1,0 МБ/с, осталось 3 мин 19 с"_s;
    QTest::newRow("hours left") << QList<qint64>{0, 0, 1000, 100 * 1024} << 4096 * kMiB << 1
                                << u"Скорость: 100 КБ/с, осталось 11 ч 39 мин"_s;
    QTest::newRow("12 connections") << QList<qint64>{0, 0, 1000, 61 * kMiB} << 793 * kMiB << 12
                                    << u"Скорость: 61 МБ/с, 12 соединений, осталось 12 с"_s;
    QTest::newRow("2 connections") << QList<qint64>{0, 0, 2000, 40 * kMiB} << qint64(0) << 2
                                   << u"Скорость: 20 МБ/с, 2 соединения"_s;
    QTest::newRow("21 connections") << QList<qint64>{0, 0, 2000, 40 * kMiB} << qint64(0) << 21
                                    << u"Скорость: 20 МБ/с, 21 соединение"_s;
}

void TestTransferRate::texts()
{
    QFETCH(QList<qint64>, samples);
    QFETCH(qint64, total);
    QFETCH(int, connections);
    QFETCH(QString, text);
    TransferRate rate;
    for (qsizetype i = 0; i + 1 < samples.size(); i += 2)
        rate.Add(samples[i], samples[i + 1]);
    QCOMPARE(rate.Text(samples.last(), total, connections), text);
}

void TestTransferRate::averageForgetsOldSamples()
{
    TransferRate rate;
    // Fast at first, then a steady 1 MiB/s for longer than the window.
    rate.Add(0, 0);
    rate.Add(1000, 100 << 20);
    for (qint64 second = 2; second <= 10; ++second)
        rate.Add(second * 1000, (100 << 20) + (second - 1) * (1 << 20));
    QCOMPARE(rate.BytesPerSecond().value_or(0), double(1 << 20));
    // A smaller count is a new download.
    rate.Add(11000, 0);
    QVERIFY(!rate.BytesPerSecond());
}

QTEST_MAIN(TestTransferRate)
#include "tst_transferrate.moc"
