#include "CPassword.h"
#include "OptionsFixture.h"
#include "Parametr.h"
#include "Version.h"
#include "XpB.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// What OK and Cancel do to the settings and to options.ini, and what a failed save tells.
class TestOptionsSave : public QObject, public OptionsFixture {
    Q_OBJECT

private slots:
    void init() { SetUp(); }
    void cleanup() { TearDown(); }

    void okWritesExactlyTheKeys();
    void okWritesEveryKeyItShows_data();
    void okWritesEveryKeyItShows();
    void okWithProxyOffKeepsTheFields();
    void okWithEmptyPassword();
    void cancelLeavesFileAndValues_data();
    void cancelLeavesFileAndValues();
    void failedSaveTellsAndStaysOpen_data();
    void failedSaveTellsAndStaysOpen();
    void passwordThatCannotBeKept();
    void portRule_data();
    void portRule();
    void enterIsOk_data();
    void enterIsOk();
    void openedModally();
    void folderForSavingWithoutDialog_data();
    void folderForSavingWithoutDialog();
};

void TestOptionsSave::okWritesExactlyTheKeys()
{
    settings.SavePath = QStringLiteral("/home/user/Видео/");
    Open();
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check1")), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check2")), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check3")), Qt::LeftButton);
    QTest::keyClicks(Child<QLineEdit>(QStringLiteral("Text1")), QStringLiteral("proxy.lan"));
    QTest::keyClicks(Child<QLineEdit>(QStringLiteral("Text2")), QStringLiteral("3128"));
    // QTest types Latin-1 only.
    Child<QLineEdit>(QStringLiteral("Text3"))->setText(QStringLiteral("Пётр"));
    QTest::keyClicks(Child<QLineEdit>(QStringLiteral("Text4")), QStringLiteral("s3cret"));
    // From "Лучшее до 1080p" one down, to "Лучшее до 720p".
    QTest::keyClick(Child<QComboBox>(QStringLiteral("qualityBox")), Qt::Key_Down);
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check5")), Qt::LeftButton);
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(!dialog->isVisible());
    QVERIFY(dialogs.Messages().isEmpty());

    const QByteArray content = ReadFile();
    QCOMPARE(KeysOf(content),
             QStringList({"Network/UseProxy", "Network/ProxyName", "Network/ProxyPort", "Network/ProxyAuth",
                          "Network/ProxyLogin", "Network/ProxyPass", "Version/CheckUpgrade", "Save/SavePath",
                          "Save/DateTimeNames", "Save/Quality", "Save/Directly", "Save/DirectFolder"}));
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray("1"));
    QCOMPARE(ini.RINI("Network", "ProxyName"), QByteArray("proxy.lan"));
    QCOMPARE(ini.RINI("Network", "ProxyPort"), QByteArray("3128"));
    QCOMPARE(ini.RINI("Network", "ProxyAuth"), QByteArray("1"));
    QCOMPARE(ini.RINI("Network", "ProxyLogin"), QStringLiteral("Пётр").toUtf8());
    QCOMPARE(ini.RINI("Version", "CheckUpgrade"), QByteArray("1"));
    QCOMPARE(ini.RINI("Save", "SavePath"), QStringLiteral("/home/user/Видео/").toUtf8());
    QCOMPARE(ini.RINI("Save", "DateTimeNames"), QByteArray("1"));
    QCOMPARE(ini.RINI("Save", "Quality"), QByteArray("720"));
    // The password is in the file only scrambled.
    QVERIFY(!content.contains("s3cret"));
    QCOMPARE(ProgramPassword().Decrypt(ini.RINI("Network", "ProxyPass")), QStringLiteral("s3cret"));

    QCOMPARE(EditedValues(dialog->Committed()), QStringList({"1", "proxy.lan", "3128", "1", "Пётр", "s3cret", "1"}));
    QCOMPARE(dialog->Committed().SavePath, QStringLiteral("/home/user/Видео/"));

    // What was saved is what the next start loads.
    QCOMPARE(LoadSettings(ini), dialog->Committed());
}

