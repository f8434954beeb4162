#include "FlvMaker.h"
#include "VideoContainer.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(VideoContainer)

namespace {

QByteArray Packets(qsizetype count, qsizetype size, qsizetype syncAt)
{
    QByteArray bytes(count * size, '\xff');
    for (qsizetype packet = 0; packet < count; ++packet)
        bytes[packet * size + syncAt] = 0x47;
    return bytes;
}

// An EBML header holding the given elements (each already coded), then the start of a segment.
QByteArray Ebml(const QByteArray &elements)
{
    return QByteArray("\x1a\x45\xdf\xa3", 4) + char(0x80 | elements.size()) + elements
        + QByteArray("\x18\x53\x80\x67", 4);
}

QByteArray DocType(const QByteArray &type)
{
    return QByteArray("\x42\x82", 2) + char(0x80 | type.size()) + type;
}

QByteArray Box(const char *type, quint32 size)
{
    QByteArray box(4, '\0');
    box[0] = char(size >> 24);
    box[1] = char(size >> 16);
    box[2] = char(size >> 8);
    box[3] = char(size);
    box.append(type, 4);
    return box.leftJustified(qMin<quint32>(size, 64), '\0');
}

}  // namespace

// What kind of video a file is, by its first bytes: hand-made heads for the edges, files made by ffmpeg for
// the real thing.
class TestVideoContainer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void byFirstBytes_data();
    void byFirstBytes();
    void realFiles_data();
    void realFiles();
    void whatIsNoFile();
    void everyKindHasItsExtension();

private:
    QTemporaryDir folder;
};

void TestVideoContainer::initTestCase()
{
    QVERIFY(folder.isValid());
}

void TestVideoContainer::byFirstBytes_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<VideoContainer>("container");
    using C = VideoContainer;
    QTest::newRow("FLV signature") << QByteArray("FLV\x01\x05\0\0\0\x09", 9) << C::Flv;
    QTest::newRow("exactly FLV") << QByteArray("FLV") << C::Flv;
    QTest::newRow("flv in lower case") << QByteArray("flv\x01\x05") << C::Unknown;
    QTest::newRow("mixed case") << QByteArray("FlV\x01") << C::Unknown;
    QTest::newRow("two bytes") << QByteArray("FL") << C::Unknown;
    QTest::newRow("nothing") << QByteArray() << C::Unknown;
    QTest::newRow("FLV later") << QByteArray(" FLV") << C::Unknown;
    QTest::newRow("text") << QByteArray("Hello, this is a plain text file.\n") << C::Unknown;
    QTest::newRow("MP4 file type box") << Box("ftyp", 32) << C::Mp4;
    QTest::newRow("QuickTime, padding then data") << Box("wide", 8) + Box("mdat", 1000) << C::Mp4;
    QTest::newRow("QuickTime, movie first") << Box("moov", 600) << C::Mp4;
    QTest::newRow("padding box alone") << Box("free", 8) + QByteArray("text after it") << C::Unknown;
    QTest::newRow("\"free\" in a text") << QByteArray("I'm free to say anything at all") << C::Unknown;
    QTest::newRow("padding box of size 0") << Box("skip", 0) << C::Unknown;
    QTest::newRow("WebM") << Ebml(QByteArray("\x42\x86\x81\x01", 4) + DocType("webm")) << C::WebM;
    QTest::newRow("Matroska") << Ebml(DocType("matroska") + QByteArray("\x42\x87\x81\x04", 4)) << C::Matroska;
    QTest::newRow("document type padded") << Ebml(DocType(QByteArray("webm\0\0", 6))) << C::WebM;
    QTest::newRow("no document type is Matroska") << Ebml(QByteArray("\x42\x86\x81\x01", 4)) << C::Matroska;
    QTest::newRow("other EBML document") << Ebml(DocType("notvideo")) << C::Unknown;
    QTest::newRow("EBML signature alone") << QByteArray("\x1a\x45\xdf\xa3", 4) << C::Unknown;
    QTest::newRow("document type longer than the header")
        << QByteArray("\x1a\x45\xdf\xa3\x85\x42\x82\x88web", 11) << C::Unknown;
    QTest::newRow("transport stream") << Packets(3, 188, 0) << C::MpegTs;
    QTest::newRow("two packets are too few") << Packets(2, 188, 0) << C::Unknown;
    QTest::newRow("a packet out of step") << Packets(5, 188, 0).replace(3 * 188, 1, "\x46") << C::Unknown;
    QTest::newRow("a long stream, its head judged") << Packets(22, 188, 0) + Packets(6000, 188, 7) << C::MpegTs;
    QTest::newRow("192-byte packets") << Packets(3, 192, 4) << C::M2ts;
    QTest::newRow("G of a text") << QByteArray("Good morning") << C::Unknown;
    QTest::newRow("MPEG program stream") << QByteArray("\x00\x00\x01\xba\x44\x00", 6) << C::Mpeg;
    QTest::newRow("MPEG video stream") << QByteArray("\x00\x00\x01\xb3\x14\x00", 6) << C::Mpeg;
    QTest::newRow("AVI") << QByteArray("RIFF\x10\0\0\0AVI LIST", 16) << C::Avi;
    QTest::newRow("WAV is sound") << QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16) << C::Unknown;
    QTest::newRow("ASF") << QByteArray("\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c", 16)
                         << C::Asf;
    QTest::newRow("Ogg with Theora") << QByteArray("OggS\0\x02", 6) + QByteArray(22, '\0') + "\x80theora"
                                     << C::OggTheora;
    QTest::newRow("Ogg with Vorbis alone")
        << QByteArray("OggS\0\x02", 6) + QByteArray(22, '\0') + "\x01vorbis" << C::Unknown;
    QTest::newRow("RealMedia") << QByteArray(".RMF\0\0\0\x12", 8) << C::RealMedia;
    QTest::newRow("MXF") << QByteArray("\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01\x02\x04\x00", 16)
                         << C::Mxf;
    QTest::newRow("NUT") << QByteArray("nut/multimedia container\0", 25) << C::Nut;
    QTest::newRow("NUT without its end") << QByteArray("nut/multimedia container") << C::Unknown;
}

