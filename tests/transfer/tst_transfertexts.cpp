#include "TransferTexts.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Kind = Outcome::Kind;

class TestTransferTexts : public QObject {
    Q_OBJECT

private slots:
    void winsockNumbers_data();
    void winsockNumbers();
    void connectionFailed_data();
    void connectionFailed();
    void outcomeTexts_data();
    void outcomeTexts();
    void statusTexts();
    void readableSizes_data();
    void readableSizes();
    void timeLimitTexts();
    void certificateTexts_data();
    void certificateTexts();
    void tunnelTexts();
};

void TestTransferTexts::winsockNumbers_data()
{
    QTest::addColumn<QAbstractSocket::SocketError>("error");
    QTest::addColumn<int>("number");
    QTest::newRow("refused") << QAbstractSocket::ConnectionRefusedError << 10061;
    QTest::newRow("timed out") << QAbstractSocket::SocketTimeoutError << 10060;
    QTest::newRow("reset") << QAbstractSocket::RemoteHostClosedError << 10054;
    QTest::newRow("host not found") << QAbstractSocket::HostNotFoundError << 11001;
    QTest::newRow("unreachable") << QAbstractSocket::NetworkError << 10065;
    QTest::newRow("other: access") << QAbstractSocket::SocketAccessError << 10003;
    QTest::newRow("other: resources") << QAbstractSocket::SocketResourceError << 10004;
}

void TestTransferTexts::winsockNumbers()
{
    QFETCH(QAbstractSocket::SocketError, error);
    QFETCH(int, number);
    QCOMPARE(WinsockErrorNumber(error), number);
    QCOMPARE(TransferTexts::ConnectionError(number), u"Ошибка подключения #"_s + QString::number(number));
}

void TestTransferTexts::connectionFailed_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("proxy");
    QTest::addColumn<QString>("text");
    const QString prefix = u"Ошибка подключения #"_s;
    QTest::newRow("refused") << 10061 << false
                             << prefix
            + u"10061: сервер h.test:8397 не принимает подключения (не запущен или порт закрыт)"_s;
    QTest::newRow("proxy refused") << 10061 << true
                                   << prefix
            + u"10061: прокси-сервер h.test:8397 не принимает подключения (не запущен или порт закрыт)"_s;
    QTest::newRow("host not found") << 11001 << false
                                    << prefix
            + u"11001: сервер h.test:8397 не найден: проверьте имя сервера и подключение к сети"_s;
    QTest::newRow("timed out") << 10060 << false << prefix + u"10060: сервер h.test:8397 не отвечает"_s;
    QTest::newRow("unreachable") << 10065 << true
                                 << prefix + u"10065: прокси-сервер h.test:8397 недоступен: нет пути к нему в сети"_s;
    QTest::newRow("reset") << 10054 << false << prefix + u"10054: сервер h.test:8397 сбросил соединение"_s;
    QTest::newRow("other") << 10003 << false << prefix + u"10003: сбой сети при подключении к серверу h.test:8397"_s;
    QTest::newRow("other, proxy") << 10003 << true
                                  << prefix + u"10003: сбой сети при подключении к прокси-серверу h.test:8397"_s;
}

void TestTransferTexts::connectionFailed()
{
    QFETCH(int, number);
    QFETCH(bool, proxy);
    QFETCH(QString, text);
    QCOMPARE(TransferTexts::ConnectionFailed(number, u"h.test:8397"_s, proxy), text);
}

