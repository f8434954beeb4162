#pragma once

#include "HttpConnection.h"
#include "VideoChoice.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// The pages the service answers with. The program takes a page as a success when it holds the words
// "Нажмите, чтобы" and then reads the first href=" + "http" link up to the next double quote, decoding
// character references; so the found page puts nothing link-like before the first candidate, and every
// address is escaped.
namespace AnswerPages {

// At most this many forms of a video are offered, and a title is cut to this many characters.
constexpr qsizetype kMaxChoices = 20;
constexpr qsizetype kMaxTitleCharacters = 1000;

QString EscapeHtml(const QString &text);

// The title as the answer carries it: on one line, without control characters, at most kMaxTitleCharacters
// characters (never half of one).
QString TidyTitle(const QString &title);

// The answer for a found video: each choice one link, best first, with what is known of it (see the README,
// "The service's answer").
QByteArray ComposeFoundPage(const VideoOffer &offer);

// A page without the words the program looks for, saying why in Russian.
QByteArray ComposeFailurePage(const QString &reason);

QByteArray ComposeIndexPage(const QString &version);

// How long a client told that the service is busy waits before it asks again.
constexpr int kBusyRetrySeconds = 5;

// A page as an answer with the given status.
HttpResponse HtmlResponse(int status, const QByteArray &page);
// The service is at one of its limits: 503, and when to ask again.
HttpResponse BusyResponse();
// An address (of a page, of a video) that leads into the internal network; what names it ("видео", or the
// host). Which internal address a name leads to is the business of the network it belongs to.
QString RefusalText(const QString &what);

}  // namespace AnswerPages
