#pragma once

#include "Candidate.h"

#include <QByteArrayView>
#include <QList>
#include <QUrl>

namespace CandidateFinder {

// Every video address the page offers, resolved against the page's address (or its <base href>), in the
// order og:video, <video>, Flash variables, JSON-LD, links; within each source in document order. Only http
// and https addresses are kept. utf8Html is the page already converted to UTF-8. The page's title, when asked
// for: its og:title, else its <title>, as written (blanks and all), or empty.
QList<Candidate> FindCandidates(QByteArrayView utf8Html, const QUrl &pageUrl, QString *title = nullptr);

// The picture's height a player's attribute gives: "720", "720p", "1080p60", "HD 720p", "1280x720", "4K";
// 0 when it gives none.
int ReadHeight(QStringView label);

// The values of file=, flv= and video= in a Flash variables text ("a=1&file=x.flv"), percent-decoded.
// A value under flv= is declared an FLV.
QList<Candidate> ReadFlashVariables(QStringView variables);

// The contentUrl of every VideoObject in a JSON-LD text, at any depth (also inside @graph).
QStringList ReadJsonLdVideos(QByteArrayView json);

// The charset a <meta charset> or <meta http-equiv="Content-Type"> of the page names, lower case, or empty.
QString FindDeclaredCharset(QByteArrayView html);

}  // namespace CandidateFinder
