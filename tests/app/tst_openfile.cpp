#include "OpenFile.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
// What a user does: types a name into the dialog's name field and confirms.
void Type(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    static_cast<QDialog *>(dialog)->accept();
}
}  // namespace

class TestOpenFile : public QObject {
    Q_OBJECT

private slots:
    void nameFilters_data();
    void nameFilters();
    void confirmedPath();
    void otherModesShowNothing();
    void saveDialog();
    void openDialogAcceptsMissingFile();
    void cancelGivesEmpty();

private:
    // Runs once the dialog is up: records how it was set up, then answers.
    void WhenShown(std::function<void(QFileDialog *)> act);
};

void TestOpenFile::nameFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("lone wildcard description") << "*.flv" << QStringList{"*.flv (*.flv)"};
    QTest::newRow("one pair") << "*.flv|*.flv" << QStringList{"*.flv (*.flv)"};
    QTest::newRow("pair joined by NUL") << QStringLiteral("*.flv") + QChar(0) + QStringLiteral("*.flv")
                                        << QStringList{"*.flv (*.flv)"};
    QTest::newRow("two pairs") << "Видео|*.flv|Все|*.*" << QStringList{"Видео (*.flv)", "Все (*.*)"};
    QTest::newRow("lone plain description shows all") << "Видео" << QStringList{"Видео (*)"};
    QTest::newRow("several patterns") << "Video|*.flv;*.mp4" << QStringList{"Video (*.flv *.mp4)"};
}

void TestOpenFile::nameFilters()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(OpenFile::NameFilters(filter), expected);
}

void TestOpenFile::confirmedPath()
{
    const QString longest = QStringLiteral("/") + QString(509, QLatin1Char('a'));
    QCOMPARE(longest.size(), 510);
    QCOMPARE(OpenFile::ConfirmedPath(longest), longest);
    QCOMPARE(OpenFile::ConfirmedPath(longest + QLatin1Char('b')), QString());
    QCOMPARE(OpenFile::ConfirmedPath(QString()), QString());
}

void TestOpenFile::otherModesShowNothing()
{
    for (qint16 mode : {0, 3, -1}) {
        bool shown = false;
        QTimer::singleShot(0, this, [&shown] {
            if (QApplication::activeModalWidget()) {
                shown = true;
                QApplication::activeModalWidget()->close();
            }
        });
        QCOMPARE(OpenFile::ShowFileDialog(nullptr, mode, QStringLiteral("*.flv"), QString(), QStringLiteral("t"), 0,
                                          QStringLiteral("/tmp/x.flv")),
                 QString());
        QCoreApplication::processEvents();
        QVERIFY(!shown);
    }
}

void TestOpenFile::WhenShown(std::function<void(QFileDialog *)> act)
{
    auto *timer = new QTimer(this);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, this, [timer, act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        act(dialog);
        // An answer the dialog did not take must fail the test, not leave it waiting for a user.
        if (dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

void TestOpenFile::saveDialog()
{
    QTemporaryDir folder;
    const QString suggested = folder.filePath(QStringLiteral("06.12.2026(10-31-07).flv"));
    QString title;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QString directory;
    QString typed;
    bool confirmsOverwrite = true;
    QString suffix = QStringLiteral("unset");
    WhenShown([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        acceptMode = dialog->acceptMode();
        directory = dialog->directory().absolutePath();
        confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        suffix = dialog->defaultSuffix();
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            typed = edit->text();
        // A name typed without an extension is taken as typed.
        Type(dialog, QStringLiteral("mine"));
    });
    const QString chosen = OpenFile::ShowFileDialog(nullptr, 2, QStringLiteral("*.flv"), folder.path(),
                                                    QStringLiteral("Сохранение видеофайла"), 0, suggested);
    QCOMPARE(chosen, folder.filePath(QStringLiteral("mine")));
    QCOMPARE(title, QStringLiteral("Сохранение видеофайла"));
    QCOMPARE(acceptMode, QFileDialog::AcceptSave);
    QCOMPARE(directory, QDir(folder.path()).absolutePath());
    QCOMPARE(typed, QStringLiteral("06.12.2026(10-31-07).flv"));
    QVERIFY(!confirmsOverwrite);
    QCOMPARE(suffix, QString());
}

void TestOpenFile::openDialogAcceptsMissingFile()
{
    QTemporaryDir folder;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptSave;
    QStringList filters;
    QString shownFilter;
    WhenShown([&](QFileDialog *dialog) {
        acceptMode = dialog->acceptMode();
        filters = dialog->nameFilters();
        if (auto *types = dialog->findChild<QComboBox *>(QStringLiteral("fileTypeCombo")))
            shownFilter = types->currentText();
        Type(dialog, QStringLiteral("missing.flv"));
    });
    const QString chosen = OpenFile::ShowFileDialog(nullptr, 1, QStringLiteral("*.flv|*.flv"), folder.path(),
                                                    QStringLiteral("Открыть видеофайл"), 0, QString());
    QCOMPARE(acceptMode, QFileDialog::AcceptOpen);
    QCOMPARE(filters, QStringList{QStringLiteral("*.flv (*.flv)")});
    // The patterns of every video kind would not fit the box; the description says enough.
    QCOMPARE(shownFilter, QStringLiteral("*.flv"));
    QCOMPARE(chosen, folder.filePath(QStringLiteral("missing.flv")));
}

void TestOpenFile::cancelGivesEmpty()
{
    QTemporaryDir folder;
    WhenShown([](QFileDialog *dialog) { dialog->reject(); });
    QCOMPARE(OpenFile::ShowFileDialog(nullptr, 2, QStringLiteral("*.flv"), folder.path(), QStringLiteral("t"), 0,
                                      folder.filePath(QStringLiteral("a.flv"))),
             QString());
}

QTEST_MAIN(TestOpenFile)
#include "tst_openfile.moc"
