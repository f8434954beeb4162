#include "BodyFile.h"
#include "PartialFiles.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The files a download is written to while it arrives, and the clean-up at start that deletes the ones a crash
// left behind and nothing else.
class TestPartialFiles : public QObject {
    Q_OBJECT

private slots:
    void name_data();
    void name();
    void partialFileIsNew_data();
    void partialFileIsNew();
    void leftPartialsRemoved_data();
    void leftPartialsRemoved();
};

void TestPartialFiles::name_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Russian") << "ru_RU" << 1 << "quillon-20261207-213012.part";
    QTest::newRow("Arabic digits, second attempt") << "ar_EG" << 2 << "quillon-20261207-213012-2.part";
    QTest::newRow("Persian digits, twelfth attempt") << "fa_IR" << 12 << "quillon-20261207-213012-12.part";
}

void TestPartialFiles::name()
{
    QFETCH(QString, locale);
    QFETCH(int, attempt);
    QFETCH(QString, expected);
    const QLocale before;
    QLocale::setDefault(QLocale(locale));
    const QString name = PartialFileName(QDateTime(QDate(2026, 12, 7), QTime(21, 30, 12)), attempt);
    QLocale::setDefault(before);
    QCOMPARE(name, expected);
}

void TestPartialFiles::partialFileIsNew_data()
{
    // What holds the first names, one after the other: "file" another download's, "link" a link to a user's file,
    // "dangling" a link to a name that does not exist, "folder" a folder.
    QTest::addColumn<QStringList>("taken");
    QTest::newRow("nothing there") << QStringList{};
    QTest::newRow("a link to a user's file") << QStringList{"link"};
    QTest::newRow("a dangling link") << QStringList{"dangling"};
    QTest::newRow("a folder") << QStringList{"folder"};
    QTest::newRow("another download's, then a link") << QStringList{"file", "link"};
}

void TestPartialFiles::partialFileIsNew()
{
    QFETCH(QStringList, taken);
    QTemporaryDir folder;
    const QString users = folder.filePath(QStringLiteral("Отпуск.mkv"));
    {
        QFile file(users);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write("the user's own"), 14);
    }
    const QString missing = folder.filePath(QStringLiteral("missing"));
    const QDateTime start = QDateTime::currentDateTime();
    const QString prefix = folder.path() + u'/';
    for (qsizetype i = 0; i < taken.size(); ++i) {
        const QString name = prefix + PartialFileName(start, int(i) + 1);
        if (taken[i] == QStringLiteral("file")) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write("held"), 4);
        } else if (taken[i] == QStringLiteral("folder")) {
            QVERIFY(QDir().mkdir(name));
        } else {
            QVERIFY(QFile::link(taken[i] == QStringLiteral("link") ? users : missing, name));
        }
    }

    BodyFile partial;
    QString error;
    QVERIFY2(OpenPartialFile(partial, prefix, start, &error), qPrintable(error));
    QSignalSpy finished(&partial, &BodyFile::Finished);
    partial.Write("video");
    partial.Finish();
    QVERIFY(finished.wait());

    QCOMPARE(partial.Path(), prefix + PartialFileName(start, int(taken.size()) + 1));
    QCOMPARE(QFileInfo(partial.Path()).isSymLink(), false);
    QCOMPARE(ReadAll(partial.Path()), QByteArray("video"));
    QCOMPARE(ReadAll(users), QByteArray("the user's own"));
    QVERIFY(!QFileInfo::exists(missing));
    if (taken.value(0) == QStringLiteral("file"))
        QCOMPARE(ReadAll(prefix + PartialFileName(start)), QByteArray("held"));
}

void TestPartialFiles::leftPartialsRemoved_data()
{
    QTest::addColumn<QString>("name");
    // A running download writes it.
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("removed");

    QTest::newRow("ours") << "quillon-20261207-213012.part" << false << true;
    QTest::newRow("ours, second of its second") << "quillon-20261207-213012-2.part" << false << true;
    QTest::newRow("ours, seventeenth") << "quillon-20261207-213012-17.part" << false << true;
    QTest::newRow("ours, held by a running download") << "quillon-20261207-213012.part" << true << false;

    QTest::newRow("a user's file") << "Отпуск (2).part" << false << false;
    QTest::newRow("a browser's partial file") << "setup (1).part" << false << false;
    QTest::newRow("brackets around a word") << "archive (old).part" << false << false;
    QTest::newRow("date and time as a locale writes them") << "07.12.2026(15-00-00).part" << false << false;
    QTest::newRow("another program's extension") << "film.mkv.part" << false << false;
    QTest::newRow("capital") << "Quillon-20261207-213012.part" << false << false;
    QTest::newRow("capital extension") << "quillon-20261207-213012.PART" << false << false;
    QTest::newRow("something before") << "my-quillon-20261207-213012.part" << false << false;
    QTest::newRow("something after") << "quillon-20261207-213012.part.mkv" << false << false;
    QTest::newRow("short date") << "quillon-2026127-213012.part" << false << false;
    QTest::newRow("long time") << "quillon-20261207-2130120.part" << false << false;
    QTest::newRow("other digits") << "quillon-٢٠٢٦١٢٠٧-٢١٣٠١٢.part" << false << false;
    QTest::newRow("suffix 1, never written") << "quillon-20261207-213012-1.part" << false << false;
    QTest::newRow("suffix with a zero") << "quillon-20261207-213012-02.part" << false << false;
    QTest::newRow("suffix of letters") << "quillon-20261207-213012-x.part" << false << false;
    QTest::newRow("suffix without a number") << "quillon-20261207-213012-.part" << false << false;
    QTest::newRow("suffix in brackets") << "quillon-20261207-213012 (2).part" << false << false;
    QTest::newRow("a line break after") << "quillon-20261207-213012.part\n" << false << false;
}

void TestPartialFiles::leftPartialsRemoved()
{
    QFETCH(QString, name);
    QFETCH(bool, held);
    QFETCH(bool, removed);
    QTemporaryDir folder;
    const QString path = folder.filePath(name);
    BodyFile running;
    QString error;
    if (held) {
        QVERIFY2(running.Open(path, &error), qPrintable(error));
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("video") == 5);
    }

    RemoveLeftPartials(folder.path());

    QCOMPARE(QFile::exists(path), !removed);
}

QTEST_MAIN(TestPartialFiles)
#include "tst_partialfiles.moc"
