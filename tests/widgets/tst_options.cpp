#include "ClickLabel.h"
#include "GradientBG.h"
#include "LineShape.h"
#include "OptionsFixture.h"
#include "Parametr.h"
#include "XpB.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOption>
#include <QTest>

namespace {

const QStringList kProxyCaptions = {QStringLiteral("Label2"), QStringLiteral("Label3"), QStringLiteral("Label4")};
const QStringList kProxyLines = {QStringLiteral("Line1"), QStringLiteral("Line3"), QStringLiteral("Line7"),
                                 QStringLiteral("Line8")};
const QStringList kLoginCaptions = {QStringLiteral("Label5"), QStringLiteral("Label6")};
const QStringList kLoginLines = {QStringLiteral("Line2"), QStringLiteral("Line4"), QStringLiteral("Line5"),
                                 QStringLiteral("Line6")};

}  // namespace

// The dialog as the user sees it: controls, colours, groups, boxes, tab order, the password box.
class TestOptions : public QObject, public OptionsFixture {
    Q_OBJECT

private slots:
    void init() { SetUp(); }
    void cleanup() { TearDown(); }

    void windowAndControls_data();
    void windowAndControls();
    void backgroundCoversTheWindow();
    void firstRunWithoutFile();
    void groupsFollowTheBoxes_data();
    void groupsFollowTheBoxes();
    void clickingTheBoxesSwitchesTheGroups();
    void clickingACaptionToggles();
    void fieldsShowTheirUsualContent_data();
    void fieldsShowTheirUsualContent();
    void noFrameLineCrossesACaptionOrABox();
    void flagsShow_data();
    void flagsShow();
    void fieldsShowTheValues();
    void tabOrder();
    void passwordIsEchoedAsStars();
};

void TestOptions::windowAndControls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("box");

    const auto row = [](const char *name, const char *kind, const QString &text, QRect box) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind) << text << box;
    };
    row("Check1", "QCheckBox", QString(), QRect(12, 12, 13, 13));
    row("Label1", "ClickLabel", QStringLiteral("Использовать HTTP-прокси"), QRect(30, 12, 146, 13));
    row("Label2", "QLabel", QStringLiteral("Адрес:"), QRect(26, 40, 36, 13));
    row("Text1", "QLineEdit", QString(), QRect(64, 36, 98, 20));
    row("Label3", "QLabel", QStringLiteral("Порт:"), QRect(168, 40, 30, 13));
    row("Text2", "QLineEdit", QString(), QRect(202, 36, 42, 20));
    row("Check2", "QCheckBox", QString(), QRect(26, 66, 13, 13));
    row("Label4", "ClickLabel", QStringLiteral("Авторизация на прокси"), QRect(44, 66, 124, 13));
    row("Label5", "QLabel", QStringLiteral("Логин:"), QRect(42, 92, 40, 13));
    row("Text3", "QLineEdit", QString(), QRect(90, 88, 122, 20));
    row("Label6", "QLabel", QStringLiteral("Пароль:"), QRect(42, 118, 46, 13));
    row("Text4", "QLineEdit", QString(), QRect(90, 114, 122, 20));
    row("Check3", "QCheckBox", QString(), QRect(26, 164, 13, 13));
    row("Label7", "ClickLabel", QStringLiteral("Проверять наличие новой версии"), QRect(44, 164, 180, 13));
    row("Check4", "QCheckBox", QString(), QRect(12, 190, 13, 13));
    row("Label8", "ClickLabel", QStringLiteral("Сохранять сразу в папку"), QRect(30, 190, 146, 13));
    row("Text5", "QLineEdit", QString(), QRect(26, 214, 164, 20));
    row("XpB3", "XpB", QStringLiteral("Обзор…"), QRect(194, 213, 50, 22));
    row("Label9", "QLabel", QStringLiteral("Качество:"), QRect(26, 255, 60, 13));
    row("qualityBox", "QComboBox", QString(), QRect(90, 250, 154, 22));
    row("Check5", "QCheckBox", QString(), QRect(26, 280, 13, 13));
    row("Label10", "ClickLabel", QStringLiteral("Называть файлы датой и временем"), QRect(44, 280, 190, 13));
    row("XpB1", "XpB", QStringLiteral("OK"), QRect(88, 304, 81, 21));
    row("XpB2", "XpB", QStringLiteral("Отмена"), QRect(174, 304, 81, 21));
}

