#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Pages come in many encodings (Russian sites still serve Windows-1251 and KOI8-R); the HTML parser wants
// UTF-8, and the addresses on the page must keep their characters.
namespace PageText {

// The charset parameter of a Content-Type header value, lower case, or empty.
QString CharsetOfContentType(QByteArrayView contentType);

// The page in UTF-8: a byte order mark wins, then the charset of the header; a page that is valid UTF-8 is
// taken as it is, any other by the charset of its own <meta>, and failing that as UTF-8.
QByteArray ConvertPageToUtf8(QByteArrayView body, QByteArrayView contentType);

}  // namespace PageText
