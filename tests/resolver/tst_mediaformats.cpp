#include "MediaFormats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

// The choice among yt-dlp's formats: files the program can download as they are, or else a stream to remux.
class TestMediaFormats : public QObject {
    Q_OBJECT

private slots:
    void choosesDelivery_data();
    void choosesDelivery();
    void offersEachHeightAndTheSound_data();
    void offersEachHeightAndTheSound();
    void readsOnlyWebAddressesAndSafeHeaders();
};

namespace {

QJsonObject Format(const QString &url, const QString &protocol, const QString &ext, const QString &vcodec,
                   const QString &acodec, int height, QJsonObject headers = {})
{
    QJsonObject format{{"url", url},       {"protocol", protocol}, {"ext", ext},
                       {"vcodec", vcodec}, {"acodec", acodec},     {"http_headers", headers}};
    if (height > 0)
        format.insert("height", height);
    return format;
}

QJsonObject Info(const QJsonArray &formats, const QString &extractor = QStringLiteral("Youtube"), bool live = false)
{
    return {{"extractor_key", extractor}, {"is_live", live}, {"formats", formats}};
}

QString Describe(const Delivery &delivery)
{
    QStringList parts;
    for (const QUrl &file : delivery.files)
        parts.append(QStringLiteral("file ") + file.toString());
    if (delivery.stream) {
        for (const StreamInput &input : delivery.stream->inputs) {
            QString part = QStringLiteral("stream ") + input.url.toString();
            if (input.streamNumber >= 0)
                part += QStringLiteral(" #%1").arg(input.streamNumber);
            for (const auto &[name, value] : input.headers)
                part +=
                    QStringLiteral(" ") + QString::fromLatin1(name) + QStringLiteral("=") + QString::fromUtf8(value);
            parts.append(part);
        }
        parts.append(delivery.stream->flvFits ? QStringLiteral("flv") : QStringLiteral("matroska"));
    }
    return parts.join(QStringLiteral("; "));
}

// "file URL" or "stream URL+URL", then what the answer says of it.
QString Describe(const MediaChoice &choice)
{
    QStringList inputs;
    if (choice.stream)
        for (const StreamInput &input : choice.stream->inputs)
            inputs.append(input.url.toString());
    const VideoChoice &video = choice.video;
    return (choice.stream ? QStringLiteral("stream ") + inputs.join(QLatin1Char('+'))
                          : QStringLiteral("file ") + video.url.toString())
        + QStringLiteral(" %1x%2 %3 %4%5")
              .arg(video.width)
              .arg(video.height)
              .arg(video.container)
              .arg(video.size)
              .arg(video.soundOnly ? QStringLiteral(" sound") : QString());
}

QJsonObject Sized(QJsonObject format, int width, double tbr, const char *sizeKey = nullptr, qint64 size = 0)
{
    format.insert("width", width);
    format.insert("tbr", tbr);
    if (sizeKey)
        format.insert(sizeKey, size);
    return format;
}

const QString kA = QStringLiteral("http://cdn.example/a");
const QString kB = QStringLiteral("http://cdn.example/b");
const QString kC = QStringLiteral("http://cdn.example/c");

}  // namespace

