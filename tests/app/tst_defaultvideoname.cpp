#include "DefaultVideoName.h"

#include <QTest>

class TestDefaultVideoName : public QObject {
    Q_OBJECT

private slots:
    void name_data();
    void name();
    void usesDefaultLocale();
    void timeFormatHasSecondsNoZone_data();
    void timeFormatHasSecondsNoZone();
    void shortDateText();
};

void TestDefaultVideoName::name_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("expected");

    const QDate day(2026, 12, 6);
    QTest::newRow("ru morning") << "ru_RU" << QDateTime(day, QTime(10, 31, 7)) << "flv"
                                << "06.12.2026(10-31-07).flv";
    QTest::newRow("ru leading zeros") << "ru_RU" << QDateTime(day, QTime(9, 5, 0)) << "flv"
                                      << "06.12.2026(09-05-00).flv";
    QTest::newRow("ru evening") << "ru_RU" << QDateTime(QDate(2027, 1, 2), QTime(23, 59, 59)) << "flv"
                                << "02.01.2027(23-59-59).flv";
    QTest::newRow("en slashes become points") << "en_US" << QDateTime(day, QTime(10, 31, 7)) << "flv"
                                              << "12.6.26(10-31-07 AM).flv";
    QTest::newRow("en afternoon") << "en_US" << QDateTime(day, QTime(21, 5, 0)) << "flv"
                                  << "12.6.26(9-05-00 PM).flv";
    QTest::newRow("en GB") << "en_GB" << QDateTime(day, QTime(9, 5, 0)) << "flv"
                           << "06.12.2026(09-05-00).flv";
    QTest::newRow("ru, MP4") << "ru_RU" << QDateTime(day, QTime(10, 31, 7)) << "mp4"
                             << "06.12.2026(10-31-07).mp4";
    QTest::newRow("en, WebM") << "en_US" << QDateTime(day, QTime(21, 5, 0)) << "webm"
                              << "12.6.26(9-05-00 PM).webm";
}

void TestDefaultVideoName::name()
{
    QFETCH(QString, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, extension);
    QFETCH(QString, expected);
    QCOMPARE(DefaultVideoName(when, QLocale(locale), extension), expected);
}

void TestDefaultVideoName::usesDefaultLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QStringLiteral("ru_RU")));
    const QString name = DefaultVideoName(QDateTime(QDate(2026, 12, 6), QTime(10, 31, 7)));
    QLocale::setDefault(before);
    QCOMPARE(name, QStringLiteral("06.12.2026(10-31-07).flv"));
}

void TestDefaultVideoName::timeFormatHasSecondsNoZone_data()
{
    QTest::addColumn<QString>("locale");
    for (const char *name : {"ru_RU", "en_US", "de_DE", "fr_FR", "ja_JP", "uk_UA", "zh_CN", "ar_EG"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestDefaultVideoName::timeFormatHasSecondsNoZone()
{
    QFETCH(QString, locale);
    const QLocale chosen(locale);
    const QString format = TimeFormatWithSeconds(chosen);
    QVERIFY2(format.contains(QLatin1Char('s')), qPrintable(format));
    QVERIFY2(!format.contains(QLatin1Char('t')), qPrintable(format));
    const QString name = DefaultVideoName(QDateTime(QDate(2026, 12, 6), QTime(10, 31, 7)), chosen);
    QVERIFY2(!name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char(':')), qPrintable(name));
    QVERIFY2(name.endsWith(QStringLiteral(").flv")), qPrintable(name));
    // The seconds are there, in the locale's own digits.
    QVERIFY2(name.contains(chosen.toString(QTime(10, 31, 7), QStringLiteral("ss"))), qPrintable(name));
}

void TestDefaultVideoName::shortDateText()
{
    QCOMPARE(ShortDateText(QDate(2026, 12, 6), QLocale(QStringLiteral("ru_RU"))), QStringLiteral("06.12.2026"));
    QCOMPARE(ShortDateText(QDate(2026, 12, 6), QLocale(QStringLiteral("en_US"))), QStringLiteral("12/6/26"));
}

QTEST_GUILESS_MAIN(TestDefaultVideoName)
#include "tst_defaultvideoname.moc"
