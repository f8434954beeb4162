#include "TransferTexts.h"

#include "Windows1251.h"

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
        return QStringLiteral("Ошибка авторизации на прокси-сервере");
    case Kind::ProxyWantsLogin:
        return QStringLiteral("Прокси-сервер требует авторизации: включите её в настройках и укажите логин и пароль");
    case Kind::ServerError:
        return QStringLiteral("Ошибка сервера: ") + Printable(outcome.statusLine);
    case Kind::HeaderCut:
        return QStringLiteral("Соединение прервано до конца заголовка ответа (получено %1 байт)")
            .arg(outcome.receivedBytes);
    case Kind::BodyCut:
        return QStringLiteral("Соединение прервано: получено %1 из %2 байт")
            .arg(outcome.bodyBytes)
            .arg(outcome.declaredLength);
    case Kind::NotHttp:
        return QStringLiteral("Ответ сервера не распознан: это не ответ HTTP");
    case Kind::Empty:
        return QStringLiteral("Сервер закрыл соединение, ничего не ответив");
    case Kind::HeaderTooLarge:
        return QStringLiteral("Заголовок ответа сервера слишком велик (более %1 КБ)")
            .arg(ResponseReader::kMaxHeaderBytes / 1024);
    case Kind::BodyTooLarge:
        return QStringLiteral("Ответ сервера слишком велик: он не поместится в памяти");
    }
    return {};
}

QString TooManyRedirects(int limit)
{
    return QStringLiteral("Слишком много перенаправлений (более %1)").arg(limit);
}

QString UnsupportedAddress(const QString &url)
{
    return QStringLiteral("Адрес не поддерживается (нужен адрес, начинающийся с http://): ") + url;
}

QString InvalidAddress(const QString &url)
{
    return QStringLiteral("Неверный адрес: ") + url;
}

QString ForbiddenCharacters()
{
    return QStringLiteral("Неверный адрес: в нём есть перевод строки или нулевой символ");
}

QString InvalidUseProxy(const QString &value)
{
    return QStringLiteral("Неверная настройка прокси-сервера (UseProxy = \"") + value + QStringLiteral("\")");
}

QString MissingProxyName()
{
    return QStringLiteral("Не указан адрес прокси-сервера");
}

QString InvalidProxyPort(const QString &value)
{
    return QStringLiteral("Неверный порт прокси-сервера: \"") + value
        + QStringLiteral("\" (нужно число от 1 до 65535)");
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
