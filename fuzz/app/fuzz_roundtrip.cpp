// The whole road of a link: a page names a video address (any text, written into the page escaped as HTML
// wants), the service finds it and composes its answer, the program cuts the link out of the answer and
// splits it into server and path. What comes out must be the address the page named, resolved against the
// page's own address, at the server and path it names. An HLS playlist or DASH manifest is no file: the
// service's built-in engine never offers one as a link.

#include "AnswerPages.h"
#include "Candidate.h"
#include "FoundVideos.h"
#include "ResolutionAnswer.h"
#include "UrlHelpers.h"

#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString address = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    // The HTML parser changes control characters in attribute values; a page cannot name them anyway.
    address.removeIf(
        [](QChar c) { return c.category() == QChar::Other_Control || c.isSurrogate() || c.isNonCharacter(); });
    const QUrl pageUrl(QStringLiteral("http://example.com/dir/page.html"));
    const QByteArray page = "<!DOCTYPE html><html><body><video src=\"" + AnswerPages::EscapeHtml(address).toUtf8()
        + "\"></video></body></html>";

    const QUrl named = pageUrl.resolved(QUrl(address.trimmed()));
    const QString scheme = named.scheme().toLower();
    const bool offered = !address.trimmed().isEmpty() && named.isValid() && !named.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !CandidateOrder::IsStreamManifest({named, CandidateSource::VideoElement, {}});

    const FoundVideos found = FoundVideosReader::FindVideos(page, "text/html; charset=utf-8", pageUrl);
    const QByteArray answer = found.files.isEmpty() ? AnswerPages::ComposeFailurePage(QStringLiteral("none"))
                                                    : AnswerPages::ComposeFoundPage({found.title, found.files});
    const std::optional<QString> link = ResolutionAnswer::VideoLinkOf(answer);
    Check(link.has_value() == offered);
    if (!link)
        return 0;
    const QUrl expected = named.adjusted(QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    Check(*link == QString::fromLatin1(expected.toEncoded()));

    const UrlParts parts = SplitURL(*link);
    Check(parts.kind == UrlParts::Kind::Absolute);
    Check(parts.secure == (scheme == QLatin1String("https")));
    const QUrl back = QUrl::fromEncoded(link->toLatin1());
    QString path = QString::fromLatin1(back.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority));
    if (path.isEmpty() || !path.startsWith(QLatin1Char('/')))
        path.prepend(QLatin1Char('/'));
    Check(parts.pageName == path);
    const std::optional<HostPort> server = SplitHostPort(parts.serverName, parts.secure ? kHttpsPort : kHttpPort);
    Check(server.has_value());
    Check(server->host.compare(back.host(QUrl::FullyEncoded), Qt::CaseInsensitive) == 0);
    Check(server->port == back.port(parts.secure ? kHttpsPort : kHttpPort));
    return 0;
}
