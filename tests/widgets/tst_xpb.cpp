// Mouse input goes through the window, as real input does, so Qt's own grab and enter/leave apply.
#define QTEST_QPA_MOUSE_HANDLING

#include "XpB.h"

#include <QTest>

namespace {

// Records every event of the buttons it watches, in the order they come.
class EventLog : public QObject {
public:
    void Watch(XpB *button)
    {
        const QString name = button->objectName();
        const auto add = [this, name](const QString &text) { lines << name + QLatin1Char('.') + text; };
        connect(button, &XpB::Click, this, [add] { add(QStringLiteral("Click")); });
        connect(button, &XpB::KeyDown, this,
                [add](qint16 key, qint16 shift) { add(QStringLiteral("KeyDown %1 %2").arg(key).arg(shift)); });
        connect(button, &XpB::KeyUp, this,
                [add](qint16 key, qint16 shift) { add(QStringLiteral("KeyUp %1 %2").arg(key).arg(shift)); });
        connect(button, &XpB::MouseDown, this, [add](qint16 b, qint16 s, float x, float y) {
            add(QStringLiteral("MouseDown %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y));
        });
        connect(button, &XpB::MouseUp, this, [add](qint16 b, qint16 s, float x, float y) {
            add(QStringLiteral("MouseUp %1 %2 %3 %4").arg(b).arg(s).arg(x).arg(y));
        });
        connect(button, &XpB::MouseMove, this, [add](qint16 b, qint16, float, float) {
            add(QStringLiteral("MouseMove %1").arg(b));
        });
        connect(button, &XpB::MouseIn, this, [add](qint16) { add(QStringLiteral("MouseIn")); });
        connect(button, &XpB::MouseOut, this, [add](qint16) { add(QStringLiteral("MouseOut")); });
    }

    QStringList Take() { return std::exchange(lines, {}); }

    QStringList lines;
};

} // namespace

class TestXpB : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tinyButtonGrowsToTheMinimum();
    void defaults();
    void propertyBagKeepsOnlyWhatDiffers();
    void missingKeysTakeTheirDefaults();
    void pictureSetsThePictureSize();
    void hoverMovesFromButtonToButton();
    void clickOrder();
    void otherButtonsPressWithoutPressedLook();
    void releaseOverNeighbourClicksNeither();
    void movingBackInWhilePressedPressesAgain();
    void spaceClicksWhereverThePointerIs();
    void spaceReleaseWithoutPressDoesNotClick();
    void accessKeyWithAlt();
    void accessKeyAloneNeedsTheFocus();
    void focusComesAndGoes();
    void disabledButtonTakesNoInput();
    void redrawShowsTheState();

private:
    QWidget *m_window = nullptr;
    XpB *m_a = nullptr;
    XpB *m_b = nullptr;
    EventLog *m_log = nullptr;
};

void TestXpB::init()
{
    m_window = new QWidget;
    m_window->resize(200, 60);
    m_a = new XpB(QStringLiteral("A"), m_window);
    m_a->setGeometry(10, 10, 80, 30);
    m_a->setCaption(QStringLiteral("&Save"));
    m_b = new XpB(QStringLiteral("B"), m_window);
    m_b->setGeometry(100, 10, 80, 30);
    m_b->setCaption(QStringLiteral("&Open"));
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    // Start with the pointer over the window but over neither button.
    QTest::mouseMove(m_window, QPoint(95, 55));
    m_log = new EventLog;
    m_log->Watch(m_a);
    m_log->Watch(m_b);
}

void TestXpB::cleanup()
{
    delete m_log;
    delete m_window;
}

void TestXpB::tinyButtonGrowsToTheMinimum()
{
    XpB button(QStringLiteral("Tiny"));
    button.resize(5, 5);
    QCOMPARE(button.size(), QSize(10, 10));
    button.ReadProperties({});
    QCOMPARE(button.size(), QSize(10, 10));
}

void TestXpB::defaults()
{
    XpB button(QStringLiteral("DownButton"));
    QCOMPARE(button.property("Caption").toString(), QStringLiteral("DownButton"));
    QCOMPARE(button.property("ButtonStyle").toInt(), 2);
    QCOMPARE(button.property("PicturePosition").toInt(), 1);
    QCOMPARE(button.property("ShowFocusRect").toBool(), true);
    QCOMPARE(button.property("EnabledCtrl").toBool(), true);
    QCOMPARE(button.property("XPColor_Pressed").toUInt(), 0x80000014u);
    QCOMPARE(button.property("XPColor_Hover").toUInt(), 0x80000016u);
    QCOMPARE(button.property("XPDefaultColors").toBool(), true);
    QCOMPARE(button.property("MaskColor").toUInt(), 0u);
    QCOMPARE(button.property("UseMaskColor").toBool(), false);
    QVERIFY(button.property("Picture").value<XpPicture>().isNone());
    QCOMPARE(button.WriteProperties(), QVariantMap());
}

void TestXpB::propertyBagKeepsOnlyWhatDiffers()
{
    XpB button(QStringLiteral("OpenButton"));
    const QVariantMap bag{{QStringLiteral("Caption"), QStringLiteral("&Открыть")},
                          {QStringLiteral("ButtonStyle"), 1},
                          {QStringLiteral("PicturePosition"), 1},
                          {QStringLiteral("Enabled"), false},
                          {QStringLiteral("UseMaskColor"), 5},
                          {QStringLiteral("XPColor_Hover"), RGB(1, 2, 3)},
                          {QStringLiteral("PictureHeight"), 20}};
    button.ReadProperties(bag);
    QCOMPARE(button.Caption(), QStringLiteral("&Открыть"));
    QCOMPARE(button.AccessKey(), QChar(u'о'));
    QCOMPARE(button.ButtonStyle(), 1);
    QVERIFY(!button.EnabledCtrl());
    QVERIFY(!button.isEnabled());
    QVERIFY(button.UseMaskColor());
    QCOMPARE(button.XPColor_Hover(), RGB(1, 2, 3));

    const QVariantMap written = button.WriteProperties();
    QCOMPARE(written.keys(), (QStringList{"ButtonStyle", "Caption", "Enabled", "PictureHeight", "UseMaskColor",
                                          "XPColor_Hover"}));
    QCOMPARE(written.value("UseMaskColor").toInt(), -1);
    QCOMPARE(written.value("Enabled").toBool(), false);
    QCOMPARE(written.value("PictureHeight").toInt(), 20);

    XpB copy(QStringLiteral("Other"));
    copy.ReadProperties(written);
    QCOMPARE(copy.WriteProperties(), written);
}

void TestXpB::missingKeysTakeTheirDefaults()
{
    XpB button(QStringLiteral("Quit"));
    button.setCaption(QStringLiteral("&Выход"));
    button.setButtonStyle(3);
    button.setEnabledCtrl(false);
    button.ReadProperties({});
    QCOMPARE(button.Caption(), QStringLiteral("Quit"));
    QCOMPARE(button.AccessKey(), QChar());
    QCOMPARE(button.ButtonStyle(), 2);
    QVERIFY(button.isEnabled());
}

void TestXpB::pictureSetsThePictureSize()
{
    XpB button(QStringLiteral("Play"));
    QImage bitmap(16, 24, QImage::Format_RGB32);
    bitmap.fill(Qt::red);
    button.setPicture(XpPicture::FromBitmap(bitmap));
    QVariantMap written = button.WriteProperties();
    QCOMPARE(written.value("PictureWidth").toInt(), 16);
    QCOMPARE(written.value("PictureHeight").toInt(), 24);
    QCOMPARE(written.value("Picture").value<XpPicture>().naturalSize(), QSize(16, 24));

    button.setPicture(XpPicture());
    written = button.WriteProperties();
    QVERIFY(!written.contains("Picture"));
    QCOMPARE(written.value("PictureWidth").toInt(), 16);

    // A description may give the image itself; the sizes still come from their own keys.
    button.ReadProperties({{QStringLiteral("Picture"), bitmap}});
    QCOMPARE(button.Picture().kind(), XpPicture::Kind::Bitmap);
    QVERIFY(!button.WriteProperties().contains("PictureWidth"));
}

void TestXpB::hoverMovesFromButtonToButton()
{
    QTest::mouseMove(m_a);
    QVERIFY(m_a->Face().IsOver);
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseIn", "A.MouseMove 0"}));
    QTest::mouseMove(m_b);
    QVERIFY(!m_a->Face().IsOver);
    QVERIFY(m_b->Face().IsOver);
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseOut", "B.MouseIn", "B.MouseMove 0"}));
    QTest::mouseMove(m_window, QPoint(95, 55));
    QCOMPARE(m_log->Take(), QStringList{"B.MouseOut"});
}

void TestXpB::clickOrder()
{
    QTest::mouseMove(m_a, QPoint(5, 6));
    QTest::mousePress(m_a, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
    QVERIFY(m_a->Face().IsDown);
    QTest::mouseRelease(m_a, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    QVERIFY(!m_a->Face().IsDown);
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseIn", "A.MouseMove 0", "A.MouseDown 1 1 5 6", "A.Click",
                                         "A.MouseUp 1 0 5 6"}));
}

