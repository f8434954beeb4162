#include "About.h"
#include "ClickLabel.h"
#include "DotShape.h"
#include "GradientBG.h"
#include "LineShape.h"
#include "LogoPicture.h"
#include "ScriptedDialogs.h"
#include "Version.h"
#include "XpB.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

const QString kWebSite = QStringLiteral("www.quillon.test:8080");
const QString kProgramPage = QStringLiteral("quillon.test");

}  // namespace

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowAndTexts_data();
    void windowAndTexts();
    void fixedSizeAndBackground();
    void versionLabel();
    void settingsFile_data();
    void settingsFile();
    void showsServiceEngines();
    void dotsBlinkTogether();
    void timerDrivesTheDots();
    void linksOpenTheirAddresses_data();
    void linksOpenTheirAddresses();
    void linksAreReachedWithTheKeyboard_data();
    void linksAreReachedWithTheKeyboard();
    void aPressThatLeavesTheLinkOpensNothing();
    void okCloses();
    void aLinkKeepsTheWindowModal();

private:
    template <typename T> T *Child(const QString &name);

    About *about = nullptr;
    ScriptedDialogs dialogs;
};

void TestAbout::init()
{
    dialogs.Clear();
    about = new About(kWebSite, kProgramPage, dialogs);
    about->show();
}

void TestAbout::cleanup()
{
    delete about;
    about = nullptr;
}

template <typename T> T *TestAbout::Child(const QString &name)
{
    T *child = about->findChild<T *>(name);
    if (!child)
        qFatal("No control %s", qPrintable(name));
    return child;
}

void TestAbout::windowAndTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("color");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QRect>("box");

    const QColor heading(64, 64, 64);
    const QColor link(0, 0, 192);
    const QColor black(0, 0, 0);
    QTest::newRow("Label1") << "Label1"
                            << "Автор:" << heading << true << QRect(84, 80, 40, 13);
    QTest::newRow("Label2") << "Label2"
                            << "Команда Quillon" << black << true << QRect(4, 96, 194, 13);
    QTest::newRow("Label3") << "Label3"
                            << "Обсуждение программы:" << heading << true << QRect(28, 116, 150, 13);
    QTest::newRow("Label4") << "Label4"
                            << "Форум" << link << false << QRect(80, 132, 42, 13);
    QTest::newRow("Label5") << "Label5"
                            << "Официальный сайт:" << heading << true << QRect(48, 152, 119, 13);
    QTest::newRow("Label6") << "Label6"
                            << "http://www.quillon.test:8080" << link << false << QRect(28, 168, 153, 13);
    QTest::newRow("Label8") << "Label8"
                            << "Справка и обновления" << heading << true << QRect(36, 188, 136, 13);
    QTest::newRow("Label9") << "Label9"
                            << "http://quillon.test" << link << false << QRect(34, 204, 140, 13);
    QTest::newRow("SettingsHeading") << "SettingsHeading"
                                     << "Файл настроек:" << heading << true << QRect(48, 224, 106, 13);
    QTest::newRow("Label7") << "Label7"
                            << "Версия " + AppVersion() << black << false << QRect(124, 64, 55, 13);
}

