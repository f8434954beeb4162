// The program's cut of the resolution answer on any bytes: the link it takes is found where the answer says
// it is, the choices follow it, and character references decode to what they name.

#include "ResolutionAnswer.h"

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
    const QByteArrayView answer(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> link = ResolutionAnswer::VideoLinkOf(answer);
    if (link) {
        Check(answer.indexOf(ResolutionAnswer::Marker()) >= 0);
        Check(answer.indexOf("href=\"http") >= 0);
        Check(link->startsWith(QLatin1String("http")));
    }
    // The offer begins with that link, and holds each address once, at most the number the service offers.
    const std::optional<ResolutionAnswer::Offer> offer = ResolutionAnswer::OfferOf(answer);
    Check(offer.has_value() == link.has_value());
    if (offer) {
        Check(offer->Choices.first().Link == *link);
        Check(offer->Choices.size() <= ResolutionAnswer::kMaxChoices);
        for (const ResolutionAnswer::Choice &choice : offer->Choices)
            Check(offer->Choices.count(choice) == 1 && choice.Height >= 0 && choice.Size >= -1);
    }
    // Decoding what has nothing to decode changes nothing; a decoded text is never longer than its source.
    const QString text = QString::fromUtf8(answer);
    const QString decoded = ResolutionAnswer::DecodeCharacterReferences(text);
    Check(decoded.size() <= text.size());
    if (!text.contains(QLatin1Char('&')))
        Check(decoded == text);
    return 0;
}