void TestXpB::otherButtonsPressWithoutPressedLook()
{
    QTest::mouseMove(m_a, QPoint(5, 6));
    m_log->Take();
    QTest::mousePress(m_a, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QVERIFY(!m_a->Face().IsDown);
    QTest::mouseRelease(m_a, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseDown 2 0 5 6", "A.MouseUp 2 0 5 6"}));
}

void TestXpB::releaseOverNeighbourClicksNeither()
{
    QTest::mouseMove(m_a);
    QTest::mousePress(m_a, Qt::LeftButton);
    m_log->Take();
    QTest::mouseMove(m_b);
    QVERIFY(!m_a->Face().IsDown);
    QVERIFY(!m_b->Face().IsDown);
    QTest::mouseRelease(m_b, Qt::LeftButton);
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseOut", "A.MouseMove 1", "A.MouseUp 1 0 129 14"}));
}

void TestXpB::movingBackInWhilePressedPressesAgain()
{
    QTest::mouseMove(m_a);
    QTest::mousePress(m_a, Qt::LeftButton);
    QTest::mouseMove(m_window, QPoint(95, 55));
    QVERIFY(!m_a->Face().IsDown);
    m_log->Take();
    QTest::mouseMove(m_a, QPoint(20, 20));
    QVERIFY(m_a->Face().IsDown);
    QTest::mouseRelease(m_a, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseIn", "A.MouseMove 1", "A.Click", "A.MouseUp 1 0 20 20"}));
}

void TestXpB::spaceClicksWhereverThePointerIs()
{
    m_a->setFocus();
    QTest::keyPress(m_a, Qt::Key_Space);
    QVERIFY(m_a->Face().IsDown);
    QTest::keyRelease(m_a, Qt::Key_Space);
    QVERIFY(!m_a->Face().IsDown);
    QCOMPARE(m_log->Take(), (QStringList{"A.KeyDown 32 0", "A.Click", "A.MouseUp 1 0 0 0", "A.KeyUp 32 0"}));
}

void TestXpB::spaceReleaseWithoutPressDoesNotClick()
{
    m_a->setFocus();
    QTest::keyRelease(m_a, Qt::Key_Space);
    QCOMPARE(m_log->Take(), (QStringList{"A.MouseUp 1 0 0 0", "A.KeyUp 32 0"}));
}

void TestXpB::accessKeyWithAlt()
{
    m_b->setFocus();
    QTest::keyClick(m_window, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(m_log->Take(), QStringList{"A.Click"});

    m_a->setEnabledCtrl(false);
    QTest::keyClick(m_window, Qt::Key_S, Qt::AltModifier);
    QVERIFY(!m_log->Take().contains("A.Click"));

    m_a->setEnabledCtrl(true);
    m_a->setCaption(QStringLiteral("&Открыть"));
    // keyClick knows only ASCII keys.
    const auto cyrillicO = Qt::Key(QChar(u'О').unicode());
    QTest::sendKeyEvent(QTest::Press, m_window, cyrillicO, QStringLiteral("о"), Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Release, m_window, cyrillicO, QStringLiteral("о"), Qt::AltModifier);
    QCOMPARE(m_log->Take(), QStringList{"A.Click"});
}

void TestXpB::accessKeyAloneNeedsTheFocus()
{
    m_a->setFocus();
    QTest::keyClick(m_a, Qt::Key_S);
    QCOMPARE(m_log->Take(), (QStringList{"A.KeyDown 83 0", "A.Click", "A.KeyUp 83 0"}));
    m_b->setFocus();
    QTest::keyClick(m_b, Qt::Key_S);
    QCOMPARE(m_log->Take(), (QStringList{"B.KeyDown 83 0", "B.KeyUp 83 0"}));
}

void TestXpB::focusComesAndGoes()
{
    m_b->setFocus();
    QTest::mouseMove(m_a);
    QVERIFY(m_a->Face().IsOver);
    m_a->setFocus();
    QVERIFY(m_a->Face().HasFocus);
    QVERIFY(!m_a->Face().IsOver);
    QTest::keyPress(m_a, Qt::Key_Space);
    QVERIFY(m_a->Face().IsDown);
    m_b->setFocus();
    QVERIFY(!m_a->Face().HasFocus);
    QVERIFY(!m_a->Face().IsDown);
    QVERIFY(m_b->Face().HasFocus);
}

void TestXpB::disabledButtonTakesNoInput()
{
    QTest::mouseMove(m_a);
    m_a->setFocus();
    m_a->setProperty("EnabledCtrl", false);
    QVERIFY(!m_a->Face().IsOver);
    QVERIFY(!m_a->Face().HasFocus);
    m_log->Take();
    QTest::mousePress(m_a, Qt::LeftButton);
    QTest::mouseRelease(m_a, Qt::LeftButton);
    QTest::mouseMove(m_window, QPoint(95, 55));
    QCOMPARE(m_log->Take(), QStringList());
}

void TestXpB::redrawShowsTheState()
{
    m_a->setButtonStyle(1);
    const QColor light = m_a->palette().color(QPalette::Light);
    const QColor face = m_a->palette().color(QPalette::Button);
    QCOMPARE(m_a->grab().toImage().pixelColor(0, 0), face);
    QTest::mouseMove(m_a);
    QCOMPARE(m_a->grab().toImage().pixelColor(0, 0), light);
    QTest::mousePress(m_a, Qt::LeftButton);
    QCOMPARE(m_a->grab().toImage().pixelColor(0, 0), QColor(Qt::black));
    QTest::mouseMove(m_window, QPoint(95, 55));
    QCOMPARE(m_a->grab().toImage().pixelColor(0, 0), face);
    QTest::mouseRelease(m_window, Qt::LeftButton, Qt::NoModifier, QPoint(95, 55));
}

QTEST_MAIN(TestXpB)
#include "tst_xpb.moc"