void TestAbout::windowAndTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QColor, color);
    QFETCH(bool, bold);
    QFETCH(QRect, box);

    QCOMPARE(about->objectName(), QStringLiteral("About"));
    QCOMPARE(about->windowTitle(), QStringLiteral("About"));
    auto *label = Child<QLabel>(name);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->palette().color(QPalette::WindowText), color);
    QCOMPARE(label->font().bold(), bold);
    // Centred on its box, wider only when the text needs it, and inside the window.
    QCOMPARE(label->y(), box.y());
    QCOMPARE(label->height(), box.height());
    QVERIFY(qAbs(label->geometry().center().x() - box.center().x()) <= 1);
    QVERIFY(label->width() >= box.width());
    QVERIFY(label->width() >= label->sizeHint().width());
    QVERIFY(about->rect().contains(label->geometry()));
    const bool isLink = color == QColor(0, 0, 192);
    QCOMPARE(label->cursor().shape(), isLink ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TestAbout::fixedSizeAndBackground()
{
    QCOMPARE(about->size(), QSize(202, 287));
    QCOMPARE(about->minimumSize(), about->maximumSize());
    QVERIFY(!(about->windowFlags() & Qt::WindowMinMaxButtonsHint));
    auto *background = Child<GradientBG>(QStringLiteral("BG"));
    QCOMPARE(background->geometry(), about->rect());
    QCOMPARE(Child<LogoPicture>(QStringLiteral("Image1"))->geometry(), QRect(16, 24, 176, 38));
    QCOMPARE(Child<LineShape>(QStringLiteral("Line1"))->geometry(), QRect(8, 72, 113, 1));
    QCOMPARE(Child<LineShape>(QStringLiteral("Line2"))->geometry(), QRect(184, 72, 13, 1));
    QCOMPARE(about->A(0)->geometry(), QRect(20, 24, 5, 5));
    QCOMPARE(about->A(1)->geometry(), QRect(24, 32, 5, 5));
    QCOMPARE(about->findChildren<DotShape *>(QStringLiteral("A")).size(), 2);
    QCOMPARE(about->A(1)->property("Index").toInt(), 1);
    auto *ok = Child<XpB>(QStringLiteral("ok"));
    QCOMPARE(ok->Caption(), QStringLiteral("OK"));
    QCOMPARE(ok->geometry(), QRect(96, 260, 97, 21));

    const QImage shot = about->grab().toImage();
    QCOMPARE(shot.pixelColor(1, 1).rgb(), background->TopColor().rgb());
    QCOMPARE(shot.pixelColor(shot.width() - 2, shot.height() - 2).rgb(), background->BottomColor().rgb());
    // The dots are drawn over the logo: the middle of each is black.
    QCOMPARE(shot.pixelColor(22, 26).rgb(), QColor(Qt::black).rgb());
    QCOMPARE(shot.pixelColor(26, 34).rgb(), QColor(Qt::black).rgb());
}

void TestAbout::versionLabel()
{
    auto *label = Child<QLabel>(QStringLiteral("Label7"));
    QCOMPARE(label->text(), QStringLiteral("Версия ") + AppVersion());
    QVERIFY(label->width() >= label->sizeHint().width());
}

void TestAbout::settingsFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("shown");  // an ellipsis stands for the middle left out
    const QString home = QDir::homePath();
    QTest::newRow("in the home folder") << home + "/.config/quillon/options.ini"
                                        << "~/.config/quillon/options.ini";
    QTest::newRow("elsewhere") << "/opt/quillon/options.ini"
                               << "/opt/quillon/options.ini";
    QTest::newRow("too long for the line") << home + "/" + QString(60, u'п') + "/options.ini"
                                           << "~/п…п/options.ini";
}

void TestAbout::settingsFile()
{
    QFETCH(QString, path);
    QFETCH(QString, shown);
    about->ShowSettingsFile(path);
    auto *label = Child<QLabel>(QStringLiteral("SettingsPath"));
    QCOMPARE(label->toolTip(), path);
    const QString text = label->text();
    const qsizetype cut = shown.indexOf(u'…');
    if (cut < 0) {
        QCOMPARE(text, shown);
    } else {
        QVERIFY2(text.startsWith(shown.first(cut)) && text.endsWith(shown.sliced(cut + 1)), qPrintable(text));
        QVERIFY(text.contains(u'…'));
    }
    QCOMPARE(label->y(), 240);
    QVERIFY(about->rect().contains(label->geometry()));
}

void TestAbout::showsServiceEngines()
{
    const QRect settings = Child<QLabel>(QStringLiteral("SettingsPath"))->geometry();
    const int height = about->height();
    about->ShowEngines(QStringLiteral("yt-dlp 2026.08.19, builtin 1.7"));
    auto *engines = Child<QLabel>(QStringLiteral("EnginesLine"));
    QCOMPARE(engines->text(), QStringLiteral("yt-dlp 2026.08.19, builtin 1.7"));
    QVERIFY(engines->isVisible());
    QCOMPARE(Child<QLabel>(QStringLiteral("EnginesHeading"))->text(), QStringLiteral("Служба ищет видео с помощью:"));
    // Below the settings file, above the OK button, inside the window grown for them.
    QVERIFY(engines->y() > settings.bottom());
    QVERIFY(Child<XpB>(QStringLiteral("ok"))->y() > engines->geometry().bottom());
    QVERIFY(about->rect().contains(Child<XpB>(QStringLiteral("ok"))->geometry()));
    QVERIFY(about->height() > height);
    // Said again, the same two lines.
    about->ShowEngines(QStringLiteral("builtin 1.7"));
    QCOMPARE(about->findChildren<QLabel *>(QStringLiteral("EnginesLine")).size(), 1);
    QCOMPARE(engines->text(), QStringLiteral("builtin 1.7"));
}

void TestAbout::dotsBlinkTogether()
{
    DotShape *a0 = about->A(0);
    DotShape *a1 = about->A(1);
    QVERIFY(a0->isVisible());
    QVERIFY(a1->isVisible());
    about->ATimer_Timer();
    QVERIFY(!a0->isVisible());
    QVERIFY(!a1->isVisible());
    about->ATimer_Timer();
    QVERIFY(a0->isVisible());
    QVERIFY(a1->isVisible());

    // Also before the window is shown: it blinks from its creation.
    About hidden(kWebSite, kProgramPage, dialogs);
    hidden.ATimer_Timer();
    QVERIFY(!hidden.A(0)->isVisibleTo(&hidden));
    QVERIFY(!hidden.A(1)->isVisibleTo(&hidden));
    hidden.ATimer_Timer();
    QVERIFY(hidden.A(0)->isVisibleTo(&hidden));
}

