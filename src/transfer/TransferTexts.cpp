#include "TransferTexts.h"

#include "Windows1251.h"

#include <QLocale>
#include <QStringList>

namespace {

// A status line is the server's text: keep it short and free of control characters on a label.
QString Printable(const QByteArray &bytes)
{
    QString text = Windows1251::Decode(QByteArrayView(bytes).first(std::min<qsizetype>(bytes.size(), 200)));
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    return text;
}

// What the user can make of a certificate error; Qt's own text only for the rare ones.
QString CertificateReason(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::CertificateRejected:
    case QSslError::InvalidCaCertificate:
        return QStringLiteral("он не заверен доверенным центром сертификации");
    case QSslError::CertificateExpired:
        return QStringLiteral("срок его действия истёк");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("срок его действия ещё не начался");
    case QSslError::HostNameMismatch:
        return QStringLiteral("он выдан для другого имени сервера");
    case QSslError::CertificateRevoked:
        return QStringLiteral("он отозван");
    default:
        return error.errorString();
    }
}

}  // namespace

namespace TransferTexts {

QString Connecting(const QString &serverName)
{
    return QStringLiteral("Подключение к ") + serverName + QStringLiteral("...");
}

QString RequestSent()
{
    return QStringLiteral("Отправлен запрос...");
}

QString Receiving(qint64 receivedBytes)
{
    // The blank before the number stands where a sign would be: the label has always shown two blanks.
    return QStringLiteral("Загрузка данных:  ") + QString::number(receivedBytes) + QStringLiteral(" Bytes");
}

QString Finished()
{
    return QStringLiteral("Завершено");
}

QString StoppedByUser()
{
    return QStringLiteral("Загрузка остановлена");
}

QString ServerLine(const QString &serverName)
{
    return QStringLiteral("Сервер: ") + serverName;
}

QString ConnectionError(int number)
{
    return QStringLiteral("Ошибка подключения #") + QString::number(number);
}

QString SizeText(qint64 bytes)
{
    constexpr qint64 kKiB = 1024;
    if (bytes > 0 && bytes % (kKiB * kKiB) == 0)
        return QString::number(bytes / (kKiB * kKiB)) + QStringLiteral(" МБ");
    if (bytes > 0 && bytes % kKiB == 0)
        return QString::number(bytes / kKiB) + QStringLiteral(" КБ");
    return QString::number(bytes) + QStringLiteral(" байт");
}

QString ReadableSize(qint64 bytes)
{
    constexpr qint64 kKiB = 1024;
    constexpr qint64 kMiB = kKiB * kKiB;
    constexpr qint64 kGiB = kMiB * kKiB;
    const QLocale russian(QLocale::Russian, QLocale::Russia);
    if (bytes < kKiB)
        return QString::number(bytes) + QStringLiteral(" байт");
    if (bytes < kMiB)
        return QString::number(bytes / kKiB) + QStringLiteral(" КБ");
    if (bytes < 10 * kMiB)
        return russian.toString(double(bytes) / kMiB, 'f', 1) + QStringLiteral(" МБ");
    if (bytes < kGiB)
        return QString::number(bytes / kMiB) + QStringLiteral(" МБ");
    return russian.toString(double(bytes) / kGiB, 'f', 1) + QStringLiteral(" ГБ");
}

QString ResumingFrom(qint64 bytes, int attempt, int attempts)
{
    return QStringLiteral("Соединение прервано, продолжаю с %1 (попытка %2 из %3)")
        .arg(ReadableSize(bytes), QString::number(attempt), QString::number(attempts));
}

QString StartingOver()
{
    return QStringLiteral("Сервер не может продолжить с прерванного места, загрузка начата заново");
}

QString NoRoomForVideo(qint64 needed, qint64 available)
{
    return QStringLiteral("Недостаточно места на диске для видеофайла: нужно %1, свободно %2")
        .arg(ReadableSize(needed), ReadableSize(available));
}

QString VideoFileError(const QString &path, const QString &reason)
{
    return QStringLiteral("Не удалось записать видеофайл %1: %2").arg(path, reason);
}

int Seconds(std::chrono::milliseconds limit)
{
    return static_cast<int>((limit.count() + 999) / 1000);
}

QString ConnectTimedOut(const QString &serverName, int seconds)
{
    return QStringLiteral("Не удалось подключиться к серверу %1 за %2 с: он не отвечает")
        .arg(serverName, QString::number(seconds));
}

QString ProxyConnectTimedOut(const QString &proxyName, quint16 proxyPort, int seconds)
{
    return QStringLiteral("Не удалось подключиться к прокси-серверу %1:%2 за %3 с: он не отвечает")
        .arg(proxyName, QString::number(proxyPort), QString::number(seconds));
}

QString SilenceTimedOut(const QString &serverName, int seconds, qint64 receivedBytes)
{
    return QStringLiteral("Данные не приходят больше %1 с: загрузка с %2 прервана (получено %3 байт)")
        .arg(QString::number(seconds), serverName, QString::number(receivedBytes));
}

QString ConnectionFailed(int number, const QString &peer, bool proxy)
{
    const QString who = (proxy ? QStringLiteral("прокси-сервер ") : QStringLiteral("сервер ")) + peer;
    QString why;
    switch (number) {
    case 10061:
        why = who + QStringLiteral(" не принимает подключения (не запущен или порт закрыт)");
        break;
    case 11001:
        why = who + QStringLiteral(" не найден: проверьте имя сервера и подключение к сети");
        break;
    case 10060:
        why = who + QStringLiteral(" не отвечает");
        break;
    case 10065:
        why = who + QStringLiteral(" недоступен: нет пути к нему в сети");
        break;
    case 10054:
        why = who + QStringLiteral(" сбросил соединение");
        break;
    default:
        why = (proxy ? QStringLiteral("сбой сети при подключении к прокси-серверу ")
                     : QStringLiteral("сбой сети при подключении к серверу "))
            + peer;
        break;
    }
    return ConnectionError(number) + QStringLiteral(": ") + why;
}

QString OutcomeError(const Outcome &outcome)
{
    using Kind = Outcome::Kind;
    switch (outcome.kind) {
    case Kind::Success:
    case Kind::Redirect:
        return {};
    case Kind::RedirectWithoutLocation:
        return QStringLiteral("Ошибка сервера: перенаправление без нового адреса (") + Printable(outcome.statusLine)
            + u')';
    case Kind::ProxyRefused:
        return ProxyLoginRefused();
    case Kind::ProxyWantsLogin:
        return ProxyWantsLogin();
    case Kind::ProxyLoginWithoutProxy:
        return QStringLiteral(
            "Сервер требует авторизации на прокси-сервере, хотя соединение с ним идёт напрямую, без прокси-сервера");
    case Kind::ServerError:
        return QStringLiteral("Ошибка сервера: ") + Printable(outcome.statusLine);
    case Kind::HeaderCut:
        return QStringLiteral("Соединение прервано до конца заголовка ответа (получено %1 байт)")
            .arg(outcome.receivedBytes);
    case Kind::BodyCut:
        return QStringLiteral("Соединение прервано: получено %1 из %2 байт")
            .arg(outcome.bodyBytes)
            .arg(outcome.declaredLength);
    case Kind::BodyTooLong:
        return QStringLiteral("Ответ сервера длиннее заявленного: ожидалось %1 байт").arg(outcome.bodyLimit);
    case Kind::ChunksCut:
        return QStringLiteral("Соединение прервано до конца ответа, переданного по частям (получено %1 байт)")
            .arg(outcome.bodyBytes);
    case Kind::Reset:
        return QStringLiteral("Соединение сброшено сервером: получено %1 байт, ответ может быть неполным")
            .arg(outcome.bodyBytes);
    case Kind::BadLength:
        return QStringLiteral("Ответ сервера не распознан: неверная длина (Content-Length: ")
            + Printable(outcome.headerValue) + u')';
    case Kind::UnknownCoding:
        return QStringLiteral("Ответ сервера передан в кодировке, которую программа не понимает (Transfer-Encoding: ")
            + Printable(outcome.headerValue) + u')';
    case Kind::HeadRefused:
        return StartingOver();
    case Kind::BrokenChunks:
        return QStringLiteral("Ответ сервера не распознан: нарушена разбивка на части (Transfer-Encoding: chunked)");
    case Kind::NotHttp:
        return QStringLiteral("Ответ сервера не распознан: это не ответ HTTP");
    case Kind::Empty:
        return QStringLiteral("Сервер закрыл соединение, ничего не ответив");
    case Kind::HeaderTooLarge:
        return QStringLiteral("Заголовок ответа сервера слишком велик (более %1 КБ)")
            .arg(ResponseReader::kMaxHeaderBytes / 1024);
    case Kind::BodyTooLarge:
        if (outcome.bodyLimit < 0)
            return QStringLiteral("Ответ сервера слишком велик: он не поместится в памяти");
        if (outcome.declaredLength < 0)
            return QStringLiteral("Ответ сервера без указанной длины слишком велик (более ")
                + SizeText(outcome.bodyLimit) + u')';
        return QStringLiteral("Ответ сервера слишком велик (") + SizeText(outcome.declaredLength)
            + QStringLiteral(", допустимо не более ") + SizeText(outcome.bodyLimit) + u')';
    }
    return {};
}

QString TooManyRedirects(int limit)
{
    return QStringLiteral("Слишком много перенаправлений (более %1)").arg(limit);
}

QString UnsupportedAddress(const QString &url)
{
    return QStringLiteral("Адрес не поддерживается (нужен адрес, начинающийся с http:// или https://): ") + url;
}

QString InvalidAddress(const QString &url)
{
    return QStringLiteral("Неверный адрес: ") + url;
}

QString ForbiddenCharacters()
{
    return QStringLiteral("Неверный адрес: в нём есть перевод строки или нулевой символ");
}

QString ProxyLoginRefused()
{
    return QStringLiteral("Ошибка авторизации на прокси-сервере");
}

QString ProxyWantsLogin()
{
    return QStringLiteral("Прокси-сервер требует авторизации: включите её в настройках и укажите логин и пароль");
}

QString CertificateRejected(const QString &serverName, const QList<QSslError> &errors)
{
    QStringList reasons;
    for (const QSslError &error : errors) {
        const QString reason = CertificateReason(error);
        if (!reasons.contains(reason))
            reasons.append(reason);
    }
    if (reasons.isEmpty())
        reasons.append(QStringLiteral("причина не сообщена"));
    return QStringLiteral("Сертификат сервера ") + serverName + QStringLiteral(" не прошёл проверку: ")
        + reasons.join(QStringLiteral("; "));
}

QString HandshakeFailed(const QString &serverName, const QString &reason)
{
    return QStringLiteral("Не удалось установить защищённое соединение с ") + serverName
        + QStringLiteral(" (ошибка TLS: ") + reason + u')';
}

QString ServerClosedDuringHandshake(const QString &serverName)
{
    return QStringLiteral("Не удалось установить защищённое соединение с ") + serverName
        + QStringLiteral(": сервер закрыл соединение");
}

QString SecureConnectionError(const QString &serverName, const QString &reason)
{
    return QStringLiteral("Ошибка защищённого соединения с ") + serverName + QStringLiteral(" (ошибка TLS: ") + reason
        + u')';
}

QString SecureConnectionsUnavailable()
{
    return QStringLiteral("Защищённые соединения (https://) недоступны: не найдена библиотека TLS");
}

QString TunnelRefused(const QString &serverName, const QByteArray &statusLine)
{
    return QStringLiteral("Прокси-сервер отказал в соединении с ") + serverName + QStringLiteral(": ")
        + Printable(statusLine);
}

QString TunnelClosed(const QString &serverName)
{
    return QStringLiteral("Прокси-сервер закрыл соединение, не открыв путь к ") + serverName;
}

QString TunnelAnswerNotHttp()
{
    return QStringLiteral("Ответ прокси-сервера не распознан: это не ответ HTTP");
}

QString TunnelAnswerTooLarge()
{
    return QStringLiteral("Заголовок ответа прокси-сервера слишком велик (более %1 КБ)")
        .arg(ResponseReader::kMaxHeaderBytes / 1024);
}

}  // namespace TransferTexts

int WinsockErrorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::NetworkError:
        return 10065;
    default:
        return 10000 + static_cast<int>(error);
    }
}
