#include "ClickLabel.h"
#include "DotShape.h"
#include "ElidedLabel.h"
#include "GradientBG.h"
#include "LineShape.h"
#include "StarEchoStyle.h"
#include "Twips.h"
#include "WindowLayout.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

class TestWindowParts : public QObject {
    Q_OBJECT

private slots:
    void twips_data();
    void twips();
    void backgroundFollowsTheWindow();
    void backgroundIsAVerticalGradient();
    void lineCoversBothEnds_data();
    void lineCoversBothEnds();
    void lineDrawsInItsColour();
    void dotIsAFilledCircle();
    void labelClicks_data();
    void labelClicks();
    void starEcho();
    void labelPlacing_data();
    void labelPlacing();
    void fixedWindow();
    void longTextsAreCutWithATooltip_data();
    void longTextsAreCutWithATooltip();
};

void TestWindowParts::twips_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("Options width") << 3645 << 243;
    QTest::newRow("About height") << 3825 << 255;
}

void TestWindowParts::twips()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(Px(twips), pixels);
    QCOMPARE(TwipRect(twips, 15, twips, 30), QRect(pixels, 1, pixels, 2));
    QCOMPARE(TwipPoint(twips, twips), QPoint(pixels, pixels));
}

void TestWindowParts::backgroundFollowsTheWindow()
{
    QWidget window;
    window.resize(120, 80);
    auto *first = new QLabel(QStringLiteral("over"), &window);
    auto *background = new GradientBG(Qt::white, Qt::blue, &window);
    QCOMPARE(background->objectName(), QStringLiteral("BG"));
    QCOMPARE(background->geometry(), QRect(0, 0, 120, 80));
    // Put behind the controls that were there before it.
    QCOMPARE(window.childAt(5, 5), first);

    window.show();
    window.resize(300, 200);
    QCOMPARE(background->geometry(), QRect(0, 0, 300, 200));
    // A hidden window hears of its new size when it is shown.
    window.hide();
    window.resize(90, 70);
    window.show();
    QCOMPARE(background->geometry(), QRect(0, 0, 90, 70));
    // Clicks go to the window, not to the picture.
    QVERIFY(background->testAttribute(Qt::WA_TransparentForMouseEvents));
}

void TestWindowParts::backgroundIsAVerticalGradient()
{
    QWidget window;
    window.resize(40, 101);
    new GradientBG(QColor(255, 255, 255), QColor(0, 0, 100), &window);
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixelColor(0, 0), QColor(255, 255, 255));
    QCOMPARE(shot.pixelColor(39, 0), QColor(255, 255, 255));
    QCOMPARE(shot.pixelColor(39, 100), QColor(0, 0, 100));
    // The same colour along a row, darker further down.
    QCOMPARE(shot.pixelColor(0, 50), shot.pixelColor(39, 50));
    QVERIFY(shot.pixelColor(20, 50).red() < 200 && shot.pixelColor(20, 50).red() > 50);
    QVERIFY(shot.pixelColor(20, 60).red() < shot.pixelColor(20, 50).red());
}

void TestWindowParts::lineCoversBothEnds_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QRect>("box");
    QTest::newRow("down") << QPoint(16, 24) << QPoint(16, 120) << QRect(16, 24, 1, 97);
    QTest::newRow("right") << QPoint(176, 24) << QPoint(236, 24) << QRect(176, 24, 61, 1);
    QTest::newRow("left") << QPoint(236, 120) << QPoint(16, 120) << QRect(16, 120, 221, 1);
    QTest::newRow("up") << QPoint(5, 30) << QPoint(5, 10) << QRect(5, 10, 1, 21);
    QTest::newRow("a point") << QPoint(3, 3) << QPoint(3, 3) << QRect(3, 3, 1, 1);
}

void TestWindowParts::lineCoversBothEnds()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QRect, box);
    QWidget window;
    auto *line = new LineShape(QStringLiteral("Line1"), from, to, &window);
    QCOMPARE(line->objectName(), QStringLiteral("Line1"));
    QCOMPARE(line->geometry(), box);
    QCOMPARE(line->From(), from);
    QCOMPARE(line->To(), to);
}

void TestWindowParts::lineDrawsInItsColour()
{
    QWidget window;
    window.resize(50, 20);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    auto *line = new LineShape(QStringLiteral("Line"), QPoint(40, 5), QPoint(10, 5), &window);
    QCOMPARE(line->BorderColor(), QColor(Qt::black));
    line->setBorderColor(QColor(128, 128, 128));
    const QImage shot = window.grab().toImage();
    for (int x : {10, 25, 40})
        QCOMPARE(shot.pixelColor(x, 5), QColor(128, 128, 128));
    QCOMPARE(shot.pixelColor(9, 5), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(41, 5), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(25, 4), QColor(Qt::white));
}

void TestWindowParts::dotIsAFilledCircle()
{
    QWidget window;
    window.resize(40, 40);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    new DotShape(QStringLiteral("A"), QRect(10, 10, 11, 11), &window);
    const QImage shot = window.grab().toImage();
    QCOMPARE(shot.pixelColor(15, 15), QColor(Qt::black));
    // Round: the corners of its box stay background.
    QCOMPARE(shot.pixelColor(10, 10), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(20, 20), QColor(Qt::white));
}

