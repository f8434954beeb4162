// The service's reading of a page: any bytes, under any of the charsets servers name, through the conversion
// to UTF-8, the HTML parser and the candidate search. Input: one byte choosing the Content-Type, then the page.
// Every candidate must be an http or https address with a host, and the answer page must be one the program
// reads the first of them from.

#include "AnswerPages.h"
#include "Candidate.h"
#include "CandidateFinder.h"
#include "PageText.h"
#include "ResolutionAnswer.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace {

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

constexpr std::array kContentTypes{
    "text/html",
    "text/html; charset=utf-8",
    "text/html; charset=windows-1251",
    "text/html; charset=koi8-r",
    "text/html; charset=iso-8859-1",
    "text/html; charset=utf-16",
    "text/html; charset=\"shift_jis\"",
    "text/html; charset=nonsense",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const char *contentType = kContentTypes[data[0] % kContentTypes.size()];
    const QByteArrayView body(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QByteArray html = PageText::ConvertPageToUtf8(body, contentType);
    const QUrl page(QStringLiteral("http://example.com/dir/page.html"));
    const QList<Candidate> candidates = CandidateFinder::FindCandidates(html, page);
    for (const Candidate &candidate : candidates) {
        const QString scheme = candidate.url.scheme().toLower();
        Check(scheme == QLatin1String("http") || scheme == QLatin1String("https"));
        Check(!candidate.url.host().isEmpty());
        Check(!candidate.url.hasFragment());
    }
    const QList<Candidate> ordered = CandidateOrder::OrderCandidates(candidates);
    Check(ordered.size() <= candidates.size());
    if (ordered.isEmpty())
        return 0;
    VideoOffer offer;
    for (const Candidate &candidate : ordered)
        offer.choices.append({candidate.url});
    const QByteArray answer = AnswerPages::ComposeFoundPage(offer);
    const std::optional<QString> link = ResolutionAnswer::VideoLinkOf(answer);
    Check(link.has_value());
    Check(*link == QString::fromLatin1(ordered.first().url.adjusted(QUrl::RemoveUserInfo).toEncoded()));
    return 0;
}
