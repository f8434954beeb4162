#include "Exchange.h"
#include "ScriptedServer.h"
#include "TransferTexts.h"

#include <QTest>

using namespace Qt::StringLiterals;
using S = ScriptedServer;

// One exchange alone on a scripted server: how it ends, and that a handler which dismisses it from inside any of
// its reports hears nothing more of it.
class TestExchange : public QObject {
    Q_OBJECT

private slots:
    void endsAndDismissals_data();
    void endsAndDismissals();
};

void TestExchange::endsAndDismissals_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("dismissAt");  // the report whose handler dismisses the exchange; "" for none
    QTest::addColumn<QStringList>("expected");  // the reports, the end last

    const QByteArray ok = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
    const QStringList opening{u"Percent:0"_s, u"Size:0"_s, u"Msg:%1"_s, u"Server:"_s, u"Msg:Отправлен запрос..."_s};
    const QStringList okArrival{u"Msg:"_s + TransferTexts::Receiving(ok.size()), u"Size:2"_s, u"Percent:100"_s};
    QTest::newRow("success") << ok << QString()
                             << opening + okArrival + QStringList{u"Msg:Завершено"_s, u"End:answered 0 ok"_s};
    const QByteArray moved = "HTTP/1.0 302 Found\r\nLocation: /v.flv\r\n\r\n";
    QTest::newRow("redirect") << moved << QString()
                              << opening
            + QStringList{u"Msg:"_s + TransferTexts::Receiving(moved.size()), u"Msg:Завершено"_s,
                          u"End:answered 1 /v.flv"_s};
    QTest::newRow("broken chunks") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")
                                   << QString() << opening + QStringList{u"End:broken"_s};
    for (const QString &at : opening + okArrival) {
        const QStringList heard = opening.contains(at) ? opening.mid(0, opening.indexOf(at) + 1)
                                                       : opening + okArrival.mid(0, okArrival.indexOf(at) + 1);
        QTest::newRow(qPrintable(u"dismissed at "_s + at)) << ok << at << heard;
    }
}

void TestExchange::endsAndDismissals()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, dismissAt);
    QFETCH(QStringList, expected);
    ScriptedServer server;
    QVERIFY(server.Listen());
    server.AddScript({S::Send(answer), S::Close()});
    ExchangeRequest request;
    request.serverName = server.HostAndPort();
    request.server = *SplitHostPort(request.serverName);
    request.pageName = u"/v"_s;
    ExchangePtr exchange(new Exchange(request, ExchangeLimits()));

    QStringList events;
    bool ended = false;
    const auto note = [&](const QString &event) {
        // The line the test expects names the server only by its place.
        events << (event == u"Msg:"_s + TransferTexts::Connecting(request.serverName) ? u"Msg:%1"_s
                       : event.startsWith(u"Server:")                                 ? u"Server:"_s
                                                                                      : event);
        if (!dismissAt.isEmpty() && events.last() == dismissAt)
            exchange.reset();
    };
    connect(exchange.get(), &Exchange::Msg, this, [&](const QString &text) { note(u"Msg:"_s + text); });
    connect(exchange.get(), &Exchange::ServerLine, this, [&](const QString &text) { note(u"Server:"_s + text); });
    connect(exchange.get(), &Exchange::FLVsize, this, [&](qint64 size) { note(u"Size:"_s + QString::number(size)); });
    connect(exchange.get(), &Exchange::PercentOfLoad, this,
            [&](int perc) { note(u"Percent:"_s + QString::number(perc)); });
    connect(exchange.get(), &Exchange::Ended, this, [&](const ExchangeEnd &end) {
        ended = true;
        if (end.kind == ExchangeEnd::Kind::Broken)
            return note(u"End:broken"_s);
        const bool redirect = end.outcome.kind == Outcome::Kind::Redirect;
        note(u"End:answered %1 %2"_s.arg(int(redirect))
                 .arg(QString::fromLatin1(redirect ? end.outcome.location : end.body)));
    });
    exchange->Start(true);

    if (dismissAt.isEmpty()) {
        QTRY_VERIFY_WITH_TIMEOUT(ended, 20000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!exchange, 20000);
        // Whatever the server still sends or closes would come now: it reaches no one.
        QTest::qWait(200);
    }
    QCOMPARE(events, expected);
    QCOMPARE(ended, dismissAt.isEmpty());
    exchange.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QTEST_GUILESS_MAIN(TestExchange)
#include "tst_exchange.moc"
