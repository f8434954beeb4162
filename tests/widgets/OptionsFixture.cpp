#include "OptionsFixture.h"

#include "XpB.h"

#include <QFile>
#include <QTest>

void OptionsFixture::SetUp()
{
    settings = Settings();
    dialogs.Clear();
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("options.ini"));
    ini.FileName(path);
}

void OptionsFixture::TearDown()
{
    delete dialog;
    dialog = nullptr;
    dir.reset();
}

Options *OptionsFixture::Open()
{
    delete dialog;
    dialog = new Options(settings, ini, dialogs, DownloadFolder());
    dialog->show();
    return dialog;
}

void OptionsFixture::PressButton(const QString &name) const
{
    XpB *button = Child<XpB>(name);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Space);
}

bool OptionsFixture::WriteFile(const QByteArray &content) const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray OptionsFixture::ReadFile() const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList EditedValues(const Settings &settings)
{
    const ConnectionSettings &n = settings.Network;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return {flag(n.UseProxy),           n.ProxyName,  n.ProxyPort == 0 ? QString() : QString::number(n.ProxyPort),
            flag(n.ProxyAuth),          n.ProxyLogin, n.ProxyPass,
            flag(settings.CheckUpgrade)};
}

QStringList KeysOf(const QByteArray &content)
{
    QStringList keys;
    QString section;
    for (const QByteArray &raw : content.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            section = line.mid(1, line.indexOf(QLatin1Char(']')) - 1);
        else if (line.contains(QLatin1Char('=')))
            keys << section + QLatin1Char('/') + line.left(line.indexOf(QLatin1Char('='))).trimmed();
    }
    return keys;
}