void TestTransferTexts::outcomeTexts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::addColumn<QString>("text");
    QTest::newRow("success has none") << int(Kind::Success) << QByteArray("HTTP/1.0 200 OK") << QString();
    QTest::newRow("redirect has none") << int(Kind::Redirect) << QByteArray("HTTP/1.0 302 Found") << QString();
    QTest::newRow("server error names the line")
        << int(Kind::ServerError) << QByteArray("HTTP/1.1 503 Busy") << u"Ошибка сервера: HTTP/1.1 503 Busy"_s;
    QTest::newRow("control bytes of the line are blanked")
        << int(Kind::ServerError) << QByteArray("HTTP/1.1 500 a\tb\x01") << u"Ошибка сервера: HTTP/1.1 500 a b "_s;
    QTest::newRow("windows-1251 reason") << int(Kind::ServerError) << QByteArray("HTTP/1.1 404 \xCD\xE5\xF2")
                                         << u"Ошибка сервера: HTTP/1.1 404 Нет"_s;
    QTest::newRow("proxy refused") << int(Kind::ProxyRefused) << QByteArray()
                                   << u"Ошибка авторизации на прокси-сервере"_s;
    QTest::newRow("proxy wants a login") << int(Kind::ProxyWantsLogin) << QByteArray()
                                         << u"Прокси-сервер требует авторизации: включите её в настройках и укажите "
                                            u"логин и пароль"_s;
    QTest::newRow("proxy login, but no proxy")
        << int(Kind::ProxyLoginWithoutProxy) << QByteArray()
        << u"Сервер требует авторизации на прокси-сервере, хотя соединение с ним идёт напрямую, без прокси-сервера"_s;
    QTest::newRow("empty") << int(Kind::Empty) << QByteArray() << u"Сервер закрыл соединение, ничего не ответив"_s;
    QTest::newRow("bad length names it") << int(Kind::BadLength) << QByteArray("1,029")
                                         << u"Ответ сервера не распознан: неверная длина (Content-Length: 1,029)"_s;
    QTest::newRow("unknown coding names it")
        << int(Kind::UnknownCoding) << QByteArray("gzip, chunked")
        << u"Ответ сервера передан в кодировке, которую программа не понимает (Transfer-Encoding: gzip, chunked)"_s;
    QTest::newRow("broken chunks")
        << int(Kind::BrokenChunks) << QByteArray()
        << u"Ответ сервера не распознан: нарушена разбивка на части (Transfer-Encoding: chunked)"_s;
}

void TestTransferTexts::outcomeTexts()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, statusLine);
    QFETCH(QString, text);
    Outcome outcome;
    outcome.kind = Kind(kind);
    // The column holds the status line, or the header value the text names.
    outcome.statusLine = statusLine;
    outcome.headerValue = statusLine;
    QCOMPARE(TransferTexts::OutcomeError(outcome), text);
}

void TestTransferTexts::statusTexts()
{
    QCOMPARE(TransferTexts::Connecting(u"host:81"_s), u"Подключение к host:81..."_s);
    QCOMPARE(TransferTexts::RequestSent(), u"Отправлен запрос..."_s);
    // Two blanks after the colon, as the label has always shown.
    QCOMPARE(TransferTexts::Receiving(1024), u"Загрузка данных:  1024 Bytes"_s);
    QCOMPARE(TransferTexts::Receiving(5000000000LL), u"Загрузка данных:  5000000000 Bytes"_s);
    QCOMPARE(TransferTexts::Finished(), u"Завершено"_s);
    QCOMPARE(TransferTexts::StoppedByUser(), u"Загрузка остановлена"_s);
    QCOMPARE(TransferTexts::ServerLine(u"host"_s), u"Сервер: host"_s);
    QCOMPARE(TransferTexts::ResumingFrom(qint64(512) << 20, 2, 5),
             u"Соединение прервано, продолжаю с 512 МБ (попытка 2 из 5)"_s);
}

void TestTransferTexts::readableSizes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("bytes") << qint64(1023) << u"1023 байт"_s;
    QTest::newRow("KiB, whole") << qint64(1536) << u"1 КБ"_s;
    QTest::newRow("MiB below 10, one decimal") << qint64(3 * 1024 * 1024 + 300000) << u"3,3 МБ"_s;
    QTest::newRow("MiB, whole") << qint64(512) * 1024 * 1024 << u"512 МБ"_s;
    QTest::newRow("GiB, one decimal") << qint64(4) * 1024 * 1024 * 1024 << u"4,0 ГБ"_s;
}

