#include "WorkerSlots.h"
#include "YtDlpProgram.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// The worker places of yt-dlp and ffmpeg, and how the service tells which yt-dlp it can run warm.
class TestWorkerSlots : public QObject {
    Q_OBJECT

private slots:
    void sharesPlaces_data();
    void sharesPlaces();
    void freedPlaceGoesToNextInTurn();
    void inspectsYtDlp_data();
    void inspectsYtDlp();
};

void TestWorkerSlots::sharesPlaces_data()
{
    QTest::addColumn<int>("places");
    QTest::addColumn<bool>("shareByClient");
    QTest::addColumn<QStringList>("requests");  // client names in the order they ask; ".": the pool settles
    QTest::addColumn<QString>("granted");  // who has a place once everything settled; "!" marks a refusal

    QTest::newRow("one client holds all places but one") << 3 << true << QStringList{"a", "a", "a", "b"} << "aab";
    QTest::newRow("a lone place is everyone's") << 1 << true << QStringList{"a", "a"} << "a";
    QTest::newRow("a reverse proxy may take all") << 3 << false << QStringList{"a", "a", "a", "b"} << "aaa";
    QTest::newRow("past the queue bound: refused at once") << 1 << true << QStringList{"a", "b", "c", "d", "e"} << "a!";
    QTest::newRow("one client fills no more than its share of the queue")
        << 2 << true << QStringList{"a", ".", "a", "a", "a", "a", "b"} << "ab!";
}

void TestWorkerSlots::sharesPlaces()
{
    QFETCH(int, places);
    QFETCH(bool, shareByClient);
    QFETCH(QStringList, requests);
    QFETCH(QString, granted);
    WorkerSlots pool({places, 4, shareByClient});
    QObject owner;
    const QHash<QString, QHostAddress> clients{{"a", QHostAddress("10.0.0.1")},
                                               {"b", QHostAddress("10.0.0.2")},
                                               {"c", QHostAddress("10.0.0.3")},
                                               {"d", QHostAddress("10.0.0.4")},
                                               {"e", QHostAddress("10.0.0.5")}};
    QList<QPair<QString, WorkerTicket *>> tickets;
    bool refused = false;
    for (const QString &client : requests) {
        if (client == QLatin1String(".")) {
            QTest::qWait(0);
            continue;
        }
        WorkerTicket *ticket = pool.Request(clients[client], &owner);
        if (!ticket) {
            refused = true;
            continue;
        }
        QVERIFY(!ticket->IsGranted());  // never from inside Request
        tickets.append({client, ticket});
    }
    QTest::qWait(0);
    QString holders;
    for (const auto &[client, ticket] : tickets)
        if (ticket->IsGranted())
            holders += client;
    QCOMPARE(holders + (refused ? "!" : ""), granted);
}

void TestWorkerSlots::freedPlaceGoesToNextInTurn()
{
    WorkerSlots pool({2, 8, true});
    QObject owner;
    const QHostAddress a("10.0.0.1"), b("10.0.0.2");
    WorkerTicket *first = pool.Request(a, &owner);
    WorkerTicket *second = pool.Request(a, &owner);
    WorkerTicket *third = pool.Request(b, &owner);
    WorkerTicket *fourth = pool.Request(b, &owner);
    QTRY_VERIFY(first->IsGranted() && third->IsGranted());
    QVERIFY(!second->IsGranted() && !fourth->IsGranted());
    delete first;
    QTRY_VERIFY(second->IsGranted());  // a's turn came first, and a holds no place now
    QVERIFY(!fourth->IsGranted());
    QCOMPARE(pool.Taken(), 2);
}

void TestWorkerSlots::inspectsYtDlp_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QString>("launch");  // interpreter and its arguments, or the start of the refusal

    QTest::newRow("Debian's script") << QByteArray("#!/usr/bin/python3\nimport yt_dlp\n") << "/usr/bin/python3";
    QTest::newRow("pip's script in a virtual environment")
        << QByteArray("#!/opt/venv/bin/python3.11\n") << "/opt/venv/bin/python3.11";
    QTest::newRow("the release's zipapp") << QByteArray("#!/usr/bin/env python3\nPK\x03\x04") << "/usr/bin/env python3";
    QTest::newRow("a compiled stand-alone build") << QByteArray("\x7F"
                                                                "ELF\x02\x01\x01")
                                                  << "is a compiled program";
    QTest::newRow("a shell script") << QByteArray("#!/bin/sh\necho hello\n") << "is not a Python program";
    QTest::newRow("env with something else") << QByteArray("#!/usr/bin/env node\n") << "is not a Python program";
    QTest::newRow("text") << QByteArray("hello") << "is not a Python program";
}

void TestWorkerSlots::inspectsYtDlp()
{
    QFETCH(QByteArray, start);
    QFETCH(QString, launch);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("yt-dlp"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(start);
    file.close();
    const auto inspected = YtDlpProgram::Inspect(path);
    if (const auto *found = std::get_if<YtDlpLaunch>(&inspected)) {
        QCOMPARE((QStringList{found->interpreter} + found->interpreterArguments).join(QLatin1Char(' ')), launch);
        QCOMPARE(found->path, path);
    } else {
        QVERIFY2(std::get<QString>(inspected).contains(launch), qPrintable(std::get<QString>(inspected)));
    }
    QVERIFY(std::get<QString>(YtDlpProgram::Inspect(folder.filePath("missing"))).contains("does not exist"));
}

QTEST_GUILESS_MAIN(TestWorkerSlots)
#include "tst_workerslots.moc"