void TestMediaFormats::choosesDelivery_data()
{
    QTest::addColumn<QJsonObject>("info");
    QTest::addColumn<int>("maxHeight");
    QTest::addColumn<QString>("chosen");

    const QString avc = QStringLiteral("avc1.64001f"), aac = QStringLiteral("mp4a.40.2");
    QTest::newRow("flv before mp4 before webm, whatever their height")
        << Info({Format(kA + ".webm", "https", "webm", "vp9", "opus", 720),
                 Format(kB + ".mp4", "https", "mp4", avc, aac, 720),
                 Format(kC + ".flv", "http", "flv", "h264", "mp3", 240)})
        << 1080 << "file http://cdn.example/c.flv; file http://cdn.example/b.mp4; file http://cdn.example/a.webm";
    QTest::newRow("the tallest first within a container, none over the limit")
        << Info({Format(kA, "https", "mp4", avc, aac, 360), Format(kB, "https", "mp4", avc, aac, 1440),
                 Format(kC, "https", "mp4", avc, aac, 720)})
        << 1080 << "file http://cdn.example/c; file http://cdn.example/a";
    QTest::newRow("unknown codecs and height count as a whole file")
        << Info({Format(kA + ".mp4", "http", "mp4", "", "", 0)}, "Generic") << 1080 << "file http://cdn.example/a.mp4";
    QTest::newRow("the generic extractor's Referer is no demand")
        << Info({Format(kA, "http", "mp4", avc, aac, 360, {{"Referer", "http://site.example/page"}})}, "Generic")
        << 1080 << "file http://cdn.example/a";
    QTest::newRow("a site's own header makes a stream")
        << Info({Format(kA, "https", "mp4", avc, aac, 360, {{"Referer", "https://site.example/"}})}) << 1080
        << "stream http://cdn.example/a Referer=https://site.example/; flv";
    QTest::newRow("picture-only and sound-only files are no file")
        << Info({Format(kA, "https", "mp4", avc, "none", 720), Format(kB, "https", "m4a", "none", aac, 0)}) << 1080
        << "stream http://cdn.example/a; stream http://cdn.example/b; flv";
    QTest::newRow("hls: the tallest variant with both up to the limit")
        << Info({Format(kA + ".m3u8", "m3u8_native", "mp4", avc, aac, 240),
                 Format(kB + ".m3u8", "m3u8_native", "mp4", avc, aac, 1080),
                 Format(kC + ".m3u8", "m3u8_native", "mp4", avc, aac, 2160)})
        << 1080 << "stream http://cdn.example/b.m3u8; flv";
    QTest::newRow("dash: best picture with best sound, by their numbers in the manifest")
        << Info({[&] {
                     QJsonObject f = Format(kA + ".mpd", "http_dash_segments", "mp4", avc, "none", 480);
                     f.insert("manifest_stream_number", 0);
                     return f;
                 }(),
                 [&] {
                     QJsonObject f = Format(kA + ".mpd", "http_dash_segments", "m4a", "none", aac, 0);
                     f.insert("manifest_stream_number", 2);
                     f.insert("tbr", 128);
                     return f;
                 }(),
                 [&] {
                     QJsonObject f = Format(kA + ".mpd", "http_dash_segments", "m4a", "none", aac, 0);
                     f.insert("manifest_stream_number", 1);
                     f.insert("tbr", 64);
                     return f;
                 }()})
        << 1080 << "stream http://cdn.example/a.mpd #0; stream http://cdn.example/a.mpd #2; flv";
    QTest::newRow("a taller picture-only pair beats a muxed stream")
        << Info({Format(kA, "m3u8_native", "mp4", avc, aac, 360), Format(kB, "m3u8_native", "mp4", avc, "none", 720),
                 Format(kC, "m3u8_native", "mp4", "none", aac, 0)})
        << 1080 << "stream http://cdn.example/b; stream http://cdn.example/c; flv";
    QTest::newRow("codecs FLV cannot hold: matroska")
        << Info({Format(kA, "http_dash_segments", "webm", "vp9", "none", 720),
                 Format(kB, "http_dash_segments", "webm", "none", "opus", 0)})
        << 1080 << "stream http://cdn.example/a; stream http://cdn.example/b; matroska";
    QTest::newRow("everything taller than the limit: the lowest")
        << Info({Format(kA, "https", "mp4", avc, aac, 2160), Format(kB, "https", "mp4", avc, aac, 1440)}) << 1080
        << "file http://cdn.example/b";
    QTest::newRow("drm and unknown protocols are left out")
        << Info({[&] {
                     QJsonObject f = Format(kA, "https", "mp4", avc, aac, 720);
                     f.insert("has_drm", true);
                     return f;
                 }(),
                 Format(kB, "rtmp", "flv", avc, aac, 720), Format(kC, "ism", "ismv", avc, aac, 720)})
        << 1080 << "";
}

void TestMediaFormats::choosesDelivery()
{
    QFETCH(QJsonObject, info);
    QFETCH(int, maxHeight);
    QFETCH(QString, chosen);
    const std::optional<MediaInfo> media = MediaFormats::ReadMediaInfo(info);
    QVERIFY(media);
    QCOMPARE(Describe(MediaFormats::ChooseDelivery(*media, maxHeight)), chosen);
}

