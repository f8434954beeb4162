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
    void safeFileName_data();
    void safeFileName();
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

void TestDefaultVideoName::safeFileName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("Cyrillic") << QStringLiteral("Закат над гаванью") << QStringLiteral("Закат над гаванью");
    QTest::newRow("emoji") << QStringLiteral("Закат 🌅 и 👨‍👩‍👧")
                           << QStringLiteral("Закат 🌅 и 👨‍👩‍👧");
    QTest::newRow("reserved characters") << QStringLiteral("a/b\\c:d*e?f\"g<h>i|j")
                                         << QStringLiteral("a-b-c-def'ghi-j");
    QTest::newRow("a colon before a blank") << QStringLiteral("Часть 1: Начало") << QStringLiteral("Часть 1 - Начало");
    QTest::newRow("control characters and NUL")
        << QStringLiteral("a\tb\nc") + QChar(0) + QStringLiteral("d\x7f e\u0085f") << QStringLiteral("a b c d e f");
    QTest::newRow("dots and blanks at the ends") << QStringLiteral("  ..скрытый. . ") << QStringLiteral("скрытый");
    QTest::newRow("only dots and blanks") << QStringLiteral(" . .. ") << QString();
    QTest::newRow("only reserved characters") << QStringLiteral("???") << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("a lone surrogate") << QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b")
                                      << QStringLiteral("ab");
    // At most 200 bytes of UTF-8, and never half a character.
    QTest::newRow("300 Cyrillic letters") << QString(300, u'я') << QString(100, u'я');
    QTest::newRow("300 Latin letters") << QString(300, u'a') << QString(200, u'a');
    QTest::newRow("an emoji that does not fit") << QString(197, u'a') + QStringLiteral("🌅") << QString(197, u'a');
    QTest::newRow("an accent with its letter") << QString(198, u'a') + QStringLiteral("e\u0301") << QString(198, u'a');
    QTest::newRow("an accent that fits") << QString(197, u'a') + QStringLiteral("e\u0301")
                                         << QString(197, u'a') + QStringLiteral("e\u0301");
    QTest::newRow("no blank left at the cut") << QString(199, u'a') + QStringLiteral(" bcd") << QString(199, u'a');
}

void TestDefaultVideoName::safeFileName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(SafeFileName(title), name);
}

QTEST_GUILESS_MAIN(TestDefaultVideoName)
#include "tst_defaultvideoname.moc"