void TestVideoContainer::byFirstBytes()
{
    QFETCH(QByteArray, head);
    QFETCH(VideoContainer, container);
    QCOMPARE(ContainerOf(head), container);
    // The same bytes as a file.
    const QString path = FlvMaker::WriteFile(folder.path(), QStringLiteral("head"), head);
    QVERIFY(!path.isEmpty());
    QCOMPARE(ContainerOfFile(path), container);
    QCOMPARE(IsVideoFile(path), container != VideoContainer::Unknown);
}

void TestVideoContainer::realFiles_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<VideoContainer>("container");
    QTest::addColumn<QString>("extension");
    using F = FlvMaker::Format;
    using C = VideoContainer;
    const QString flv = FlvMaker::MakeFlv(folder.path(), QStringLiteral("clip"), {FlvMaker::Codecs::H264Aac, 0.5});
    QTest::newRow("FLV") << flv << C::Flv << "flv";
    const struct {
        const char *name;
        F format;
        C container;
        const char *extension;
    } made[] = {
        {"MP4", F::Mp4, C::Mp4, "mp4"},
        {"QuickTime", F::QuickTime, C::Mp4, "mp4"},
        {"WebM", F::WebM, C::WebM, "webm"},
        {"Matroska", F::Matroska, C::Matroska, "mkv"},
        {"MPEG-TS", F::MpegTs, C::MpegTs, "ts"},
        {"M2TS", F::M2ts, C::M2ts, "m2ts"},
        {"MPEG-PS", F::MpegPs, C::Mpeg, "mpg"},
        {"AVI", F::Avi, C::Avi, "avi"},
        {"ASF", F::Asf, C::Asf, "wmv"},
        {"Ogg Theora", F::OggTheora, C::OggTheora, "ogv"},
        {"RealMedia", F::RealMedia, C::RealMedia, "rm"},
        {"MXF", F::Mxf, C::Mxf, "mxf"},
        {"NUT", F::Nut, C::Nut, "nut"},
        {"Ogg Vorbis, sound alone", F::OggVorbis, C::Unknown, "flv"},
    };
    for (const auto &kind : made) {
        // Named without an extension: only the content can tell.
        const QString name = QString::fromLatin1(kind.name).replace(QLatin1Char(' '), QLatin1Char('_'));
        QTest::newRow(kind.name) << FlvMaker::MakeMedia(folder.path(), name, kind.format, 0.5) << kind.container
                                 << QString::fromLatin1(kind.extension);
    }
}

void TestVideoContainer::realFiles()
{
    QFETCH(QString, file);
    QFETCH(VideoContainer, container);
    QFETCH(QString, extension);
    QVERIFY(!file.isEmpty());
    QCOMPARE(ContainerOfFile(file), container);
    QCOMPARE(ExtensionOf(ContainerOfFile(file)), extension);
}

void TestVideoContainer::whatIsNoFile()
{
    QCOMPARE(ContainerOfFile(QString()), VideoContainer::Unknown);
    QCOMPARE(ContainerOfFile(folder.filePath(QStringLiteral("missing.flv"))), VideoContainer::Unknown);
    // A folder whose name looks like a video is still not one.
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("folder.flv")));
    QVERIFY(!IsVideoFile(folder.filePath(QStringLiteral("folder.flv"))));
}

void TestVideoContainer::everyKindHasItsExtension()
{
    // Every kind is found by the open dialog's list of videos under the name it is saved with.
    for (int kind = int(VideoContainer::Unknown); kind <= int(VideoContainer::Nut); ++kind)
        QVERIFY(VideoExtensions().contains(ExtensionOf(VideoContainer(kind))));
}

QTEST_GUILESS_MAIN(TestVideoContainer)
#include "tst_videocontainer.moc"
