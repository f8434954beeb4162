#include "AnswerPages.h"

namespace AnswerPages {

namespace {

QByteArray ComposePage(const QString &title, const QString &content)
{
    return (QStringLiteral("<!DOCTYPE html>\n<html lang=\"ru\">\n<head>\n<meta charset=\"utf-8\">\n<title>")
            + EscapeHtml(title) + QStringLiteral("</title>\n</head>\n<body>\n") + content
            + QStringLiteral("</body>\n</html>\n"))
        .toUtf8();
}

}  // namespace

QString EscapeHtml(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '>':
            escaped += QLatin1String("&gt;");
            break;
        case '"':
            escaped += QLatin1String("&quot;");
            break;
        case '\'':
            escaped += QLatin1String("&#39;");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

QByteArray ComposeFoundPage(const QList<QUrl> &videos)
{
    QString content = QStringLiteral("<p>Нажмите, чтобы скачать видео:</p>\n<ol>\n");
    QList<QByteArray> offered;
    for (const QUrl &video : videos) {
        // A login in the address ("http://user:pw@host/") is no address the program takes, and not ours to
        // hand on: the video is offered at its plain address.
        // The encoded form is plain ASCII with the host in its ACE form, which any downloader can send as is.
        const QByteArray encoded = video.adjusted(QUrl::RemoveUserInfo).toEncoded();
        if (offered.contains(encoded))
            continue;
        offered.append(encoded);
        const QString address = EscapeHtml(QString::fromLatin1(encoded));
        content += QStringLiteral("<li><a href=\"") + address + QStringLiteral("\">") + address
            + QStringLiteral("</a></li>\n");
    }
    content += QStringLiteral("</ol>\n");
    return ComposePage(QStringLiteral("Видео найдено"), content);
}

QByteArray ComposeFailurePage(const QString &reason)
{
    return ComposePage(QStringLiteral("Видео не найдено"),
                       QStringLiteral("<p>Видео не найдено.</p>\n<p>") + EscapeHtml(reason) + QStringLiteral("</p>\n"));
}

QByteArray ComposeIndexPage(const QString &version)
{
    return ComposePage(QStringLiteral("quillon-resolver"),
                       QStringLiteral("<p>quillon-resolver ") + EscapeHtml(version)
                           + QStringLiteral(
                               ": служба, которая находит на веб-странице прямую ссылку на видео для программы "
                               "Quillon.</p>\n<p>Запрос: POST /xurl/ с полем формы url=адрес страницы.</p>\n"));
}

HttpResponse HtmlResponse(int status, const QByteArray &page)
{
    return {status, QByteArrayLiteral("text/html; charset=utf-8"), page, {}, 0};
}

HttpResponse BusyResponse()
{
    HttpResponse response = HtmlResponse(503,
                                         ComposeFailurePage(QStringLiteral(
                                             "Служба сейчас занята: повторите запрос через несколько секунд.")));
    response.retryAfterSeconds = kBusyRetrySeconds;
    return response;
}

QString RefusalText(const QString &what)
{
    return QStringLiteral("Адрес %1 ведёт во внутреннюю сеть; эта служба открыта для всех и такие адреса "
                          "не загружает.")
        .arg(what);
}

}  // namespace AnswerPages
