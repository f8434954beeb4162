#include "UpdateCheck.h"

#include <QTest>

class TestUpdateCheck : public QObject {
    Q_OBJECT

private slots:
    void due_data();
    void due();
    void judge_data();
    void judge();
    void offerText();
};

void TestUpdateCheck::due_data()
{
    QTest::addColumn<QString>("lastCheck");
    QTest::addColumn<QString>("checkUpgrade");
    QTest::addColumn<bool>("due");
    QTest::newRow("never checked") << ""
                                   << "1" << true;
    QTest::newRow("yesterday") << "05.12.2026"
                               << "1" << true;
    QTest::newRow("today") << "06.12.2026"
                           << "1" << false;
    QTest::newRow("not allowed") << "05.12.2026"
                                 << "0" << false;
    QTest::newRow("allowed unset") << ""
                                   << "" << false;
    QTest::newRow("only exactly 1") << ""
                                    << "1 " << false;
    QTest::newRow("True is not 1") << ""
                                   << "True" << false;
    QTest::newRow("other date text") << "12/6/26"
                                     << "1" << true;
}

void TestUpdateCheck::due()
{
    QFETCH(QString, lastCheck);
    QFETCH(QString, checkUpgrade);
    QFETCH(bool, due);
    QCOMPARE(UpdateCheck::IsDue(lastCheck, checkUpgrade, QStringLiteral("06.12.2026")), due);
}

void TestUpdateCheck::judge_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("versionLike");
    QTest::addColumn<bool>("offer");
    QTest::addColumn<QString>("remote");
    QTest::newRow("same") << QByteArray("2.4") << true << false << "2.4";
    // Mended: white space around the answer is no new version.
    QTest::newRow("same with line break") << QByteArray("2.4\r\n") << true << false << "2.4";
    QTest::newRow("same with blanks") << QByteArray(" \t2.4 \n") << true << false << "2.4";
    QTest::newRow("newer") << QByteArray("1.8") << true << true << "1.8";
    // Mended: a version of another length is still a version, and marks the day.
    QTest::newRow("four characters") << QByteArray("1.10") << true << true << "1.10";
    QTest::newRow("two characters") << QByteArray("2\n") << true << true << "2";
    QTest::newRow("sixteen") << QByteArray("1.2.3.4.5.6.7.89") << true << true << "1.2.3.4.5.6.7.89";
    QTest::newRow("seventeen") << QByteArray("1.2.3.4.5.6.7.890") << false << false << "";
    QTest::newRow("older is also offered") << QByteArray("1.6") << true << true << "1.6";
    QTest::newRow("error page") << QByteArray("<html>404</html>") << false << false << "";
    QTest::newRow("letters") << QByteArray("2.4b") << false << false << "";
    QTest::newRow("empty") << QByteArray() << false << false << "";
    QTest::newRow("only dots") << QByteArray("...") << false << false << "";
    QTest::newRow("inner blank") << QByteArray("1. 7") << false << false << "";
    QTest::newRow("nul byte") << QByteArray("2.4\0", 4) << false << false << "";
}

void TestUpdateCheck::judge()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, versionLike);
    QFETCH(bool, offer);
    QFETCH(QString, remote);
    const UpdateCheck::Verdict verdict = UpdateCheck::Judge(answer, QStringLiteral("2.4"));
    QCOMPARE(verdict.VersionLike, versionLike);
    QCOMPARE(verdict.Offer, offer);
    QCOMPARE(verdict.Remote, remote);
}

void TestUpdateCheck::offerText()
{
    QCOMPARE(UpdateCheck::OfferTitle(), QStringLiteral("Обнаружена новая версия"));
    QCOMPARE(UpdateCheck::OfferText(QStringLiteral("2.4"), QStringLiteral("1.8")),
             QStringLiteral("Обнаружена новая версия программы.\r\n\r\n"
                            "Ваша версия: 2.4, версия на сайте разработчика: 1.8\r\n\r\n"
                            "Перейти на страницу с описанием новой версии?"));
}

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