void TestOptionsSave::okWritesEveryKeyItShows_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray rest =
        "ProxyAuth=0\r\nProxyLogin=\r\nProxyPass=\r\n[Version]\r\nCheckUpgrade=0\r\n[Save]\r\nSavePath=\r\n"
        "DateTimeNames=0\r\nQuality=1080\r\nDirectly=0\r\nDirectFolder=\r\n";
    QTest::newRow("a line edited by hand, in its place")
        << QByteArray("[Network]\r\nUseProxy=1\r\nproxyname =  \"my proxy\"  \r\nProxyPort=3128\r\n")
        << "[Network]\r\nUseProxy=1\r\nproxyname=my proxy\r\nProxyPort=3128\r\n" + rest;
    QTest::newRow("a flag the box could only show as off")
        << QByteArray("[Network]\r\nUseProxy=2\r\n")
        << "[Network]\r\nUseProxy=0\r\nProxyName=\r\nProxyPort=\r\n" + rest;
}

// OK confirms what the dialog shows, and the file then says so in each of its keys.
void TestOptionsSave::okWritesEveryKeyItShows()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QVERIFY(WriteFile(before));
    settings = LoadSettings(ini);
    Open();
    PressButton(QStringLiteral("XpB1"));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(ReadFile(), after);
}

void TestOptionsSave::okWithProxyOffKeepsTheFields()
{
    settings.Network.UseProxy = true;
    settings.Network.ProxyName = QStringLiteral("proxy.lan");
    settings.Network.ProxyPort = 8080;
    settings.Network.ProxyAuth = true;
    settings.Network.ProxyLogin = QStringLiteral("user");
    settings.Network.ProxyPass = QStringLiteral("pw");
    Open();
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check1")), Qt::LeftButton);
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray("0"));
    QCOMPARE(ini.RINI("Network", "ProxyName"), QByteArray("proxy.lan"));
    QCOMPARE(ini.RINI("Network", "ProxyPort"), QByteArray("8080"));
    QCOMPARE(ini.RINI("Network", "ProxyAuth"), QByteArray("1"));
    QCOMPARE(ini.RINI("Network", "ProxyLogin"), QByteArray("user"));
    QCOMPARE(ProgramPassword().Decrypt(ini.RINI("Network", "ProxyPass")), QStringLiteral("pw"));
    QCOMPARE(ini.RINI("Version", "CheckUpgrade"), QByteArray("0"));
    QVERIFY(!dialog->Committed().Network.UseProxy);
}

void TestOptionsSave::okWithEmptyPassword()
{
    settings.Network.ProxyPass = QStringLiteral("old");
    settings.Network.UseProxy = true;
    settings.Network.ProxyPort = 3128;
    settings.Network.ProxyAuth = true;
    Open();
    Child<QLineEdit>(QStringLiteral("Text4"))->clear();
    PressButton(QStringLiteral("XpB1"));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QVERIFY(ReadFile().contains("ProxyPass="));
    QCOMPARE(ini.RINI("Network", "ProxyPass"), QByteArray());
    QCOMPARE(dialog->Committed().Network.ProxyPass, QString());
}

void TestOptionsSave::cancelLeavesFileAndValues_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "XpB2";
    QTest::newRow("close box") << "close";
    QTest::newRow("Escape") << "Escape";
}

void TestOptionsSave::cancelLeavesFileAndValues()
{
    QFETCH(QString, how);

    const QByteArray before = "; mine\n[Network]\nUseProxy=1\nProxyName=a.b\n[Save]\nSavePath=/v/\n";
    QVERIFY(WriteFile(before));
    settings = LoadSettings(ini);
    Open();
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check1")), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check3")), Qt::LeftButton);
    QTest::keyClicks(Child<QLineEdit>(QStringLiteral("Text2")), QStringLiteral("99"));

    if (how == QLatin1String("close"))
        QVERIFY(dialog->close());
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(Child<QLineEdit>(QStringLiteral("Text2")), Qt::Key_Escape);
    else
        PressButton(how);

    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(ReadFile(), before);
    QCOMPARE(dialog->Committed(), settings);
    QVERIFY(dialogs.Messages().isEmpty());
}

void TestOptionsSave::failedSaveTellsAndStaysOpen_data()
{
    QTest::addColumn<bool>("fileInPlaceOfFolder");
    QTest::newRow("folder missing") << false;
    QTest::newRow("a file where the folder should be") << true;
}

