// Mouse input goes through the window, as real input does, so Qt's own grab and enter/leave apply.
#define QTEST_QPA_MOUSE_HANDLING

#include "XpB.h"
#include "XpBAccessible.h"

#include <QAccessible>
#include <QAccessibleActionInterface>

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
        connect(button, &XpB::MouseMove, this,
                [add](qint16 b, qint16, float, float) { add(QStringLiteral("MouseMove %1").arg(b)); });
        connect(button, &XpB::MouseIn, this, [add](qint16) { add(QStringLiteral("MouseIn")); });
        connect(button, &XpB::MouseOut, this, [add](qint16) { add(QStringLiteral("MouseOut")); });
    }

    QStringList Take() { return std::exchange(lines, {}); }

    QStringList lines;
};

}  // namespace

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
    void spaceClicksWhereverThePointerIs_data();
    void spaceClicksWhereverThePointerIs();
    void spaceReleaseWithoutPressDoesNotClick();
    void accessKeyWithAlt();
    void accessKeyAloneNeedsTheFocus();
    void focusComesAndGoes();
    void disabledButtonTakesNoInput();
    void redrawShowsTheState();
    void readOutAsAButton_data();
    void readOutAsAButton();

private:
    QWidget *window = nullptr;
    XpB *a = nullptr;
    XpB *b = nullptr;
    EventLog *log = nullptr;
};

