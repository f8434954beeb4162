#include "Resolution.h"

#include "AnswerPages.h"
#include "Candidate.h"
#include "FailureReasons.h"
#include "FetchProxy.h"
#include "FoundVideos.h"
#include "MediaToken.h"
#include "ParserPool.h"
#include "WorkerSlots.h"
#include "YtDlpBridge.h"

#include <cstdio>

namespace {

using AnswerPages::RefusalText;

const QString kStreamWithoutFfmpeg = QStringLiteral("Видео передаётся потоком, а ffmpeg на сервере не установлен.");

// A failed fetch after which no other engine would do better: the same address rule and the same names hold
// for yt-dlp's fetches.
bool EndsTheSearch(FetchResult::Outcome outcome)
{
    return outcome == FetchResult::Outcome::BadAddress || outcome == FetchResult::Outcome::RefusedAddress
        || outcome == FetchResult::Outcome::HostNotFound;
}

}  // namespace

Resolution::Resolution(const ResolutionContext *context, QNetworkAccessManager *network, const QHostAddress &client,
                       const QString &mediaBase, QObject *parent)
    : QObject(parent)
    , context(context)
    , network(network)
    , client(client)
    , mediaBase(mediaBase)
{
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this] {
        const int seconds = this->context->limits.timeoutMilliseconds / 1000;
        if (parse) {  // the client still gets its answer in time; the parse is stopped
            EndEngine(QStringLiteral("Страница не разобрана за %1 с.").arg(seconds));
        } else if (ticket && !ticket->IsGranted()) {
            GiveUpBusy();
        } else {
            EndEngine(QStringLiteral("yt-dlp не ответил за %1 с.").arg(seconds));
        }
    });
}

// A fetch, parse or yt-dlp job still running goes with its object, a child of ours.
Resolution::~Resolution() = default;

void Resolution::Start(const QString &address)
{
    clock.start();
    // People paste addresses without a scheme; the web is what they mean.
    url = QUrl::fromUserInput(address);
    const bool ytDlpUsable = context->ytDlp && context->ytDlp->CurrentState() != YtDlpBridge::State::Unusable;
    for (const Engine engine : context->engines)
        if (engine == Engine::Builtin || ytDlpUsable)
            pending.append(engine);
    if (pending.isEmpty())
        pending.append(Engine::Builtin);
    if (pending.size() < 2 || pending.first() != Engine::Builtin) {
        RunNext();
        return;
    }
    context->ytDlp->AskClaim(url, this, [this](const QString &extractor) {
        if (!extractor.isEmpty())
            pending = {Engine::YtDlp, Engine::Builtin};
        RunNext();
    });
}

void Resolution::RunNext()
{
    if (answered)
        return;
    if (pending.isEmpty()) {
        if (!streamsOnPage.isEmpty() && context->canRemux) {
            // Nobody knew better: ffmpeg takes the page's own stream as it is, with its own choice of picture.
            AnswerOnce(
                AnswerPages::ComposeFoundPage({pageTitle, {{MediaLink({{{streamsOnPage.first(), {}, -1}}, true})}}}));
            return;
        }
        if (!streamsOnPage.isEmpty())
            reasons.append(kStreamWithoutFfmpeg);
        AnswerOnce(AnswerPages::ComposeFailurePage(reasons.join(QLatin1Char(' '))));
        return;
    }
    if (pending.takeFirst() == Engine::Builtin)
        RunBuiltin();
    else
        RunYtDlp();
}

void Resolution::DropWork()
{
    deadline.stop();
    // Not deleted at once: either may be in the middle of telling us its result.
    if (parse) {
        parse->disconnect(this);
        parse->deleteLater();
        parse = nullptr;
    }
    if (job) {
        job->disconnect(this);
        job->deleteLater();
        job = nullptr;
    }
    delete ticket;
    ticket = nullptr;
}

void Resolution::EndEngine(const QString &reason)
{
    DropWork();
    if (!reason.isEmpty() && !reasons.contains(reason))
        reasons.append(reason);
    RunNext();
}

void Resolution::RunBuiltin()
{
    fetch = new PageFetch(network, context->limits, this);
    connect(fetch, &PageFetch::Finished, this, &Resolution::OnFetched);
    fetch->Start(url);
}

void Resolution::OnFetched(const FetchResult &result)
{
    fetch->deleteLater();
    fetch = nullptr;
    switch (result.outcome) {
    case FetchResult::Outcome::Video: {
        VideoChoice video{result.url};
        video.container = CandidateOrder::ContainerOf(result.url, QString::fromLatin1(result.contentType).toLower());
        video.size = result.size;
        AnswerOnce(AnswerPages::ComposeFoundPage({{}, {video}}));
        return;
    }
    case FetchResult::Outcome::Page:
        parse = context->parsers->Submit(client, result.body, result.contentType, result.url, this);
        if (!parse) {
            GiveUpBusy();
            return;
        }
        connect(parse, &ParseJob::Parsed, this, &Resolution::OnParsed);
        connect(parse, &ParseJob::Failed, this, &Resolution::EndEngine);
        deadline.start(std::max<qint64>(context->limits.timeoutMilliseconds - clock.elapsed(), 1000));
        return;
    default:
        if (EndsTheSearch(result.outcome))
            pending.clear();
        EndEngine(DescribeFailure(result));
    }
}

