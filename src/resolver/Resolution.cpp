#include "Resolution.h"

#include "AnswerPages.h"
#include "CandidateFinder.h"
#include "PageText.h"

#include "ParserPool.h"

QByteArray Resolution::ComposeAnswerForPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url)
{
    const QByteArray html = PageText::ConvertPageToUtf8(body, contentType);
    const QList<QUrl> videos = CandidateOrder::OrderCandidates(CandidateFinder::FindCandidates(html, url));
    if (videos.isEmpty())
        return AnswerPages::ComposeFailurePage(QStringLiteral("На странице нет ссылок на видео."));
    return AnswerPages::ComposeFoundPage(videos);
}

Resolution::Resolution(QNetworkAccessManager *network, ParserPool *parsers, const QHostAddress &client,
                       const FetchLimits &limits, QObject *parent)
    : QObject(parent)
    , parsers(parsers)
    , client(client)
    , timeoutMilliseconds(limits.timeoutMilliseconds)
    , fetch(network, limits)
{
    connect(&fetch, &PageFetch::Finished, this, &Resolution::OnFetched);
    parseDeadline.setSingleShot(true);
    // The client still gets its answer in time; the parse is stopped.
    connect(&parseDeadline, &QTimer::timeout, this, [this] {
        AnswerOnce(AnswerPages::ComposeFailurePage(
            QStringLiteral("Страница не разобрана за %1 с.").arg(timeoutMilliseconds / 1000)));
    });
}

// A parse still running goes with its job, a child of ours.
Resolution::~Resolution() = default;

void Resolution::AnswerOnce(const QByteArray &page)
{
    if (answered)
        return;
    answered = true;
    parseDeadline.stop();
    if (parse)
        parse->deleteLater();
    emit Answered(page);
}

void Resolution::Start(const QString &address)
{
    clock.start();
    // People paste addresses without a scheme; the web is what they mean.
    fetch.Start(QUrl::fromUserInput(address));
}

void Resolution::OnFetched(const FetchResult &result)
{
    switch (result.outcome) {
    case FetchResult::Outcome::Video:
        AnswerOnce(AnswerPages::ComposeFoundPage({result.url}));
        return;
    case FetchResult::Outcome::Page:
        parse = parsers->Submit(client, result.body, result.contentType, result.url, this);
        if (!parse) {
            answered = true;
            emit Busy();
            return;
        }
        connect(parse, &ParseJob::Parsed, this, &Resolution::AnswerOnce);
        connect(parse, &ParseJob::Failed, this,
                [this](const QString &reason) { AnswerOnce(AnswerPages::ComposeFailurePage(reason)); });
        parseDeadline.start(std::max<qint64>(timeoutMilliseconds - clock.elapsed(), 1000));
        return;
    default:
        AnswerOnce(AnswerPages::ComposeFailurePage(DescribeFailure(result)));
    }
}

QString Resolution::DescribeFailure(const FetchResult &result)
{
    const QString host = result.url.host();
    switch (result.outcome) {
    case FetchResult::Outcome::Page:
    case FetchResult::Outcome::Video:
        return QString();
    case FetchResult::Outcome::BadAddress:
        return QStringLiteral("Адрес страницы не понят: нужен адрес, который начинается с http:// или https://.");
    case FetchResult::Outcome::HostNotFound:
        return QStringLiteral("Сервер %1 не найден.").arg(host);
    case FetchResult::Outcome::RefusedAddress:
        // Which internal address a name leads to is the business of the network it belongs to.
        return QStringLiteral("Адрес %1 ведёт во внутреннюю сеть; эта служба открыта для всех и такие адреса "
                              "не загружает.")
            .arg(host);
    case FetchResult::Outcome::ConnectionFailed:
        return QStringLiteral("Не удалось загрузить страницу с сервера %1: %2.").arg(host, result.detail);
    case FetchResult::Outcome::TlsFailed:
        return QStringLiteral("Не удалось установить защищённое соединение с сервером %1: %2.")
            .arg(host, result.detail);
    case FetchResult::Outcome::HttpError:
        return QStringLiteral("Сервер %1 ответил ошибкой %2.").arg(host, result.detail);
    case FetchResult::Outcome::TooManyRedirects:
        return QStringLiteral("Слишком много перенаправлений (больше %1).").arg(result.detail);
    case FetchResult::Outcome::TooLarge:
        return QStringLiteral("Страница больше допустимых %1 байт.").arg(result.detail);
    case FetchResult::Outcome::BadEncoding:
        if (result.detail.isEmpty())
            return QStringLiteral("Сервер %1 прислал повреждённую сжатую страницу.").arg(host);
        return QStringLiteral("Сервер %1 прислал страницу, сжатую неизвестным способом (%2).").arg(host, result.detail);
    case FetchResult::Outcome::TimedOut:
        return QStringLiteral("Страница не загрузилась за %1 с.").arg(result.detail);
    }
    return QString();
}
