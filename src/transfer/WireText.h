#pragma once

#include <QByteArray>
#include <QStringView>

// The bytes a text takes on the wire: one Windows-1251 byte per character, as servers built for the
// earlier versions of the program expect. A character the code page cannot hold is never dropped nor
// turned into "?": it goes out as its UTF-8 bytes, which is what a server is most likely to understand.
QByteArray ToWireBytes(QStringView text);