void Resolution::OnParsed(const QByteArray &found)
{
    const std::optional<FoundVideos> videos = FoundVideosReader::DecodeVideos(found);
    if (videos && !videos->files.isEmpty()) {
        AnswerOnce(AnswerPages::ComposeFoundPage({videos->title, videos->files}));
        return;
    }
    if (videos) {
        streamsOnPage = videos->streams;
        pageTitle = videos->title;
    }
    EndEngine(streamsOnPage.isEmpty() ? QStringLiteral("На странице нет ссылок на видео.") : QString());
}

void Resolution::RunYtDlp()
{
    ticket = context->workers->Request(client, this);
    if (!ticket) {
        GiveUpBusy();
        return;
    }
    // The worker place is waited for within the same time limit.
    deadline.start(context->limits.timeoutMilliseconds);
    connect(ticket, &WorkerTicket::Granted, this, [this] {
        job = context->ytDlp->Extract(url, this);
        connect(job, &YtDlpJob::Extracted, this, &Resolution::OnExtracted);
        connect(job, &YtDlpJob::Failed, this, &Resolution::OnYtDlpFailed);
    });
}

void Resolution::OnExtracted(const QJsonObject &info)
{
    const std::optional<MediaInfo> media = MediaFormats::ReadMediaInfo(info);
    if (!media) {
        EndEngine(QStringLiteral("yt-dlp не нашёл на странице видео."));
        return;
    }
    if (media->isLive) {
        EndEngine(FailureReasons::Describe(FailureReasons::Kind::Live));
        return;
    }
    VideoOffer offer{media->title.isEmpty() ? pageTitle : media->title};
    bool streamLeftOut = false;
    for (const MediaChoice &choice : MediaFormats::OfferChoices(*media, context->maxHeight)) {
        if (choice.stream && !context->canRemux) {
            streamLeftOut = true;
            continue;
        }
        offer.choices.append(choice.video);
        if (choice.stream)
            offer.choices.last().url = MediaLink(*choice.stream);
    }
    if (!offer.choices.isEmpty())
        AnswerOnce(AnswerPages::ComposeFoundPage(offer));
    else
        EndEngine(streamLeftOut ? kStreamWithoutFfmpeg
                                : QStringLiteral("yt-dlp не нашёл видео, которое можно сохранить файлом."));
}

void Resolution::OnYtDlpFailed(const QString &error, const QStringList &exceptions)
{
    if (error.contains(QLatin1String(FetchProxy::kRefusalReason.data()))) {
        pending.clear();
        EndEngine(RefusalText(url.host()));
        return;
    }
    // yt-dlp's words name its internals and speak English: they are for whoever keeps the service.
    const QString classes =
        exceptions.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(exceptions.join(QLatin1String(" < ")));
    std::fprintf(stderr, "quillon-resolver: yt-dlp for %s: %s\n", url.toEncoded().constData(),
                 (error + classes).toUtf8().constData());
    std::fflush(stderr);
    EndEngine(FailureReasons::Describe(FailureReasons::ClassifyYtDlpError(error, exceptions)));
}

QUrl Resolution::MediaLink(const StreamPlan &plan) const
{
    const QByteArray token = MediaToken::ComposeToken(plan, context->tokenKey, QDateTime::currentDateTimeUtc());
    return QUrl::fromEncoded(mediaBase.toLatin1() + "/media/" + token);
}

void Resolution::GiveUpBusy()
{
    if (answered)
        return;
    answered = true;
    DropWork();
    emit Busy();
}

void Resolution::AnswerOnce(const QByteArray &page)
{
    if (answered)
        return;
    answered = true;
    DropWork();
    emit Answered(page);
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
        return RefusalText(host);
    case FetchResult::Outcome::ConnectionRefused:
        return FailureReasons::Describe(FailureReasons::Kind::Refused);
    case FetchResult::Outcome::ConnectionFailed:
        return QStringLiteral("Не удалось загрузить страницу с сервера %1: %2.").arg(host, result.detail);
    case FetchResult::Outcome::TlsFailed:
        return QStringLiteral("Не удалось установить защищённое соединение с сервером %1: %2.")
            .arg(host, result.detail);
    case FetchResult::Outcome::HttpError:
        if (result.detail.section(QLatin1Char(' '), 0, 0) == QLatin1String("404"))
            return FailureReasons::Describe(FailureReasons::Kind::NotFound);
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
        return FailureReasons::Describe(FailureReasons::Kind::TimedOut);
    }
    return QString();
}
