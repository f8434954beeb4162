// The windows as a screen reader reads them: over the accessibility bus (AT-SPI), through Python's pyatspi, as
// Orca would. Runs on a virtual display with its own session bus (see CMakeLists.txt).
#include "About.h"
#include "INI.h"
#include "Main.h"
#include "Options.h"
#include "ScriptedDialogs.h"
#include "WindowProbe.h"

#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace {

struct Node {
    QString role;
    QString name;
    bool showing = false;
    bool focusable = false;
};

// What the reader says of a control: its role and name.
QString Said(const Node &node)
{
    return node.role + QLatin1Char('|') + node.name;
}

// Roles that are controls or pictures: each must have a name to be said.
bool MustBeNamed(const Node &node)
{
    static const QStringList roles = {QStringLiteral("push button"), QStringLiteral("check box"),
                                      QStringLiteral("text"),        QStringLiteral("password text"),
                                      QStringLiteral("image"),       QStringLiteral("panel")};
    return node.showing && (node.focusable || roles.contains(node.role));
}

QList<Node> Parse(const QByteArray &output)
{
    QList<Node> nodes;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 4)
            continue;
        const QList<QByteArray> flags = fields[3].split(',');
        nodes.append({QString::fromUtf8(fields[1]), QString::fromUtf8(fields[2]), flags.contains("showing"),
                      flags.contains("focusable")});
    }
    return nodes;
}

// The tree of this program as the bus has it. The bridge registers the program a moment after its first
// window shows, so the reader is asked again until it finds it.
QList<Node> ReadOut()
{
    for (int attempt = 0; attempt < 40; ++attempt) {
        QProcess reader;
        reader.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QEventLoop wait;
        QObject::connect(&reader, &QProcess::finished, &wait, &QEventLoop::quit);
        QObject::connect(&reader, &QProcess::errorOccurred, &wait, &QEventLoop::quit);
        // The window must keep answering the reader's questions while it reads.
        reader.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(QUILLON_ATSPI_TREE), QCoreApplication::applicationName()});
        wait.exec();
        if (reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0)
            return Parse(reader.readAllStandardOutput());
        QTest::qWait(250);
    }
    return {};
}

}  // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void windowsAsAScreenReaderSaysThem_data();
    void windowsAsAScreenReaderSaysThem();

private:
    ScriptedDialogs dialogs;
    QTemporaryDir program;
    INI ini;
};

void TestAccessibility::windowsAsAScreenReaderSaysThem_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("said");
    QTest::newRow("menu") << "menu" << QStringList{"panel|Меню",
                                                   "push button|Загрузка видео",
                                                   "push button|Проигрыватель",
                                                   "push button|О программе",
                                                   "push button|Выход",
                                                   "label|Готов"};
    QTest::newRow("download panel") << "download" << QStringList{"panel|Загрузка видео",
                                                                 "text|Адрес страницы с видео",
                                                                 "push button|Вставить адрес из буфера обмена",
                                                                 "push button|Загрузить видео",
                                                                 "push button|Назад",
                                                                 "push button|Настройки сети"};
    QTest::newRow("player") << "player"
                            << QStringList{"image|Перетащите сюда видеофайл или щёлкните здесь, чтобы открыть его",
                                           "push button|Назад в меню", "push button|Открыть видеофайл",
                                           "push button|Очистить проигрыватель"};
    QTest::newRow("Options")
        << "options"
        << QStringList{"check box|Использовать HTTP-прокси",       "text|Адрес",     "text|Порт",
                       "check box|Авторизация на прокси",          "text|Логин",     "password text|Пароль",
                       "check box|Проверять наличие новой версии", "push button|OK", "push button|Отмена"};
    QTest::newRow("About") << "about"
                           << QStringList{"image|Логотип Quillon", "push button|OK", "link|Форум",
                                          "link|http://www.quillon.example",
                                          "label|/home/user/.config/quillon/options.ini"};
}

void TestAccessibility::windowsAsAScreenReaderSaysThem()
{
    QFETCH(QString, window);
    QFETCH(QStringList, said);

    std::unique_ptr<QWidget> shown;
    if (window == QLatin1String("options")) {
        Settings settings;
        settings.Network.UseProxy = true;
        settings.Network.ProxyAuth = true;
        shown = std::make_unique<Options>(settings, ini, dialogs, QStringLiteral("/home/user/Videos/Quillon/"));
    } else if (window == QLatin1String("about")) {
        auto about =
            std::make_unique<About>(QStringLiteral("www.quillon.example"), QStringLiteral("quillon.example"), dialogs);
        about->ShowSettingsFile(QStringLiteral("/home/user/.config/quillon/options.ini"));
        shown = std::move(about);
    } else {
        auto main = std::make_unique<Main>(program.path(), dialogs);
        main->show();
        if (window == QLatin1String("download"))
            Click(*main, "ZagButton");
        else if (window == QLatin1String("player"))
            Click(*main, "ProButton");
        Control<QLineEdit>(*main, "URLtext")->setText(QStringLiteral("http://video.example/watch?v=42"));
        shown = std::move(main);
    }
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));

    const QList<Node> nodes = ReadOut();
    QVERIFY2(!nodes.isEmpty(), "the program never appeared on the accessibility bus");
    QStringList heard;
    for (const Node &node : nodes) {
        if (node.showing)
            heard << Said(node);
        QVERIFY2(!MustBeNamed(node) || !node.name.trimmed().isEmpty(),
                 qPrintable(node.role + QStringLiteral(" without a name")));
    }
    for (const QString &expected : said)
        QVERIFY2(heard.contains(expected), qPrintable(expected + QStringLiteral(" not in: ") + heard.join(u"; ")));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
