#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

// Reading the link-resolution service's answer. The answer is searched as bytes, never decoded as a whole.
namespace ResolutionAnswer {

// "Нажмите, чтобы" in UTF-8: every answer that found a video says so.
QByteArrayView Marker();

// The video address of an answer: the first href="http... link, up to its closing double quote, with its
// HTML character references decoded. Nothing when the answer has no marker, no link, or a link that never
// ends: the service found no video then.
std::optional<QString> VideoLinkOf(QByteArrayView answer);

// One form of the video the service offers: the address the program downloads, as VideoLinkOf reads addresses,
// and what the answer's link says of it (zero, -1 or empty where it says nothing).
struct Choice {
    QString Link;
    int Height = 0;  // pixels
    int Width = 0;  // pixels
    // What the downloaded file is, as its usual extension in lower case ("mp4", "webm", "m4a", ...).
    QString Container;
    qint64 Size = -1;  // bytes; may be the service's estimate
    bool SoundOnly = false;

    friend bool operator==(const Choice &, const Choice &) = default;
};

// What an answer that found a video offers: the video's title ("" when the service does not know it) and
// its choices, the service's own first.
struct Offer {
    QString Title;
    QList<Choice> Choices;
};

// The most choices the program takes from one answer; the service offers no more.
constexpr qsizetype kMaxChoices = 20;

// The answer's offer: its first choice is the link VideoLinkOf takes, the others are the links that follow it
// in the service's form (<a href="http...), each address once. Attributes the program does not know are passed
// over. Nothing when VideoLinkOf finds no link.
std::optional<Offer> OfferOf(QByteArrayView answer);

// What an answer without a video says, as the user can read it: the text of its page without the page's
// head, scripts, styles and markup, blanks run together, at most a few hundred characters ("…" where it is
// cut). The service's heading "Видео не найдено." is left out when a reason follows it. "" when the answer
// says nothing, or holds the marker.
QString ReasonOf(QByteArrayView answer);

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#NN;" and "&#xHH;" as the characters they stand for;
// anything else (an unknown name, a number no character has) stays as written.
QString DecodeCharacterReferences(const QString &text);

}  // namespace ResolutionAnswer
