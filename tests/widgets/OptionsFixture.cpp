#include "OptionsFixture.h"

#include "ProgramValues.h"
#include "XpB.h"

#include <QFile>
#include <QTest>

void OptionsFixture::SetUp()
{
    ResetProgramValues();
    Program().AppVersion = QStringLiteral("1.7");
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("options.ini"));
    ini.FileName(path);
    messages.clear();
}

void OptionsFixture::TearDown()
{
    delete dialog;
    dialog = nullptr;
    dir.reset();
    ResetProgramValues();
}

Options *OptionsFixture::Open()
{
    delete dialog;
    dialog = new Options(ini);
    dialog->SetShowMessage([this](QWidget *owner, const QString &text, const QString &title, QMessageBox::Icon icon) {
        QCOMPARE(owner, dialog);
        messages << Message{text, title, icon};
    });
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

QStringList EditedValues()
{
    const ProgramValues &v = Program();
    return {v.UseProxy, v.ProxyName, v.ProxyPort, v.ProxyAuth, v.ProxyLogin, v.ProxyPass, v.CheckUpgrade};
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
