#include "AnswerPages.h"

#include <algorithm>

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

QString TidyTitle(const QString &title)
{
    QString tidy;
    tidy.reserve(std::min(title.size(), 2 * kMaxTitleCharacters));
    qsizetype characters = 0;
    for (const QChar c : title.simplified()) {
        if (c.category() == QChar::Other_Control)
            continue;
        // The second half of a pair makes no new character.
        if (!c.isLowSurrogate() && ++characters > kMaxTitleCharacters)
            break;
        tidy += c;
    }
    return tidy;
}

// The answer's links, the contract with the program, which reads the first one and may read them all:
//     <li><a href="ADDRESS" data-title="TITLE" data-height="720" data-width="1280" data-container="mp4"
//            data-size="88080384" data-sound-only="1">ADDRESS</a></li>
// one line each, in this order of attributes, every value escaped (EscapeHtml) and double-quoted. href comes
// first and nothing quoted stands before it, so the program's cut of the first href="http up to the next
// double quote is the address. data-title is on the first link only; every other attribute is left out when
// it is not known (data-sound-only is there only for sound without picture). data-size may be an estimate.
QByteArray ComposeFoundPage(const VideoOffer &offer)
{
    QString content = QStringLiteral("<p>Нажмите, чтобы скачать видео:</p>\n<ol>\n");
    const QString title = TidyTitle(offer.title);
    QList<QByteArray> offered;
    for (const VideoChoice &choice : offer.choices) {
        // A login in the address ("http://user:pw@host/") is no address the program takes, and not ours to
        // hand on: the video is offered at its plain address.
        // The encoded form is plain ASCII with the host in its ACE form, which any downloader can send as is.
        const QByteArray encoded = choice.url.adjusted(QUrl::RemoveUserInfo).toEncoded();
        if (offered.contains(encoded))
            continue;
        if (offered.size() == kMaxChoices)
            break;
        const QString address = EscapeHtml(QString::fromLatin1(encoded));
        content += QStringLiteral("<li><a href=\"") + address + QLatin1Char('"');
        if (offered.isEmpty() && !title.isEmpty())
            content += QStringLiteral(" data-title=\"") + EscapeHtml(title) + QLatin1Char('"');
        if (choice.height > 0)
            content += QStringLiteral(" data-height=\"%1\"").arg(choice.height);
        if (choice.width > 0)
            content += QStringLiteral(" data-width=\"%1\"").arg(choice.width);
        if (!choice.container.isEmpty())
            content += QStringLiteral(" data-container=\"") + EscapeHtml(choice.container) + QLatin1Char('"');
        if (choice.size >= 0)
            content += QStringLiteral(" data-size=\"%1\"").arg(choice.size);
        if (choice.soundOnly)
            content += QStringLiteral(" data-sound-only=\"1\"");
        content += QLatin1Char('>') + address + QStringLiteral("</a></li>\n");
        offered.append(encoded);
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
