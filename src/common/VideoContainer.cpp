#include "VideoContainer.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace {

quint32 BigEndian32(QByteArrayView bytes, qsizetype at)
{
    return quint32(uchar(bytes[at])) << 24 | quint32(uchar(bytes[at + 1])) << 16 | quint32(uchar(bytes[at + 2])) << 8
        | quint32(uchar(bytes[at + 3]));
}

bool HasAt(QByteArrayView bytes, qsizetype at, QByteArrayView signature)
{
    return bytes.size() >= at + signature.size() && bytes.sliced(at, signature.size()) == signature;
}

// ISO media is a chain of boxes: size, type, contents. The file type box comes first in MP4 and 3GP; old
// QuickTime files begin with the movie or its data, perhaps after padding boxes.
bool IsIsoMedia(QByteArrayView head)
{
    qsizetype at = 0;
    for (int box = 0; box < 8 && at + 8 <= head.size(); ++box) {
        const quint32 size = BigEndian32(head, at);
        const QByteArrayView type = head.sliced(at + 4, 4);
        if (type == "ftyp" || type == "moov" || type == "mdat")
            return true;
        if (type != "wide" && type != "free" && type != "skip" && type != "pnot")
            return false;
        if (size < 8)
            return false;
        at += size;
    }
    return false;
}

struct Vint {
    quint64 value = 0;
    qsizetype length = 0;
};

// An EBML variable-length number: its length is told by the leading zero bits of its first byte. Element
// numbers keep that length marker, sizes do not.
std::optional<Vint> ReadVint(QByteArrayView bytes, qsizetype at, bool keepMarker)
{
    if (at >= bytes.size())
        return std::nullopt;
    const uchar first = uchar(bytes[at]);
    if (first == 0)
        return std::nullopt;
    qsizetype length = 1;
    while (!(first & (0x80 >> (length - 1))))
        ++length;
    if (at + length > bytes.size())
        return std::nullopt;
    quint64 value = keepMarker ? first : first & (0xff >> length);
    for (qsizetype i = 1; i < length; ++i)
        value = value << 8 | uchar(bytes[at + i]);
    return Vint{value, length};
}

// Matroska and WebM share the EBML header; its document type tells them apart, "matroska" when it names none.
VideoContainer EbmlKind(QByteArrayView head)
{
    constexpr quint64 kDocType = 0x4282;
    const std::optional<Vint> headerSize = ReadVint(head, 4, false);
    if (!headerSize)
        return VideoContainer::Unknown;
    qsizetype at = 4 + headerSize->length;
    const qsizetype end = std::min<quint64>(head.size(), at + headerSize->value);
    while (at < end) {
        const std::optional<Vint> id = ReadVint(head, at, true);
        const std::optional<Vint> size = id ? ReadVint(head, at + id->length, false) : std::nullopt;
        if (!size)
            return VideoContainer::Unknown;
        const qsizetype data = at + id->length + size->length;
        if (id->value == kDocType) {
            if (size->value > quint64(end - data))
                return VideoContainer::Unknown;
            QByteArrayView type = head.sliced(data, qsizetype(size->value));
            // A string may be padded with NULs.
            if (const qsizetype nul = type.indexOf('\0'); nul >= 0)
                type = type.first(nul);
            if (type == "webm")
                return VideoContainer::WebM;
            return type == "matroska" ? VideoContainer::Matroska : VideoContainer::Unknown;
        }
        if (size->value > quint64(end - data))
            break;
        at = data + qsizetype(size->value);
    }
    return VideoContainer::Matroska;
}

// A transport stream puts its sync byte 0x47 at the start of every packet; three packets in a row are asked
// for, and every packet the head holds must agree.
bool IsTransportStream(QByteArrayView head, qsizetype first, qsizetype packet)
{
    if (head.size() < first + 2 * packet + 1)
        return false;
    for (qsizetype at = first; at < head.size(); at += packet) {
        if (uchar(head[at]) != 0x47)
            return false;
    }
    return true;
}

