// Run with LANG=C (see CMakeLists.txt): Qt's own texts are Russian whatever the locale.
#include "OpenFile.h"
#include "QtInteraction.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// What the user reads of a window made by Qt: button captions and tooltips, labels, column headers.
QStringList ShownTexts(const QWidget &window)
{
    QStringList texts;
    for (const QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        if (button->isVisible())
            texts << button->text() << button->toolTip();
    }
    for (const QLabel *label : window.findChildren<QLabel *>()) {
        if (label->isVisible() && label->textFormat() != Qt::RichText)
            texts << label->text();
    }
    for (const QHeaderView *header : window.findChildren<QHeaderView *>()) {
        for (int section = 0; header->isVisible() && section < header->count(); ++section)
            texts << header->model()->headerData(section, header->orientation()).toString();
    }
    texts.removeAll(QString());
    return texts;
}

// Texts with a Latin word in them, apart from what the program itself gave the window ("OK" is Russian too).
QStringList English(const QStringList &texts, const QStringList &programs)
{
    static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
    QStringList english;
    for (QString text : texts) {
        text.remove(QLatin1Char('&'));
        if (text != QLatin1String("OK") && !programs.contains(text) && text.contains(latinWord))
            english << text;
    }
    return english;
}

// Runs act on the modal window as soon as it is up, then closes it.
void WhenShown(QObject *owner, std::function<void(QWidget &)> act)
{
    auto *timer = new QTimer(owner);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, act] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QTest::qWait(50);
        act(*modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    timer->start();
}

}  // namespace

class TestQtTexts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void messageBox_data();
    void messageBox();
    void fileDialog_data();
    void fileDialog();
};

void TestQtTexts::initTestCase()
{
    QCOMPARE(QLocale::system().language(), QLocale::C);
    QVERIFY(UseRussianQtTexts());
}

void TestQtTexts::messageBox_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<QStringList>("captions");
    QTest::newRow("question") << int(QMessageBox::Yes | QMessageBox::No) << QStringList{"&Да", "&Нет"};
    QTest::newRow("notice") << int(QMessageBox::Ok) << QStringList{"OK"};
}

void TestQtTexts::messageBox()
{
    QFETCH(int, buttons);
    QFETCH(QStringList, captions);
    QWidget owner;
    owner.show();
    QStringList shown;
    QStringList english;
    WhenShown(this, [&](QWidget &box) {
        for (const QAbstractButton *button : static_cast<QMessageBox &>(box).buttons())
            shown << button->text();
        english = English(ShownTexts(box), {QStringLiteral("Текст")});
    });
    QtInteraction().ShowMessage(&owner, QStringLiteral("Текст"), QStringLiteral("Заголовок"),
                                MessageButtons::fromInt(buttons), MessageIcon::Question);
    shown.sort();
    captions.sort();
    QCOMPARE(shown, captions);
    QCOMPARE(english, QStringList());
}

void TestQtTexts::fileDialog_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("accept");
    QTest::newRow("open") << 1 << "&Открыть";
    QTest::newRow("save") << 2 << "&Сохранить";
}

void TestQtTexts::fileDialog()
{
    QFETCH(int, mode);
    QFETCH(QString, accept);
    QTemporaryDir folder;
    QString acceptShown;
    QStringList texts;
    WhenShown(this, [&](QWidget &dialog) {
        QCOMPARE(dialog.metaObject()->className(), "QFileDialog");
        if (auto *box = dialog.findChild<QDialogButtonBox *>())
            acceptShown = box->buttons().value(0)->text();
        texts = ShownTexts(dialog);
    });
    OpenFile::ShowFileDialog(nullptr, qint16(mode), QStringLiteral("Видео|*.flv"), folder.path(),
                             QStringLiteral("Видеофайл"), 0, QStringLiteral("video.flv"));
    QCOMPARE(acceptShown, accept);
    QVERIFY(texts.contains(QStringLiteral("&Имя файла:")));
    QVERIFY(texts.contains(QStringLiteral("Отмена")));
    QCOMPARE(English(texts, {QStringLiteral("video.flv")}), QStringList());
}

QTEST_MAIN(TestQtTexts)
#include "tst_qttexts.moc"