void TestTransferTexts::readableSizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(TransferTexts::ReadableSize(bytes), text);
}

void TestTransferTexts::timeLimitTexts()
{
    QCOMPARE(TransferTexts::Seconds(std::chrono::milliseconds(30000)), 30);
    QCOMPARE(TransferTexts::Seconds(std::chrono::milliseconds(300)), 1);
    QCOMPARE(TransferTexts::ConnectTimedOut(u"host:81"_s, 30),
             u"Не удалось подключиться к серверу host:81 за 30 с: он не отвечает"_s);
    QCOMPARE(TransferTexts::ProxyConnectTimedOut(u"proxy"_s, 3128, 30),
             u"Не удалось подключиться к прокси-серверу proxy:3128 за 30 с: он не отвечает"_s);
    QCOMPARE(TransferTexts::SilenceTimedOut(u"h%1"_s, 60, 1024),
             u"Данные не приходят больше 60 с: загрузка с h%1 прервана (получено 1024 байт)"_s);
}

void TestTransferTexts::certificateTexts_data()
{
    using E = QSslError;
    QTest::addColumn<QList<QSslError>>("errors");
    QTest::addColumn<QString>("reasons");
    const QString untrusted = u"он не заверен доверенным центром сертификации"_s;
    QTest::newRow("unknown issuer") << QList<E>{E(E::UnableToGetLocalIssuerCertificate)} << untrusted;
    QTest::newRow("one reason named once")
        << QList<E>{E(E::UnableToGetLocalIssuerCertificate), E(E::UnableToVerifyFirstCertificate)} << untrusted;
    QTest::newRow("self-signed") << QList<E>{E(E::SelfSignedCertificate)} << untrusted;
    QTest::newRow("expired") << QList<E>{E(E::CertificateExpired)} << u"срок его действия истёк"_s;
    QTest::newRow("not yet valid") << QList<E>{E(E::CertificateNotYetValid)} << u"срок его действия ещё не начался"_s;
    QTest::newRow("other name") << QList<E>{E(E::HostNameMismatch)} << u"он выдан для другого имени сервера"_s;
    QTest::newRow("revoked") << QList<E>{E(E::CertificateRevoked)} << u"он отозван"_s;
    QTest::newRow("every reason, in order") << QList<E>{E(E::CertificateExpired), E(E::HostNameMismatch)}
                                            << u"срок его действия истёк; он выдан для другого имени сервера"_s;
    QTest::newRow("none given") << QList<E>{} << u"причина не сообщена"_s;
}

void TestTransferTexts::certificateTexts()
{
    QFETCH(QList<QSslError>, errors);
    QFETCH(QString, reasons);
    QCOMPARE(TransferTexts::CertificateRejected(u"host:8443"_s, errors),
             u"Сертификат сервера host:8443 не прошёл проверку: "_s + reasons);
}

void TestTransferTexts::tunnelTexts()
{
    QCOMPARE(TransferTexts::TunnelRefused(u"host"_s, "HTTP/1.0 403 Access\tviolation"),
             u"Прокси-сервер отказал в соединении с host: HTTP/1.0 403 Access violation"_s);
    QCOMPARE(TransferTexts::TunnelClosed(u"host"_s), u"Прокси-сервер закрыл соединение, не открыв путь к host"_s);
    QCOMPARE(TransferTexts::TunnelAnswerTooLarge(), u"Заголовок ответа прокси-сервера слишком велик (более 64 КБ)"_s);
    QCOMPARE(TransferTexts::HandshakeFailed(u"host"_s, u"wrong version number"_s),
             u"Не удалось установить защищённое соединение с host (ошибка TLS: wrong version number)"_s);
}

QTEST_GUILESS_MAIN(TestTransferTexts)
#include "tst_transfertexts.moc"
