#include "ConnectionPlan.h"

#include <QTest>

using namespace ConnectionPlan;

// The decisions of a fetch over several connections, from what has been measured.
class TestConnectionPlan : public QObject {
    Q_OBJECT

private slots:
    void nextCount_data();
    void nextCount();
    void soloWindow_data();
    void soloWindow();
    void splitLargest();
};

void TestConnectionPlan::nextCount_data()
{
    QTest::addColumn<int>("beforeCount");
    QTest::addColumn<double>("beforeSpeed");
    QTest::addColumn<int>("nowCount");
    QTest::addColumn<double>("nowSpeed");
    QTest::addColumn<double>("nowIdleShare");
    QTest::addColumn<int>("most");
    QTest::addColumn<int>("next");
    QTest::newRow("each added one brings as much: four times over") << 2 << 20.0 << 8 << 80.0 << 1.0 << 16 << 16;
    QTest::newRow("each brings over half the average: twice") << 2 << 20.0 << 4 << 33.0 << 1.0 << 16 << 8;
    QTest::newRow("each brings under half the average: stays") << 2 << 20.0 << 4 << 25.0 << 1.0 << 16 << 4;
    QTest::newRow("the line is full: stays") << 1 << 100.0 << 2 << 101.0 << 1.0 << 16 << 2;
    QTest::newRow("never above the most") << 1 << 10.0 << 2 << 20.0 << 1.0 << 3 << 3;
    QTest::newRow("the file's writer seldom waits for bytes: stays") << 2 << 20.0 << 8 << 80.0 << 0.1 << 16 << 8;
}

void TestConnectionPlan::nextCount()
{
    QFETCH(int, beforeCount);
    QFETCH(double, beforeSpeed);
    QFETCH(int, nowCount);
    QFETCH(double, nowSpeed);
    QFETCH(double, nowIdleShare);
    QFETCH(int, most);
    QFETCH(int, next);
    QCOMPARE(NextCount({beforeCount, beforeSpeed}, {nowCount, nowSpeed, nowIdleShare}, most), next);
}

// The first connection is measured past its first moments, from the first sample at the window's half on.
void TestConnectionPlan::soloWindow_data()
{
    QTest::addColumn<QList<qint64>>("milliseconds");
    QTest::addColumn<QList<qint64>>("megabytes");
    QTest::addColumn<QList<qint64>>("idleMs");
    QTest::addColumn<double>("megabytesPerSecond");
    QTest::addColumn<double>("idleShare");
    QTest::newRow("a fast line, slower at first")
        << QList<qint64>{20, 40, 60, 80} << QList<qint64>{19, 36, 68, 96} << QList<qint64>{0, 0, 0, 0} << 1500.0 << 0.0;
    QTest::newRow("the half sampled late: measured from there on")
        << QList<qint64>{90, 110} << QList<qint64>{100, 130} << QList<qint64>{0, 0} << 1500.0 << 0.0;
    QTest::newRow("a slow line: most of the longest window")
        << QList<qint64>{40, 1000, 2040} << QList<qint64>{0, 1, 2} << QList<qint64>{40, 990, 2030} << 1.0 << 0.995;
    QTest::newRow("a writer waiting half the time")
        << QList<qint64>{20, 40, 80} << QList<qint64>{10, 20, 40} << QList<qint64>{15, 25, 45} << 500.0 << 0.5;
}

void TestConnectionPlan::soloWindow()
{
    QFETCH(QList<qint64>, milliseconds);
    QFETCH(QList<qint64>, megabytes);
    QFETCH(QList<qint64>, idleMs);
    QFETCH(double, megabytesPerSecond);
    QFETCH(double, idleShare);
    SoloWindow window;
    for (qsizetype i = 0; i + 1 < milliseconds.size(); ++i)
        QVERIFY(!window.Sample(milliseconds[i], megabytes[i] * 1000000, idleMs[i]));
    const std::optional<Measure> measure =
        window.Sample(milliseconds.last(), megabytes.last() * 1000000, idleMs.last());
    QVERIFY(measure);
    QCOMPARE(measure->count, 1);
    QCOMPARE(measure->bytesPerSecond / 1e6, megabytesPerSecond);
    QCOMPARE(measure->idleShare, idleShare);
}

// A free connection takes the second half of the largest span; spans too short to halve stay whole.
void TestConnectionPlan::splitLargest()
{
    const std::optional<Split> split = SplitLargest({{0, 10 << 20}, {20 << 20, 60 << 20}, {70 << 20, 72 << 20}});
    QVERIFY(split);
    QCOMPARE(split->index, std::size_t(1));
    QCOMPARE(split->at, qint64(40) << 20);
    QVERIFY(!SplitLargest({{0, (2 << 20) - 1}}));
}

QTEST_MAIN(TestConnectionPlan)
#include "tst_connectionplan.moc"
