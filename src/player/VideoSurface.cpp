#include "VideoSurface.h"

#include "MpvSession.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {
constexpr qsizetype kAlignment = 64;
const QColor Backdrop(0x16, 0x18, 0x1c);
const QColor Ink(0x5c, 0x63, 0x6e);

qsizetype AlignedStride(int width)
{
    const qsizetype bytes = qsizetype(width) * 4;
    return (bytes + kAlignment - 1) / kAlignment * kAlignment;
}

// mpv writes the fourth byte of "bgr0" as 0, but Qt takes an RGB32 pixel's top byte for its alpha wherever it
// copies one into a picture that has alpha (a grab of the window, the window itself on some desktops): the
// video would come out transparent there. One pass over the frame makes every pixel opaque.
void MakeOpaque(uchar *pixels, QSize size, qsizetype stride)
{
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(pixels + y * stride);
        for (int x = 0; x < size.width(); ++x)
            line[x] |= 0xff000000u;
    }
}
}  // namespace

VideoSurface::VideoSurface(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted each time; Qt need not clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

VideoSurface::~VideoSurface() = default;

void VideoSurface::SetSession(MpvSession *newSession)
{
    if (session)
        disconnect(session, nullptr, this, nullptr);
    session = newSession;
    if (session)
        connect(session, &MpvSession::FrameChanged, this, &VideoSurface::RedrawFrame);
}

void VideoSurface::ShowEmptyPlayer()
{
    content = Content::EmptyPlayer;
    message.clear();
    update();
}

void VideoSurface::ShowVideo()
{
    content = Content::Video;
    message.clear();
    // Until mpv hands over the first frame of the new video the old one must not show.
    frameDrawn = false;
    update();
}

void VideoSurface::ShowMessage(const QString &text)
{
    content = Content::Message;
    message = text;
    update();
}

bool VideoSurface::MakeBuffer(QSize size)
{
    if (size.isEmpty())
        return false;
    if (frame.size() == size)
        return true;
    const qsizetype stride = AlignedStride(size.width());
    pixels.reset(static_cast<uchar *>(std::aligned_alloc(kAlignment, stride * size.height())));
    if (!pixels) {
        frame = QImage();
        return false;
    }
    // "bgr0" from mpv is this format byte for byte on the little-endian machines we run on.
    frame = QImage(pixels.get(), size.width(), size.height(), stride, QImage::Format_RGB32);
    frameDrawn = false;
    return true;
}

void VideoSurface::RedrawFrame()
{
    if (!session || content != Content::Video)
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize deviceSize(qRound(width() * ratio), qRound(height() * ratio));
    if (!MakeBuffer(deviceSize))
        return;
    session->RenderFrame(pixels.get(), frame.size(), frame.bytesPerLine());
    MakeOpaque(pixels.get(), frame.size(), frame.bytesPerLine());
    frame.setDevicePixelRatio(ratio);
    frameDrawn = true;
    // Painted now rather than at the next update pass: Qt merges updates that fall into one pass, and a
    // merged update is a frame the user never sees.
    if (isVisible())
        repaint();
}

void VideoSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    RedrawFrame();
}

void VideoSurface::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    switch (content) {
    case Content::Video:
        if (frameDrawn && frame.deviceIndependentSize().toSize() == size())
            painter.drawImage(QPointF(0, 0), frame);
        else
            painter.fillRect(rect(), Qt::black);
        break;
    case Content::EmptyPlayer:
        PaintEmptyPlayer(painter);
        break;
    case Content::Message:
        PaintMessage(painter);
        break;
    }
}

void VideoSurface::PaintEmptyPlayer(QPainter &painter)
{
    painter.fillRect(rect(), Backdrop);
    painter.setRenderHint(QPainter::Antialiasing);
    // A quiet outline of a screen with a play mark: the player is there, waiting for a video.
    const qreal unit = std::min(width(), height()) / 8.0;
    const QRectF screen(0, 0, unit * 3.2, unit * 2.2);
    const QRectF placed = screen.translated(rect().center() - screen.center());
    painter.setPen(QPen(Ink, std::max(1.0, unit / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(placed, unit / 4, unit / 4);
    QPainterPath play;
    const QPointF centre = placed.center();
    play.moveTo(centre + QPointF(-unit * 0.35, -unit * 0.5));
    play.lineTo(centre + QPointF(unit * 0.5, 0));
    play.lineTo(centre + QPointF(-unit * 0.35, unit * 0.5));
    play.closeSubpath();
    painter.setBrush(Ink);
    painter.drawPath(play);
}

void VideoSurface::PaintMessage(QPainter &painter)
{
    painter.fillRect(rect(), Backdrop);
    QFont font = painter.font();
    font.setPixelSize(std::max(12, std::min(width(), height()) / 16));
    painter.setFont(font);
    painter.setPen(QColor(0xe8, 0xea, 0xed));
    const int margin = width() / 12;
    painter.drawText(rect().adjusted(margin, 0, -margin, 0), Qt::AlignCenter | Qt::TextWordWrap, message);
}