void TestOptions::windowAndControls()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(QRect, box);

    Open();
    QCOMPARE(dialog->objectName(), QStringLiteral("Options"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Настройки"));
    QWidget *control = Child<QWidget>(name);
    QCOMPARE(control->metaObject()->className(), kind);
    if (auto *label = qobject_cast<QLabel *>(control)) {
        QCOMPARE(label->text(), text);
        // A label may grow to the right for a wide font, never move.
        QCOMPARE(label->pos(), box.topLeft());
        QCOMPARE(label->height(), box.height());
        QVERIFY(label->width() >= box.width());
        QVERIFY(label->width() >= label->sizeHint().width());
    } else {
        QCOMPARE(control->geometry(), box);
    }
    if (auto *button = qobject_cast<XpB *>(control))
        QCOMPARE(button->Caption(), text);
    if (auto *check = qobject_cast<QCheckBox *>(control)) {
        QVERIFY(check->text().isEmpty());
        // The square is drawn whole, none of its edges cut off by the box.
        QStyleOptionButton option;
        option.initFrom(check);
        QVERIFY(check->rect().contains(check->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, check)));
    }
    // A field that can be typed in is told from one that cannot by its colour.
    if (auto *field = qobject_cast<QLineEdit *>(control))
        QVERIFY(field->palette().color(QPalette::Active, QPalette::Base)
                != field->palette().color(QPalette::Disabled, QPalette::Base));
}

void TestOptions::backgroundCoversTheWindow()
{
    Open();
    QCOMPARE(dialog->size(), QSize(263, 335));
    QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
    QVERIFY(!(dialog->windowFlags() & Qt::WindowMinMaxButtonsHint));
    auto *background = Child<GradientBG>(QStringLiteral("BG"));
    QCOMPARE(background->geometry(), dialog->rect());
    // Lowest of the window's controls, so it hides none of them.
    QWidget *lowest = nullptr;
    for (QObject *child : dialog->children()) {
        if ((lowest = qobject_cast<QWidget *>(child)))
            break;
    }
    QCOMPARE(lowest, background);
    QVERIFY(background->TopColor() != background->BottomColor());

    // The window's corners show the two ends of the gradient.
    const QImage shot = dialog->grab().toImage();
    QCOMPARE(shot.pixelColor(1, 1).rgb(), background->TopColor().rgb());
    QCOMPARE(shot.pixelColor(shot.width() - 2, shot.height() - 2).rgb(), background->BottomColor().rgb());
}

void TestOptions::firstRunWithoutFile()
{
    LoadSettings(ini);
    Open();
    for (const char *name : {"Text1", "Text2", "Text3", "Text4"})
        QCOMPARE(Child<QLineEdit>(QLatin1String(name))->text(), QString());
    for (const char *name : {"Check1", "Check2", "Check3"})
        QVERIFY(!Child<QCheckBox>(QLatin1String(name))->isChecked());
    for (const char *name : {"Text1", "Text2", "Check2", "Text3", "Text4"})
        QVERIFY2(!Child<QWidget>(QLatin1String(name))->isEnabled(), name);
    for (const char *name : {"Check1", "Check3", "XpB1", "XpB2"})
        QVERIFY2(Child<QWidget>(QLatin1String(name))->isEnabled(), name);
    for (const QString &name : kProxyCaptions + kLoginCaptions)
        QCOMPARE(Child<QLabel>(name)->palette().color(QPalette::WindowText), Options::DisabledColor());
    for (const QString &name : kProxyLines + kLoginLines)
        QCOMPARE(Child<LineShape>(name)->BorderColor(), Options::DisabledColor());
    for (const char *name : {"Label1", "Label7"})
        QCOMPARE(Child<QLabel>(QLatin1String(name))->palette().color(QPalette::WindowText), Options::EnabledColor());
    QCOMPARE(Options::DisabledColor(), QColor(128, 128, 128));
    QCOMPARE(Options::EnabledColor(), QColor(0, 0, 0));
    // Opening the dialog writes nothing.
    QVERIFY(!QFile::exists(path));
}

void TestOptions::groupsFollowTheBoxes_data()
{
    QTest::addColumn<QString>("useProxy");
    QTest::addColumn<QString>("proxyAuth");
    QTest::addColumn<bool>("proxyGroup");
    QTest::addColumn<bool>("loginGroup");

    QTest::newRow("both off") << "0"
                              << "0" << false << false;
    QTest::newRow("authorisation without proxy") << "0"
                                                 << "1" << false << false;
    QTest::newRow("proxy without authorisation") << "1"
                                                 << "0" << true << false;
    QTest::newRow("both on") << "1"
                             << "1" << true << true;
}

