#include "WireText.h"

#include "Windows1251.h"

#include <QString>

QByteArray ToWireBytes(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const std::optional<uchar> code = Windows1251::CodeOf(text[i])) {
            bytes.append(static_cast<char>(*code));
            continue;
        }
        // A surrogate pair is one character: its UTF-8 form is four bytes, not two halves.
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        bytes.append(text.mid(i, length).toUtf8());
        i += length - 1;
    }
    return bytes;
}
