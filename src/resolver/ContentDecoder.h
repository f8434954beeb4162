#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>
#include <optional>

// The body of a page as its server encoded it (Content-Encoding), back to the page. Servers send gzip
// although we ask for identity; counting the page limit on what comes out keeps a small bomb small.
class ContentDecoder {
public:
    // Nothing for a coding we cannot undo ("br", a chain of codings).
    static std::optional<ContentDecoder> ForEncoding(QByteArrayView contentEncoding);

    ContentDecoder(ContentDecoder &&) noexcept;
    ContentDecoder &operator=(ContentDecoder &&) noexcept;
    ~ContentDecoder();

    // Appends what the bytes decode to, stopping once out holds more than limit bytes. False when the
    // bytes are not of this coding.
    bool Decode(QByteArrayView encoded, QByteArray &out, qint64 limit);
    // True when the encoded stream has ended properly (a body cut short has not).
    bool Ended() const;

private:
    struct Stream;
    explicit ContentDecoder(std::unique_ptr<Stream> stream);

    std::unique_ptr<Stream> stream;
};
