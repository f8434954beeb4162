#include "FailureReasons.h"

#include <QRegularExpression>

namespace FailureReasons {

namespace {

// How yt-dlp tells each kind: the classes it raises, or words of its messages (lower case), in Debian 12's
// 2023.03.04 and in the releases since, its site extractors' own among them. The first row that matches
// wins: YouTube writes "Video unavailable" before a country's ban, and "Private video. Sign in if ...".
struct Sign {
    Kind kind;
    QStringList exceptions;
    QStringList words;
};

const QList<Sign> &Signs()
{
    static const QList<Sign> signs{
        {Kind::Live,
         {"UserNotLive"},
         {"live event", "is not currently live", "premieres in", "premiere will begin", "live stream recording",
          "this live stream"}},
        {Kind::GeoBlocked,
         {"GeoRestrictedError"},
         {"geo restrict", "geo-restrict", "in your country", "from your location", "in your region", "in your area"}},
        {Kind::Removed,
         {},
         {"private video", "video is private", "is a private video", "has been removed", "been deleted",
          "video unavailable", "video is unavailable", "no longer available", "does not exist", "http error 410"}},
        {Kind::SignIn,
         {},
         {"sign in", "log in", "login", "logged in", "logged-in", "registered users", "authentication", "--cookies",
          "confirm your age", "age-restricted", "age restricted", "age verification", "inappropriate for some users",
          "members", "http error 401"}},
        {Kind::NotFound, {}, {"http error 404", "404: not found"}},
        {Kind::Refused, {"ConnectionRefusedError"}, {"connection refused", "errno 111"}},
        {Kind::TimedOut,
         {"TimeoutError", "timeout", "ReadTimeout", "ConnectTimeout", "ReadTimeoutError", "ConnectTimeoutError"},
         {"timed out", "timeout"}},
        {Kind::Unsupported, {"UnsupportedError"}, {"unsupported url", "no video"}},
    };
    return signs;
}

}  // namespace

QString Describe(Kind kind)
{
    switch (kind) {
    case Kind::Unsupported:
        return QStringLiteral("Этот адрес не поддерживается: на странице не найдено видео.");
    case Kind::NotFound:
        return QStringLiteral("Страница не найдена (ошибка 404).");
    case Kind::Refused:
        return QStringLiteral("Сервер страницы не отвечает: соединение отклонено.");
    case Kind::TimedOut:
        return QStringLiteral("Время ожидания ответа от сайта истекло.");
    case Kind::Removed:
        return QStringLiteral("Видео удалено или доступно только владельцу.");
    case Kind::SignIn:
        return QStringLiteral("Для просмотра нужно войти на сайт или подтвердить возраст.");
    case Kind::GeoBlocked:
        return QStringLiteral("Видео недоступно в вашей стране.");
    case Kind::Live:
        return QStringLiteral("Это прямая трансляция: её нельзя сохранить файлом.");
    case Kind::Other:
        break;
    }
    return QStringLiteral("Не удалось получить видео с этой страницы.");
}

Kind ClassifyYtDlpError(const QString &text, const QStringList &exceptions)
{
    // A class says more than words, and words of the page's own address ("/members/", "/login") say nothing.
    for (const Sign &sign : Signs())
        for (const QString &exception : sign.exceptions)
            if (exceptions.contains(exception))
                return sign.kind;
    static const QRegularExpression address(QStringLiteral("\\S+://\\S+"));
    const QString words = QString(text).remove(address).toLower();
    for (const Sign &sign : Signs())
        for (const QString &word : sign.words)
            if (words.contains(word))
                return sign.kind;
    return Kind::Other;
}

}  // namespace FailureReasons
