#pragma once

#include <QByteArray>
#include <QByteArrayView>
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

// What an answer without a video says, as the user can read it: the text of its page without the page's
// head, scripts, styles and markup, blanks run together, at most a few hundred characters ("…" where it is
// cut). "" when the answer says nothing, or holds the marker.
QString ReasonOf(QByteArrayView answer);

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#NN;" and "&#xHH;" as the characters they stand for;
// anything else (an unknown name, a number no character has) stays as written.
QString DecodeCharacterReferences(const QString &text);

}  // namespace ResolutionAnswer