void TestXpB::init()
{
    window = new QWidget;
    window->resize(200, 60);
    a = new XpB(QStringLiteral("A"), window);
    a->setGeometry(10, 10, 80, 30);
    a->setCaption(QStringLiteral("&Save"));
    b = new XpB(QStringLiteral("B"), window);
    b->setGeometry(100, 10, 80, 30);
    b->setCaption(QStringLiteral("&Open"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    // Start with the pointer over the window but over neither button.
    QTest::mouseMove(window, QPoint(95, 55));
    log = new EventLog;
    log->Watch(a);
    log->Watch(b);
}

void TestXpB::cleanup()
{
    delete log;
    delete window;
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
    QCOMPARE(button.ButtonStyle(), XpBLook::Style::Flat);
    QVERIFY(!button.EnabledCtrl());
    QVERIFY(!button.isEnabled());
    QVERIFY(button.UseMaskColor());
    QCOMPARE(button.XPColor_Hover(), RGB(1, 2, 3));

    const QVariantMap written = button.WriteProperties();
    QCOMPARE(written.keys(),
             (QStringList{"ButtonStyle", "Caption", "Enabled", "PictureHeight", "UseMaskColor", "XPColor_Hover"}));
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
    button.setButtonStyle(XpBLook::Style::Gradient);
    button.setEnabledCtrl(false);
    button.ReadProperties({});
    QCOMPARE(button.Caption(), QStringLiteral("Quit"));
    QCOMPARE(button.AccessKey(), QChar());
    QCOMPARE(button.ButtonStyle(), XpBLook::Style::FlatByDefault);
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
    QTest::mouseMove(a);
    QVERIFY(a->Face().IsOver);
    QCOMPARE(log->Take(), (QStringList{"A.MouseIn", "A.MouseMove 0"}));
    QTest::mouseMove(b);
    QVERIFY(!a->Face().IsOver);
    QVERIFY(b->Face().IsOver);
    QCOMPARE(log->Take(), (QStringList{"A.MouseOut", "B.MouseIn", "B.MouseMove 0"}));
    QTest::mouseMove(window, QPoint(95, 55));
    QCOMPARE(log->Take(), QStringList{"B.MouseOut"});
}

void TestXpB::clickOrder()
{
    QTest::mouseMove(a, QPoint(5, 6));
    QTest::mousePress(a, Qt::LeftButton, Qt::ShiftModifier, QPoint(5, 6));
    QVERIFY(a->Face().IsDown);
    QTest::mouseRelease(a, Qt::LeftButton, Qt::NoModifier, QPoint(5, 6));
    QVERIFY(!a->Face().IsDown);
    QCOMPARE(log->Take(),
             (QStringList{"A.MouseIn", "A.MouseMove 0", "A.MouseDown 1 1 5 6", "A.Click", "A.MouseUp 1 0 5 6"}));
}

void TestXpB::otherButtonsPressWithoutPressedLook()
{
    QTest::mouseMove(a, QPoint(5, 6));
    log->Take();
    QTest::mousePress(a, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QVERIFY(!a->Face().IsDown);
    QTest::mouseRelease(a, Qt::RightButton, Qt::NoModifier, QPoint(5, 6));
    QCOMPARE(log->Take(), (QStringList{"A.MouseDown 2 0 5 6", "A.MouseUp 2 0 5 6"}));
}

void TestXpB::releaseOverNeighbourClicksNeither()
{
    QTest::mouseMove(a);
    QTest::mousePress(a, Qt::LeftButton);
    log->Take();
    QTest::mouseMove(b);
    QVERIFY(!a->Face().IsDown);
    QVERIFY(!b->Face().IsDown);
    QTest::mouseRelease(b, Qt::LeftButton);
    QCOMPARE(log->Take(), (QStringList{"A.MouseOut", "A.MouseMove 1", "A.MouseUp 1 0 129 14"}));
}

void TestXpB::movingBackInWhilePressedPressesAgain()
{
    QTest::mouseMove(a);
    QTest::mousePress(a, Qt::LeftButton);
    QTest::mouseMove(window, QPoint(95, 55));
    QVERIFY(!a->Face().IsDown);
    log->Take();
    QTest::mouseMove(a, QPoint(20, 20));
    QVERIFY(a->Face().IsDown);
    QTest::mouseRelease(a, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(log->Take(), (QStringList{"A.MouseIn", "A.MouseMove 1", "A.Click", "A.MouseUp 1 0 20 20"}));
}

void TestXpB::spaceClicksWhereverThePointerIs_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<int>("code");
    QTest::newRow("Space") << Qt::Key_Space << 32;
    QTest::newRow("Enter") << Qt::Key_Return << 13;
    QTest::newRow("Enter of the keypad") << Qt::Key_Enter << 13;
}

void TestXpB::spaceClicksWhereverThePointerIs()
{
    QFETCH(Qt::Key, key);
    QFETCH(int, code);
    a->setFocus();
    QTest::keyPress(a, key);
    QVERIFY(a->Face().IsDown);
    QTest::keyRelease(a, key);
    QVERIFY(!a->Face().IsDown);
    QCOMPARE(log->Take(),
             (QStringList{QStringLiteral("A.KeyDown %1 0").arg(code), "A.Click", "A.MouseUp 1 0 0 0",
                          QStringLiteral("A.KeyUp %1 0").arg(code)}));
}

void TestXpB::spaceReleaseWithoutPressDoesNotClick()
{
    a->setFocus();
    QTest::keyRelease(a, Qt::Key_Space);
    QCOMPARE(log->Take(), (QStringList{"A.MouseUp 1 0 0 0", "A.KeyUp 32 0"}));
}

void TestXpB::accessKeyWithAlt()
{
    b->setFocus();
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    QCOMPARE(log->Take(), QStringList{"A.Click"});

    a->setEnabledCtrl(false);
    QTest::keyClick(window, Qt::Key_S, Qt::AltModifier);
    QVERIFY(!log->Take().contains("A.Click"));

    a->setEnabledCtrl(true);
    a->setCaption(QStringLiteral("&Открыть"));
    // keyClick knows only ASCII keys.
    const auto cyrillicO = Qt::Key(QChar(u'О').unicode());
    QTest::sendKeyEvent(QTest::Press, window, cyrillicO, QStringLiteral("о"), Qt::AltModifier);
    QTest::sendKeyEvent(QTest::Release, window, cyrillicO, QStringLiteral("о"), Qt::AltModifier);
    QCOMPARE(log->Take(), QStringList{"A.Click"});
}

void TestXpB::accessKeyAloneNeedsTheFocus()
{
    a->setFocus();
    QTest::keyClick(a, Qt::Key_S);
    QCOMPARE(log->Take(), (QStringList{"A.KeyDown 83 0", "A.Click", "A.KeyUp 83 0"}));
    b->setFocus();
    QTest::keyClick(b, Qt::Key_S);
    QCOMPARE(log->Take(), (QStringList{"B.KeyDown 83 0", "B.KeyUp 83 0"}));
}

void TestXpB::focusComesAndGoes()
{
    b->setFocus();
    QTest::mouseMove(a);
    QVERIFY(a->Face().IsOver);
    a->setFocus();
    QVERIFY(a->Face().HasFocus);
    QVERIFY(!a->Face().IsOver);
    QTest::keyPress(a, Qt::Key_Space);
    QVERIFY(a->Face().IsDown);
    b->setFocus();
    QVERIFY(!a->Face().HasFocus);
    QVERIFY(!a->Face().IsDown);
    QVERIFY(b->Face().HasFocus);
}

void TestXpB::disabledButtonTakesNoInput()
{
    QTest::mouseMove(a);
    a->setFocus();
    a->setProperty("EnabledCtrl", false);
    QVERIFY(!a->Face().IsOver);
    QVERIFY(!a->Face().HasFocus);
    log->Take();
    QTest::mousePress(a, Qt::LeftButton);
    QTest::mouseRelease(a, Qt::LeftButton);
    QTest::mouseMove(window, QPoint(95, 55));
    QCOMPARE(log->Take(), QStringList());
}

void TestXpB::redrawShowsTheState()
{
    a->setButtonStyle(XpBLook::Style::Flat);
    const QColor light = a->palette().color(QPalette::Light);
    const QColor face = a->palette().color(QPalette::Button);
    QCOMPARE(a->grab().toImage().pixelColor(0, 0), face);
    QTest::mouseMove(a);
    QCOMPARE(a->grab().toImage().pixelColor(0, 0), light);
    QTest::mousePress(a, Qt::LeftButton);
    QCOMPARE(a->grab().toImage().pixelColor(0, 0), QColor(Qt::black));
    QTest::mouseMove(window, QPoint(95, 55));
    QCOMPARE(a->grab().toImage().pixelColor(0, 0), face);
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, QPoint(95, 55));
}

void TestXpB::readOutAsAButton_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("name");
    QTest::newRow("caption with its access key") << "&Save"
                                                 << ""
                                                 << "Save";
    QTest::newRow("doubled ampersand") << "Tom && &Jerry"
                                       << ""
                                       << "Tom & Jerry";
    QTest::newRow("leading blank") << " Назад"
                                   << "Назад в меню"
                                   << "Назад";
    QTest::newRow("picture only") << ""
                                  << "Вставить адрес из буфера обмена"
                                  << "Вставить адрес из буфера обмена";
}

void TestXpB::readOutAsAButton()
{
    QFETCH(QString, caption);
    QFETCH(QString, tooltip);
    QFETCH(QString, name);
    a->setCaption(caption);
    a->setToolTip(tooltip);
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(a);
    QVERIFY(reader);
    QCOMPARE(reader->role(), QAccessible::Button);
    QCOMPARE(reader->text(QAccessible::Name), name);
    QVERIFY(reader->state().focusable);
    QAccessibleActionInterface *actions = reader->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    log->Take();
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(log->Take(), QStringList{"A.Click"});
    a->setEnabledCtrl(false);
    actions->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(log->Take(), QStringList());
}

QTEST_MAIN(TestXpB)
#include "tst_xpb.moc"