const QByteArrayView kAsfHeader("\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c", 16);
const QByteArrayView kMxfPartition("\x06\x0e\x2b\x34\x02\x05\x01\x01\x0d\x01\x02\x01\x01", 13);
const QByteArrayView kMpegPack("\x00\x00\x01\xba", 4);
const QByteArrayView kMpegSequence("\x00\x00\x01\xb3", 4);
const QByteArrayView kTheora("\x80theora", 7);

}  // namespace

VideoContainer ContainerOf(QByteArrayView bytes)
{
    // A whole downloaded video may be handed in; what is judged is its head.
    const QByteArrayView head = bytes.first(std::min(bytes.size(), kVideoHeadBytes));
    if (HasAt(head, 0, "FLV"))
        return VideoContainer::Flv;
    if (IsIsoMedia(head))
        return VideoContainer::Mp4;
    if (HasAt(head, 0, "\x1a\x45\xdf\xa3"))
        return EbmlKind(head);
    if (IsTransportStream(head, 0, 188))
        return VideoContainer::MpegTs;
    if (IsTransportStream(head, 4, 192))
        return VideoContainer::M2ts;
    if (HasAt(head, 0, kMpegPack) || HasAt(head, 0, kMpegSequence))
        return VideoContainer::Mpeg;
    if (HasAt(head, 0, "RIFF") && (HasAt(head, 8, "AVI ") || HasAt(head, 8, "AVIX")))
        return VideoContainer::Avi;
    if (HasAt(head, 0, kAsfHeader))
        return VideoContainer::Asf;
    // Ogg names its codecs in the first packets; Ogg with Vorbis alone is sound, not video.
    if (HasAt(head, 0, "OggS") && head.indexOf(kTheora) > 0)
        return VideoContainer::OggTheora;
    if (HasAt(head, 0, ".RMF"))
        return VideoContainer::RealMedia;
    if (HasAt(head, 0, kMxfPartition))
        return VideoContainer::Mxf;
    if (HasAt(head, 0, QByteArrayView("nut/multimedia container\0", 25)))
        return VideoContainer::Nut;
    return VideoContainer::Unknown;
}

VideoContainer ContainerOfFile(const QString &path)
{
    // A folder opens for reading on Linux; it is no video whatever it is called.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return VideoContainer::Unknown;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return VideoContainer::Unknown;
    return ContainerOf(file.read(kVideoHeadBytes));
}

bool IsVideoFile(const QString &path)
{
    return ContainerOfFile(path) != VideoContainer::Unknown;
}

QString ExtensionOf(VideoContainer container)
{
    switch (container) {
    case VideoContainer::Unknown:
    case VideoContainer::Flv:
        break;
    case VideoContainer::Mp4:
        return QStringLiteral("mp4");
    case VideoContainer::WebM:
        return QStringLiteral("webm");
    case VideoContainer::Matroska:
        return QStringLiteral("mkv");
    case VideoContainer::MpegTs:
        return QStringLiteral("ts");
    case VideoContainer::M2ts:
        return QStringLiteral("m2ts");
    case VideoContainer::Mpeg:
        return QStringLiteral("mpg");
    case VideoContainer::Avi:
        return QStringLiteral("avi");
    case VideoContainer::Asf:
        return QStringLiteral("wmv");
    case VideoContainer::OggTheora:
        return QStringLiteral("ogv");
    case VideoContainer::RealMedia:
        return QStringLiteral("rm");
    case VideoContainer::Mxf:
        return QStringLiteral("mxf");
    case VideoContainer::Nut:
        return QStringLiteral("nut");
    }
    return QStringLiteral("flv");
}

QStringList VideoExtensions()
{
    return {QStringLiteral("flv"),  QStringLiteral("f4v"), QStringLiteral("mp4"),  QStringLiteral("m4v"),
            QStringLiteral("mov"),  QStringLiteral("3gp"), QStringLiteral("webm"), QStringLiteral("mkv"),
            QStringLiteral("ts"),   QStringLiteral("mts"), QStringLiteral("m2ts"), QStringLiteral("mpg"),
            QStringLiteral("mpeg"), QStringLiteral("vob"), QStringLiteral("avi"),  QStringLiteral("wmv"),
            QStringLiteral("asf"),  QStringLiteral("ogv"), QStringLiteral("rm"),   QStringLiteral("rmvb"),
            QStringLiteral("mxf"),  QStringLiteral("nut")};
}
