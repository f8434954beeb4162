#include "QtInteraction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>

namespace {

// Takes the addresses QDesktopServices hands to the browser for "http".
class Browser : public QObject {
    Q_OBJECT

public slots:
    void Open(const QUrl &url) { opened << url; }

public:
    QList<QUrl> opened;
};

}  // namespace

class TestInteraction : public QObject {
    Q_OBJECT

private slots:
    void messageBox_data();
    void messageBox();
    void otherFileDialogModesShowNothing();
    void addressesOpenInTheDesktopBrowser();
    void qtOwnWordsAreRussian();

private:
    void WhenShown(std::function<void(QMessageBox *)> act);
};

void TestInteraction::WhenShown(std::function<void(QMessageBox *)> act)
{
    auto *timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, [timer, act] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        act(box);
        // An answer the box did not take must fail the test, not leave it waiting for a user.
        if (box->isVisible())
            box->done(-1);
    });
    timer->start();
}

void TestInteraction::messageBox_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("press");
    QTest::addColumn<int>("defaultButton");
    QTest::newRow("replace question, No") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Question)
                                          << int(QMessageBox::No) << int(QMessageBox::Yes);
    QTest::newRow("offer, Yes") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Question)
                                << int(QMessageBox::Yes) << int(QMessageBox::Yes);
    // Losing a video is never the answer Enter gives.
    QTest::newRow("discard question") << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::Warning)
                                      << int(QMessageBox::Yes) << int(QMessageBox::No);
    QTest::newRow("notice") << int(QMessageBox::Ok) << int(QMessageBox::Information) << int(QMessageBox::Ok)
                            << int(QMessageBox::Ok);
}

void TestInteraction::messageBox()
{
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, press);
    QFETCH(int, defaultButton);
    QWidget owner;
    owner.show();
    QtInteraction dialogs;
    QString title, text;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons shownButtons;
    QMessageBox::StandardButton shownDefault = QMessageBox::NoButton;
    QWidget *parent = nullptr;
    WhenShown([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        shownButtons = box->standardButtons();
        parent = box->parentWidget();
        shownDefault = box->standardButton(box->defaultButton());
        box->button(static_cast<QMessageBox::StandardButton>(press))->click();
    });
    const MessageButton answer =
        dialogs.ShowMessage(&owner, QStringLiteral("Файл с таким именем уже существует. Заменить?"),
                            QStringLiteral("Предупреждение"), MessageButtons::fromInt(buttons),
                            static_cast<MessageIcon>(icon));
    QCOMPARE(int(answer), press);
    QCOMPARE(title, QStringLiteral("Предупреждение"));
    QCOMPARE(text, QStringLiteral("Файл с таким именем уже существует. Заменить?"));
    QCOMPARE(int(shownIcon), icon);
    QCOMPARE(int(shownButtons), buttons);
    QCOMPARE(parent, &owner);
    QCOMPARE(int(shownDefault), defaultButton);
}

void TestInteraction::otherFileDialogModesShowNothing()
{
    QtInteraction dialogs;
    QCOMPARE(dialogs.ShowFileDialog(nullptr, 0, QStringLiteral("*.flv"), QString(), QString(), 0, QString()),
             QString());
}

void TestInteraction::addressesOpenInTheDesktopBrowser()
{
    Browser browser;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &browser, "Open");
    QtInteraction().OpenAddress(QStringLiteral("http://www.quillon.test:8080/forum/viewforum.php?f=10"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(browser.opened,
             QList<QUrl>{QUrl(QStringLiteral("http://www.quillon.test:8080/forum/viewforum.php?f=10"))});
}

void TestInteraction::qtOwnWordsAreRussian()
{
    QVERIFY(UseRussianQtTexts());
    QWidget owner;
    owner.show();
    QStringList words;
    WhenShown([&](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            words << button->text();
        box->button(QMessageBox::No)->click();
    });
    QtInteraction().ShowMessage(&owner, QStringLiteral("Заменить?"), QStringLiteral("Предупреждение"),
                                MessageButton::Yes | MessageButton::No, MessageIcon::Question);
    words.sort();
    QCOMPARE(words, (QStringList{QStringLiteral("&Да"), QStringLiteral("&Нет")}));
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
}

QTEST_MAIN(TestInteraction)
#include "tst_interaction.moc"