void TestMediaFormats::offersEachHeightAndTheSound_data()
{
    QTest::addColumn<QJsonObject>("info");
    QTest::addColumn<QStringList>("choices");

    const QString avc = QStringLiteral("avc1.640028"), aac = QStringLiteral("mp4a.40.2");
    QTest::newRow("one muxed file, then each height streamed with the best sound, then that sound")
        << Info({Sized(Format(kA + "18", "https", "mp4", avc, aac, 360), 640, 600, "filesize", 5000000),
                 Sized(Format(kA + "313", "https", "webm", "vp9", "none", 2160), 3840, 9000),
                 Sized(Format(kA + "137", "https", "mp4", avc, "none", 1080), 1920, 4000, "filesize", 80000000),
                 Sized(Format(kA + "248", "https", "webm", "vp9", "none", 1080), 1920, 3000),
                 Sized(Format(kA + "136", "https", "mp4", avc, "none", 720), 1280, 2000, "filesize_approx", 40000000),
                 Sized(Format(kA + "140", "https", "m4a", "none", aac, 0), 0, 129, "filesize", 3000000),
                 Sized(Format(kA + "251", "https", "webm", "none", "opus", 0), 0, 140, "filesize", 3500000)})
        << QStringList{"file http://cdn.example/a18 640x360 mp4 5000000",
                       "stream http://cdn.example/a313+http://cdn.example/a251 3840x2160 mkv -1",
                       "stream http://cdn.example/a137+http://cdn.example/a251 1920x1080 mkv 83500000",
                       "stream http://cdn.example/a136+http://cdn.example/a251 1280x720 mkv 43500000",
                       "file http://cdn.example/a251 0x0 webm 3500000 sound"};
    QTest::newRow("the files up to the limit as before, then a taller one")
        << Info({Format(kA + ".mp4", "https", "mp4", avc, aac, 720),
                 Format(kB + ".mp4", "https", "mp4", avc, aac, 1440),
                 Format(kC + ".flv", "http", "flv", "h264", "mp3", 240)})
        << QStringList{"file http://cdn.example/c.flv 0x240 flv -1", "file http://cdn.example/a.mp4 0x720 mp4 -1",
                       "file http://cdn.example/b.mp4 0x1440 mp4 -1"};
    QTest::newRow("sound alone, streamed; unknown codecs leave the container to ffmpeg")
        << Info({Format(kA + ".m3u8", "m3u8_native", "mp4", "", "", 480),
                 Format(kB + ".m3u8", "m3u8_native", "m4a", "none", aac, 0)})
        << QStringList{"stream http://cdn.example/a.m3u8 0x480  -1",
                       "stream http://cdn.example/b.m3u8 0x0 flv -1 sound"};
}

void TestMediaFormats::offersEachHeightAndTheSound()
{
    QFETCH(QJsonObject, info);
    QFETCH(QStringList, choices);
    const std::optional<MediaInfo> media = MediaFormats::ReadMediaInfo(info);
    QVERIFY(media);
    QStringList offered;
    for (const MediaChoice &choice : MediaFormats::OfferChoices(*media, 1080))
        offered.append(Describe(choice));
    QCOMPARE(offered, choices);
}

void TestMediaFormats::readsOnlyWebAddressesAndSafeHeaders()
{
    const QJsonObject garbage = QJsonDocument::fromJson(R"json({"formats": [
        {"url": "file:///etc/passwd", "protocol": "http"},
        {"url": "javascript:alert(1)", "protocol": "https"},
        {"url": 7},
        "nonsense"
    ]})json")
                                    .object();
    QVERIFY(!MediaFormats::ReadMediaInfo(garbage));
    QVERIFY(!MediaFormats::ReadMediaInfo(QJsonObject{{"formats", "nonsense"}}));

    // ffmpeg gets these on its command line: a header that would start another one is dropped.
    const std::optional<MediaInfo> media = MediaFormats::ReadMediaInfo(
        Info({Format(kA, "https", "mp4", "", "", 0,
                     {{"Referer", "https://site.example/"}, {"X-Evil", "a\r\nHost: elsewhere"}, {"Bad Name", "x"}})}));
    QVERIFY(media);
    QCOMPARE(media->formats.first().headers,
             (HeaderList{{QByteArray("Referer"), QByteArray("https://site.example/")}}));
    QVERIFY(MediaFormats::ReadMediaInfo(Info({Format(kA, "https", "mp4", "", "", 0)}, "Generic", true))->isLive);
}

QTEST_GUILESS_MAIN(TestMediaFormats)
#include "tst_mediaformats.moc"
