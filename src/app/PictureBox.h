#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

// A picture box of the main window: it shows one picture (an SVG of the program's artwork) stretched to its
// size, or kept in its proportions, drawn afresh for the screen's pixel ratio so it stays sharp at any scale.
class PictureBox : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Picture READ Picture WRITE setPicture)

public:
    PictureBox(const QString &name, QWidget *parent);

    // The picture's resource path; "" shows nothing.
    QString Picture() const { return picture; }
    void setPicture(const QString &path);
    // Kept in proportion, the picture's middle fills the box and its own drawing beyond its edges fills the
    // rest, so a box of another shape than the picture shows it undistorted.
    void setKeepAspect(bool keep);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString picture;
    bool keepAspect = false;
    // The picture as last drawn: labels over the box repaint often and must not redraw the SVG each time.
    QPixmap cache;
};

// The progress frame: a thin outline that the bar ImagPr fills from the left.
class ProgressFrame : public QWidget {
    Q_OBJECT

public:
    ProgressFrame(const QString &name, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The progress bar inside the frame; its width is kept in twips, as the download workflow counts it.
class ProgressBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int WidthTwips READ WidthTwips WRITE setWidthTwips)

public:
    static constexpr int kTwipsPerPixel = 15;

    ProgressBar(const QString &name, QWidget *parent);
    int WidthTwips() const { return widthTwips; }
    void setWidthTwips(int twips);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int widthTwips = 0;
};