void TestOptionsSave::failedSaveTellsAndStaysOpen()
{
    QFETCH(bool, fileInPlaceOfFolder);

    const QString folder = dir->filePath(QStringLiteral("gone"));
    if (fileInPlaceOfFolder) {
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    ini.FileName(folder + QStringLiteral("/options.ini"));
    settings.Network.UseProxy = false;
    settings.Network.ProxyName = QStringLiteral("old.host");
    settings.Network.ProxyPort = 3128;
    settings.Network.ProxyPass = QStringLiteral("oldpw");
    Open();
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check1")), Qt::LeftButton);
    QTest::mouseClick(Child<QCheckBox>(QStringLiteral("Check2")), Qt::LeftButton);
    Child<QLineEdit>(QStringLiteral("Text1"))->setText(QStringLiteral("new.host"));
    Child<QLineEdit>(QStringLiteral("Text4"))->setText(QStringLiteral("Tajna-77"));
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialogs.Messages().size(), 1);
    const ScriptedDialogs::Asked message = dialogs.Messages().first();
    QCOMPARE(message.owner, dialog);
    QCOMPARE(message.title, QStringLiteral("Quillon ") + AppVersion());
    QCOMPARE(message.icon, MessageIcon::Warning);
    QVERIFY2(message.text.startsWith(QStringLiteral("Не удалось сохранить настройки в файл options.ini.")),
             qPrintable(message.text));
    // The system's reason is in it.
    QVERIFY2(message.text.contains(QStringLiteral("gone")), qPrintable(message.text));
    QVERIFY(!message.text.contains(QStringLiteral("Tajna-77")));
    QVERIFY(!message.title.contains(QStringLiteral("Tajna-77")));

    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->Committed(), settings);
    QCOMPARE(Child<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("new.host"));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/options.ini")));

    // The user may still give up.
    PressButton(QStringLiteral("XpB2"));
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QCOMPARE(dialog->Committed(), settings);
}

void TestOptionsSave::passwordThatCannotBeKept()
{
    // No key of the scrambler can hold a character outside Windows-1251.
    const QString password = QStringLiteral("ключ密码");
    settings.Network.UseProxy = true;
    settings.Network.ProxyPort = 3128;
    settings.Network.ProxyAuth = true;
    Open();
    Child<QLineEdit>(QStringLiteral("Text4"))->setText(password);
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialogs.Messages().size(), 1);
    QCOMPARE(dialogs.Messages().first().title, QStringLiteral("Quillon ") + AppVersion());
    QVERIFY(dialogs.Messages().first().text.startsWith(CPassword::kCreateErrorHeading));
    QVERIFY(!dialogs.Messages().first().text.contains(password));
    // The other keys are written and the dialog closes; the password stays for this run only.
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(ini.RINI("Network", "UseProxy"), QByteArray("1"));
    QCOMPARE(ProgramPassword().Decrypt(ini.RINI("Network", "ProxyPass")), QString());
    QCOMPARE(dialog->Committed().Network.ProxyPass, password);
}

void TestOptionsSave::portRule_data()
{
    QTest::addColumn<bool>("proxy");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("a port") << true << "8080"
                            << "8080" << true;
    QTest::newRow("the highest port") << true << "65535"
                                      << "65535" << true;
    QTest::newRow("letters are not taken") << true << "99a8b0"
                                           << "9980" << true;
    QTest::newRow("no more than five digits") << true << "3128000"
                                              << "31280" << true;
    QTest::newRow("above the highest") << true << "99999abc"
                                       << "99999" << false;
    QTest::newRow("zero") << true << "0"
                          << "0" << false;
    QTest::newRow("empty, with the proxy") << true << ""
                                           << "" << false;
    QTest::newRow("empty, without the proxy") << false << ""
                                              << "" << true;
    QTest::newRow("zero, without the proxy") << false << "0"
                                             << "0" << false;
}