void TestOptions::groupsFollowTheBoxes()
{
    QFETCH(QString, useProxy);
    QFETCH(QString, proxyAuth);
    QFETCH(bool, proxyGroup);
    QFETCH(bool, loginGroup);

    settings.Network.UseProxy = useProxy == u"1";
    settings.Network.ProxyAuth = proxyAuth == u"1";
    settings.Network.ProxyLogin = QStringLiteral("user");
    Open();

    const QColor proxyColor = proxyGroup ? Options::EnabledColor() : Options::DisabledColor();
    const QColor loginColor = loginGroup ? Options::EnabledColor() : Options::DisabledColor();
    for (const char *name : {"Text1", "Text2", "Check2"})
        QCOMPARE(Child<QWidget>(QLatin1String(name))->isEnabled(), proxyGroup);
    for (const char *name : {"Text3", "Text4"})
        QCOMPARE(Child<QWidget>(QLatin1String(name))->isEnabled(), loginGroup);
    for (const QString &name : kProxyCaptions)
        QCOMPARE(Child<QLabel>(name)->palette().color(QPalette::WindowText), proxyColor);
    for (const QString &name : kProxyLines)
        QCOMPARE(Child<LineShape>(name)->BorderColor(), proxyColor);
    for (const QString &name : kLoginCaptions)
        QCOMPARE(Child<QLabel>(name)->palette().color(QPalette::WindowText), loginColor);
    for (const QString &name : kLoginLines)
        QCOMPARE(Child<LineShape>(name)->BorderColor(), loginColor);
    // A disabled box keeps its mark, and disabling clears no field.
    QCOMPARE(Child<QCheckBox>(QStringLiteral("Check2"))->isChecked(), proxyAuth == QLatin1String("1"));
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text3"))->text(), QStringLiteral("user"));
}

void TestOptions::clickingTheBoxesSwitchesTheGroups()
{
    settings.Network.UseProxy = true;
    settings.Network.ProxyAuth = true;
    settings.Network.ProxyName = QStringLiteral("proxy.lan");
    Open();
    auto *check1 = Child<QCheckBox>(QStringLiteral("Check1"));
    auto *check2 = Child<QCheckBox>(QStringLiteral("Check2"));
    auto *text1 = Child<QLineEdit>(QStringLiteral("Text1"));
    auto *text4 = Child<QLineEdit>(QStringLiteral("Text4"));
    QVERIFY(text4->isEnabled());

    QTest::mouseClick(check1, Qt::LeftButton);
    QVERIFY(!check1->isChecked());
    QVERIFY(!text1->isEnabled());
    QVERIFY(!check2->isEnabled());
    QVERIFY(check2->isChecked());
    QVERIFY(!text4->isEnabled());
    QCOMPARE(text1->text(), QStringLiteral("proxy.lan"));
    QCOMPARE(Child<LineShape>(QStringLiteral("Line5"))->BorderColor(), Options::DisabledColor());

    QTest::mouseClick(check1, Qt::LeftButton);
    QVERIFY(text1->isEnabled());
    QVERIFY(text4->isEnabled());

    QTest::mouseClick(check2, Qt::LeftButton);
    QVERIFY(!check2->isChecked());
    QVERIFY(text1->isEnabled());
    QVERIFY(!text4->isEnabled());
    QCOMPARE(Child<QLabel>(QStringLiteral("Label6"))->palette().color(QPalette::WindowText), Options::DisabledColor());
    QCOMPARE(Child<QLabel>(QStringLiteral("Label4"))->palette().color(QPalette::WindowText), Options::EnabledColor());

    // The keyboard toggles as the mouse does.
    check2->setFocus();
    QTest::keyClick(check2, Qt::Key_Space);
    QVERIFY(text4->isEnabled());
}

void TestOptions::clickingACaptionToggles()
{
    Open();
    QTest::mouseClick(Child<QLabel>(QStringLiteral("Label4")), Qt::LeftButton);
    QVERIFY2(!Child<QCheckBox>(QStringLiteral("Check2"))->isChecked(), "a disabled box stays as it is");
    for (const char *name : {"Label1", "Label4", "Label7"})
        QTest::mouseClick(Child<QLabel>(QLatin1String(name)), Qt::LeftButton);
    for (const char *name : {"Check1", "Check2", "Check3"})
        QVERIFY2(Child<QCheckBox>(QLatin1String(name))->isChecked(), name);
    QVERIFY(Child<QLineEdit>(QStringLiteral("Text4"))->isEnabled());
    QTest::mouseClick(Child<QLabel>(QStringLiteral("Label1")), Qt::LeftButton);
    QVERIFY(!Child<QCheckBox>(QStringLiteral("Check1"))->isChecked());
    QCOMPARE(dialog->focusWidget(), Child<QCheckBox>(QStringLiteral("Check1")));
}

void TestOptions::fieldsShowTheirUsualContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("address") << "Text1"
                             << "proxy.example.lan";
    QTest::newRow("port") << "Text2"
                          << "65535";
    QTest::newRow("login") << "Text3"
                           << "Щукин-Мещеряков";
    QTest::newRow("password") << "Text4"
                              << "WWWWWWWWWWWWWWWW";
}

void TestOptions::fieldsShowTheirUsualContent()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    settings.Network.UseProxy = true;
    settings.Network.ProxyAuth = true;
    Open();
    auto *field = Child<QLineEdit>(name);
    field->setText(text);
    // Seen whole, the text does not scroll: its end lies as far from its start as its width.
    const auto cursor = [field] { return field->inputMethodQuery(Qt::ImCursorRectangle).toRect(); };
    field->setCursorPosition(0);
    const int start = cursor().center().x();
    field->end(false);
    const int end = cursor().center().x();
    QCOMPARE(end - start, field->fontMetrics().horizontalAdvance(field->displayText()));
    QVERIFY(cursor().right() < field->width());
}

void TestOptions::noFrameLineCrossesACaptionOrABox()
{
    Open();
    const QList<LineShape *> lines = dialog->findChildren<LineShape *>();
    QCOMPARE(lines.size(), 12);
    for (QWidget *control : dialog->findChildren<QWidget *>()) {
        if (!qobject_cast<QLabel *>(control) && !qobject_cast<QCheckBox *>(control)
            && !qobject_cast<QLineEdit *>(control))
            continue;
        for (LineShape *line : lines)
            QVERIFY2(!line->geometry().intersects(control->geometry()),
                     qPrintable(line->objectName() + QStringLiteral(" crosses ") + control->objectName()));
    }
}

void TestOptions::flagsShow_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("on") << true;
    QTest::newRow("off") << false;
}

void TestOptions::flagsShow()
{
    QFETCH(bool, on);
    settings.Network.UseProxy = on;
    settings.Network.ProxyAuth = on;
    settings.CheckUpgrade = on;
    Open();
    for (const char *name : {"Check1", "Check2", "Check3"}) {
        QCOMPARE(Child<QCheckBox>(QLatin1String(name))->checkState(), on ? Qt::Checked : Qt::Unchecked);
        QVERIFY(!Child<QCheckBox>(QLatin1String(name))->isTristate());
    }
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text4"))->isEnabled(), on);
}

void TestOptions::fieldsShowTheValues()
{
    settings.Network.ProxyName = QStringLiteral("прокси.рф");
    settings.Network.ProxyPort = 3128;
    settings.Network.ProxyLogin = QStringLiteral("Вася");
    settings.Network.ProxyPass = QStringLiteral("p@ss word");
    Open();
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("прокси.рф"));
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("3128"));
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text3"))->text(), QStringLiteral("Вася"));
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text4"))->text(), QStringLiteral("p@ss word"));
}

void TestOptions::tabOrder()
{
    settings.Network.UseProxy = true;
    settings.Network.ProxyAuth = true;
    Open();
    QApplication::setActiveWindow(dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Check1"));
    // A box without text of its own shows its focus on its caption.
    QVERIFY(Child<ClickLabel>(QStringLiteral("Label1"))->FocusShown());

    QStringList order;
    for (int i = 0; i < 12; ++i) {
        order << QApplication::focusWidget()->objectName();
        QCOMPARE(Child<ClickLabel>(QStringLiteral("Label7"))->FocusShown(), order.last() == u"Check3");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Saving without the dialog is off: its folder and button are passed over.
    QCOMPARE(order,
             QStringList({"Check1", "Text1", "Text2", "Check2", "Text3", "Text4", "XpB1", "XpB2", "Check3", "Check4",
                          "qualityBox", "Check5"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Check1"));

    // Disabled groups are passed over.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("XpB1"));
}

void TestOptions::passwordIsEchoedAsStars()
{
    settings.Network.ProxyPass = QStringLiteral("hunter2");
    Open();
    auto *text4 = Child<QLineEdit>(QStringLiteral("Text4"));
    QCOMPARE(text4->echoMode(), QLineEdit::Password);
    QCOMPARE(text4->displayText(), QStringLiteral("*******"));
    QCOMPARE(text4->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, text4), int('*'));
    // The other boxes show what they hold.
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text3"))->echoMode(), QLineEdit::Normal);
    QVERIFY(!dialog->windowTitle().contains(QStringLiteral("hunter2")));
}

QTEST_MAIN(TestOptions)
#include "tst_options.moc"
