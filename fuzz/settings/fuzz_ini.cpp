#include "CPassword.h"
#include "IniNumber.h"
#include "IniText.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// The INI reader on any file content with any section and key. The input is cut into a section, a key and a
// value (lengths taken from its first three bytes) and the file content (the rest). Besides surviving, a value
// written into the content must read back as the store promises, and a file's byte-order mark must stay.
// Seeds are in seeds/, words of the format in fuzz_ini.dict.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const QByteArrayView input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    qsizetype at = 3;
    const auto take = [&](qsizetype length) {
        length = std::min(length, input.size() - at);
        const QByteArrayView part = input.sliced(at, length);
        at += length;
        return part;
    };
    const QByteArrayView section = take(data[0] % 32);
    const QByteArrayView key = take(data[1] % 32);
    const QByteArrayView value = take(data[2]);
    const QByteArrayView content = input.sliced(at);

    const QByteArray read = ReadIniValue(content, section, key);
    if (CutIniValue(read) != read)
        std::abort();
    try {
        RoundToInteger16(ReadLeadingNumber(read));
    } catch (const IniOverflow &) {
    }
    CPassword().Decrypt(read);

    const std::optional<QByteArray> written = WriteIniValue(content, section, key, value);
    if (written) {
        for (const QByteArrayView mark : {QByteArrayView("\xef\xbb\xbf"), QByteArrayView("\xff\xfe")}) {
            if (content.startsWith(mark) && !written->startsWith(mark))
                std::abort();
        }
        const QByteArray readBack = ReadIniValue(*written, section, key);
        if (readBack != NormalizeValue(value))
            std::abort();
        if (IsValueKept(value) && readBack != value)
            std::abort();
    }
    return 0;
}