void TestOptionsSave::portRule()
{
    QFETCH(bool, proxy);
    QFETCH(QString, typed);
    QFETCH(QString, port);
    QFETCH(bool, accepted);
    settings.Network.UseProxy = proxy;
    settings.Network.ProxyName = QStringLiteral("proxy.lan");
    Open();
    auto *field = Child<QLineEdit>(QStringLiteral("Text2"));
    field->setEnabled(true);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), port);
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialog->isVisible(), !accepted);
    QCOMPARE(QFile::exists(path), accepted);
    if (accepted) {
        QCOMPARE(ini.RINI("Network", "ProxyPort"), port.toLatin1());
        return;
    }
    QCOMPARE(dialogs.Messages().size(), 1);
    QCOMPARE(dialogs.Messages().first().icon, MessageIcon::Warning);
    QCOMPARE(dialogs.Messages().first().text, SettingsTexts::InvalidProxyPort(port));
    QCOMPARE(dialogs.Messages().first().owner, dialog);
    // Back to the field, to mend it.
    QCOMPARE(dialog->focusWidget(), field);
    QCOMPARE(dialog->Committed(), settings);
}

void TestOptionsSave::enterIsOk_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("result");
    QTest::newRow("in a field") << "Text1" << int(QDialog::Accepted);
    QTest::newRow("on a check box") << "Check3" << int(QDialog::Accepted);
    QTest::newRow("on OK") << "XpB1" << int(QDialog::Accepted);
    QTest::newRow("on Cancel, which takes it") << "XpB2" << int(QDialog::Rejected);
}

void TestOptionsSave::enterIsOk()
{
    QFETCH(QString, focus);
    QFETCH(int, result);
    Open();
    QWidget *focused = Child<QWidget>(focus);
    focused->setEnabled(true);
    focused->setFocus();
    QTest::keyClick(focused, Qt::Key_Return);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), result);
    QCOMPARE(QFile::exists(path), result == int(QDialog::Accepted));
}

void TestOptionsSave::openedModally()
{
    Options modalDialog(settings, ini, dialogs, DownloadFolder());
    bool modal = false;
    QTimer::singleShot(0, &modalDialog, [&] {
        modal = QApplication::activeModalWidget() == &modalDialog;
        modalDialog.findChild<QLineEdit *>(QStringLiteral("Text2"))->setText(QStringLiteral("8080"));
        auto *ok = modalDialog.findChild<XpB *>(QStringLiteral("XpB1"));
        ok->setFocus();
        QTest::keyClick(ok, Qt::Key_Space);
        // Should OK not close the modalDialog, this ends the loop with a result the test rejects.
        QTimer::singleShot(0, &modalDialog, [&modalDialog] { modalDialog.done(99); });
    });
    QCOMPARE(modalDialog.exec(), int(QDialog::Accepted));
    QVERIFY(modal);
    QCOMPARE(modalDialog.Committed().Network.ProxyPort, quint16(8080));
    QCOMPARE(ini.RINI("Network", "ProxyPort"), QByteArray("8080"));
}

void TestOptionsSave::folderForSavingWithoutDialog_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::newRow("the default folder") << QString() << QString();
    QTest::newRow("another folder") << QStringLiteral("/media/Пётр/Видео") << QStringLiteral("/media/Пётр/Видео/");
}

void TestOptionsSave::folderForSavingWithoutDialog()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    Open();
    auto *folder = Child<QLineEdit>(QStringLiteral("Text5"));
    QCOMPARE(folder->text(), DownloadFolder());
    QVERIFY(!folder->isEnabled());
    QVERIFY(!Child<XpB>(QStringLiteral("XpB3"))->EnabledCtrl());

    QTest::mouseClick(Child<QLabel>(QStringLiteral("Label8")), Qt::LeftButton);
    QVERIFY(folder->isEnabled());
    dialogs.AnswerFileDialog(chosen);
    PressButton(QStringLiteral("XpB3"));
    const QList<ScriptedDialogs::Asked> asked = dialogs.FolderDialogs();
    QCOMPARE(asked.size(), 1);
    QCOMPARE(asked[0].owner, dialog);
    QCOMPARE(asked[0].folder, DownloadFolder());
    QCOMPARE(asked[0].title, QStringLiteral("Папка для видео"));
    QCOMPARE(folder->text(), chosen.isEmpty() ? DownloadFolder() : written);
    PressButton(QStringLiteral("XpB1"));

    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(ini.RINI("Save", "Directly"), QByteArray("1"));
    QCOMPARE(QString::fromUtf8(ini.RINI("Save", "DirectFolder")), written);
    QCOMPARE(dialog->Committed().Direct, (DirectSave{true, written}));
}

QTEST_MAIN(TestOptionsSave)
#include "tst_options_save.moc"
