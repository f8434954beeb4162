// Renders an SVG picture to a square PNG icon, as the program draws its artwork: svg_to_png INPUT.svg SIZE OUT.png

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QTextStream>

int main(int argc, char *argv[])
{
    // Run while building: no display is needed to draw into an image.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool sizeOk = false;
    const int size = arguments.value(2).toInt(&sizeOk);
    if (arguments.size() != 4 || !sizeOk || size < 1) {
        QTextStream(stderr) << "usage: svg_to_png INPUT.svg SIZE OUTPUT.png\n";
        return 2;
    }
    QSvgRenderer picture(arguments[1]);
    if (!picture.isValid()) {
        QTextStream(stderr) << "svg_to_png: cannot read " << arguments[1] << "\n";
        return 1;
    }
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    picture.render(&painter);
    painter.end();
    if (!icon.save(arguments[3], "PNG")) {
        QTextStream(stderr) << "svg_to_png: cannot write " << arguments[3] << "\n";
        return 1;
    }
    return 0;
}
