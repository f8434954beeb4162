#include "Resolution.h"

#include "AnswerPages.h"
#include "CandidateFinder.h"
#include "PageText.h"

#include <QFutureWatcher>
#include <QProcess>
#include <QtConcurrent/QtConcurrentRun>

QByteArray Resolution::ComposeAnswerForPage(const QByteArray &body, const QByteArray &contentType, const QUrl &url)
{
    const QByteArray html = PageText::ConvertPageToUtf8(body, contentType);
    const QList<QUrl> videos = CandidateOrder::OrderCandidates(CandidateFinder::FindCandidates(html, url));
    if (videos.isEmpty())
        return AnswerPages::ComposeFailurePage(QStringLiteral("На странице нет ссылок на видео."));
    return AnswerPages::ComposeFoundPage(videos);
}

Resolution::Resolution(QNetworkAccessManager *network, QThreadPool *parsers, const QString &parserProgram,
                       const FetchLimits &limits, QObject *parent)
    : QObject(parent)
    , parsers(parsers)
    , parserProgram(parserProgram)
    , timeoutMilliseconds(limits.timeoutMilliseconds)
    , fetch(network, limits)
{
    connect(&fetch, &PageFetch::Finished, this, &Resolution::OnFetched);
    parseDeadline.setSingleShot(true);
    // The HTML5 tree builder is slow on pages that nest elements tens of thousands deep; the client still
    // gets its answer in time, and the parse's late result is dropped.
    connect(&parseDeadline, &QTimer::timeout, this, [this] {
        AnswerOnce(AnswerPages::ComposeFailurePage(
            QStringLiteral("Страница не разобрана за %1 с.").arg(timeoutMilliseconds / 1000)));
    });
}

void Resolution::AnswerOnce(const QByteArray &page)
{
    if (answered)
        return;
    answered = true;
    parseDeadline.stop();
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
        parseDeadline.start(std::max<qint64>(timeoutMilliseconds - clock.elapsed(), 1000));
        if (parserProgram.isEmpty() || result.body.size() <= kThreadParseLimit)
            ParseOnPool(result);
        else
            ParseInChildProcess(result);
        return;
    default:
        AnswerOnce(AnswerPages::ComposeFailurePage(DescribeFailure(result)));
    }
}

void Resolution::ParseOnPool(const FetchResult &result)
{
    auto *watcher = new QFutureWatcher<QByteArray>(this);
    connect(watcher, &QFutureWatcher<QByteArray>::finished, this, [this, watcher] { AnswerOnce(watcher->result()); });
    watcher->setFuture(QtConcurrent::run(parsers, ComposeAnswerForPage, result.body, result.contentType, result.url));
}

void Resolution::ParseInChildProcess(const FetchResult &result)
{
    // A child of ours: when the deadline answers first, or the client leaves, QProcess kills it.
    auto *parser = new QProcess(this);
    parser->setProcessChannelMode(QProcess::SeparateChannels);
    parser->setStandardErrorFile(QProcess::nullDevice());
    connect(parser, &QProcess::finished, this, [this, parser](int exitCode, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && exitCode == 0)
            AnswerOnce(parser->readAllStandardOutput());
        else
            AnswerOnce(AnswerPages::ComposeFailurePage(QStringLiteral("Страницу не удалось разобрать.")));
    });
    connect(parser, &QProcess::errorOccurred, this, [this, parser](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            AnswerOnce(AnswerPages::ComposeFailurePage(
                QStringLiteral("Страницу не удалось разобрать: %1.").arg(parser->errorString())));
    });
    parser->start(parserProgram,
                  {QStringLiteral("--parse-page"), QString::fromLatin1(result.url.toEncoded()),
                   QString::fromLatin1(result.contentType)});
    parser->write(result.body);
    parser->closeWriteChannel();
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
        return QStringLiteral("Адрес %1 ведёт во внутреннюю сеть (%2); эта служба открыта для всех и такие адреса "
                              "не загружает.")
            .arg(host, result.detail);
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
    case FetchResult::Outcome::TimedOut:
        return QStringLiteral("Страница не загрузилась за %1 с.").arg(result.detail);
    }
    return QString();
}
