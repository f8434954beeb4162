#include "ContentDecoder.h"

#include <QTest>

#include <zlib.h>

// Pages their servers compress although we ask for identity.
class TestContentDecoder : public QObject {
    Q_OBJECT

private slots:
    void decodesPages_data();
    void decodesPages();
    void stopsAtTheLimit();
    void knowsItsCodings();
};

namespace {

// windowBits as zlib takes them: 15 + 16 gzip, 15 zlib's wrapping, -15 bare deflate.
QByteArray Compress(const QByteArray &data, int windowBits)
{
    z_stream stream{};
    deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&stream, uLong(data.size())) + 64), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    stream.avail_in = uInt(data.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(qsizetype(stream.total_out));
    deflateEnd(&stream);
    return out;
}

}  // namespace

void TestContentDecoder::decodesPages_data()
{
    const QByteArray page = "<html><video src=\"/v.flv\"></video>" + QByteArray(5000, ' ') + "</html>";
    QTest::addColumn<QByteArray>("coding");
    QTest::addColumn<QByteArray>("encoded");
    QTest::addColumn<QByteArray>("decoded");
    QTest::addColumn<bool>("ok");
    QTest::newRow("identity") << QByteArray() << page << page << true;
    QTest::newRow("gzip") << QByteArray("gzip") << Compress(page, 31) << page << true;
    QTest::newRow("x-gzip, two members") << QByteArray("x-gzip") << Compress(page, 31) + Compress("more", 31)
                                         << page + "more" << true;
    QTest::newRow("deflate") << QByteArray("deflate") << Compress(page, 15) << page << true;
    QTest::newRow("bare deflate") << QByteArray("Deflate") << Compress(page, -15) << page << true;
    QTest::newRow("not gzip at all") << QByteArray("gzip") << page << QByteArray() << false;
}

void TestContentDecoder::decodesPages()
{
    QFETCH(QByteArray, coding);
    QFETCH(QByteArray, encoded);
    QFETCH(QByteArray, decoded);
    QFETCH(bool, ok);
    // In one piece and in small ones, as the network delivers.
    for (const qsizetype piece : {encoded.size(), qsizetype(3)}) {
        std::optional<ContentDecoder> decoder = ContentDecoder::ForEncoding(coding);
        QVERIFY(decoder);
        QByteArray out;
        bool decodedAll = true;
        for (qsizetype at = 0; at < encoded.size() && decodedAll; at += piece)
            decodedAll =
                decoder->Decode(QByteArrayView(encoded).sliced(at, std::min(piece, encoded.size() - at)), out, 1 << 20);
        QCOMPARE(decodedAll && decoder->Ended(), ok);
        if (ok)
            QCOMPARE(out, decoded);
    }
}

void TestContentDecoder::stopsAtTheLimit()
{
    // Ten megabytes that compress to a few kilobytes: no more than the limit is ever made of them.
    const QByteArray bomb = Compress(QByteArray(10 * 1024 * 1024, 'a'), 31);
    QVERIFY(bomb.size() < 64 * 1024);
    std::optional<ContentDecoder> decoder = ContentDecoder::ForEncoding("gzip");
    QByteArray out;
    QVERIFY(decoder->Decode(bomb, out, 4096));
    QVERIFY(out.size() > 4096);
    QVERIFY(out.size() <= 4096 + 64 * 1024);
    QVERIFY(!decoder->Ended());
}

void TestContentDecoder::knowsItsCodings()
{
    QVERIFY(ContentDecoder::ForEncoding(" GZIP "));
    QVERIFY(!ContentDecoder::ForEncoding("br"));
    QVERIFY(!ContentDecoder::ForEncoding("gzip, deflate"));
    QVERIFY(!ContentDecoder::ForEncoding("compress"));
}

QTEST_GUILESS_MAIN(TestContentDecoder)
#include "tst_contentdecoder.moc"