void TestAbout::timerDrivesTheDots()
{
    auto *timer = Child<QTimer>(QStringLiteral("ATimer"));
    QCOMPARE(timer->interval(), 800);
    QVERIFY(timer->isActive());
    QVERIFY(!timer->isSingleShot());

    // One tick, at once instead of after 800 ms: the timer stops itself after its first timeout.
    connect(timer, &QTimer::timeout, timer, &QTimer::stop);
    timer->start(0);
    QTRY_VERIFY(!timer->isActive());
    QVERIFY(!about->A(0)->isVisible());
    QVERIFY(!about->A(1)->isVisible());
}

void TestAbout::linksOpenTheirAddresses_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::newRow("forum") << "Label4"
                           << "http://www.quillon.test:8080/forum/viewforum.php?f=10";
    QTest::newRow("web site") << "Label6"
                              << "http://www.quillon.test:8080";
    QTest::newRow("program page") << "Label9"
                                  << "http://quillon.test";
}

void TestAbout::linksOpenTheirAddresses()
{
    QFETCH(QString, name);
    QFETCH(QString, address);

    auto *link = Child<ClickLabel>(name);
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(dialogs.OpenedAddresses(), QStringList{address});
    // The window stays open.
    QVERIFY(about->isVisible());
    QTest::mouseClick(link, Qt::LeftButton);
    QCOMPARE(dialogs.OpenedAddresses(), QStringList({address, address}));
    // The right button opens nothing.
    QTest::mouseClick(link, Qt::RightButton);
    QCOMPARE(dialogs.OpenedAddresses().size(), 2);
    // Nor do the headings.
    QTest::mouseClick(Child<QLabel>(QStringLiteral("Label5")), Qt::LeftButton);
    QCOMPARE(dialogs.OpenedAddresses().size(), 2);
}

void TestAbout::linksAreReachedWithTheKeyboard_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Enter") << Qt::Key_Return;
    QTest::newRow("Space") << Qt::Key_Space;
}

void TestAbout::linksAreReachedWithTheKeyboard()
{
    QFETCH(Qt::Key, key);
    QApplication::setActiveWindow(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    QCOMPARE(QApplication::focusWidget(), Child<XpB>(QStringLiteral("ok")));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto *forum = Child<ClickLabel>(QStringLiteral("Label4"));
    QCOMPARE(QApplication::focusWidget(), forum);
    QVERIFY(forum->FocusShown());
    QTest::keyClick(forum, key);
    QCOMPARE(dialogs.OpenedAddresses(), QStringList{About::ForumAddress(kWebSite)});
    QTest::keyClick(forum, Qt::Key_Tab);
    QVERIFY(!forum->FocusShown());
    QCOMPARE(QApplication::focusWidget(), Child<ClickLabel>(QStringLiteral("Label6")));
}

void TestAbout::aPressThatLeavesTheLinkOpensNothing()
{
    auto *link = Child<ClickLabel>(QStringLiteral("Label4"));
    QTest::mousePress(link, Qt::LeftButton);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(link->width() + 20, link->height() + 20));
    QVERIFY(dialogs.OpenedAddresses().isEmpty());
}

void TestAbout::okCloses()
{
    auto *ok = Child<XpB>(QStringLiteral("ok"));
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Space);
    QVERIFY(!about->isVisible());
    QCOMPARE(about->result(), int(QDialog::Accepted));
    QVERIFY(dialogs.OpenedAddresses().isEmpty());
}

void TestAbout::aLinkKeepsTheWindowModal()
{
    ScriptedDialogs openedHere;
    About window(kWebSite, kProgramPage, openedHere);
    bool modalBefore = false;
    bool modalAfter = false;
    QTimer::singleShot(0, &window, [&] {
        modalBefore = QApplication::activeModalWidget() == &window;
        QTest::mouseClick(window.findChild<ClickLabel *>(QStringLiteral("Label9")), Qt::LeftButton);
        modalAfter = QApplication::activeModalWidget() == &window && window.isVisible();
        auto *ok = window.findChild<XpB *>(QStringLiteral("ok"));
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Space);
        // Should OK not close the window, this ends the loop with a result the test rejects.
        QTimer::singleShot(0, &window, [&window] { window.done(99); });
    });
    QCOMPARE(window.exec(), int(QDialog::Accepted));
    QVERIFY(modalBefore);
    QVERIFY(modalAfter);
    QCOMPARE(openedHere.OpenedAddresses(), QStringList{QStringLiteral("http://quillon.test")});
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