void TestWindowParts::labelClicks_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QPoint>("releaseAt");
    QTest::addColumn<int>("clicks");
    QTest::newRow("left, released over it") << Qt::LeftButton << QPoint(5, 5) << 1;
    QTest::newRow("left, released elsewhere") << Qt::LeftButton << QPoint(200, 5) << 0;
    QTest::newRow("right") << Qt::RightButton << QPoint(5, 5) << 0;
    QTest::newRow("middle") << Qt::MiddleButton << QPoint(5, 5) << 0;
}

void TestWindowParts::labelClicks()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QPoint, releaseAt);
    QFETCH(int, clicks);
    QWidget window;
    auto *label = new ClickLabel(QStringLiteral("Label4"), QStringLiteral("Форум"), &window);
    label->setGeometry(0, 0, 60, 13);
    window.show();
    QSignalSpy spy(label, &ClickLabel::Click);
    QTest::mousePress(label, button, {}, QPoint(5, 5));
    QTest::mouseRelease(label, button, {}, releaseAt);
    QCOMPARE(spy.size(), clicks);
    QCOMPARE(label->objectName(), QStringLiteral("Label4"));
    QCOMPARE(label->text(), QStringLiteral("Форум"));
}

void TestWindowParts::starEcho()
{
    QLineEdit box;
    box.setEchoMode(QLineEdit::Password);
    StarEchoStyle style;
    box.setStyle(&style);
    box.setText(QStringLiteral("pass"));
    QCOMPARE(box.displayText(), QStringLiteral("****"));
    // Everything else is the usual style's.
    QCOMPARE(style.styleHint(QStyle::SH_BlinkCursorWhenTextSelected),
             style.baseStyle()->styleHint(QStyle::SH_BlinkCursorWhenTextSelected));
}

void TestWindowParts::labelPlacing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<bool>("wider");
    QTest::newRow("short, left") << "ab" << false << false;
    QTest::newRow("short, centred") << "ab" << true << false;
    QTest::newRow("long, left") << "a rather long caption for a small box" << false << true;
    QTest::newRow("long, centred") << "a rather long caption for a small box" << true << true;
}

void TestWindowParts::labelPlacing()
{
    QFETCH(QString, text);
    QFETCH(bool, centred);
    QFETCH(bool, wider);
    QWidget window;
    window.setFont(WindowFont());
    QLabel label(text, &window);
    const QRect box(40, 10, 60, 13);
    PlaceLabel(&label, box, centred);
    QCOMPARE(label.y(), 10);
    QCOMPARE(label.height(), 13);
    QCOMPARE(label.width() > 60, wider);
    QVERIFY(label.width() >= label.sizeHint().width());
    if (centred) {
        QVERIFY(qAbs(label.geometry().center().x() - box.center().x()) <= 1);
        QCOMPARE(label.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    } else {
        QCOMPARE(label.x(), 40);
        QCOMPARE(label.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    }
}

void TestWindowParts::fixedWindow()
{
    QWidget window;
    MakeFixedWindow(&window, QSize(243, 179));
    QCOMPARE(window.size(), QSize(243, 179));
    QCOMPARE(window.minimumSize(), QSize(243, 179));
    QCOMPARE(window.maximumSize(), QSize(243, 179));
    QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(WindowFont().pixelSize(), 11);
}

void TestWindowParts::longTextsAreCutWithATooltip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("smallestPixels");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<bool>("smaller");
    const QString longer = "Скорость: 61 МБ/с, 12 соединений, осталось 1 мин 20 с";
    QTest::newRow("fits") << "Готов" << 0 << false << false;
    QTest::newRow("too long") << "Ошибка подключения #10061: сервер localhost:8397 не принимает подключения" << 0
                              << true << false;
    QTest::newRow("fits in a smaller letter") << longer << 7 << false << true;
    QTest::newRow("too long in the smallest letter") << longer + longer << 7 << true << true;
    QTest::newRow("fits, the letter kept") << "Готов" << 7 << false << false;
}

void TestWindowParts::longTextsAreCutWithATooltip()
{
    QFETCH(QString, text);
    QFETCH(int, smallestPixels);
    QFETCH(bool, cut);
    QFETCH(bool, smaller);
    QWidget window;
    window.resize(300, 40);
    window.setFont(WindowFont());
    auto *label = new ElidedLabel(QStringLiteral("Label1"), text, &window);
    label->setGeometry(0, 10, smallestPixels > 0 ? 280 : 200, 17);
    label->setIndent(6);
    label->setSmallestPixelSize(smallestPixels);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QCOMPARE(label->text(), text);
    QCOMPARE(label->ShownText() != text, cut);
    const QFont shown = label->ShownFont();
    QCOMPARE(QFontInfo(shown).pixelSize() < QFontInfo(label->font()).pixelSize(), smaller);
    QVERIFY(QFontInfo(shown).pixelSize() >= smallestPixels);
    QVERIFY(QFontMetrics(shown).horizontalAdvance(label->ShownText()) <= label->width() - 6);
    if (cut) {
        QVERIFY(label->ShownText().endsWith(u'…'));
        QVERIFY(text.startsWith(label->ShownText().chopped(1)));
    }
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), label->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(label, &help);
    QCOMPARE(QToolTip::isVisible(), cut);
    if (cut)
        QCOMPARE(QToolTip::text(), text);
    QToolTip::hideText();
}

QTEST_MAIN(TestWindowParts)
#include "tst_windowparts.moc"
