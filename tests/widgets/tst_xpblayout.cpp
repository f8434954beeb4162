#include "XpBLayout.h"

#include <QTest>

class TestXpBLayout : public QObject {
    Q_OBJECT

private slots:
    void nearestRoundsHalvesToEven_data();
    void nearestRoundsHalvesToEven();
    void pictureAloneIsCentred();
    void captionAndPictureFormACentredGroup_data();
    void captionAndPictureFormACentredGroup();
    void unknownPositionKeepsThePicture();
    void captionAloneLeavesThePicture();
    void oversizedPictureSaturates();
    void longCaptionWrapsInsideTheContent();
    void accessKeys_data();
    void accessKeys();
};

void TestXpBLayout::nearestRoundsHalvesToEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("6.5") << 6.5 << 6;
    QTest::newRow("7.5") << 7.5 << 8;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-47.5") << -47.5 << -48;
    QTest::newRow("-23.75") << -23.75 << -24;
}

void TestXpBLayout::nearestRoundsHalvesToEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(Nearest(value), expected);
}

// 21 x 20 with a 16 x 16 picture: the content rectangle is smaller than the picture, and both offsets
// land on halves (2.5 and 2).
void TestXpBLayout::pictureAloneIsCentred()
{
    QRect caption(1, 1, 1, 1);
    QRect picture;
    PlaceCaptionAndPicture(21, 20, QSize(), true, 16, 16, 1, caption, picture);
    QCOMPARE(picture, RectLTRB(2, 2, 18, 18));
    QCOMPARE(caption, QRect(1, 1, 1, 1));
}

// A 100 x 60 button (content 92 x 52) with a 31 x 15 caption and a 16 x 20 picture.
void TestXpBLayout::captionAndPictureFormACentredGroup_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<QRect>("caption");
    QTest::addColumn<QRect>("picture");
    QTest::newRow("above") << 0 << QRect(34, 34, 31, 15) << QRect(42, 10, 16, 20);
    QTest::newRow("left") << 1 << QRect(44, 22, 31, 15) << QRect(24, 20, 16, 20);
    QTest::newRow("right") << 2 << QRect(24, 22, 31, 15) << QRect(59, 20, 16, 20);
    QTest::newRow("below") << 3 << QRect(34, 10, 31, 15) << QRect(42, 29, 16, 20);
}

void TestXpBLayout::captionAndPictureFormACentredGroup()
{
    QFETCH(int, position);
    QFETCH(QRect, caption);
    QFETCH(QRect, picture);
    QRect captionRect;
    QRect pictureRect;
    PlaceCaptionAndPicture(100, 60, QSize(31, 15), true, 16, 20, position, captionRect, pictureRect);
    QCOMPARE(captionRect, caption);
    QCOMPARE(pictureRect, picture);
}

void TestXpBLayout::unknownPositionKeepsThePicture()
{
    QRect caption;
    QRect picture(7, 8, 9, 10);
    PlaceCaptionAndPicture(100, 60, QSize(31, 15), true, 16, 20, 7, caption, picture);
    QCOMPARE(picture, QRect(7, 8, 9, 10));
    QCOMPARE(caption, QRect(34, 22, 31, 15));
}

void TestXpBLayout::captionAloneLeavesThePicture()
{
    QRect caption;
    QRect picture(7, 8, 9, 10);
    PlaceCaptionAndPicture(100, 60, QSize(31, 15), false, 16, 20, 1, caption, picture);
    QCOMPARE(picture, QRect(7, 8, 9, 10));
    QCOMPARE(caption, QRect(34, 22, 31, 15));
}

void TestXpBLayout::oversizedPictureSaturates()
{
    XpBFace face;
    face.W = 21;
    face.H = 20;
    face.PictureWidth = 40000;
    face.PictureHeight = 16;
    LayOut(face, QFontMetrics(QFont()));
    QCOMPARE(face.PictureRect.width(), 32767);
    QCOMPARE(face.PictureRect.height(), 16);
}

void TestXpBLayout::longCaptionWrapsInsideTheContent()
{
    const QFontMetrics metrics{QFont()};
    const QSize oneLine = MeasureCaption(metrics, QStringLiteral("Open"), 200);
    const QSize wrapped = MeasureCaption(metrics, QStringLiteral("Open the saved video file"), 60);
    QVERIFY(oneLine.width() >= metrics.horizontalAdvance(QStringLiteral("Open")) + 2);
    QCOMPARE(oneLine.height(), metrics.height());
    QVERIFY(wrapped.height() >= 3 * oneLine.height());
    QVERIFY(wrapped.width() <= 60);
    // The access-key marker takes no room.
    QCOMPARE(MeasureCaption(metrics, QStringLiteral("&Open"), 200), oneLine);
}

void TestXpBLayout::accessKeys_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QChar>("key");
    QTest::newRow("cyrillic") << QStringLiteral("&Открыть") << QChar(u'о');
    QTest::newRow("doubled only") << QStringLiteral("A&&B") << QChar();
    QTest::newRow("after doubled") << QStringLiteral("A&&B &Save") << QChar(u's');
    QTest::newRow("ends in marker") << QStringLiteral("Save&") << QChar();
    QTest::newRow("one character") << QStringLiteral("&") << QChar();
    QTest::newRow("no marker") << QStringLiteral("Save") << QChar();
    QTest::newRow("first marker wins") << QStringLiteral("&Play &Stop") << QChar(u'p');
    QTest::newRow("doubled then doubled") << QStringLiteral("A&&B&&C") << QChar();
}

void TestXpBLayout::accessKeys()
{
    QFETCH(QString, caption);
    QFETCH(QChar, key);
    QCOMPARE(AccessKeyOf(caption), key);
}

QTEST_MAIN(TestXpBLayout)
#include "tst_xpblayout.moc"
