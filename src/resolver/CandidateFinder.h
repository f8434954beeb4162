#pragma once

#include "Candidate.h"

#include <QByteArrayView>
#include <QList>
#include <QUrl>

namespace CandidateFinder {

// Every video address the page offers, resolved against the page's address (or its <base href>), in the
// order og:video, <video>, Flash variables, JSON-LD, links; within each source in document order. Only http
// and https addresses are kept. utf8Html is the page already converted to UTF-8.
QList<Candidate> FindCandidates(QByteArrayView utf8Html, const QUrl &pageUrl);

// The values of file=, flv= and video= in a Flash variables text ("a=1&file=x.flv"), percent-decoded.
// A value under flv= is declared an FLV.
QList<Candidate> ReadFlashVariables(QStringView variables);

// The contentUrl of every VideoObject in a JSON-LD text, at any depth (also inside @graph).
QStringList ReadJsonLdVideos(QByteArrayView json);

// The charset a <meta charset> or <meta http-equiv="Content-Type"> of the page names, lower case, or empty.
QString FindDeclaredCharset(QByteArrayView html);

}  // namespace CandidateFinder
