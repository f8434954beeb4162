#pragma once

#include "XpBFace.h"

#include <QChar>
#include <QFontMetrics>
#include <QSize>
#include <QString>

// Nearest integer, halves going to the even neighbour: 6.5 gives 6, 7.5 gives 8.
int Nearest(double value);

// The space the caption takes when word-wrapped into contentWidth, with one pixel of margin on either side.
QSize MeasureCaption(const QFontMetrics &metrics, const QString &caption, int contentWidth);

// Places caption and picture inside the content rectangle (4, 4, W-4, H-4) as one centred group, the
// picture at the given position: 0 above, 1 left, 2 right, 3 below the caption. textSize is empty when
// there is no caption. Rectangles a case does not place keep their previous value.
void PlaceCaptionAndPicture(int W, int H, QSize textSize, bool hasPicture, qint16 pictureWidth, qint16 pictureHeight,
                            qint32 picturePosition, QRect &captionRect, QRect &pictureRect);

// Measures the face's caption and places caption and picture into the face's rectangles.
void LayOut(XpBFace &face, const QFontMetrics &metrics);

// The character the caption marks with "&" (lower case), or a null character when it marks none.
QChar AccessKeyOf(const QString &caption);
