// Renders every style and state of the push button at 100 % and 200 % into PNG files for looking at:
//   xpb_gallery OUTPUT_FOLDER
#include "XpB.h"
#include "XpBPainter.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTextStream>

namespace {

struct State {
    const char *name;
    bool down, over, focus, enabled;
};

const State kStates[] = {
    {"rest", false, false, false, true},      {"hover", false, true, false, true},
    {"pressed", true, true, false, true},     {"focus", false, false, true, true},
    {"focus+hover", false, true, true, true}, {"disabled", false, false, false, false},
};

QImage Arrow()
{
    QImage bitmap(16, 16, QImage::Format_RGB32);
    bitmap.fill(QColor(255, 0, 255));
    QPainter painter(&bitmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 128, 0));
    painter.drawPolygon(QPolygon({QPoint(3, 2), QPoint(13, 8), QPoint(3, 14)}));
    painter.fillRect(QRect(3, 2, 1, 13), Qt::black);
    return bitmap;
}

XpBFace MakeFace(int style, const State &state, int W, int H, const QString &caption, const XpPicture &picture,
                 int position)
{
    XpBFace face;
    face.W = W;
    face.H = H;
    face.ButtonStyle = XpBLook::Style(style);
    face.IsDown = state.down;
    face.IsOver = state.over;
    face.HasFocus = state.focus;
    face.Enabled = state.enabled;
    face.Caption = caption;
    face.Picture = picture;
    face.PicturePosition = position;
    if (!picture.isNone()) {
        face.PictureWidth = picture.naturalSize().width();
        face.PictureHeight = picture.naturalSize().height();
    }
    face.Palette = QApplication::palette();
    face.Font = QApplication::font();
    return face;
}

// An icon carries its own transparency.
QIcon RoundIcon()
{
    QImage art(16, 16, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    QPainter painter(&art);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 90, 200));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRectF(1, 1, 14, 14));
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(6, 4.5), QPointF(12, 8), QPointF(6, 11.5)}));
    return QIcon(QPixmap::fromImage(art));
}

// A few small buttons, each device pixel enlarged to a block, for checking single pixels.
QImage Zoomed(qreal ratio, int zoom)
{
    const XpPicture bitmap = XpPicture::FromBitmap(Arrow());
    const int columns = int(std::size(kStates));
    QImage small(qRound((columns * 30 + 4) * ratio), qRound((3 * 26 + 4) * ratio), QImage::Format_RGB32);
    small.setDevicePixelRatio(ratio);
    small.fill(QApplication::palette().color(QPalette::Button));
    QPainter painter(&small);
    for (int c = 0; c < columns; ++c) {
        for (int style = 1; style <= 3; ++style) {
            XpBFace face = MakeFace(style, kStates[c], 21, 20, QString(), style == 3 ? XpPicture() : bitmap, 1);
            painter.save();
            painter.translate(4 + c * 30, 4 + (style - 1) * 26);
            DrawXpB(painter, face);
            painter.restore();
        }
    }
    painter.end();
    QImage zoomed = small.scaled(small.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    zoomed.setDevicePixelRatio(1);
    return zoomed;
}

QImage Sheet(qreal ratio)
{
    const XpPicture bitmap = XpPicture::FromBitmap(Arrow());
    const XpPicture icon = XpPicture::FromIcon(RoundIcon(), QSize(16, 16));
    struct Sample {
        int W, H;
        QString caption;
        XpPicture picture;
        int position;
    };
    const Sample samples[] = {
        {110, 28, QStringLiteral("&Открыть"), bitmap, 1},
        {110, 28, QStringLiteral("A&&B &Save"), XpPicture(), 1},
        {21, 20, QString(), bitmap, 1},
        {80, 56, QStringLiteral("&Скачать"), bitmap, 0},
        {80, 56, QStringLiteral("Открыть сохранённое видео"), XpPicture(), 1},
        {110, 28, QStringLiteral("&Play"), icon, 2},
    };
    const int cellW = 130;
    const int cellH = 70;
    const int columns = int(std::size(kStates));
    const int rows = 4 * int(std::size(samples));
    QImage sheet(qRound((120 + columns * cellW) * ratio), qRound((30 + rows * cellH) * ratio), QImage::Format_RGB32);
    sheet.setDevicePixelRatio(ratio);
    sheet.fill(QApplication::palette().color(QPalette::Button));
    QPainter painter(&sheet);
    for (int c = 0; c < columns; ++c)
        painter.drawText(QPoint(120 + c * cellW, 18), QString::fromLatin1(kStates[c].name));
    int row = 0;
    for (const Sample &sample : samples) {
        for (int style = 0; style < 4; ++style, ++row) {
            painter.drawText(QPoint(4, 30 + row * cellH + 18), QStringLiteral("style %1").arg(style));
            for (int c = 0; c < columns; ++c) {
                XpBFace face =
                    MakeFace(style, kStates[c], sample.W, sample.H, sample.caption, sample.picture, sample.position);
                painter.save();
                painter.translate(120 + c * cellW, 30 + row * cellH);
                DrawXpB(painter, face);
                painter.restore();
            }
        }
    }
    return sheet;
}

}  // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: xpb_gallery OUTPUT_FOLDER\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) {
        err << "cannot create " << folder.path() << "\n";
        return 1;
    }
    bool ok = Sheet(1).save(folder.filePath(QStringLiteral("gallery-1x.png")));
    ok = Sheet(2).save(folder.filePath(QStringLiteral("gallery-2x.png"))) && ok;
    ok = Zoomed(1, 8).save(folder.filePath(QStringLiteral("zoomed-1x.png"))) && ok;
    ok = Zoomed(2, 4).save(folder.filePath(QStringLiteral("zoomed-2x.png"))) && ok;

    // One real button, drawn through the widget's own paint path.
    XpB button(QStringLiteral("DownButton"));
    button.ReadProperties(
        {{QStringLiteral("Caption"), QStringLiteral("&Скачать")}, {QStringLiteral("ButtonStyle"), 3}});
    button.resize(100, 30);
    ok = button.grab().save(folder.filePath(QStringLiteral("widget.png"))) && ok;
    return ok ? 0 : 1;
}
