#include "INI.h"

#include "IniFile.h"
#include "IniText.h"

#include <QFileInfo>

QString INI::FileName() const
{
    return fileName;
}

void INI::FileName(const QString &FName)
{
    fileName = FName;
}

void INI::MakeFolderOnWrite(bool make)
{
    makeFolder = make;
}

QString INI::ReadProblem() const
{
    QString problem;
    ReadSettingsFile(fileName, &problem);
    return problem;
}

QByteArray INI::RINI(QByteArrayView Section, QByteArrayView KeyName) const
{
    return ReadIniValue(ReadFileContent(fileName), Section, KeyName);
}

bool INI::WInI(QByteArrayView Section, QByteArrayView KeyName, QByteArrayView KeyValue)
{
    return WriteEntries({IniEntry{Section.toByteArray(), KeyName.toByteArray(), KeyValue.toByteArray()}});
}

bool INI::RINIb(QByteArrayView Section, QByteArrayView KeyName) const
{
    return RINI(Section, KeyName) == "True";
}

bool INI::WInIb(QByteArrayView Section, QByteArrayView KeyName, bool KeyValue)
{
    return WInI(Section, KeyName, KeyValue ? "True" : "False");
}

qint16 INI::RINIi(QByteArrayView Section, QByteArrayView KeyName) const
{
    return RoundToInteger16(ReadLeadingNumber(RINI(Section, KeyName)));
}

bool INI::WInIi(QByteArrayView Section, QByteArrayView KeyName, qint16 KeyValue)
{
    return WInI(Section, KeyName, QByteArray::number(KeyValue));
}

bool INI::WriteEntries(const QList<IniEntry> &entries)
{
    if (fileName.isEmpty()) {
        writeError = QStringLiteral("Не указано имя файла настроек");
        return false;
    }
    if (makeFolder && !MakeOwnerFolder(QFileInfo(fileName).absolutePath(), &writeError))
        return false;
    const SettingsFileLock lock(fileName);
    if (!lock.Acquired()) {
        writeError = QStringLiteral("Файл занят другой копией Quillon");
        return false;
    }
    std::optional<QByteArray> content = ReadSettingsFile(fileName, &writeError);
    if (!content)
        return false;
    for (const IniEntry &entry : entries) {
        if (entry.OnlyWhenAbsent && HasIniKey(*content, entry.Section, entry.KeyName))
            continue;
        content = WriteIniValue(*content, entry.Section, entry.KeyName, entry.KeyValue);
        if (!content) {
            writeError =
                QStringLiteral(
                    "значение [%1] %2 нельзя записать: в нём перевод строки, или имя, которое файл не может хранить")
                    .arg(QString::fromUtf8(entry.Section), QString::fromUtf8(entry.KeyName));
            return false;
        }
    }
    return ReplaceSettingsFile(fileName, *content, &writeError);
}

QString INI::WriteError() const
{
    return writeError;
}
